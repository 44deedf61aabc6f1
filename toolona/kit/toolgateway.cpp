#include "kit/toolgateway.h"

#include "kit/tclcommand.h"

#include "basgui/dialogseam.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QObject>

namespace vemo::toolona {

bool sendCommand(ToolGateway* gateway, const QString& cmd) {
    if (!gateway)
        return false;
    QString result;
    if (gateway->tclEval(cmd, &result))
        return true;
    gateway->reportRefusal(result.isEmpty() ? QObject::tr("The engine refused: %1").arg(cmd) : result);
    return false;
}

QString exportSimulationWaveform(ToolGateway* gateway, QWidget* parent, const QString& startDir) {
    QString chosen = vemo::basgui::Dialogs::provider()->getSaveFileName(
        parent, QObject::tr("Export Simulation Waveform"), startDir.isEmpty() ? QStringLiteral(".") : startDir,
        QStringLiteral("Value Change Dump (*.vcd);;All Files (*)"));
    if (chosen.isEmpty())
        return {};
    if (QFileInfo(chosen).suffix().isEmpty())
        chosen += QStringLiteral(".vcd");
    const QString file = QFileInfo(chosen).absoluteFilePath();
    if (!sendCommand(gateway, tclCommand(QStringLiteral("ona_export_project -vcd \"%1\" -waveform"), tclQuoted(file))))
        return {};
    gateway->reportDone(QObject::tr("Simulation waveform exported to %1").arg(QDir::toNativeSeparators(file)));
    return file;
}

bool openHelpOnF1(ToolGateway* gateway, QObject* page, QObject* watched, QEvent* event, const char* topic) {
    if (watched != page || event->type() != QEvent::KeyRelease || static_cast<QKeyEvent*>(event)->key() != Qt::Key_F1)
        return false;
    if (gateway)
        gateway->openHelpTopic(QString::fromLatin1(topic));
    return true;
}

namespace {

class HelpOnF1 : public QObject {
public:
    HelpOnF1(ToolGateway* gateway, QObject* page, const QString& topic)
        : QObject(page), m_gateway(gateway), m_topic(topic.toLatin1()) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        return openHelpOnF1(m_gateway, parent(), watched, event, m_topic.constData());
    }

private:
    ToolGateway* m_gateway;
    QByteArray m_topic;
};

} // namespace

void installHelpOnF1(ToolGateway* gateway, QObject* page, const QString& topic) {
    page->installEventFilter(new HelpOnF1(gateway, page, topic));
}

} // namespace vemo::toolona
