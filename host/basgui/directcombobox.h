#pragma once

#include <QComboBox>

namespace vemo::basgui {

// A combo box for item-view editors: shown inside a view's viewport it opens
// its list at once, so one click on a cell both starts editing and offers
// the choices. Elsewhere it is an ordinary combo box.
class DirectComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit DirectComboBox(QWidget* parent = nullptr);

    // True when the box sits in the viewport of a QAbstractItemView.
    bool isItemViewEditor() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool m_popupDone = false;
};

} // namespace vemo::basgui
