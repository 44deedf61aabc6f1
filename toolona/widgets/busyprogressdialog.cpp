#include "widgets/busyprogressdialog.h"

#include <QCoreApplication>
#include <QProgressDialog>

namespace vemo::toolona {

namespace {
QProgressDialog* g_current = nullptr;
}

BusyProgressDialog::BusyProgressDialog(const QString& text)
    : m_dialog(std::make_unique<QProgressDialog>(text, QString(), 0, 0, nullptr, Qt::SplashScreen)) {
    m_dialog->setMinimumSize(340, 120);
    m_dialog->setCancelButton(nullptr);
    m_dialog->setWindowModality(Qt::ApplicationModal);
    m_dialog->setMinimumDuration(0);
    m_dialog->show();
    // Paint it before the command blocks the event loop.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    g_current = m_dialog.get();
}

BusyProgressDialog::~BusyProgressDialog() { g_current = nullptr; }

QProgressDialog* BusyProgressDialog::current() { return g_current; }

} // namespace vemo::toolona
