#pragma once

// The tool window of the Ondrel Analyzer/Controller, exported to hosts.
//
// One instance per process. Stand-alone it owns its Tcl interpreter, console
// and message window; embedded, every engine command goes to the host
// through sigRunTclCmd. Pages, dialogs and delegates never include this
// header: they get the window as their ToolGateway (kit/toolgateway.h).

#include "kit/toolgateway.h"
#include "kit/toolona_global.h"

#include "basgui/basguitool.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>

#include <string>

class QAction;
class QCheckBox;
class QComboBox;
class QDockWidget;
class QPrinter;
class QProgressBar;
class QProgressDialog;
class QStandardItem;
class QThread;
class QTimer;
class CGTclTextEdit;
class OnaJTAG;
class TriggerEModel;
class TriggerSetting;
class TriggerUModel;
class WaveformModel;
struct Tcl_Interp;

namespace vemo::basgui {
class BaseHelp;
}

namespace vemo::toolona {

class NavigablePage;
class RightView;

// The tool's own actions (tableAction), by their table id.
enum ActionId {
    ExportAction = 20,
    OpenWaveformAction = 24,
    NextChangeAction = 21,
    PreviousChangeAction = 22,
    FindValueAction = 23,
    TokenSetManagerAction = 32,
    CableManagerAction = 33,
    OptionsAction = 91
};

// Answer to the debug-logic reload question.
enum ReloadStatus { ReloadNone = 0, ReloadNow = 1, ReloadIgnoreOnce = 2, ReloadNever = 3 };

class TOOLONA_EXPORT OnaGUI : public vemo::basgui::BasGUITool, public ToolGateway {
    Q_OBJECT
public:
    // args: the first element may name the analyzer file (surrounding double
    // quotes are dropped). The unnamed string is not used. startupCommand,
    // when not empty, runs in initialize() before the file is loaded.
    OnaGUI(QWidget* parent, QList<QString>& args, QString& unused, bool standalone, QString startupCommand = QString());
    ~OnaGUI() override;

    // The last constructed tool window (null when none lives).
    static OnaGUI* instance();
    // The tool's help object, published by initialize() (null before).
    static vemo::basgui::BaseHelp* helpInstance();

    static QString caption() { return QStringLiteral("Ondrel Analyzer"); }
    static QString standaloneTitle() { return QStringLiteral("Ondrel Analyzer/Controller (Stand-alone)"); }
    static QString embeddedTitle() { return QStringLiteral("Ondrel Analyzer/Controller"); }

    // The one channel for engine commands. True when the engine returned 0;
    // the result (or error) text goes to *result when given. Shows nothing.
    bool tclEval(const QString& cmd, QString* result = nullptr) override;
    // The gateway's other services: a refusal goes to the status bar and
    // the message window ("9992"); markModified is SetDirtyBit; a help
    // topic opens in the tool's help once initialize() published it.
    void reportRefusal(const QString& message) override;
    void reportDone(const QString& message) override;
    void markModified() override { SetDirtyBit(); }
    void openHelpTopic(const QString& topic) override;

    // Message boxes with the caption "Ondrel Analyzer", through the host's
    // dialog seam; each returns the button clicked.
    static QMessageBox::StandardButton showmsg(const QString& text, QWidget* parent = nullptr);
    static QMessageBox::StandardButton showwarnmsg(const QString& text, QWidget* parent = nullptr);
    static QMessageBox::StandardButton showerrormsg(const QString& text, QWidget* parent = nullptr);
    static QMessageBox::StandardButton showconfirmmsg(const QString& text, QWidget* parent = nullptr,
                                                      bool withCancel = false);
    // The debug-logic reload question: "Yes", "Ignore once", "Never". Stores
    // and returns the ReloadStatus (ReloadNone when closed without a choice).
    int showONLMsg(const QString& text, QWidget* parent);

    // Posts catalogue message `id` of the category "analyzer".
    void messageOut(const std::string& id, const std::string& arg = std::string());
    // Free text to the message window ("9992"); stand-alone also the console.
    void logInfo(const char* text);

    // Modified state of the analyzer file.
    void SetDirtyBit();
    void ResetDirtyBit();
    bool CompareData() const { return !m_modified; }
    bool isOnlModified() const;

    // Host virtual operations.
    bool initialize() override;
    QString toolName() const override;
    QString fullTitle() const override;
    QString title() const override;
    void toolGUIInfo(QString& name, QString& tip, QIcon& icon) override;
    QString fileName() const override;
    QString fullFileName() const override;
    bool isModified() const override { return m_modified; }
    QList<vemo::basgui::ActionConnection> activeConnections() override;
    bool connectSharedAction() override;
    QStringList stdMenuItems(vemo::basgui::StdMenu menu) override;
    QList<QAction*> myMenuItems(vemo::basgui::StdMenu menu) override;
    QList<QMenu*> myMenus() override;
    QStringList stdToolbarButtons() override;
    bool needSpecialToolBar() override { return true; }
    Qt::ToolBarArea specialToolBarArea() override;
    bool maybeSave() override;
    // While set (a start-up script runs), nothing may wait for an answer:
    // closing the project with unsaved edits from Tcl is refused instead.
    void setUnattended(bool on) { m_unattended = on; }

    // Identity towards an embedding host.
    void setInstanceId(int id) { m_instanceId = id; }
    int instanceId() const { return m_instanceId; }
    int getNumCore() const { return m_numCore; }
    bool isStandaloneMode() const { return m_standalone; }
    QString startupCommand() const { return m_startupCommand; }

    // Analyzer file lifecycle.
    int LoadFile(const QString& startupCommand);
    bool SaveFile();
    void CloseFile();
    void NewFile();
    void Reload();
    void ClearAll() {}
    bool isUntitled() const { return m_untitled; }
    bool isReadOnlyFile() const { return m_readOnlyFile; }
    int reloadStatus() const { return m_reloadStatus; }
    quint64 onlTimeStamp() const { return m_onlStamp; }
    QDateTime fileTime() const { return m_fileTime; }
    // Entry points for an embedding application (answers to sigNewFile and
    // sigOpenFile). Both return true when a file is open afterwards.
    bool doNewFile(QString& fileName, QString command);
    bool doOpenFile(QString& fileName, QString command);
    void importFileToImplementation(QString file);

    void GetWinSettings();
    void SaveWinSettings();
    void preCloseGUI();

    // Right view.
    RightView* rightView() const { return m_rightView; }
    void updateRightViewDisplay();
    void applyAllBusRadix(int radix);
    void applyAllUserRegisterRadix(int radix);
    // Zoom of the current page (when it is a NavigablePage with something
    // to show); nothing otherwise.
    void zoomIn();
    void zoomOut();
    void zoomFit();
    void zoomTrigger();
    // Next (previous) change of the selected row of the current page.
    bool gotoChange(bool forward);
    TriggerUModel* tuModel() const { return m_tuModel; }
    TriggerEModel* teModel() const { return m_teModel; }
    TriggerSetting* tsModel() const { return m_tsModel; }
    WaveformModel* wdModel() const { return m_wdModel; }

    // Run panel.
    void redrawRunPanel(bool bringWaveform);
    void setRunState(const QString& text);
    void resetCoreWidget();
    QProgressBar* progressBar() const { return m_progress; }
    QList<QCheckBox*> coreCheckBoxes() const { return m_coreBoxes; }
    QComboBox* coreSelector() const { return m_coreSelector; }
    QStringList porCoreList() const { return m_porCores; }

    // Own actions by table id (ActionId); the run actions and the console
    // toggle by name.
    QAction* tableAction(int id) const { return m_actions.value(id); }
    QAction* runAction() const { return m_runAction; }
    QAction* stopAction() const { return m_stopAction; }
    QAction* triggerAction() const { return m_trigAction; }
    QAction* consoleAction() const { return m_consoleAction; }
    QDockWidget* consoleDock() const { return m_consoleDock; }
    CGTclTextEdit* console() const { return m_console; }
    Tcl_Interp* interp() const { return m_interp; }

    int initSerdesPreference() const { return m_initSerdes; }
    // Stored at once (stand-alone Options dialog).
    void setInitSerdesPreference(int value);
    // The result or error text of the last tclEval.
    QString lastResult() const { return m_lastResult; }

public slots:
    void onActivated() override;
    void onToolSwitched(bool active) override;
    void onAttached(bool attached, QWidget* parent) override;
    void onClose(bool forced = false) override;
    bool onSave() override;
    void onProjectOpened(const QString& fileName);
    void onProjectSaved(const QString& fileName);
    void onProjectClosed();
    void onFileNameChanged(const QString& name);
    void fileNew();
    void fileOpen();
    bool fileSaveAs();
    void fileClose();
    void helpTool();
    void helpAbout();
    void filePageSetup() {}
    void filePrintPreview() {}
    void onExportWaveform();
    // File > Open Waveform...: ona_open_waveform on the file chosen.
    void onOpenWaveform();
    // The window's side of a waveform's reading (OpenWaveform::LoadProgress):
    // a dialog with Cancel, shown once the reading takes a moment.
    bool showLoadProgress(const QString& file, qint64 done, qint64 total);
    void onTokenManage();
    void onCableManage();
    void viewZoomin();
    void viewZoomout();
    void viewZoomfit();
    void viewZoomtrigger();
    void onChangeMode(bool) {}
    void onToggleConsoleView();
    void onUndoChanged(bool available);
    void onRedoChanged(bool available);
    void onAutoSave();
    void setOnlCore(int index);
    void programDevice();
    void manualTrigger();
    void stopAnalyzer();
    void runAnalyzer();
    void checkRun();
    void printTo(QString, int) {}
    void delayReloadMsgBoxTimeout();
    void Refresh();
    void setModeCursor() {}
    void filePrint();
    void PreviewPages(QPrinter*) {}
    void doItemChanged(QStandardItem* item);
    void doSettingChanged();
    void doTokenChanged();
    void doCoreSetChanged(int core);
    void doCoreRunChanged(int core, bool run);
    void doTabChanged(int index);
    void doErrorChanged();
    void doInfoChanged(const char* info);
    void doConfigThread();
    void doRunThread();
    void doDoneThread(int trace_depth);
    void doUpdatePanel();
    void doRedrawPanel();
    void doPCSPanel(int state);
    void doTclPCS(QString cmd);
    void refreshConnections();
    // "about" and "help" of the host show the tool's own about box and help.
    void onHelpAbout() override;
    void onHelpHelp() override;

signals:
    void zoomAvailable(bool state);
    void fileChanged(bool modified);
    void alwaysAvailable(bool state);
    void editAvailable(bool state);
    void undoAvailable(bool state);
    void redoAvailable(bool state);
    void editdataChanged(bool state);
    void pastedataChanged(bool state);
    void sigNewFile();
    void sigOpenFile();
    void sigOptionDialog();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    // Stand-alone, the window itself is the host that reports activation.
    void changeEvent(QEvent* event) override;

private:
    bool tclInitialize();
    // The engine's check before "ona_close_project" closes the project.
    bool confirmProjectClose(QString* error);
    void initMyMenus();
    void initMyConnections();
    void connectEngineSignals();
    void disconnectEngineSignals();
    void clearModelPointers();
    void refreshViews();
    void evaluateZoom();
    // True when the current core's waveform model holds a capture.
    bool waveformHasData() const;
    // The current page when it zooms and has something to zoom, else null.
    NavigablePage* zoomablePage() const;
    // Zooms the zoomable page, if any.
    void zoomPage(void (NavigablePage::*zoom)());
    // Switches the cores turned off for a power-on-reset run back on and
    // forgets them.
    void restorePorCores();
    // Gives the run panel back after a run that ended or never started.
    void restoreRunControls();
    // What the run cores wait for ("uart_la: TE_start (TU_state & !TU_valid)"),
    // one line a core; and, in the Messages pane, how each core's run ended.
    QString triggerWaitText() const;
    void reportCaptureEnd();
    bool callInterp(const QString& cmd);
    QString saveDialog();
    // The file the user picks in the save dialog, with ".ona" added when
    // the typed name has no suffix; empty when cancelled.
    QString chooseSaveName();
    // The project's name was only proposed (a new project, or one started
    // from a debug-logic file) and saving must ask for one.
    bool needsSaveName() const;
    // Saves to `path`, which becomes the file name when the engine took it.
    bool saveUnder(const QString& path);
    // Stand-alone answer to "Options..." when no application does.
    void showOptions();
    // A save the user asked for; false when it did not happen.
    bool saveForUser();
    // Asks whether to save unsaved changes first; false when the user
    // cancels or the save fails.
    bool offerSave();
    void reloadAfterOnlChange();
    int loadFile(const QString& startupCommand, bool forceOpen);
    // fileClose's work: false when the user cancelled or a save failed.
    bool closeAsked();
    // Stand-alone, nobody answers sigNewFile/sigOpenFile: the window asks
    // for the file itself.
    // The file dialog for opening, in the folder of `last` (the current one
    // when empty); empty when cancelled.
    QString askOpenFile(const QString& last, const QString& caption, const QString& filter);
    void newFileStandalone();
    void openFileStandalone();
    // Sets the modified flag and shows it in the titles.
    void showModified(bool modified);
    // Emits `signal` for the application; stand-alone with nobody listening,
    // does `standalone` instead.
    void askApplication(void (OnaGUI::*signal)(), void (OnaGUI::*standalone)());
    // Ends a running capture and waits (without blocking the GUI) for the
    // acquisition thread; false when it did not end.
    bool endCapture();
    QString onlReloadText() const;

    bool m_standalone;
    QString m_startupCommand;
    int m_instanceId = 1;
    int m_numCore = 0;

    QString m_fileName;
    QString m_lastLoaded;
    QString m_lastWaveform; // the folder File > Open Waveform... starts in
    QDateTime m_fileTime;
    quint64 m_onlStamp = 0;
    bool m_untitled = false;
    bool m_modified = false;
    bool m_readOnlyFile = false;
    bool m_reloadCheck = false;
    int m_reloadStatus = ReloadNone;
    int m_initSerdes = 1;
    bool m_preClosed = false;
    bool m_engineConnected = false;

    TriggerUModel* m_tuModel = nullptr;
    TriggerEModel* m_teModel = nullptr;
    TriggerSetting* m_tsModel = nullptr;
    WaveformModel* m_wdModel = nullptr;

    RightView* m_rightView = nullptr;
    QPointer<QProgressDialog> m_loadProgress;
    QPointer<QThread> m_acqThread;
    QPointer<OnaJTAG> m_jtag;

    Tcl_Interp* m_interp = nullptr;
    QDockWidget* m_consoleDock = nullptr;
    CGTclTextEdit* m_console = nullptr;
    QAction* m_consoleAction = nullptr;
    QTimer* m_tclEvents = nullptr;

    QHash<int, QAction*> m_actions;
    QAction* m_runAction = nullptr;
    QAction* m_stopAction = nullptr;
    QAction* m_trigAction = nullptr;
    QProgressBar* m_progress = nullptr;
    // While a run waits for its trigger: the run status counts the seconds.
    QTimer* m_waitTicker = nullptr;
    QElapsedTimer m_waiting;
    QList<QCheckBox*> m_coreBoxes;
    QComboBox* m_coreSelector = nullptr;
    QStringList m_porCores;
    QList<vemo::basgui::ActionConnection> m_connections;
    QString m_lastResult; // text of the last tclEval (result or error)
    bool m_unattended = false;
};

} // namespace vemo::toolona
