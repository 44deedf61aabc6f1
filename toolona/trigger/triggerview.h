#pragma once

#include <QFrame>
#include <QPointer>

class QCheckBox;
class QComboBox;
class QLabel;
class QRadioButton;
class QScrollBar;
class QSpinBox;
class QTableView;
class TriggerEModel;
class TriggerSetting;
class TriggerUModel;

namespace vemo::toolona {

class LabelGroupBox;
class OnaTEDelegate;
class OnaTUDelegate;
class ToolGateway;

// The "LA Trigger" page: trigger units, trigger expressions, trigger
// options and trigger position of the active analyzer core.
//
// The tables show the engine's own models; every edit, in a cell or in an
// option, is one engine command, and the widgets are reloaded from the
// engine's TriggerSetting whenever the engine reports a change (or refuses
// one), so the page never shows a value the engine does not hold. The two
// exceptions are the position source and the POR connection flag, which
// the page writes into the setting itself.
class TriggerView : public QFrame {
    Q_OBJECT
public:
    // Every command, refusal, modified mark and help request goes through
    // `gateway`.
    explicit TriggerView(ToolGateway* gateway, QWidget* parent = nullptr);
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

    // Rewrites the two table titles with the models' error counts.
    void updateErrorLabels(TriggerUModel* tu, TriggerEModel* te);
    // Loads every option widget from the setting; sends nothing.
    void setTriggerSetting(TriggerSetting* setting);
    // "Trigger Position: <b>position/samples</b>" from the setting.
    void refreshPositionLabel();

    // Editing controls: on when the project has at least one core; off
    // also disables the four option buttons (position radios, counter and
    // POR check boxes).
    void setEditingEnabled(bool enabled);
    // The two option groups (Trigger Options, Trigger Position), which need
    // a trigger-setting model.
    void setSettingControlsEnabled(bool enabled);
    bool editingEnabled() const { return m_editing; }
    bool settingControlsEnabled() const { return m_settingControls; }

    // The page's groups and option widgets (for the tool window and tests).
    LabelGroupBox* tuGroup() const { return m_tuGroup; }
    LabelGroupBox* teGroup() const { return m_teGroup; }
    LabelGroupBox* porGroup() const { return m_porGroup; }
    LabelGroupBox* optionsGroup() const { return m_optionsGroup; }
    LabelGroupBox* positionGroup() const { return m_positionGroup; }
    QRadioButton* preRadio() const { return m_preRadio; }
    QRadioButton* userRadio() const { return m_userRadio; }
    QComboBox* positionCombo() const { return m_positionCombo; }
    QScrollBar* positionBar() const { return m_positionBar; }
    QCheckBox* counterCheck() const { return m_counterCheck; }
    QSpinBox* counterSpin() const { return m_counterSpin; }
    QLabel* counterMaxLabel() const { return m_counterMax; }
    QComboBox* teCombo() const { return m_teCombo; }
    QComboBox* samplesCombo() const { return m_samplesCombo; }
    QSpinBox* triggerSpin() const { return m_triggerSpin; }
    QLabel* triggerMaxLabel() const { return m_triggerMax; }
    QCheckBox* porCheck() const { return m_porCheck; }

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
    QWidget* buildPositionGroup();
    QWidget* buildOptionsGroup();
    QWidget* buildPorGroup();
    void updateEmptyState();
    void updatePositionControls();
    // The handed-over setting while it is still the engine's current one
    // (a setting of a closed project or another core is never touched).
    TriggerSetting* liveSetting() const;
    // Sends an option command; a refusal reloads the options from the
    // engine. True when the engine took it.
    bool sendOption(const QString& cmd);
    // Follows the engine after samples or triggers changed the other.
    void syncPositionBar();
    void writePositionTitle(int position, int samples);

    ToolGateway* m_gateway;
    QTableView* m_tuTable = nullptr;
    QTableView* m_teTable = nullptr;
    QLabel* m_empty = nullptr;
    LabelGroupBox* m_tuGroup = nullptr;
    LabelGroupBox* m_teGroup = nullptr;
    LabelGroupBox* m_porGroup = nullptr;
    LabelGroupBox* m_optionsGroup = nullptr;
    LabelGroupBox* m_positionGroup = nullptr;
    QFrame* m_optionFrame = nullptr;

    QRadioButton* m_preRadio = nullptr;
    QRadioButton* m_userRadio = nullptr;
    QComboBox* m_positionCombo = nullptr;
    QScrollBar* m_positionBar = nullptr;
    QCheckBox* m_counterCheck = nullptr;
    QSpinBox* m_counterSpin = nullptr;
    QLabel* m_counterMax = nullptr;
    QComboBox* m_teCombo = nullptr;
    QComboBox* m_samplesCombo = nullptr;
    QSpinBox* m_triggerSpin = nullptr;
    QLabel* m_triggerMax = nullptr;
    QCheckBox* m_porCheck = nullptr;

    OnaTUDelegate* m_tuNameDelegate = nullptr;
    OnaTUDelegate* m_tuOperatorDelegate = nullptr;
    OnaTUDelegate* m_tuRadixDelegate = nullptr;
    OnaTUDelegate* m_tuValueDelegate = nullptr;
    OnaTEDelegate* m_teDelegate = nullptr;

    // The engine deletes a core's models with its project.
    QPointer<TriggerUModel> m_tu;
    QPointer<TriggerEModel> m_te;
    TriggerSetting* m_setting = nullptr;
    bool m_editing = true;
    bool m_settingControls = true;
};

} // namespace vemo::toolona
