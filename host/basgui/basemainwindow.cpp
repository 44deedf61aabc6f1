#include "basgui/basemainwindow.h"

#include "basgui/baseicon.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

namespace vemo::basgui {

SharedActionMap::SharedActionMap(QObject* parent) : QObject(parent) {
    add("new", tr("&New"), QKeySequence::New, BaseIcon::getIcon("document_new"));
    add("open", tr("&Open..."), QKeySequence::Open, BaseIcon::getIcon("document_open"));
    add("save", tr("&Save"), QKeySequence::Save, BaseIcon::getIcon("document_save"));
    add("save as", tr("Save &As..."), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), QIcon());
    add("close", tr("&Close"), QKeySequence(Qt::CTRL | Qt::Key_W), QIcon());
    add("zoom in", tr("Zoom &In"), QKeySequence(Qt::CTRL | Qt::Key_Plus), BaseIcon::getIcon("zoom_in"));
    add("zoom out", tr("Zoom &Out"), QKeySequence(Qt::CTRL | Qt::Key_Minus), BaseIcon::getIcon("zoom_out"));
    add("zoom fit", tr("Zoom &Fit"), QKeySequence(Qt::CTRL | Qt::Key_0), BaseIcon::getIcon("zoom_fit"));
    add("detach", tr("&Detach"), QKeySequence(), QIcon());
    add("attach", tr("&Attach"), QKeySequence(), QIcon());
    add("about", tr("&About..."), QKeySequence(), BaseIcon::getIcon("information"));
    add("help", tr("&Help"), QKeySequence::HelpContents, BaseIcon::getIcon("help"));
    // Both keypad and main-row forms of zoom in: Ctrl+= is what most keyboards give unshifted.
    action("zoom in")->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
}

QAction* SharedActionMap::add(const QString& name, const QString& text, const QKeySequence& key, const QIcon& icon) {
    auto* a = new QAction(icon, text, this);
    a->setObjectName(name);
    if (!key.isEmpty())
        a->setShortcut(key);
    a->setShortcutContext(Qt::WindowShortcut);
    m_actions.insert(name, a);
    m_order.append(name);
    return a;
}

BaseMainWindow::BaseMainWindow(QWidget* parent, bool standalone, bool ownStatusBar)
    : QMainWindow(parent, standalone ? Qt::Window : Qt::Widget)
    , m_standalone(standalone)
    , m_ownStatusBar(ownStatusBar)
    , m_attached(!standalone && parent != nullptr)
    , m_hostParent(parent)
    , m_shared(new SharedActionMap(this)) {
    if (ownStatusBar)
        statusBar();
}

BaseMainWindow::~BaseMainWindow() = default;

QString BaseMainWindow::stdMenuTitle(StdMenu menu) {
    // In StdMenu order.
    static const char* const kTitles[StdMenuCount] = {QT_TR_NOOP("&File"),  QT_TR_NOOP("&Edit"),   QT_TR_NOOP("&View"),
                                                      QT_TR_NOOP("&Tools"), QT_TR_NOOP("&Window"), QT_TR_NOOP("&Help")};
    return menu >= 0 && menu < StdMenuCount ? tr(kTitles[menu]) : QString();
}

QAction* BaseMainWindow::sharedAction(const QString& name) const { return m_shared ? m_shared->action(name) : nullptr; }

void BaseMainWindow::setSharedActions(SharedActionMap* map) {
    Q_ASSERT(!m_initialized);
    if (map && map != m_shared) {
        if (m_shared && m_shared->parent() == this)
            delete m_shared;
        m_shared = map;
    }
}

void BaseMainWindow::setCentralWidget(QWidget* widget) { QMainWindow::setCentralWidget(widget); }

void BaseMainWindow::setPositionAndSize(const QPoint& pos, const QSize& size) {
    if (!isWindow())
        return; // attached: the host lays the tool out
    resize(size);
    // A position remembered on a screen that is gone (an unplugged monitor)
    // would put the window where nobody can reach it: bring it back.
    QPoint target = pos;
    const QRect wanted(pos, size);
    bool visible = false;
    for (const QScreen* screen : QGuiApplication::screens())
        visible = visible || screen->availableGeometry().intersects(wanted);
    if (!visible) {
        if (const QScreen* primary = QGuiApplication::primaryScreen())
            target = primary->availableGeometry().topLeft();
    }
    move(target);
}

bool BaseMainWindow::initialize() {
    if (m_initialized)
        return true;
    m_initialized = true;
    buildMenus();
    buildToolBars();
    if (!m_standalone) {
        if (QAction* a = sharedAction("detach"))
            connect(a, &QAction::triggered, this, &BaseMainWindow::detachTool, Qt::UniqueConnection);
        if (QAction* a = sharedAction("attach"))
            connect(a, &QAction::triggered, this, &BaseMainWindow::attachTool, Qt::UniqueConnection);
    }
    if (isStandalone() || !isAttached())
        setWindowTitle(fullTitle());
    return true;
}

void BaseMainWindow::buildMenus() {
    QMenuBar* bar = menuBar();
    for (int i = 0; i < StdMenuCount; ++i) {
        auto which = StdMenu(i);
        QMenu* menu = new QMenu(stdMenuTitle(which), this);
        for (const QString& name : stdMenuItems(which)) {
            if (QAction* a = sharedAction(name))
                menu->addAction(a);
        }
        const QList<QAction*> own = myMenuItems(which);
        if (!own.isEmpty() && !menu->isEmpty())
            menu->addSeparator();
        for (QAction* a : own)
            menu->addAction(a);
        m_menus.insert(i, menu);
        // Empty menus stay out of the bar; the tool's own menus go before Window.
        if (which == WindowMenu) {
            for (QMenu* m : myMenus())
                bar->addMenu(m);
        }
        if (!menu->isEmpty())
            bar->addMenu(menu);
    }
}

void BaseMainWindow::buildToolBars() {
    const QStringList buttons = stdToolbarButtons();
    if (!buttons.isEmpty()) {
        m_mainToolBar = new QToolBar(tr("Main"), this);
        m_mainToolBar->setObjectName("mainToolBar");
        for (const QString& name : buttons) {
            if (QAction* a = sharedAction(name))
                m_mainToolBar->addAction(a);
        }
        addToolBar(Qt::TopToolBarArea, m_mainToolBar);
    }
    if (needSpecialToolBar()) {
        m_specialToolBar = new QToolBar(tr("%1 Tool Bar").arg(toolName()), this);
        m_specialToolBar->setObjectName("specialToolBar");
        addToolBar(specialToolBarArea(), m_specialToolBar);
    }
}

QObject* BaseMainWindow::resolve(const QString& name) {
    if (name.isEmpty())
        return this;
    return sharedAction(name);
}

bool BaseMainWindow::connectSharedAction() {
    bool all = true;
    for (const ActionConnection& c : activeConnections()) {
        QObject* sender = resolve(c.sender);
        QObject* receiver = resolve(c.receiver);
        if (!sender || !receiver) {
            all = false;
            continue;
        }
        const QByteArray sig = c.signal.toLatin1();
        const QByteArray slot = c.slot.toLatin1();
        // Check both ends first: a misspelt entry must not pass as wired.
        const QByteArray sigName = QMetaObject::normalizedSignature(sig.constData() + 1);
        const QByteArray slotName = QMetaObject::normalizedSignature(slot.constData() + 1);
        const QMetaObject* rmo = receiver->metaObject();
        if (sig.size() < 2 || slot.size() < 2 || sender->metaObject()->indexOfSignal(sigName) < 0 ||
            (rmo->indexOfSlot(slotName) < 0 && rmo->indexOfSignal(slotName) < 0 && rmo->indexOfMethod(slotName) < 0)) {
            qWarning("Shared action connection %s %s -> %s %s does not exist", qPrintable(c.sender), sig.constData(),
                     qPrintable(c.receiver), slot.constData());
            all = false;
            continue;
        }
        // UniqueConnection: a tool that also wires the same pair itself must
        // not have the slot run twice.
        QMetaObject::Connection conn =
            QObject::connect(sender, sig.constData(), receiver, slot.constData(), Qt::UniqueConnection);
        if (conn)
            m_madeConnections.append(conn);
    }
    return all;
}

void BaseMainWindow::disconnectSharedAction() {
    for (const QMetaObject::Connection& c : std::as_const(m_madeConnections))
        QObject::disconnect(c);
    m_madeConnections.clear();
}

QString BaseMainWindow::toolName() const { return objectName(); }
QString BaseMainWindow::fullTitle() const { return windowTitle(); }
QString BaseMainWindow::title() const { return windowTitle(); }
void BaseMainWindow::toolGUIInfo(QString& name, QString& tip, QIcon& icon) {
    name = title();
    tip = title();
    icon = windowIcon();
}
QString BaseMainWindow::fileName() const { return {}; }
QString BaseMainWindow::fullFileName() const { return {}; }
QString BaseMainWindow::getVirtualFileName() const { return fullFileName(); }
bool BaseMainWindow::isModified() const { return false; }
QStringList BaseMainWindow::getModifiedFileList() const {
    return isModified() && !fullFileName().isEmpty() ? QStringList{fullFileName()} : QStringList{};
}
bool BaseMainWindow::isCommonDataFile() const { return false; }
int BaseMainWindow::needWhichDBfile() const { return 0; }
bool BaseMainWindow::needToBeClosed() const { return false; }
bool BaseMainWindow::isStandalone() const { return m_standalone; }
bool BaseMainWindow::isAttached() const { return m_attached; }
bool BaseMainWindow::isReadOnly() const { return m_readOnly; }
void BaseMainWindow::setReadOnly(bool readOnly) { m_readOnly = readOnly; }
QList<ActionConnection> BaseMainWindow::activeConnections() { return {}; }
QStringList BaseMainWindow::stdMenuItems(StdMenu) { return {}; }
QList<QAction*> BaseMainWindow::myMenuItems(StdMenu) { return {}; }
QList<QMenu*> BaseMainWindow::myMenus() { return {}; }
QStringList BaseMainWindow::stdToolbarButtons() { return {}; }
bool BaseMainWindow::needSpecialToolBar() { return false; }
Qt::ToolBarArea BaseMainWindow::specialToolBarArea() { return Qt::TopToolBarArea; }

void BaseMainWindow::addButtonOnSpecialToolBar(QAction* action) {
    if (m_specialToolBar && action)
        m_specialToolBar->addAction(action);
}

void BaseMainWindow::addSeparatorOnSpecialToolBar() {
    if (m_specialToolBar)
        m_specialToolBar->addSeparator();
}

void BaseMainWindow::addWidgetOnSpecialToolBar(QWidget* widget) {
    if (m_specialToolBar && widget)
        m_specialToolBar->addWidget(widget);
}

QDockWidget* BaseMainWindow::getDockWidget() { return nullptr; }
bool BaseMainWindow::maybeSave() { return true; }

void BaseMainWindow::onClose(bool forced) {
    m_forcedClose = forced;
    close();
}

bool BaseMainWindow::onSave() { return true; }
void BaseMainWindow::onActivated() {}
void BaseMainWindow::onDeactivated() {}
void BaseMainWindow::onToolSwitched(bool) {}

void BaseMainWindow::onAttached(bool attached, QWidget* parent) {
    if (parent)
        m_hostParent = parent;
    m_attached = attached;
    if (attached && m_hostParent) {
        const bool wasVisible = isVisible();
        setParent(m_hostParent, Qt::Widget);
        if (QLayout* layout = m_hostParent->layout(); layout && layout->indexOf(this) < 0)
            layout->addWidget(this);
        setVisible(wasVisible || m_hostParent->isVisible());
    } else if (!attached) {
        const QRect geo = QRect(mapToGlobal(QPoint(0, 0)), size());
        setParent(nullptr, Qt::Window);
        setGeometry(geo);
        show();
        setWindowTitle(fullTitle());
    }
    if (QAction* a = sharedAction("detach"))
        a->setEnabled(attached && !m_standalone);
    if (QAction* a = sharedAction("attach"))
        a->setEnabled(!attached && !m_standalone && m_hostParent);
}

void BaseMainWindow::detachTool() {
    if (!m_standalone && m_attached)
        onAttached(false, nullptr);
}

void BaseMainWindow::attachTool() {
    if (!m_standalone && !m_attached && m_hostParent)
        onAttached(true, m_hostParent);
}

void BaseMainWindow::onDefLayout() {}
void BaseMainWindow::onLoadLayout() {}
void BaseMainWindow::onSaveLayout() {}
void BaseMainWindow::onFlowRunning(bool) {}
void BaseMainWindow::onLockData() {}
void BaseMainWindow::onReleaseData() {}
void BaseMainWindow::onProbing(bool) {}
void BaseMainWindow::onDataChanged() {}
void BaseMainWindow::onDBAvailable(bool) {}
void BaseMainWindow::onSystemBusy(bool) {}
void BaseMainWindow::onHelpAbout() {}
void BaseMainWindow::onHelpHelp() {}

void BaseMainWindow::closeEvent(QCloseEvent* event) {
    // A forced close (host shutting down) never asks; otherwise the tool may
    // keep the window open by answering false.
    if (!m_forcedClose && !maybeSave()) {
        event->ignore();
        return;
    }
    event->accept();
}

} // namespace vemo::basgui
