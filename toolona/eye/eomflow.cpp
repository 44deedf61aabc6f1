#include "eye/eomflow.h"

#include "basgui/dialogseam.h"
#include "eomfiles.h"
#include "eye/eyediagramdlg.h"
#include "eye/pcscheomdlg.h"
#include "eyemonitor.h"
#include "hardip/hardipwidget.h"

#include <QObject>

namespace vemo::toolona {

namespace EomFlow {

namespace {

const char* const kTitle = QT_TRANSLATE_NOOP("EomFlow", "Ondrel Analyzer");

QString tr(const char* text) { return QObject::tr(text); }

void critical(QWidget* parent, const QString& text) {
    basgui::Dialogs::message(QMessageBox::Critical, parent, tr(kTitle), text, QMessageBox::Ok);
}

bool runDialog(HardIpWidget* panel, ToolGateway* gateway, const QStringList& channels, bool quad) {
    auto* dialog = new PCSCHEomDlg(panel, channels, quad);
    dialog->setGateway(gateway);
    const int result = basgui::Dialogs::provider()->execDialog(dialog);
    delete dialog;
    return result == QDialog::Accepted;
}

void showDiagram(EyeDiagramDlg* dialog) {
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    basgui::Dialogs::provider()->execDialog(dialog);
}

} // namespace

void runChannel(HardIpWidget* panel, ToolGateway* gateway) {
    if (!runDialog(panel, gateway, {}, false))
        return;
    showCsvFile(panel, EyeMonitor::inst()->getData(), tr("Error: Cannot create or read eom file."));
}

void runQuad(HardIpWidget* panel, ToolGateway* gateway) {
    if (runDialog(panel, gateway,
                  {QStringLiteral("L0"), QStringLiteral("L1"), QStringLiteral("L2"), QStringLiteral("L3")}, true))
        showTextFile(panel, QString());
}

void showCsvFile(HardIpWidget* panel, const QString& path, const QString& missingText) {
    if (path.isEmpty())
        return;
    QByteArray data;
    QString error;
    if (!EomFiles::readFile(path, &data, &error)) {
        critical(panel, missingText);
        return;
    }
    QList<QStringList> rows;
    if (!EomFiles::readCsv(data, &rows, &error)) {
        critical(panel, tr("Error: Cannot read eom file %1: %2").arg(path, error));
        return;
    }
    if (rows.isEmpty())
        return;
    showDiagram(new EyeDiagramDlg(panel->name(), rows, path, panel));
}

void showTextFile(HardIpWidget* panel, const QString& path) {
    const QString file = path.isEmpty() ? EyeMonitor::inst()->getData() : path;
    QByteArray data;
    QString error;
    if (file.isEmpty() || !EomFiles::readFile(file, &data, &error)) {
        critical(panel, tr("Error: Cannot create or read eom file."));
        return;
    }
    EomFiles::EomText eye;
    if (!EomFiles::readText(data, &eye, &error)) {
        critical(panel, tr("Error: Cannot read eom file %1: %2").arg(file, error));
        return;
    }
    const auto strings = [](const QVector<double>& v) {
        QStringList out;
        out.reserve(v.size());
        for (double d : v)
            out << QString::number(d, 'g', 17);
        return out;
    };
    auto* dialog = new EyeDiagramDlg(panel->name(), strings(eye.comb), strings(eye.x), strings(eye.y),
                                     QStringLiteral("eomFile"), nullptr);
    dialog->setResultFile(file);
    showDiagram(dialog);
}

} // namespace EomFlow

} // namespace vemo::toolona
