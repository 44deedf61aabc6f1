#include "eye/pcscheomdlg.h"

#include "basgui/busycursor.h"
#include "basgui/dialogseam.h"
#include "eye/eomflow.h"
#include "eyemonitor.h"
#include "hardip/hardipwidget.h"
#include "hardip/pcschwidget.h"
#include "kit/tclcommand.h"
#include "kit/toolgateway.h"
#include "oncdata.h"
#include "widgets/buttonrow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace vemo::toolona {

namespace {

// The quality of the last scan asked for in this session: a user who
// chose High once does not have to choose it again for every lane.
QString& rememberedQuality() {
    static QString quality;
    return quality;
}

QString caption(const QString& text) {
    return QStringLiteral("<html><head/><body><p><span style=\"font-size:12pt; font-weight:600;\">") + text +
           QStringLiteral("</span></p></body></html>");
}

} // namespace

PCSCHEomDlg::PCSCHEomDlg(QWidget* parent, const QStringList& channels, bool quad) : QDialog(parent), m_quad(quad) {
    setWindowFlags((windowFlags() | Qt::WindowCloseButtonHint) & ~Qt::WindowContextHelpButtonHint);
    setWindowTitle(tr("Eye-Opening Monitor"));
    resize(380, 180);

    auto* grid = new QGridLayout;
    auto* qualityCaption = new QLabel(caption(tr("Quality of Eye Diagram:")), this);
    m_quality = new QComboBox(this);
    m_quality->addItems({QStringLiteral("High"), QStringLiteral("Normal"), QStringLiteral("Low")});
    m_quality->setCurrentIndex(1);
    if (const int last = m_quality->findText(rememberedQuality()); last >= 0)
        m_quality->setCurrentIndex(last);
    connect(m_quality, &QComboBox::currentTextChanged, this, [](const QString& text) { rememberedQuality() = text; });
    qualityCaption->setBuddy(m_quality);
    grid->addWidget(qualityCaption, 0, 0);
    grid->addWidget(m_quality, 0, 1);
    if (!channels.isEmpty()) {
        m_channel = new QComboBox(this);
        m_channel->addItems(channels);
        m_channel->setCurrentIndex(0);
        grid->addWidget(new QLabel(caption(tr("Channel:")), this), 1, 0);
        grid->addWidget(m_channel, 1, 1);
    }
    auto* note = new QLabel(
        tr("(Since high quality will increase the runtime, select normal or low quality for faster result.)"), this);
    note->setWordWrap(true);
    m_status = new QLabel(this);
    m_status->setTextFormat(Qt::RichText);
    m_status->setWordWrap(true);
    // A high-quality scan takes seconds: the bar shows that it moves.
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->hide();
    connect(EyeMonitor::inst(), &EyeMonitor::eyeProgress, m_progress, &QProgressBar::setValue);

    m_run = new QPushButton(tr("&Run"), this);
    m_cancel = new QPushButton(tr("&Cancel"), this);
    m_import = new QPushButton(tr("&Import"), this);
    m_import->setVisible(m_quad || qEnvironmentVariableIsSet("ONA_DEBUG_MODE"));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(note);
    layout->addSpacing(10);
    layout->addWidget(m_progress);
    layout->addWidget(m_status);
    layout->addStretch();
    layout->addLayout(centredButtonRow({m_run, m_import, m_cancel}));

    connect(m_run, &QPushButton::clicked, this, &PCSCHEomDlg::onRunEOM);
    connect(m_cancel, &QPushButton::clicked, this, &PCSCHEomDlg::reject);
    connect(m_import, &QPushButton::clicked, this, &PCSCHEomDlg::importEOMFile);
}

HardIpWidget* PCSCHEomDlg::panel() const { return qobject_cast<HardIpWidget*>(parentWidget()); }

int PCSCHEomDlg::laneOf(const QString& channel) {
    const int at = channel.indexOf(QLatin1Char('L'));
    if (at < 0)
        return 0;
    bool ok = false;
    const int lane = channel.mid(at + 1).toInt(&ok, 10);
    return ok ? lane : 0;
}

void PCSCHEomDlg::refresh() {
    m_run->setText(m_running ? tr("&Stop") : tr("&Run"));
    // After Stop the commands are still unwinding: no new scan until they end.
    m_run->setEnabled(!m_stopping);
    m_quality->setEnabled(!m_running);
    m_cancel->setEnabled(!m_running);
    m_import->setEnabled(!m_running);
    m_progress->setVisible(m_evaluating && !m_stopping);
}

void PCSCHEomDlg::showError(const QString& text) {
    m_status->setText(QStringLiteral("<html><head/><body><p><span style=\" color:red; \">") + text.toHtmlEscaped() +
                      QStringLiteral("</span></p></body></html>"));
}

void PCSCHEomDlg::onRunEOM() {
    ONCData* controller = ONCData::inst();
    if (m_evaluating) {
        // Stop: the scan's command returns once the engine has ended it.
        if (m_stopping)
            return;
        m_stopping = true;
        m_running = false;
        refresh();
        m_status->clear();
        controller->stopEOM();
        const QString error = controller->getRunErr();
        if (!error.isEmpty())
            showError(error);
        return;
    }
    m_running = true;
    refresh();
    m_status->clear();
    HardIpWidget* hardIp = panel();
    if (controller->isBusy() || !hardIp || !m_gateway) {
        m_running = false;
        refresh();
        m_status->clear();
        return;
    }
    const QString name = hardIp->name();
    QStringList commands{tclCommand(QStringLiteral("ona_set_controller -hard_ip %1 -eye_quality %2"), tclWord(name),
                                    m_quality->currentText().toLower())};
    if (m_quad)
        commands << tclCommand(QStringLiteral("ona_set_controller -hard_ip %1 -eye_lane %2"), tclWord(name),
                               QString::number(laneOf(m_channel ? m_channel->currentText() : QString())));
    commands << tclCommand(QStringLiteral("ona_run_controller -eye_monitor %1"), tclWord(name));

    bool ok = true;
    QString result;
    m_evaluating = true;
    m_progress->setValue(0);
    refresh();
    QApplication::processEvents(); // paints "&Stop" and the bar before the scan starts
    {
        basgui::BusyCursor busy;
        for (const QString& command : commands) {
            result.clear();
            // The outcome is the command's own: an error with no run error
            // text is still an error, and a stopped scan is no result.
            if (!m_gateway->tclEval(command, &result)) {
                ok = false;
                break;
            }
        }
    }
    m_evaluating = false;
    m_stopping = false;
    m_running = false;
    refresh();
    m_status->clear();
    if (ok) {
        accept();
        return;
    }
    QString error = controller->getRunErr();
    if (error.isEmpty())
        error = result.isEmpty() ? tr("The eye scan failed.") : result;
    showError(error);
}

void PCSCHEomDlg::importEOMFile() {
    HardIpWidget* hardIp = panel();
    const QString filter = m_quad ? tr("ZENTA EOM (*.txt);;All files (*.*)") : tr("EOM file (*.csv);;All files (*.*)");
    const QString path = basgui::Dialogs::provider()->getOpenFileName(this, tr("Select Existing EOM file "),
                                                                      QDir::currentPath(), filter);
    if (path.isEmpty() || !hardIp)
        return;
    if (auto* pcs = qobject_cast<PCSCHWidget*>(hardIp); pcs && !m_quad)
        pcs->loadEomCsvFile(path);
    else if (m_quad)
        EomFlow::showTextFile(hardIp, path);
}

void PCSCHEomDlg::reject() {
    if (m_evaluating) {
        if (m_running)
            onRunEOM();
        return;
    }
    QDialog::reject();
}

void PCSCHEomDlg::closeEvent(QCloseEvent* event) {
    if (m_evaluating) {
        event->ignore();
        if (m_running)
            onRunEOM();
        return;
    }
    QDialog::closeEvent(event);
}

} // namespace vemo::toolona
