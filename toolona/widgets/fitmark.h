#pragma once

// An entry field never cuts what the user typed to make it fit: a value too
// wide for its register, switch or address stays in the field, drawn in the
// theme's error colour with the reason as its tool tip, and the action that
// would send it refuses with that reason.

#include <QString>

class QLineEdit;
class QWidget;

namespace vemo::toolona {

// Marks `edit` with `reason`, or clears the mark when `reason` is empty.
void markUnfit(QLineEdit* edit, const QString& reason);
// The reason `edit` is marked for; empty when it is not.
QString unfitReason(const QWidget* edit);
// Why the hexadecimal digits `text` do not fit `bits` bits ("" when they do;
// leading zeros never count). `what` names the field in the reason.
QString hexUnfit(const QString& text, int bits, const QString& what);

} // namespace vemo::toolona
