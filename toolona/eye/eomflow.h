#pragma once

// The eye-opening monitor's flows from a hard IP panel: run a scan in the
// run dialog and show its result, or show a result file. A PCS channel's
// result is a CSV file, a quad lane's a text file.

#include <QString>

class QWidget;

namespace vemo::toolona {

class HardIpWidget;
class ToolGateway;

namespace EomFlow {

// The run dialog for a PCS channel, then its eye diagram.
void runChannel(HardIpWidget* panel, ToolGateway* gateway);
// The run dialog for a quad (lanes "L0".."L3"), then the eye diagram of the
// lane scanned.
void runQuad(HardIpWidget* panel, ToolGateway* gateway);
// Reads an EOM CSV file and shows its eye diagram (nothing for an empty
// path); `missingText` is the message when the file cannot be read.
void showCsvFile(HardIpWidget* panel, const QString& path, const QString& missingText);
// Reads an EOM text file and shows its eye diagram; an empty path is the
// file of the last scan.
void showTextFile(HardIpWidget* panel, const QString& path);

} // namespace EomFlow

} // namespace vemo::toolona
