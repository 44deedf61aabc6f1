#pragma once

#include "basgui/basguitool.h"

#include <tcl.h>

class CGTclTextEdit;
class QAction;
class QDockWidget;
class QTimer;

// The stand-alone window of `ondrel`: a tool window of the host framework
// with its own Tcl interpreter, the "Tcl Console" dock and the message
// window. It stands in for the analyzer's tool window until that exists:
// the console is where the engine's commands are typed.
class StandaloneWindow : public vemo::basgui::BasGUITool {
    Q_OBJECT
public:
    // `fileName`: an analyzer file to open once initialized (may be empty).
    explicit StandaloneWindow(const QString& fileName = QString(), QWidget* parent = nullptr);
    ~StandaloneWindow() override;

    static QString windowCaption() { return QStringLiteral("Ondrel Analyzer/Controller (Stand-alone)"); }

    bool initialize() override;
    QString toolName() const override;
    QString title() const override;
    QString fullTitle() const override;
    void toolGUIInfo(QString& name, QString& tip, QIcon& icon) override;
    QString fileName() const override;
    QString fullFileName() const override;
    QList<vemo::basgui::ActionConnection> activeConnections() override;
    QStringList stdMenuItems(vemo::basgui::StdMenu menu) override;
    QList<QAction*> myMenuItems(vemo::basgui::StdMenu menu) override;
    QStringList stdToolbarButtons() override;

    Tcl_Interp* interp() const { return m_interp; }
    CGTclTextEdit* console() const { return m_console; }
    QDockWidget* consoleDock() const { return m_consoleDock; }
    QAction* consoleAction() const { return m_consoleAction; }
    // True when the interpreter has the analyzer's commands.
    bool hasEngine() const;

    // Runs a Tcl script file in the window's interpreter; the console shows
    // it. False (and the reason in the console and on stderr) on failure.
    bool runScript(const QString& path);
    // Opens an analyzer file through the engine; false when that failed.
    bool openFile(const QString& path);

public slots:
    void onToggleConsoleView();
    void fileOpen();
    void onHelpAbout() override;

private:
    bool tclInitialize();
    void reportError(const QString& text);

    QString m_fileName;
    QString m_pendingFile;
    Tcl_Interp* m_interp = nullptr;
    CGTclTextEdit* m_console = nullptr;
    QDockWidget* m_consoleDock = nullptr;
    QAction* m_consoleAction = nullptr;
    QAction* m_exitAction = nullptr;
    QTimer* m_tclEvents = nullptr;
    class ProjectSummary* m_summary = nullptr;
};
