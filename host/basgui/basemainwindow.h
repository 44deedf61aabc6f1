#pragma once

#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>

class QAction;
class QDockWidget;
class QMenu;
class QToolBar;

namespace vemo::basgui {

// The standard menus a tool contributes to, in menu-bar order.
enum StdMenu { FileMenu = 0, EditMenu = 1, ViewMenu = 2, ToolsMenu = 3, WindowMenu = 4, HelpMenu = 5 };
constexpr int StdMenuCount = 6;

// What a tool asks its host to do with `sigChangeRequest`.
enum RequestAction { NoRequest = 0, AddFileToImplementation = 1 };

// One host connection a tool asks for: sender and receiver are names of
// shared actions, or empty for the tool itself; signal and slot use Qt's
// string form ("2triggered()", "1onSave()").
struct ActionConnection {
    QString sender;
    QString signal;
    QString receiver;
    QString slot;
};

// The actions every tool shares with its host, by name. A host that embeds
// tools owns one map for all of them; a stand-alone tool owns its own.
class SharedActionMap : public QObject {
    Q_OBJECT
public:
    explicit SharedActionMap(QObject* parent = nullptr);
    QAction* action(const QString& name) const { return m_actions.value(name); }
    QStringList names() const { return m_order; }

private:
    QAction* add(const QString& name, const QString& text, const QKeySequence& key, const QIcon& icon);
    QHash<QString, QAction*> m_actions;
    QStringList m_order;
};

// The host's main-window base. Builds menus and tool bars from what the tool
// declares through the virtual operations below and wires shared actions.
class BaseMainWindow : public QMainWindow {
    Q_OBJECT
public:
    BaseMainWindow(QWidget* parent, bool standalone, bool ownStatusBar);
    ~BaseMainWindow() override;

    static QString stdMenuTitle(StdMenu menu);

    // Shared actions: the window's own map, or the host's after setSharedActions.
    QAction* sharedAction(const QString& name) const;
    SharedActionMap* sharedActions() const { return m_shared; }
    void setSharedActions(SharedActionMap* map);

    void setCentralWidget(QWidget* widget);
    QToolBar* specialToolBar() const { return m_specialToolBar; }
    QToolBar* mainToolBar() const { return m_mainToolBar; }
    QMenu* stdMenu(StdMenu menu) const { return m_menus.value(int(menu)); }
    // Where the host wants the tool placed; the default moves and resizes it.
    virtual void setPositionAndSize(const QPoint& pos, const QSize& size);

    // The connections made by connectSharedAction, for inspection.
    int connectedCount() const { return m_madeConnections.size(); }

    // Virtual operations, in the order tools override them.
    virtual bool initialize();
    virtual QString toolName() const;
    virtual QString fullTitle() const;
    virtual QString title() const;
    virtual void toolGUIInfo(QString& name, QString& tip, QIcon& icon);
    virtual QString fileName() const;
    virtual QString fullFileName() const;
    virtual QString getVirtualFileName() const;
    virtual bool isModified() const;
    virtual QStringList getModifiedFileList() const;
    virtual bool isCommonDataFile() const;
    virtual int needWhichDBfile() const;
    virtual bool needToBeClosed() const;
    virtual bool isStandalone() const;
    virtual bool isAttached() const;
    virtual bool isReadOnly() const;
    virtual void setReadOnly(bool readOnly);
    virtual QList<ActionConnection> activeConnections();
    virtual bool connectSharedAction();
    virtual void disconnectSharedAction();
    virtual QStringList stdMenuItems(StdMenu menu);
    virtual QList<QAction*> myMenuItems(StdMenu menu);
    virtual QList<QMenu*> myMenus();
    virtual QStringList stdToolbarButtons();
    virtual bool needSpecialToolBar();
    virtual Qt::ToolBarArea specialToolBarArea();
    virtual void addButtonOnSpecialToolBar(QAction* action);
    virtual void addSeparatorOnSpecialToolBar();
    virtual void addWidgetOnSpecialToolBar(QWidget* widget);
    virtual QDockWidget* getDockWidget();
    virtual bool maybeSave();

public slots:
    virtual void onClose(bool forced = false);
    virtual bool onSave();
    virtual void onActivated();
    virtual void onDeactivated();
    virtual void onToolSwitched(bool active);
    virtual void onAttached(bool attached, QWidget* parent);
    virtual void onDefLayout();
    virtual void onLoadLayout();
    virtual void onSaveLayout();
    virtual void onFlowRunning(bool running);
    virtual void onLockData();
    virtual void onReleaseData();
    virtual void onProbing(bool probing);
    virtual void onDataChanged();
    virtual void onDBAvailable(bool available);
    virtual void onSystemBusy(bool busy);
    virtual void onHelpAbout();
    virtual void onHelpHelp();

    // Targets of the shared "detach" and "attach" actions (embedded mode).
    void detachTool();
    void attachTool();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool closeForced() const { return m_forcedClose; }
    void setCloseForced(bool forced) { m_forcedClose = forced; }
    bool hasOwnStatusBar() const { return m_ownStatusBar; }
    QWidget* hostParent() const { return m_hostParent; }

private:
    void buildMenus();
    void buildToolBars();
    QObject* resolve(const QString& name);

    bool m_standalone;
    bool m_ownStatusBar;
    bool m_attached;
    bool m_readOnly = false;
    bool m_forcedClose = false;
    bool m_initialized = false;
    QPointer<QWidget> m_hostParent;
    SharedActionMap* m_shared;
    QHash<int, QMenu*> m_menus;
    QToolBar* m_mainToolBar = nullptr;
    QToolBar* m_specialToolBar = nullptr;
    QList<QMetaObject::Connection> m_madeConnections;
};

} // namespace vemo::basgui
