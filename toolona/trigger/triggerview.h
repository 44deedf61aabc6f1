#pragma once

#include <QFrame>
#include <QPointer>

class QLabel;
class QTableView;
class TriggerEModel;
class TriggerSetting;
class TriggerUModel;

namespace vemo::toolona {

// The "LA Trigger" page: trigger units, trigger expressions, trigger
// options and trigger position of the active analyzer core.
//
// The interface below is what the tool window and the right view call; it
// is fixed. The page's tables, groups, delegates and option controls are
// filled in by the trigger-page work without changing these signatures.
// Until then the page shows what it holds of the handed-over models and
// says so when there is nothing.
class TriggerView : public QFrame {
    Q_OBJECT
public:
    explicit TriggerView(QWidget* parent = nullptr);
    ~TriggerView() override;

    // True once the trigger-unit and trigger-expression tables exist; the
    // right view hands models over only then.
    bool hasTables() const;
    QTableView* tuTable() const { return m_tuTable; }
    QTableView* teTable() const { return m_teTable; }

    // Model hand-over for the active analyzer core (any may be null: no
    // analyzer core). Sets the tables' models and sizes their columns, then
    // updateErrorLabels and setTriggerSetting.
    void setModels(TriggerUModel* tu, TriggerEModel* te, TriggerSetting* setting);
    TriggerUModel* tuModel() const;
    TriggerEModel* teModel() const;
    TriggerSetting* triggerSetting() const { return m_setting; }

    // Re-checks the syntax-error markings of both tables.
    void updateErrorLabels(TriggerUModel* tu, TriggerEModel* te);
    // Loads the trigger options and position from the setting model.
    void setTriggerSetting(TriggerSetting* setting);

    // Editing controls: on when the project has at least one core; off
    // also disables the four option buttons.
    void setEditingEnabled(bool enabled);
    // The two controls that need a trigger-setting model with an entry.
    void setSettingControlsEnabled(bool enabled);
    bool editingEnabled() const { return m_editing; }
    bool settingControlsEnabled() const { return m_settingControls; }

    // The process-wide trigger-unit model the trigger-unit delegates read.
    static TriggerUModel* currentTUModel();

public slots:
    void doPreToggle(bool);
    void doUserToggle(bool);
    void doPrePos(int);
    void doUserPos(int);
    void doEnableTE(int);
    void doNumSample(int);
    void doNumTrigger(int);
    void doToggleEventCounter(bool);
    void doNumEventCounter(int);
    void connectPORCore(bool connectFlag);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateEmptyState();

    QTableView* m_tuTable = nullptr;
    QTableView* m_teTable = nullptr;
    QLabel* m_empty = nullptr;
    // The engine deletes a core's models with its project.
    QPointer<TriggerUModel> m_tu;
    QPointer<TriggerEModel> m_te;
    TriggerSetting* m_setting = nullptr;
    bool m_editing = true;
    bool m_settingControls = false;
};

}  // namespace vemo::toolona
