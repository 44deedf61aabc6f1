#pragma once

// What the user memory form and a hard IP block's memory form share: the
// dump and load commands (the block's address space is the same verbs with
// "-hard_ip NAME") and running them under the busy dialog.

#include <QString>

class QWidget;

namespace vemo::toolona {

class ToolGateway;

namespace memorycommands {

// "ona_run_controller -dump_memfile ..." for `path`, with -offset (given
// "0x" when typed without) and -range when not empty, on the block named
// `hardIp` (empty: the user memory).
QString dump(const QString& path, QString offset, const QString& range, const QString& hardIp = QString());
// "ona_run_controller -load_memfile ..." for `path`, likewise.
QString load(const QString& path, const QString& hardIp = QString());
// Runs `command` under the busy dialog (text `label`) and the busy cursor;
// a refusal is shown to the user with the engine's reason. True on success.
bool runLong(ToolGateway* gateway, QWidget* parent, const QString& label, const QString& command);
// The warning box of the memory forms.
void warn(QWidget* parent, const QString& text);

} // namespace memorycommands
} // namespace vemo::toolona
