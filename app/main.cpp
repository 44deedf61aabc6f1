// ondrel: the stand-alone Ondrel Analyzer/Controller, with its own Tcl
// interpreter and console, or headless with --batch.

#include "batchrunner.h"

#include "kit/tclcommand.h"
#include "message/messagewindow.h"
#include "message/msgmanager.h"
#include "shell/onagui.h"
#include "tcl/cgtclcmdman.h"
#include "tcl/cgtclcmdproxy.h"
#include "theme/themesetting.h"

#ifdef ONDREL_HAVE_ONA
#include "onapackage.h"
#include "rtlgen.h"
#endif

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <memory>

namespace {

void registerPackages() {
#ifdef ONDREL_HAVE_ONA
    CGTclCmdMan::registerPackage(QStringLiteral("ona"), Ona_Init);
#endif
}

// Batch mode, --help and --version need no display: decide before any
// application object exists which kind to make.
bool needsWindow(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const QByteArray a(argv[i]);
        if (a == "--")
            break;
        if (a == "-h" || a == "-?" || a == "--help" || a == "--help-all" || a == "-v" || a == "--version" ||
            a == "--batch" || a.startsWith("--batch=") || a == "--generate-rtl" || a.startsWith("--generate-rtl="))
            return false;
    }
    return true;
}

// Qt's accessibility bridge asks the session bus whether a screen reader
// runs. Where there is no bus to ask (a bare X server, an ssh -X login) and
// no dbus-launch to find or start one, libdbus would still fork this whole
// process to try dbus-launch, and the window waits for it. Tell libdbus at
// once that there is no bus: the answer is the same, only sooner.
void skipHopelessBusAutolaunch() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus")))
        return;
    if (!QStandardPaths::findExecutable(QStringLiteral("dbus-launch")).isEmpty())
        return;
    qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
}

int usageError(const QString& text) {
    std::fprintf(stderr, "ondrel: %s\nTry 'ondrel --help' for more information.\n", text.toLocal8Bit().constData());
    return 2;
}

// --quit-after-start: once the window is on screen, say so on standard
// output (the start-up benchmark times that line) and leave with 0 when the
// events queued by then are handled (smoke tests).
void quitWhenShown(QWidget* window) {
    auto* poll = new QTimer(window);
    QElapsedTimer clock;
    clock.start();
    QObject::connect(poll, &QTimer::timeout, window, [window, poll, clock] {
        if (window->windowHandle() && window->windowHandle()->isExposed()) {
            poll->stop();
            std::fputs("ondrel: window on screen\n", stdout);
            std::fflush(stdout);
            QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        } else if (clock.elapsed() > 60000) {
            poll->stop();
            std::fprintf(stderr, "ondrel: the window was not shown within a minute\n");
            QCoreApplication::exit(1);
        }
    });
    poll->start(1);
}

// Why the file named on the command line cannot be handed to the window,
// empty when it can: the window's reader would wait forever on a FIFO.
QString startFileProblem(const QString& file) {
    const QFileInfo fi(file);
    if (!fi.exists())
        return QStringLiteral("Cannot open \"%1\": no such file.").arg(file);
    if (fi.isDir())
        return QStringLiteral("Cannot open \"%1\": it is a folder, not a file.").arg(file);
    if (!fi.isFile())
        return QStringLiteral("Cannot open \"%1\": not a regular file (a pipe, socket or device).").arg(file);
    if (!fi.isReadable())
        return QStringLiteral("Cannot open \"%1\": permission denied.").arg(file);
    return {};
}

void reportError(const QString& text) {
    std::fprintf(stderr, "ondrel: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
    vemo::message::MessageWindow::getInstance()->addMessage(QStringLiteral("ONA-9992"), text, vemo::message::MsgError);
}

// Runs a Tcl script file in the window's interpreter, as the user's own
// start-up script; the console shows it. Errors go to the console, the
// message window and stderr.
bool runScript(vemo::toolona::OnaGUI* window, const QString& path) {
    const QFileInfo fi(path);
    if (!fi.isFile() || !fi.isReadable()) {
        reportError(QStringLiteral("Cannot run the script \"%1\": no such readable file.").arg(path));
        return false;
    }
    auto* proxy = CGTclCmdProxy::getInstance(window);
    int code = TCL_OK;
    const QString result = proxy->callTclCommand(
        QStringLiteral("source -encoding utf-8 \"%1\"").arg(CGTclCmdProxy::escapeForQuotes(fi.absoluteFilePath())),
        &code, false, true);
    if (code != TCL_OK) {
        std::fprintf(stderr, "ondrel: error in script \"%s\": %s\n%s\n", fi.filePath().toLocal8Bit().constData(),
                     result.toLocal8Bit().constData(), proxy->lastErrorInfo().toLocal8Bit().constData());
        std::fflush(stderr);
        vemo::message::MessageWindow::getInstance()->addMessage(
            QStringLiteral("ONA-9992"), QStringLiteral("Error in script \"%1\": %2").arg(fi.filePath(), result),
            vemo::message::MsgError);
        return false;
    }
    return true;
}

// --generate-rtl FILE -o DIR: the files written, one a line, or the reason
// nothing was.
int generateRtl(const QString& onl, const QString& dir) {
#ifdef ONDREL_HAVE_ONA
    QStringList written;
    QString error;
    if (!RtlGen::generate(onl, dir, &written, &error)) {
        std::fprintf(stderr, "ondrel: %s\n", error.toLocal8Bit().constData());
        return 1;
    }
    for (const QString& f : written)
        std::printf("%s\n", f.toLocal8Bit().constData());
    return 0;
#else
    Q_UNUSED(onl);
    Q_UNUSED(dir);
    std::fprintf(stderr, "ondrel: built without the engine; --generate-rtl is not available\n");
    return 1;
#endif
}

} // namespace

namespace {

// The options, for the check before any application object exists and
// for the real parse.
struct Options {
    QCommandLineOption batch{QStringLiteral("batch"),
                             QStringLiteral("Run the Tcl script <file> without a window, then exit."),
                             QStringLiteral("file")};
    QCommandLineOption script{QStringLiteral("script"),
                              QStringLiteral("Run the Tcl script <file> once the window is up."),
                              QStringLiteral("file")};
    QCommandLineOption quit{
        QStringLiteral("quit-after-start"),
        QStringLiteral("Exit as soon as the window is shown, saying so on standard output (for smoke tests).")};
    QCommandLineOption generateRtl{QStringLiteral("generate-rtl"),
                                   QStringLiteral("Write the Verilog design of the debug-logic file <file> into the "
                                                  "folder given with -o, then exit."),
                                   QStringLiteral("file")};
    QCommandLineOption output{{QStringLiteral("o"), QStringLiteral("output")},
                              QStringLiteral("The folder --generate-rtl writes into."),
                              QStringLiteral("dir")};

    void addTo(QCommandLineParser* parser) const {
        parser->setApplicationDescription(
            QStringLiteral("Ondrel Analyzer/Controller: on-chip logic analyzer and controller for FPGA designs.\n"
                           "With --batch a Tcl script runs without a window; arguments after the\n"
                           "script (put \"--\" before any that start with \"-\") become its $argv."));
        parser->addHelpOption();
        parser->addVersionOption();
        parser->addOptions({batch, script, quit, generateRtl, output});
        parser->addPositionalArgument(QStringLiteral("file"),
                                      QStringLiteral("Analyzer file (.ona), or simulator's waveform (.vcd), to open."),
                                      QStringLiteral("[file]"));
    }
};

// A mistyped option is answered with the usage, whether or not there is a
// display to open a window on.
bool optionsAreKnown(int argc, char** argv) {
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    Options().addTo(&parser);
    if (parser.parse(args))
        return true;
    QString help = parser.helpText();
    help.replace(QStringLiteral("<executable_name>"), QStringLiteral("ondrel"));
    std::fprintf(stderr, "ondrel: %s\n\n%s", parser.errorText().toLocal8Bit().constData(),
                 help.toLocal8Bit().constData());
    return false;
}

} // namespace

int main(int argc, char** argv) {
    registerPackages();
    if (!optionsAreKnown(argc, argv))
        return 2;
    std::unique_ptr<QCoreApplication> app;
    if (needsWindow(argc, argv)) {
        skipHopelessBusAutolaunch();
        app = std::make_unique<QApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("ondrel"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ONDREL_VERSION));

    QCommandLineParser parser;
    const Options options;
    options.addTo(&parser);
    const QCommandLineOption& batchOption = options.batch;
    const QCommandLineOption& scriptOption = options.script;
    const QCommandLineOption& quitOption = options.quit;
    parser.process(*app); // --help, --version and unknown options end here

    const QStringList positional = parser.positionalArguments();
    if (parser.isSet(options.generateRtl)) {
        if (parser.isSet(batchOption) || parser.isSet(scriptOption) || parser.isSet(quitOption) ||
            !positional.isEmpty())
            return usageError(QStringLiteral("--generate-rtl takes only -o DIR"));
        if (parser.value(options.output).isEmpty())
            return usageError(QStringLiteral("--generate-rtl needs the output folder: -o DIR"));
        return generateRtl(parser.value(options.generateRtl), parser.value(options.output));
    }
    if (parser.isSet(options.output))
        return usageError(QStringLiteral("-o belongs to --generate-rtl"));
    if (parser.isSet(batchOption)) {
        if (parser.isSet(scriptOption) || parser.isSet(quitOption))
            return usageError(QStringLiteral("--batch cannot be combined with --script or --quit-after-start"));
        const QString script = parser.value(batchOption);
        if (script.isEmpty())
            return usageError(QStringLiteral("--batch needs a script file"));
        return runBatch(script, positional);
    }
    if (positional.size() > 1)
        return usageError(QStringLiteral("only one analyzer file can be opened, got %1").arg(positional.size()));

    auto* gui = qobject_cast<QApplication*>(app.get());
    vemo::theme::ThemeSetting::applyTo(gui);
    // Opening the file makes its folder current: resolve the script first.
    const QString scriptPath =
        parser.value(scriptOption).isEmpty() ? QString() : QFileInfo(parser.value(scriptOption)).absoluteFilePath();
    // A file that cannot be opened is reported; the window still comes up.
    const QString file = positional.value(0);
    bool fileRefused = false, fileProblem = false;
    if (!file.isEmpty()) {
        const QString problem = startFileProblem(file);
        if (!problem.isEmpty()) {
            reportError(problem);
            fileProblem = true;
            // A smoke test must not pass on a file it could not open.
            if (parser.isSet(quitOption))
                return 1;
            // A missing file is no fault of the file; one that is there and
            // unusable is, as when the engine refuses it.
            fileRefused = QFileInfo::exists(file);
        }
    }
    // A simulator's waveform opens beside no project, once the window is up
    // (so that its reading shows progress and can be cancelled).
    const bool waveformFile = file.endsWith(QLatin1String(".vcd"), Qt::CaseInsensitive);
    QList<QString> args;
    if (!file.isEmpty() && !fileRefused && !waveformFile)
        args << file;
    QString unused;
    vemo::toolona::OnaGUI window(nullptr, args, unused, true, QString());
    if (!window.initialize()) {
        // The engine refused the file; everything else of the window is up,
        // so it comes up empty with the engine's reason on show.
        if (args.isEmpty() || !window.interp())
            return 1;
        const QString reason = window.lastResult();
        window.CloseFile();
        reportError(QStringLiteral("Cannot open \"%1\": %2").arg(file, reason));
        fileRefused = true;
    }
    window.connectSharedAction();
    window.show();

    const QString script = scriptPath;
    // Said once: a waveform already found missing is not read as well.
    const QString waveform = waveformFile && !fileProblem ? QFileInfo(file).absoluteFilePath() : QString();
    const bool quitAfterStart = parser.isSet(quitOption);
    QTimer::singleShot(0, &window, [&window, &fileRefused, script, waveform, quitAfterStart] {
        if (!waveform.isEmpty() && !window.tclEval(vemo::toolona::tclCommand(QStringLiteral("ona_open_waveform \"%1\""),
                                                                             vemo::toolona::tclQuoted(waveform)))) {
            reportError(window.lastResult());
            fileRefused = true;
        }
        if (!script.isEmpty()) {
            // Nobody is there to answer a question while the script runs.
            window.setUnattended(true);
            runScript(&window, script);
            window.setUnattended(false);
        }
        if (quitAfterStart)
            quitWhenShown(&window);
    });
    const int code = app->exec();
    // A smoke test of a file that was refused must not pass.
    return code == 0 && quitAfterStart && fileRefused ? 1 : code;
}
