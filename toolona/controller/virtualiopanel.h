#pragma once

#include "controller/controllervalue.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

namespace vemo::toolona {

class ToolGateway;

// The frame the LED and switch panels share: a group box whose grid starts
// with a header row (the data label first, the panel's own controls after
// it), the hidden note below and the items' grid under that.
class VirtualIOPanel : public QWidget {
public:
    QGroupBox* groupBox() const { return m_group; }
    QGridLayout* itemGrid() const { return m_itemGrid; }
    // Says when the record names more items than the value holds.
    QLabel* noteLabel() const { return m_note; }

protected:
    VirtualIOPanel(ToolGateway* gateway, const QString& title, const QString& dataLabel, QWidget* parent)
        : QWidget(parent), m_gateway(gateway) {
        auto* outer = new QVBoxLayout(this);
        m_group = new QGroupBox(title, this);
        outer->addWidget(m_group);
        m_grid = new QGridLayout(m_group);
        m_grid->addWidget(new QLabel(dataLabel, m_group), 1, 0);
    }

    // A control of the header row, centred in its column.
    template <class Control>
    Control* addHeaderControl(Control* control, int column) {
        m_grid->addWidget(control, 1, column, Qt::AlignCenter);
        return control;
    }

    // Ends the header row of `span` columns: the note and the item grid go below.
    void addItemArea(int span) { controllervalue::addItemArea(m_grid, m_group, span, &m_itemGrid, &m_note); }

    // New items for `data`; see controllervalue::fillItems.
    template <class Item>
    void fillItems(const VirtualIOData& data, const QString& titleFormat, const QString& noteFormat,
                   QList<Item*>* items) {
        controllervalue::fillItems(data, titleFormat, noteFormat, m_group, m_itemGrid, m_note, items);
    }

    ToolGateway* m_gateway;
    QGroupBox* m_group = nullptr;
    QGridLayout* m_grid = nullptr;
    QGridLayout* m_itemGrid = nullptr;
    QLabel* m_note = nullptr;
};

} // namespace vemo::toolona
