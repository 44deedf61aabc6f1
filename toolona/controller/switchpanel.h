#pragma once

#include "controller/virtualiopanel.h"
#include "controllerrecords.h"

#include <QList>

class QCheckBox;
class QPushButton;

namespace vemo::toolona {

class HexValueLineEdit;
class VirtualSwitchItem;

// The virtual switches of a controller core. Staged: clicks and typing
// change only the view and Apply writes. Direct Mode: each click writes at
// once, and Reset, Apply and the data field are off.
class SwitchPanel : public VirtualIOPanel {
    Q_OBJECT
public:
    explicit SwitchPanel(ToolGateway* gateway, QWidget* parent = nullptr);

    void setData(const VirtualSwitchData& data);
    void setSwitchValue(const QString& value, bool updateText);
    // The checked items as lower-case hexadecimal without leading zeros.
    QString switchValue() const;
    QSize sizeHint() const override;

    const QList<VirtualSwitchItem*>& items() const { return m_items; }
    HexValueLineEdit* dataEdit() const { return m_dataEdit; }
    QCheckBox* directModeBox() const { return m_direct; }
    QPushButton* resetButton() const { return m_reset; }
    QPushButton* applyButton() const { return m_apply; }
    // Whether the typed value fits the switches (Apply writes only then).
    bool typedValueFits() const { return m_typedFits; }

public slots:
    void handleResetButtonClicked();
    void handleApplyButtonClicked();
    void handleSwitchButtonClicked();
    void toggleDirectMode(bool checked);
    void handleDataModified();

private:
    bool writeSwitches();
    void setTypedFits(bool fits);

    VirtualSwitchData m_data;
    QList<VirtualSwitchItem*> m_items;
    HexValueLineEdit* m_dataEdit = nullptr;
    QCheckBox* m_direct = nullptr;
    QPushButton* m_reset = nullptr;
    QPushButton* m_apply = nullptr;
    bool m_typedFits = true;
};

} // namespace vemo::toolona
