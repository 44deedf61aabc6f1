#pragma once

// What a page, dialog or delegate needs of the tool window, and nothing
// more. The window implements it; pages receive it when they are built, so
// none of them includes the window's header or reaches for a process-wide
// pointer.

#include <QString>

class QEvent;
class QObject;
class QWidget;

namespace vemo::toolona {

class ToolGateway {
public:
    virtual ~ToolGateway() = default;

    // The one channel for engine commands. True when the engine returned 0;
    // the result (or error) text goes to *result when given. Shows nothing:
    // the caller decides what to report.
    virtual bool tclEval(const QString& cmd, QString* result = nullptr) = 0;
    // A refused edit, said where the user sees it (the status bar and the
    // message window), so it never passes silently.
    virtual void reportRefusal(const QString& message) = 0;
    // What an action did (an Apply, a Reload, a dump), said in the message
    // window and the status bar so that a user sees it took effect. A
    // window without a message window may ignore it.
    virtual void reportDone(const QString& message) { (void)message; }
    // Marks the analyzer file modified, for the few changes the engine does
    // not report itself.
    virtual void markModified() = 0;
    // Opens the help topic `topic` of the tool's help (F1 on a page).
    virtual void openHelpTopic(const QString& topic) = 0;
};

// Sends `cmd` through `gateway`. True when the engine took it; a refusal
// is reported with the engine's text (or the command, when the engine gave
// none) and gives false, as does a missing gateway.
bool sendCommand(ToolGateway* gateway, const QString& cmd);

// Asks where to write the simulator's waveform that is open and sends
// "ona_export_project -vcd "FILE" -waveform" (".vcd" added to a name without
// a suffix); the file written, or empty when cancelled or refused (said).
QString exportSimulationWaveform(ToolGateway* gateway, QWidget* parent, const QString& startDir);
// A page's F1: when `event` is the release of F1 on `page` itself, opens
// the page's help `topic` and says true (the event is taken, gateway or not).
bool openHelpOnF1(ToolGateway* gateway, QObject* page, QObject* watched, QEvent* event, const char* topic);

// The same for a page without an event filter of its own: F1 released on
// `page` (or on a child that leaves it unhandled) opens `topic`.
void installHelpOnF1(ToolGateway* gateway, QObject* page, const QString& topic);

} // namespace vemo::toolona
