#pragma once

#include <QString>

#include <memory>

class QProgressDialog;

namespace vemo::toolona {

// A frameless, application-modal busy indicator (no cancel button) shown for
// the lifetime of the guard, around a long controller command.
class BusyProgressDialog {
public:
    explicit BusyProgressDialog(const QString& text);
    ~BusyProgressDialog();
    BusyProgressDialog(const BusyProgressDialog&) = delete;
    BusyProgressDialog& operator=(const BusyProgressDialog&) = delete;
    QProgressDialog* dialog() const { return m_dialog.get(); }
    // The dialog of the guard alive now (tests look at it), else null.
    static QProgressDialog* current();

private:
    std::unique_ptr<QProgressDialog> m_dialog;
};

} // namespace vemo::toolona
