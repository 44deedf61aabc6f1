#include "shell/onagui.h"

#include "kit/navigablepage.h"
#include "kit/tclcommand.h"
#include "shell/cabledialog.h"
#include "shell/optionsdialog.h"
#include "shell/rightview.h"
#include "token/tokendialog.h"

#include "analyzercore.h"
#include "onadata.h"
#include "onajtag.h"
#include "openwaveform.h"
#include "pcsdata.h"
#include "pcsjtag.h"
#include "triggeremodel.h"
#include "triggersetting.h"
#include "waveformmodel.h"

#include "basgui/aboutdialog.h"
#include "basgui/basehelp.h"
#include "basgui/dialogseam.h"
#include "message/messagewindow.h"
#include "message/msgmanager.h"
#include "settings/baseusrsettings.h"
#include "tcl/cgtclcmdman.h"
#include "tcl/cgtclcmdproxy.h"
#include "tcl/cgtcltextedit.h"
#include "theme/themesetting.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMetaMethod>
#include <QProgressBar>
#include <QProgressDialog>
#include <QStatusBar>
#include <QTabWidget>
#include <QThread>
#include <QTimer>

#include <algorithm>

namespace vemo::toolona {

using vemo::basgui::ActionConnection;
using vemo::basgui::StdMenu;

namespace {

QPointer<OnaGUI> g_gui;
vemo::basgui::BaseHelp* g_help = nullptr;

// Taken once at load: every page reads the engine through it.
OnaData* engine() {
    static OnaData* data = OnaData::inst();
    return data;
}

struct TableAction {
    ActionId id;
    const char* text;
    const char* tip;
};

const TableAction kActionTable[] = {
    {ExportAction, "Export...", "Export Waveform to File"},
    {OpenWaveformAction, "Open Waveform...", "Open a simulator's waveform (VCD) beside the capture"},
    {NextChangeAction, "Next Edge", "Move the data position to the next edge of the selected signal"},
    {PreviousChangeAction, "Previous Edge", "Move the data position to the previous edge of the selected signal"},
    {FindValueAction, "Find Value...", "Find a value on the selected signal or bus"},
    {TokenSetManagerAction, "Token Set Manager", "Token Set Manager"},
    {CableManagerAction, "Cable Connection Manager", "Cable Connection Manager"},
    {OptionsAction, "Options...", "Options"},
};

// "exit ?code?" typed in the tool's console closes the window (asking to
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
    QPointer<OnaGUI> window(static_cast<OnaGUI*>(data));
    // Deferred: the command (and whatever script called it) returns first.
    QTimer::singleShot(0, qApp, [window, code] {
        if (!window || window->close())
            QCoreApplication::exit(code);
    });
    return TCL_OK;
}

// Tcl closes the process's stdin/stdout/stderr when the last interpreter
// using them is deleted; the window's interpreter goes with the window, the
// process's output must not.
void keepStdChannels() {
    static bool kept = false;
    if (kept)
        return;
    kept = true;
    for (int type : {TCL_STDIN, TCL_STDOUT, TCL_STDERR})
        if (Tcl_Channel channel = Tcl_GetStdChannel(type))
            Tcl_RegisterChannel(nullptr, channel);
}

} // namespace

OnaGUI* OnaGUI::instance() { return g_gui; }

vemo::basgui::BaseHelp* OnaGUI::helpInstance() { return g_gui ? g_help : nullptr; }

OnaGUI::OnaGUI(QWidget* parent, QList<QString>& args, QString&, bool standalone, QString startupCommand)
    : BasGUITool(parent, standalone, true), m_standalone(standalone), m_startupCommand(startupCommand) {
    // The tool's messages are the tool's: the host reads the catalogue when
    // an "analyzer" message is first posted.
    vemo::message::msgManager::registerCatalogue(QStringLiteral("analyzer"),
                                                 QStringLiteral(":/toolona/messages/analyzer.json"));
    setObjectName(QStringLiteral("OnaGUI"));
    setWindowTitle(standalone ? standaloneTitle() : embeddedTitle());

    m_rightView = new RightView(this, this);
    connect(m_rightView->tabWidget(), &QTabWidget::currentChanged, this, &OnaGUI::doTabChanged);
    setCentralWidget(m_rightView);
    installEventFilter(this);

    for (const TableAction& entry : kActionTable) {
        auto* action = new QAction(tr(entry.text), this);
        const QString tip = tr(entry.tip);
        action->setStatusTip(tip + QLatin1Char('\n') + tip);
        m_actions.insert(entry.id, action);
    }
    // The tree answers Tab itself (it must stay focus navigation elsewhere),
    // so the menu entries only show those keys; Ctrl+F and F3 work anywhere
    // in the window while a capture is shown.
    m_actions.value(NextChangeAction)->setShortcut(QKeySequence(Qt::Key_Tab));
    m_actions.value(NextChangeAction)->setShortcutContext(Qt::WidgetShortcut);
    m_actions.value(PreviousChangeAction)->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_Tab));
    m_actions.value(PreviousChangeAction)->setShortcutContext(Qt::WidgetShortcut);
    m_actions.value(FindValueAction)->setShortcut(QKeySequence::Find);
    m_actions.value(FindValueAction)->setShortcutContext(Qt::WindowShortcut);
    for (ActionId id : {NextChangeAction, PreviousChangeAction, FindValueAction}) {
        m_actions.value(id)->setEnabled(false);
        connect(this, &OnaGUI::zoomAvailable, m_actions.value(id), &QAction::setEnabled);
    }
    connect(m_actions.value(NextChangeAction), &QAction::triggered, this, [this] { gotoChange(true); });
    connect(m_actions.value(PreviousChangeAction), &QAction::triggered, this, [this] { gotoChange(false); });
    connect(m_actions.value(FindValueAction), &QAction::triggered, this, [this] {
        if (NavigablePage* page = zoomablePage())
            page->showFind();
    });
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("RunProgress"));
    m_progress->setMinimum(0);
    m_progress->setFixedWidth(150);
    m_progress->setAutoFillBackground(true);
    m_progress->setStyleSheet(QStringLiteral("text-align: center; color: #0488E4;"));
    QFont bold = m_progress->font();
    bold.setWeight(QFont::Bold);
    bold.setItalic(true);
    m_progress->setFont(bold);
    // The status text is drawn in the bar's blue over the progress chunk:
    // a translucent chunk keeps it readable on light and dark themes alike.
    QPalette palette = m_progress->palette();
    palette.setColor(QPalette::Highlight, QColor(0x04, 0x88, 0xE4, 56));
    m_progress->setPalette(palette);
    m_progress->setTextVisible(true);
    setRunState(QStringLiteral("Ready"));
    const auto runAction = [this](const QString& text, const QString& icon, const QString& tip) {
        auto* action = new QAction(QIcon(icon), text, this);
        action->setWhatsThis(tip);
        action->setStatusTip(tip);
        action->setToolTip(text);
        return action;
    };
    m_runAction = runAction(tr("Run"), QStringLiteral(":/images/run.png"),
                            tr("Configure then wait for trigger condition before uploading trace data"));
    m_stopAction = runAction(tr("Stop"), QStringLiteral(":/images/stop.png"), tr("Stop without uploading any data"));
    m_trigAction = runAction(tr("Manual Trigger"), QStringLiteral(":/images/trigger.png"),
                             tr("Stop and upload current trace data"));
    m_stopAction->setEnabled(false);
    m_stopAction->setVisible(false);
    m_trigAction->setEnabled(false);
    connect(m_runAction, &QAction::triggered, this, &OnaGUI::runAnalyzer);
    connect(m_stopAction, &QAction::triggered, this, &OnaGUI::stopAnalyzer);
    connect(m_trigAction, &QAction::triggered, this, &OnaGUI::manualTrigger);

    // Initial file: the first argument, without surrounding double quotes.
    QString first = args.isEmpty() ? QString() : args.constFirst();
    if (first.size() >= 2 && first.startsWith(QLatin1Char('"')))
        first = first.mid(1, first.size() - 2);
    const QFileInfo fi(first);
    if (!first.isEmpty() && fi.isFile()) {
        m_fileName = fi.absoluteFilePath();
        m_fileTime = fi.lastModified();
    } else {
        m_fileName = QStringLiteral("Untitled");
        m_untitled = true;
    }

    setMouseTracking(true);
    OnaData* data = engine();
    connect(data, &OnaData::sigProjectOpened, this, &OnaGUI::onProjectOpened);
    connect(data, &OnaData::sigProjectSaved, this, &OnaGUI::onProjectSaved);
    connect(data, &OnaData::sigProjectClosed, this, &OnaGUI::onProjectClosed);
    data->setCloseCheck(
        [self = QPointer<OnaGUI>(this)](QString* error) { return !self || self->confirmProjectClose(error); });
    connect(data, &OnaData::sigFileNameChanged, this, &OnaGUI::onFileNameChanged);
    // A simulator's waveform opened from the menu, the console or a script
    // comes to front at once; while one reads, the window shows how far.
    connect(OpenWaveform::notifier(), &OpenWaveformNotifier::changed, this, [this] {
        const auto store = OpenWaveform::current();
        if (m_rightView)
            m_rightView->refreshPresence();
        if (!store)
            return;
        // Said once, so that an open from the menu is never silent.
        reportDone(tr("Opened the simulator's waveform %1; variables: %2, value changes: %3, timescale: %4%5. "
                      "Compare it with the capture from the waveform's menu (Compare with Capture…).")
                       .arg(QDir::toNativeSeparators(store->file))
                       .arg(store->numVars())
                       .arg(store->totalChanges())
                       .arg(QString::number(store->timeMagnitude) + store->timeUnit,
                            store->partial ? tr(" (partial: %1)").arg(store->error) : QString()));
        if (m_rightView)
            m_rightView->showWaveformPage();
    });
    OpenWaveform::setLoadProgress([self = QPointer<OnaGUI>(this)](const QString& file, qint64 done, qint64 total) {
        return !self || self->showLoadProgress(file, done, total);
    });

    if (m_standalone) {
        m_consoleAction = new QAction(tr("Tcl Console"), this);
        m_consoleAction->setObjectName(QStringLiteral("actionTclConsole"));
        m_consoleAction->setStatusTip(tr("Toggle Tcl Console View"));
    }
    g_gui = this;
    m_initSerdes = 1;
    m_porCores.clear();
}

OnaGUI::~OnaGUI() {
    // Children (docks, tool bars) announce their own destruction after this
    // body; none of that may reach a half-destroyed window.
    if (m_consoleDock)
        disconnect(m_consoleDock, nullptr, this, nullptr);
    if (m_rightView)
        disconnect(m_rightView->tabWidget(), nullptr, this, nullptr);
    preCloseGUI();
    if (g_gui == this)
        OpenWaveform::setLoadProgress(nullptr);
    // The window is going: what the engine's reset tells the pages is not
    // drawn (a lamp that repaints at once would paint the whole window).
    setUpdatesEnabled(false);
    engine()->resetData();
    delete m_rightView;
    m_rightView = nullptr;
    m_connections.clear();
    if (g_gui == this) {
        g_gui = nullptr;
        g_help = nullptr;
    }
    if (m_interp) {
        if (m_tclEvents)
            m_tclEvents->stop();
        CGTclCmdMan::deleteInterp(m_interp);
        m_interp = nullptr;
    }
}

// ---------------------------------------------------------------- start-up

bool OnaGUI::initialize() {
    if (!BasGUITool::initialize())
        return false;
    initMyMenus();
    initMyConnections();
    g_help = help();

    addWidgetOnSpecialToolBar(m_progress);
    addButtonOnSpecialToolBar(m_runAction);
    addButtonOnSpecialToolBar(m_stopAction);
    addButtonOnSpecialToolBar(m_trigAction);
    addSeparatorOnSpecialToolBar();

    OnaData* data = engine();
    connect(data, &OnaData::infoDirty, this, &OnaGUI::doInfoChanged, Qt::UniqueConnection);

    if (m_standalone) {
        if (!tclInitialize())
            return false;
        auto* messages = vemo::message::MessageWindow::getInstance();
        messages->initialize(this, nullptr, nullptr, 15);
        connect(messages, &vemo::message::MessageWindow::sigNewMessageOut, this, &OnaGUI::printTo,
                Qt::UniqueConnection);
        messageOut("0000");
    }

    // Before the start-up command: a project it opens may start a run at
    // once (power-on reset), whose progress must not be lost.
    connectEngineSignals();

    bool startupOk = true;
    if (!m_startupCommand.isEmpty()) {
        startupOk = tclEval(m_startupCommand);
        if (!startupOk && !m_standalone)
            return false;
    }
    const bool noProject = data->getCurrentProject().isEmpty();
    // Stand-alone with nothing to open: the window starts empty and the
    // user opens a file from it, instead of failing on "Untitled".
    if (!startupOk || (m_standalone && noProject && m_untitled)) {
        m_fileName.clear();
        m_untitled = false;
        clearModelPointers();
        ResetDirtyBit();
        GetWinSettings();
        return true;
    }
    if (!noProject) {
        m_fileName = QFileInfo(data->getCurrentProject()).absoluteFilePath();
        m_untitled = false;
    }
    return LoadFile(m_startupCommand) == 1;
}

bool OnaGUI::tclInitialize() {
    // The interpreter knows the program's own path (info nameofexecutable).
    QByteArray program = QCoreApplication::applicationFilePath().toLocal8Bit();
    if (program.isEmpty() && !QCoreApplication::arguments().isEmpty())
        program = QCoreApplication::arguments().constFirst().toLocal8Bit();
    char* argv[] = {program.data(), nullptr};
    // The tool's packages, where this process provides them.
    QStringList packages;
    for (const QString& name : {QStringLiteral("ona"), QStringLiteral("dtc")})
        if (CGTclCmdMan::isRegistered(name))
            packages << name;
    const QByteArray packageList = packages.join(QLatin1Char(',')).toLatin1();
    m_interp = CGTclCmdMan::createInterp(1, argv, packageList.constData());
    if (!m_interp)
        return false;
    keepStdChannels();
    Tcl_CreateObjCommand(m_interp, "exit", guiExitCmd, this, nullptr);

    m_consoleDock = new QDockWidget(tr("Tcl Console"), this);
    m_consoleDock->setObjectName(QStringLiteral("TclConsoleDock"));
    m_consoleDock->setAllowedAreas(Qt::BottomDockWidgetArea);
    m_console = new CGTclTextEdit(m_consoleDock, m_interp);
    m_consoleDock->setWidget(m_console);
    m_consoleDock->setFocusProxy(m_console);
    addDockWidget(Qt::BottomDockWidgetArea, m_consoleDock);
    m_consoleDock->raise();

    m_consoleAction->setCheckable(true);
    m_consoleAction->setChecked(true);
    connect(m_consoleAction, &QAction::toggled, m_consoleDock, &QDockWidget::setVisible);
    connect(m_consoleDock, &QDockWidget::visibilityChanged, this, &OnaGUI::onToggleConsoleView);

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

void OnaGUI::onToggleConsoleView() {
    if (m_consoleAction && m_consoleDock)
        m_consoleAction->setChecked(m_consoleDock->isVisible());
}

void OnaGUI::connectEngineSignals() {
    if (m_engineConnected)
        return;
    m_engineConnected = true;
    OnaData* data = engine();
    connect(data, &OnaData::setDirty, this, &OnaGUI::doItemChanged, Qt::UniqueConnection);
    connect(data, &OnaData::settingDirty, this, &OnaGUI::doSettingChanged, Qt::UniqueConnection);
    connect(data, &OnaData::coreSetDirty, this, &OnaGUI::doCoreSetChanged, Qt::UniqueConnection);
    connect(data, &OnaData::coreRunDirty, this, &OnaGUI::doCoreRunChanged, Qt::UniqueConnection);
    connect(data, &OnaData::errorDirty, this, &OnaGUI::doErrorChanged, Qt::UniqueConnection);
    connect(data, &OnaData::tokenDirty, this, &OnaGUI::doTokenChanged, Qt::UniqueConnection);
    m_acqThread = data->getAcqThread();
    m_jtag = data->getJTAG();
    // The engine forwards these from the acquisition thread: queued by the
    // automatic connection.
    connect(data, &OnaData::runStarted, this, &OnaGUI::doRunThread, Qt::UniqueConnection);
    connect(data, &OnaData::captureDone, this, &OnaGUI::doDoneThread, Qt::UniqueConnection);
    if (m_jtag) {
        connect(m_jtag, &OnaJTAG::updatePanel, this, &OnaGUI::doUpdatePanel, Qt::UniqueConnection);
        connect(m_jtag, &OnaJTAG::redrawPanel, this, &OnaGUI::doRedrawPanel, Qt::UniqueConnection);
    }
    connect(PCSData::inst()->getJTAG(), &PCSJTAG::pcsPanel, this, &OnaGUI::doPCSPanel, Qt::UniqueConnection);
    // The SERDES pages' tclPCS commands reach tclEval through the gateway
    // they are built with (the page table).
}

void OnaGUI::disconnectEngineSignals() {
    if (!m_engineConnected)
        return;
    m_engineConnected = false;
    OnaData* data = engine();
    disconnect(data, &OnaData::setDirty, this, &OnaGUI::doItemChanged);
    disconnect(data, &OnaData::settingDirty, this, &OnaGUI::doSettingChanged);
    disconnect(data, &OnaData::coreSetDirty, this, &OnaGUI::doCoreSetChanged);
    disconnect(data, &OnaData::coreRunDirty, this, &OnaGUI::doCoreRunChanged);
    disconnect(data, &OnaData::errorDirty, this, &OnaGUI::doErrorChanged);
}

// ------------------------------------------------------------ command bridge

bool OnaGUI::tclEval(const QString& cmd, QString* result) {
    int code = TCL_ERROR;
    if (m_standalone) {
        // The proxy hands Tcl the text as UTF-8, so any path or name arrives
        // as typed whatever the locale.
        const QString text = CGTclCmdProxy::getInstance(this)->callTclCommand(cmd, &code, false, true);
        if (result)
            *result = text;
        m_lastResult = text;
    } else {
        QString scratch;
        QString& text = result ? *result : scratch;
        if (isSignalConnected(QMetaMethod::fromSignal(&BasGUITool::sigRunTclCmd))) {
            emit sigRunTclCmd(cmd, code, text);
        } else {
            code = TCL_ERROR;
            text = tr("no host is connected to run \"%1\"").arg(cmd);
        }
        m_lastResult = text;
    }
    return code == TCL_OK;
}

bool OnaGUI::callInterp(const QString& cmd) {
    if (!m_interp)
        return false;
    int code = TCL_ERROR;
    CGTclCmdProxy::getInstance(this)->callTclCommand(cmd, &code, true, true);
    return code == TCL_OK;
}

void OnaGUI::messageOut(const std::string& id, const std::string& arg) {
    vemo::message::msgManager manager("analyzer");
    if (arg.empty())
        manager.postMsg(id);
    else
        manager.postMsg(id, arg);
}

void OnaGUI::logInfo(const char* text) {
    const QString info = QString::fromUtf8(text ? text : "");
    messageOut("9992", info.toStdString());
    if (m_standalone)
        callInterp(tclCommand(QStringLiteral("puts -nonewline \"%1\""), tclQuoted(info)));
}

void OnaGUI::doInfoChanged(const char* info) { logInfo(info); }

void OnaGUI::reportRefusal(const QString& message) {
    statusBar()->showMessage(message, 15000);
    messageOut("9992", message.toStdString());
}

void OnaGUI::reportDone(const QString& message) {
    statusBar()->showMessage(message, 15000);
    messageOut("9992", message.toStdString());
}

void OnaGUI::openHelpTopic(const QString& topic) {
    if (auto* help = helpInstance())
        help->openViewHelpUrl(topic);
}

void OnaGUI::doTclPCS(QString cmd) { tclEval(cmd); }

void OnaGUI::showOptions() {
    if (isSignalConnected(QMetaMethod::fromSignal(&OnaGUI::sigOptionDialog))) {
        emit sigOptionDialog();
        return;
    }
    OptionsDialog dialog(m_initSerdes, this);
    if (vemo::basgui::Dialogs::provider()->execDialog(&dialog) != QDialog::Accepted)
        return;
    setInitSerdesPreference(dialog.initSerdes());
    const bool changed = dialog.theme() != vemo::theme::ThemeSetting::style();
    vemo::theme::ThemeSetting::setStyle(dialog.theme());
    if (changed)
        if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
            vemo::theme::ThemeSetting::applyTo(app);
}

// -------------------------------------------------------------- message boxes

QMessageBox::StandardButton OnaGUI::showmsg(const QString& text, QWidget* parent) {
    return vemo::basgui::Dialogs::message(QMessageBox::Information, parent, caption(), text, QMessageBox::Ok);
}

QMessageBox::StandardButton OnaGUI::showwarnmsg(const QString& text, QWidget* parent) {
    return vemo::basgui::Dialogs::message(QMessageBox::Warning, parent, caption(), text, QMessageBox::Ok);
}

QMessageBox::StandardButton OnaGUI::showerrormsg(const QString& text, QWidget* parent) {
    return vemo::basgui::Dialogs::message(QMessageBox::Critical, parent, caption(), text, QMessageBox::Ok);
}

QMessageBox::StandardButton OnaGUI::showconfirmmsg(const QString& text, QWidget* parent, bool withCancel) {
    QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No;
    if (withCancel)
        buttons |= QMessageBox::Cancel;
    return vemo::basgui::Dialogs::message(QMessageBox::Question, parent, caption(), text, buttons);
}

int OnaGUI::showONLMsg(const QString& text, QWidget* parent) {
    const int index = vemo::basgui::Dialogs::provider()->customMessageBox(
        QMessageBox::Warning, parent, caption(), text,
        {QStringLiteral("Yes"), QStringLiteral("Ignore once"), QStringLiteral("Never")});
    // Closed without a choice: nothing decided, ask again next time.
    m_reloadStatus = (index >= 0 && index <= 2) ? index + 1 : int(ReloadNone);
    return m_reloadStatus;
}

// --------------------------------------------------------- titles, identity

QString OnaGUI::toolName() const { return QStringLiteral("ONL_ANALYZER"); }

QString OnaGUI::title() const {
    const QString base = m_standalone ? standaloneTitle() : embeddedTitle();
    return m_modified ? base + QStringLiteral(" *") : base;
}

QString OnaGUI::fullTitle() const {
    const QString base = m_standalone ? standaloneTitle() : embeddedTitle();
    QString text = m_fileName.isEmpty() ? base : QStringLiteral("%1 - %2").arg(base, m_fileName);
    if (m_modified)
        text += QStringLiteral(" *");
    return text;
}

void OnaGUI::toolGUIInfo(QString& name, QString& tip, QIcon& icon) {
    name = tip = caption();
    icon = windowIcon();
}

QString OnaGUI::fileName() const { return m_fileName.isEmpty() ? QString() : QFileInfo(m_fileName).fileName(); }

QString OnaGUI::fullFileName() const { return m_fileName; }

void OnaGUI::onAttached(bool attached, QWidget* parent) {
    BasGUITool::onAttached(attached, parent);
    if (attached) {
        statusBar()->hide();
    } else {
        statusBar()->show();
        setWindowTitle(fullTitle());
        evaluateZoom();
    }
}

void OnaGUI::onToolSwitched(bool active) {
    if (!active)
        return;
    onActivated();
    emit fileChanged(m_modified);
    emit alwaysAvailable(true);
    evaluateZoom();
}

void OnaGUI::onClose(bool forced) { BasGUITool::onClose(forced); }

void OnaGUI::helpTool() { help()->openHelpUrl(); }

void OnaGUI::helpAbout() {
    vemo::basgui::AboutDialog dlg(this, embeddedTitle(), embeddedTitle(), windowIcon());
    vemo::basgui::Dialogs::provider()->execDialog(&dlg);
}

bool OnaGUI::eventFilter(QObject* watched, QEvent* event) {
    // F1 opens the help of the page under focus on its own; its release
    // must not reach the base window as well.
    if (event->type() == QEvent::KeyRelease && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1)
        return true;
    return BasGUITool::eventFilter(watched, event);
}

void OnaGUI::keyReleaseEvent(QKeyEvent* event) { BasGUITool::keyReleaseEvent(event); }

void OnaGUI::changeEvent(QEvent* event) {
    BasGUITool::changeEvent(event);
    // Deferred: the reload question must not open inside the activation.
    if (m_standalone && event->type() == QEvent::ActivationChange && isActiveWindow())
        QTimer::singleShot(0, this, &OnaGUI::onActivated);
}

// ---------------------------------------------------------- menus, actions

QList<ActionConnection> OnaGUI::activeConnections() { return m_connections; }

void OnaGUI::initMyConnections() {
    const auto c = [](const char* sender, const char* signal, const char* receiver, const char* slot) {
        return ActionConnection{QLatin1String(sender), QLatin1String(signal), QLatin1String(receiver),
                                QLatin1String(slot)};
    };
    m_connections = {
        c("", "2fileChanged(bool)", "save", "1setEnabled(bool)"),
        c("save", "2triggered()", "", "1onSave()"),
        c("", "2alwaysAvailable(bool)", "save as", "1setEnabled(bool)"),
        c("save as", "2triggered()", "", "1fileSaveAs()"),
        c("", "2zoomAvailable(bool)", "zoom in", "1setEnabled(bool)"),
        c("zoom in", "2triggered()", "", "1viewZoomin()"),
        c("", "2zoomAvailable(bool)", "zoom out", "1setEnabled(bool)"),
        c("zoom out", "2triggered()", "", "1viewZoomout()"),
        c("", "2zoomAvailable(bool)", "zoom fit", "1setEnabled(bool)"),
        c("zoom fit", "2triggered()", "", "1viewZoomfit()"),
        c("", "2alwaysAvailable(bool)", "about", "1setEnabled(bool)"),
        c("about", "2triggered()", "", "1onHelpAbout()"),
        c("", "2alwaysAvailable(bool)", "help", "1setEnabled(bool)"),
        c("help", "2triggered()", "", "1onHelpHelp()"),
    };
}

void OnaGUI::initMyMenus() {
    // Only what activeConnections() does not already ask the host to wire:
    // "save", "save as", the zoom actions and "about" are the host's to
    // connect, and connecting them here too would run each slot twice per
    // click.
    const auto wire = [this](const char* name, void (OnaGUI::*slot)()) {
        if (QAction* action = sharedAction(QLatin1String(name)))
            connect(action, &QAction::triggered, this, slot, Qt::UniqueConnection);
    };
    if (m_standalone) {
        wire("new", &OnaGUI::fileNew);
        wire("open", &OnaGUI::fileOpen);
        // Closing the analyzer file ends the tool (the engine's close
        // announcement closes the window); nobody else answers "close".
        wire("close", &OnaGUI::fileClose);
        connect(m_actions.value(OptionsAction), &QAction::triggered, this, &OnaGUI::showOptions, Qt::UniqueConnection);
    }
    connect(m_actions.value(ExportAction), &QAction::triggered, this, &OnaGUI::onExportWaveform, Qt::UniqueConnection);
    connect(m_actions.value(OpenWaveformAction), &QAction::triggered, this, &OnaGUI::onOpenWaveform,
            Qt::UniqueConnection);
    connect(m_actions.value(TokenSetManagerAction), &QAction::triggered, this, &OnaGUI::onTokenManage,
            Qt::UniqueConnection);
    connect(m_actions.value(CableManagerAction), &QAction::triggered, this, &OnaGUI::onCableManage,
            Qt::UniqueConnection);
    emit editAvailable(!m_readOnlyFile);
}

QStringList OnaGUI::stdMenuItems(StdMenu menu) {
    switch (menu) {
        case vemo::basgui::FileMenu:
            if (m_standalone)
                return {QStringLiteral("new"), QStringLiteral("open"), QStringLiteral("save"),
                        QStringLiteral("save as"), QStringLiteral("close")};
            return {QStringLiteral("save"), QStringLiteral("save as"), QStringLiteral("close")};
        case vemo::basgui::ViewMenu:
            return {QStringLiteral("zoom in"), QStringLiteral("zoom out"), QStringLiteral("zoom fit")};
        case vemo::basgui::WindowMenu:
            if (m_standalone)
                return {};
            return {QStringLiteral("detach"), QStringLiteral("attach")};
        case vemo::basgui::HelpMenu:
            return {QStringLiteral("about"), QStringLiteral("help")};
        default:
            return {};
    }
}

QList<QAction*> OnaGUI::myMenuItems(StdMenu menu) {
    switch (menu) {
        case vemo::basgui::FileMenu:
            return {m_actions.value(OpenWaveformAction), m_actions.value(ExportAction)};
        case vemo::basgui::ViewMenu: {
            QList<QAction*> items{m_actions.value(NextChangeAction), m_actions.value(PreviousChangeAction),
                                  m_actions.value(FindValueAction)};
            if (m_standalone)
                items << m_consoleAction << vemo::message::MessageWindow::getInstance()->toggleViewAction();
            return items;
        }
        case vemo::basgui::ToolsMenu:
            if (m_standalone)
                return {m_actions.value(TokenSetManagerAction), m_actions.value(CableManagerAction),
                        m_actions.value(OptionsAction)};
            return {m_actions.value(TokenSetManagerAction), m_actions.value(CableManagerAction)};
        default:
            return {};
    }
}

QList<QMenu*> OnaGUI::myMenus() { return {}; }

QStringList OnaGUI::stdToolbarButtons() {
    if (m_standalone)
        return {QStringLiteral("new"),     QStringLiteral("open"),     QStringLiteral("save"),
                QStringLiteral("zoom in"), QStringLiteral("zoom out"), QStringLiteral("zoom fit"),
                QStringLiteral("about"),   QStringLiteral("help")};
    return {QStringLiteral("save"),     QStringLiteral("zoom in"), QStringLiteral("zoom out"),
            QStringLiteral("zoom fit"), QStringLiteral("about"),   QStringLiteral("help")};
}

Qt::ToolBarArea OnaGUI::specialToolBarArea() {
    addToolBarBreak(Qt::TopToolBarArea);
    return Qt::TopToolBarArea;
}

void OnaGUI::refreshConnections() {
    emit fileChanged(m_modified);
    emit alwaysAvailable(true);
    evaluateZoom();
}

bool OnaGUI::connectSharedAction() {
    const bool all = BasGUITool::connectSharedAction();
    // The host's actions start enabled; they must show this window's state
    // (nothing to save, no capture to zoom) from the moment they are wired.
    refreshConnections();
    return all;
}

void OnaGUI::onUndoChanged(bool available) { emit undoAvailable(available && !m_readOnlyFile); }

void OnaGUI::onRedoChanged(bool available) { emit redoAvailable(available && !m_readOnlyFile); }

void OnaGUI::filePrint() { engine()->logDebug(QStringLiteral("not implemented yet")); }

void OnaGUI::programDevice() {
    messageOut("0000");
    // Called directly there is no sending action: the host's status tip is
    // cleared rather than left at a stale text.
    const auto* action = qobject_cast<QAction*>(sender());
    emit sigStatusTips(action ? action->statusTip() : QString());
}

void OnaGUI::onOpenWaveform() {
    const QString chosen =
        askOpenFile(m_lastWaveform, tr("Open Waveform"), QStringLiteral("Value Change Dump (*.vcd);;All Files (*)"));
    if (chosen.isEmpty())
        return;
    m_lastWaveform = chosen;
    if (!tclEval(
            tclCommand(QStringLiteral("ona_open_waveform \"%1\""), tclQuoted(QFileInfo(chosen).absoluteFilePath()))))
        showerrormsg(m_lastResult, this);
}

bool OnaGUI::showLoadProgress(const QString& file, qint64 done, qint64 total) {
    // Only the window's own thread may show it (a host may read elsewhere).
    if (QThread::currentThread() != thread())
        return true;
    if (done < 0) {
        delete m_loadProgress;
        return true;
    }
    if (!m_loadProgress) {
        m_loadProgress =
            new QProgressDialog(tr("Reading %1...").arg(QFileInfo(file).fileName()), tr("Cancel"), 0, 1000, this);
        m_loadProgress->setObjectName(QStringLiteral("WaveformLoadProgress"));
        m_loadProgress->setWindowTitle(tr("Open Waveform"));
        // Modal: setValue then handles the window's events, Cancel included,
        // and nothing else can be started meanwhile.
        m_loadProgress->setWindowModality(Qt::ApplicationModal);
        m_loadProgress->setMinimumDuration(400);
        m_loadProgress->setAutoClose(false);
        m_loadProgress->setAutoReset(false);
    }
    m_loadProgress->setValue(total > 0 ? int(std::clamp<qint64>(done * 1000 / total, 0, 1000)) : 0);
    return !m_loadProgress->wasCanceled();
}

void OnaGUI::onExportWaveform() {
    // In front of the simulator's waveform, Export... writes that one back.
    if (m_rightView && m_rightView->isWaveformPageCurrent()) {
        exportSimulationWaveform(this, this,
                                 m_lastWaveform.isEmpty() ? QString() : QFileInfo(m_lastWaveform).absolutePath());
        return;
    }
    if (!waveformHasData())
        showmsg(tr("There is no captured data to export yet."), this);
    else
        m_rightView->notify(PageNotice{PageEvent::ExportCapture}, true);
}

void OnaGUI::onTokenManage() {
    if (engine()->getNumCore() > 0) {
        TokenDialog dialog(this, this);
        vemo::basgui::Dialogs::provider()->execDialog(&dialog);
    }
}

void OnaGUI::onCableManage() {
    CableDialog dialog(this, engine()->getJTAG(), this);
    if (vemo::basgui::Dialogs::provider()->execDialog(&dialog) == QDialog::Accepted)
        SetDirtyBit();
}

void OnaGUI::onHelpAbout() { helpAbout(); }

void OnaGUI::onHelpHelp() { helpTool(); }

NavigablePage* OnaGUI::zoomablePage() const {
    NavigablePage* page = m_rightView ? m_rightView->currentNavigablePage() : nullptr;
    return page && page->canNavigate() ? page : nullptr;
}

void OnaGUI::zoomPage(void (NavigablePage::*zoom)()) {
    if (NavigablePage* page = zoomablePage())
        (page->*zoom)();
}

void OnaGUI::zoomIn() { zoomPage(&NavigablePage::zoomIn); }

void OnaGUI::zoomOut() { zoomPage(&NavigablePage::zoomOut); }

void OnaGUI::zoomFit() { zoomPage(&NavigablePage::zoomFit); }

void OnaGUI::zoomTrigger() { zoomPage(&NavigablePage::zoomTrigger); }

bool OnaGUI::gotoChange(bool forward) {
    NavigablePage* page = zoomablePage();
    return page && page->gotoChange(forward);
}

void OnaGUI::viewZoomin() { zoomIn(); }
void OnaGUI::viewZoomout() { zoomOut(); }
void OnaGUI::viewZoomfit() { zoomFit(); }
void OnaGUI::viewZoomtrigger() { zoomTrigger(); }

// -------------------------------------------------------------- right view

bool OnaGUI::waveformHasData() const {
    // The model the waveform page shows (or will show once built).
    const WaveformModel* model = m_rightView ? m_rightView->models().wd.data() : nullptr;
    return model && model->hasData();
}

void OnaGUI::evaluateZoom() { emit zoomAvailable(zoomablePage() != nullptr); }

void OnaGUI::clearModelPointers() {
    m_tuModel = nullptr;
    m_teModel = nullptr;
    m_tsModel = nullptr;
    m_wdModel = nullptr;
}

void OnaGUI::refreshViews() { m_rightView->attachModels(m_tuModel, m_teModel, m_tsModel, m_wdModel); }

void OnaGUI::updateRightViewDisplay() {
    OnaData* data = engine();
    const QSharedPointer<AnalyzerCore> core = data->getCorePtr(data->getCurrentCore());
    if (!core) {
        // No core (no project, or a project without cores): nothing to show
        // but the empty pages; never keep models of a closed project.
        clearModelPointers();
        m_rightView->attachModels(nullptr, nullptr, nullptr, nullptr);
        m_rightView->showAnalyzerTabs();
        return;
    }
    if (core->getKind() == AnalyzerCore::LogicAnalyzer) {
        m_tuModel = data->getTUModel();
        m_teModel = data->getTEModel();
        m_tsModel = data->getTSModel();
        m_wdModel = data->getWDModel();
        // The setup is read-only while a capture runs (the engine refuses
        // edits then): the trigger page's row reads that with the models.
        m_rightView->attachModels(m_tuModel, m_teModel, m_tsModel, m_wdModel);
        m_rightView->showAnalyzerTabs();
    } else if (core->getKind() == AnalyzerCore::Controller) {
        clearModelPointers();
        m_rightView->attachModels(nullptr, nullptr, nullptr, nullptr);
        m_rightView->setControllerCore(core);
        m_rightView->showControllerTabs(core->getName(), false);
    }
}

void OnaGUI::doTabChanged(int index) {
    if (zoomablePage()) {
        emit zoomAvailable(true);
        return;
    }
    emit zoomAvailable(false);
    m_rightView->notifyShown(index);
}

void OnaGUI::doPCSPanel(int state) {
    static const QHash<int, QString> texts = {
        {0, QStringLiteral("Connecting")},     {2, QStringLiteral("Controlling SERDES")},
        {3, QStringLiteral("Injecting PRBS")}, {4, QStringLiteral("Writing data")},
        {5, QStringLiteral("Reading data")},   {6, QStringLiteral("Initializing SERDES")},
        {7, QStringLiteral("Completed")},      {8, QStringLiteral("Reset error!")},
        {9, QStringLiteral("Timeout error!")}, {10, QStringLiteral("Idle: unknown command!")},
        {11, QStringLiteral("Parity error!")}, {16, QStringLiteral("Reloading SERDES")},
    };
    setRunState(texts.value(state, QStringLiteral("ERROR!")));
    const QString err = PCSData::inst()->getRunErr();
    if (err.startsWith(QStringLiteral("ERROR:")))
        showerrormsg(err, this);
}

void OnaGUI::applyAllBusRadix(int radix) {
    if (radix >= 0)
        m_rightView->notify(PageNotice{PageEvent::BusRadix, radix}, true);
}

void OnaGUI::applyAllUserRegisterRadix(int radix) {
    if (radix < 0)
        return;
    m_rightView->notify(PageNotice{PageEvent::RegisterRadix, radix}, true);
}

void OnaGUI::Refresh() {
    m_rightView->showCapturePage();
    // A capture page not built yet reads its header when it is.
    m_rightView->notify(PageNotice{PageEvent::CaptureRefresh});
}

} // namespace vemo::toolona
