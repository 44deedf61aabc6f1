#pragma once

#include "controller/memoryform.h"
#include "hardip/hardipcontrol.h"

#include "hardipdata.h"

#include <QList>

class QGridLayout;
class QGroupBox;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace vemo::toolona {

// The panel of one hard IP instance: the block's address range, its
// hierarchy, the block's own controls and a memory form for its address
// space. A block panel derives from it and declares its controls as a table
// (addControls); the base stages a change at once, applies and reloads.
class HardIpWidget : public MemoryFormWidget {
    Q_OBJECT
public:
    explicit HardIpWidget(ToolGateway* gateway, QWidget* parent = nullptr);

    void setData(const HardIpData& data);
    const HardIpData& data() const { return m_data; }
    QString name() const { return m_data.getName(); }
    bool isMultiProtocol() const { return m_multiProtocol; }
    bool isBeta() const { return m_beta; }
    // The title of the panel's group: the instance name, marked when beta.
    QString groupTitle() const;

    // Builds the common frame around the block's controls, then connects
    // the controls: nothing is sent while the panel is built or filled.
    void buildFrame();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }
    int rowCount() const { return m_rows; }

    QGroupBox* addressGroup() const { return m_group; }
    QLabel* hierarchyLabel() const { return m_hierarchy; }
    QPushButton* applyButton() const { return m_apply; }
    QPushButton* reloadButton() const { return m_reload; }
    // The widget of a declared control, by engine key (null when none).
    QWidget* control(const QString& key) const;

    // Adds the block's own rows from `row` on and advances it.
    virtual void createControls(int& row);
    // Sets the declared controls from the engine's values, sending nothing.
    virtual void updateFromEngine();
    // After Reload has read the device: by default updateFromEngine.
    virtual void reloadControls();

public slots:
    void onCurrentIndexChanged(const QString& text);
    void onValueChanged(int value);
    void onApplyBtnClicked();
    void onReloadBtnClicked();

protected:
    struct Bound {
        HardIpControl control;
        QWidget* widget = nullptr;
        int accepted = 0; // Spin: the value the engine last took
    };

    // Adds the rows of `table` from `row` on, label in column 0 and control
    // in column 1, and remembers the controls.
    void addControls(const QList<HardIpControl>& table, int& row);
    // The "Apply" (column 6) and "Reload" (column 7) row; with `onLastRow`
    // they join the last control row instead.
    void addApplyReload(int& row, bool onLastRow = false);
    // The block window's memory form (write, read, dump, load) into `grid`
    // from `row`.
    void addBlockMemoryForm(QGridLayout* grid, QWidget* parent, int& row);
    // The panel's own layout, below the address group.
    QVBoxLayout* outerLayout() const { return m_outer; }
    // Sets the controls from getHardIP; with `quiet`, no set command is sent
    // (combo boxes that change otherwise stage their new text).
    void loadControls(bool quiet);
    // A spin box value the engine refused; the base puts the box back.
    virtual void showRefusal(const HardIpControl& control, const QString& result);
    // Says a refusal or failure where the user sees it (status bar, messages).
    void report(const QString& text);
    // Runs one command under the busy cursor.
    bool run(const QString& command, QString* result = nullptr);
    // Narrows the hierarchy text to `width` pixels and columns 1 to `lastColumn`.
    void setHierarchyWidth(int width, int lastColumn);
    int hierarchyRow() const { return m_hierarchyRow; }
    QGridLayout* grid() const { return m_grid; }
    ToolGateway* gateway() const { return m_gateway; }
    QString setCommand(const HardIpControl& control, const QString& value) const;

private:
    void stage(Bound& bound, const QString& value);
    Bound* boundFor(QObject* widget);
    void elideHierarchy();

    ToolGateway* m_gateway;
    HardIpData m_data;
    bool m_multiProtocol = false;
    bool m_beta = false;
    int m_rows = 0;
    int m_hierarchyRow = 0;
    int m_hierarchyWidth = 426;
    QList<Bound> m_controls;
    QGridLayout* m_grid = nullptr;
    QVBoxLayout* m_outer = nullptr;
    QGroupBox* m_group = nullptr;
    QLabel* m_hierarchy = nullptr;
    QPushButton* m_apply = nullptr;
    QPushButton* m_reload = nullptr;
};

} // namespace vemo::toolona
