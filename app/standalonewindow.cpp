#include "standalonewindow.h"

#include "projectsummary.h"

#include "basgui/aboutdialog.h"
#include "basgui/dialogseam.h"
#include "message/messagewindow.h"
#include "message/msgmanager.h"
#include "tcl/cgtclcmdman.h"
#include "tcl/cgtclcmdproxy.h"
#include "tcl/cgtcltextedit.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDockWidget>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include <cstdio>

using vemo::basgui::ActionConnection;
using vemo::basgui::StdMenu;

namespace {

// "exit ?code?" in the window's interpreter closes the window (asking to
// save like any close) and ends the program with that code, instead of
// killing the process under the window as Tcl's own exit would.
int guiExitCmd(ClientData data, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]) {
    int code = 0;
    if (objc > 2) {
        Tcl_WrongNumArgs(interp, 1, objv, "?returnCode?");
        return TCL_ERROR;
    }
    if (objc == 2 && Tcl_GetIntFromObj(interp, objv[1], &code) != TCL_OK)
        return TCL_ERROR;
    QPointer<StandaloneWindow> window(static_cast<StandaloneWindow*>(data));
    // Deferred: the command (and whatever script called it) returns first.
    QTimer::singleShot(0, qApp, [window, code] {
        if (!window || window->close())
            QCoreApplication::exit(code);
    });
    return TCL_OK;
}

}  // namespace

StandaloneWindow::StandaloneWindow(const QString& fileName, QWidget* parent)
    : BasGUITool(parent, true, true), m_pendingFile(fileName) {
    setObjectName(QStringLiteral("StandaloneWindow"));
    setWindowTitle(windowCaption());
    resize(1000, 720);

    m_consoleAction = new QAction(tr("Tcl Console"), this);
    m_consoleAction->setObjectName(QStringLiteral("actionTclConsole"));
    m_consoleAction->setStatusTip(tr("Toggle Tcl Console View"));

    m_exitAction = new QAction(tr("E&xit"), this);
    m_exitAction->setObjectName(QStringLiteral("actionExit"));
    m_exitAction->setShortcut(QKeySequence::Quit);
    m_exitAction->setStatusTip(tr("Close the window and quit"));
    connect(m_exitAction, &QAction::triggered, this, [this] { close(); });
}

StandaloneWindow::~StandaloneWindow() {
    // The interpreter belongs to this window; the console (a child widget,
    // destroyed after this body) copes with a deleted interpreter.
    if (m_interp)
        CGTclCmdMan::deleteInterp(m_interp);
}

bool StandaloneWindow::initialize() {
    if (!BasGUITool::initialize())
        return false;
    if (!tclInitialize())
        return false;
    auto* messages = vemo::message::MessageWindow::getInstance();
    messages->initialize(this, nullptr, nullptr, 15);
    vemo::message::msgManager("analyzer").postMsg("0000");

    if (QAction* open = sharedAction(QStringLiteral("open"))) {
        open->setEnabled(hasEngine());
        if (!hasEngine())
            open->setStatusTip(tr("Opening analyzer files needs the analyzer engine, which this build lacks"));
    }
    if (!m_pendingFile.isEmpty()) {
        const QString file = m_pendingFile;
        m_pendingFile.clear();
        openFile(file);
    }
    return true;
}

bool StandaloneWindow::tclInitialize() {
    // The interpreter knows the program's own path (info nameofexecutable).
    QByteArray program = QCoreApplication::applicationFilePath().toLocal8Bit();
    if (program.isEmpty() && !QCoreApplication::arguments().isEmpty())
        program = QCoreApplication::arguments().constFirst().toLocal8Bit();
    char* argv[] = {program.data(), nullptr};
    const QByteArray packages = CGTclCmdMan::registeredPackages().join(QLatin1Char(',')).toUtf8();
    m_interp = CGTclCmdMan::createInterp(1, argv, packages.constData());
    if (!m_interp)
        return false;
    Tcl_CreateObjCommand(m_interp, "exit", guiExitCmd, this, nullptr);

    m_consoleDock = new QDockWidget(tr("Tcl Console"), this);
    m_consoleDock->setObjectName(QStringLiteral("TclConsoleDock"));
    m_consoleDock->setAllowedAreas(Qt::BottomDockWidgetArea);
    m_console = new CGTclTextEdit(m_consoleDock, m_interp);
    m_consoleDock->setWidget(m_console);
    m_consoleDock->setFocusProxy(m_console);
    addDockWidget(Qt::BottomDockWidgetArea, m_consoleDock);
    m_consoleDock->raise();

    m_summary = new ProjectSummary(m_interp, this);
    setCentralWidget(m_summary);
    // Whatever the user typed may have changed the project.
    connect(m_console, &CGTclTextEdit::sigCommandExecuted, m_summary, &ProjectSummary::refresh);

    m_consoleAction->setCheckable(true);
    m_consoleAction->setChecked(true);
    connect(m_consoleAction, &QAction::toggled, m_consoleDock, [this](bool on) {
        m_consoleDock->setVisible(on);
        if (on)
            m_consoleDock->raise();
    });
    connect(m_consoleDock, &QDockWidget::visibilityChanged, this, &StandaloneWindow::onToggleConsoleView);

    // Tcl's own events ("after", file events) run between the window's.
    m_tclEvents = new QTimer(this);
    m_tclEvents->setInterval(20);
    connect(m_tclEvents, &QTimer::timeout, this, [] {
        while (Tcl_DoOneEvent(TCL_ALL_EVENTS | TCL_DONT_WAIT)) {
        }
    });
    m_tclEvents->start();
    return true;
}

void StandaloneWindow::onToggleConsoleView() {
    if (m_consoleAction && m_consoleDock)
        m_consoleAction->setChecked(m_consoleDock->isVisible());
}

bool StandaloneWindow::hasEngine() const {
    Tcl_CmdInfo info;
    return m_interp && Tcl_GetCommandInfo(m_interp, "ona_open_project", &info) != 0;
}

QString StandaloneWindow::toolName() const { return QStringLiteral("ONL_ANALYZER"); }

QString StandaloneWindow::title() const { return windowCaption(); }

QString StandaloneWindow::fullTitle() const {
    return m_fileName.isEmpty() ? windowCaption() : QStringLiteral("%1 - %2").arg(windowCaption(), m_fileName);
}

void StandaloneWindow::toolGUIInfo(QString& name, QString& tip, QIcon& icon) {
    name = tip = QStringLiteral("Ondrel Analyzer");
    icon = windowIcon();
}

QString StandaloneWindow::fileName() const {
    return m_fileName.isEmpty() ? QString() : QFileInfo(m_fileName).fileName();
}

QString StandaloneWindow::fullFileName() const { return m_fileName; }

QList<ActionConnection> StandaloneWindow::activeConnections() {
    return {
        {QStringLiteral("open"), QStringLiteral("2triggered()"), QString(), QStringLiteral("1fileOpen()")},
        {QStringLiteral("about"), QStringLiteral("2triggered()"), QString(), QStringLiteral("1onHelpAbout()")},
        {QStringLiteral("help"), QStringLiteral("2triggered()"), QString(), QStringLiteral("1onHelpHelp()")},
    };
}

QStringList StandaloneWindow::stdMenuItems(StdMenu menu) {
    switch (menu) {
    case vemo::basgui::FileMenu: return {QStringLiteral("open")};
    case vemo::basgui::HelpMenu: return {QStringLiteral("help"), QStringLiteral("about")};
    default: return {};
    }
}

QList<QAction*> StandaloneWindow::myMenuItems(StdMenu menu) {
    switch (menu) {
    case vemo::basgui::FileMenu: return {m_exitAction};
    case vemo::basgui::ViewMenu:
        return {m_consoleAction, vemo::message::MessageWindow::getInstance()->toggleViewAction()};
    default: return {};
    }
}

QStringList StandaloneWindow::stdToolbarButtons() {
    return {QStringLiteral("open"), QStringLiteral("help")};
}

void StandaloneWindow::reportError(const QString& text) {
    std::fprintf(stderr, "ondrel: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
    vemo::message::MessageWindow::getInstance()->addMessage(QStringLiteral("ONA-9992"), text,
                                                            vemo::message::MsgError);
}

bool StandaloneWindow::openFile(const QString& path) {
    const QFileInfo fi(path);
    if (!fi.isFile()) {
        reportError(tr("Cannot open \"%1\": no such file.").arg(path));
        return false;
    }
    if (!hasEngine()) {
        reportError(tr("Cannot open \"%1\": this build has no analyzer engine.").arg(fi.absoluteFilePath()));
        return false;
    }
    auto* proxy = CGTclCmdProxy::getInstance(this);
    int code = TCL_OK;
    // Relative paths in later commands resolve against the project's folder.
    proxy->callTclCommand(QStringLiteral("cd \"%1\"").arg(CGTclCmdProxy::escapeForQuotes(fi.absolutePath())), &code,
                          true, true);
    const QString result = proxy->callTclCommand(
        QStringLiteral("ona_open_project \"%1\"").arg(CGTclCmdProxy::escapeForQuotes(fi.absoluteFilePath())), &code,
        false, true);
    if (code != TCL_OK) {
        reportError(tr("Cannot open \"%1\": %2").arg(fi.absoluteFilePath(), result));
        return false;
    }
    m_fileName = fi.absoluteFilePath();
    if (m_summary)
        m_summary->refresh();
    setWindowTitle(fullTitle());
    emit sigTitleChange(this);
    return true;
}

void StandaloneWindow::fileOpen() {
    const QString dir = m_fileName.isEmpty() ? QDir::currentPath() : QFileInfo(m_fileName).absolutePath();
    const QString path = vemo::basgui::Dialogs::provider()->getOpenFileName(
        this, tr("Open Analyzer File"), dir, tr("Analyzer files (*.ona);;All files (*)"));
    if (path.isEmpty())
        return;
    if (!openFile(path)) {
        vemo::basgui::Dialogs::message(QMessageBox::Critical, this, QStringLiteral("Ondrel Analyzer"),
                                       tr("The analyzer file \"%1\" could not be opened. "
                                          "The Tcl console and the message window say why.")
                                           .arg(QDir::toNativeSeparators(path)));
    }
}

bool StandaloneWindow::runScript(const QString& path) {
    const QFileInfo fi(path);
    if (!fi.isFile() || !fi.isReadable()) {
        reportError(tr("Cannot run the script \"%1\": no such readable file.").arg(path));
        return false;
    }
    auto* proxy = CGTclCmdProxy::getInstance(this);
    int code = TCL_OK;
    const QString result = proxy->callTclCommand(
        QStringLiteral("source -encoding utf-8 \"%1\"").arg(CGTclCmdProxy::escapeForQuotes(fi.absoluteFilePath())),
        &code, false, true);
    if (code != TCL_OK) {
        std::fprintf(stderr, "ondrel: error in script \"%s\": %s\n%s\n", fi.filePath().toLocal8Bit().constData(),
                     result.toLocal8Bit().constData(), proxy->lastErrorInfo().toLocal8Bit().constData());
        std::fflush(stderr);
        vemo::message::MessageWindow::getInstance()->addMessage(
            QStringLiteral("ONA-9992"), tr("Error in script \"%1\": %2").arg(fi.filePath(), result),
            vemo::message::MsgError);
        return false;
    }
    return true;
}

void StandaloneWindow::onHelpAbout() {
    vemo::basgui::AboutDialog dlg(this, QStringLiteral("Ondrel Analyzer/Controller"),
                                  QStringLiteral("Ondrel Analyzer/Controller"), windowIcon());
    vemo::basgui::Dialogs::provider()->execDialog(&dlg);
}
