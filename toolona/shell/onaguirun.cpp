// OnaGUI: the run panel on the special tool bar and the engine's edit and
// run signals.

#include "shell/onagui.h"

#include "kit/counttext.h"
#include "kit/tclcommand.h"
#include "shell/rightview.h"

#include "analyzercore.h"
#include "onadata.h"
#include "triggeremodel.h"
#include "triggersetting.h"
#include "waveformmodel.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QProgressBar>
#include <QThread>
#include <QTimer>

namespace vemo::toolona {

namespace {
OnaData* engine() { return OnaData::inst(); }

// A wait as the run status shows it: "12 s", "1:05 min", "1:02:05 h".
QString waitText(qint64 ms) {
    const qint64 s = ms / 1000;
    if (s < 60)
        return QStringLiteral("%1 s").arg(s);
    if (s < 3600)
        return QStringLiteral("%1:%2 min").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2:%3 h")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}
} // namespace

void OnaGUI::setRunState(const QString& text) {
    m_progress->setMaximum(10);
    m_progress->setValue(0);
    m_progress->setFormat(text);
}

void OnaGUI::resetCoreWidget() {
    qDeleteAll(m_coreBoxes);
    m_coreBoxes.clear();
    delete m_coreSelector;
    m_coreSelector = nullptr;
}

void OnaGUI::runAnalyzer() {
    OnaData* data = engine();
    if (data->isBusy() || data->getNumRunCore() == 0)
        return;
    if (data->getNumError() > 0) {
        showerrormsg(QStringLiteral("Please fix %1 error in Trigger Setup of active core.").arg(data->getNumError()),
                     this);
        return;
    }
    if (TriggerEModel* te = data->getTEModel(); te && te->getNumChecked() < 1) {
        showerrormsg(QStringLiteral("Please enable at least one TE expression."), this);
        return;
    }
    m_runAction->setEnabled(false);
    for (QCheckBox* box : std::as_const(m_coreBoxes))
        box->setEnabled(false);
    SetDirtyBit();
    doConfigThread();
    QString error;
    if (!tclEval(QStringLiteral("ona_run"), &error)) {
        // No run started, so no thread will report its end: say why and
        // give the controls back at once (and the cores a power-on-reset
        // run switched off).
        setRunState(QStringLiteral("Ready"));
        restorePorCores();
        restoreRunControls();
        evaluateZoom();
        showerrormsg(error.isEmpty() ? tr("The capture could not be started.") : error, this);
    }
}

void OnaGUI::restoreRunControls() {
    OnaData* data = engine();
    m_stopAction->setEnabled(false);
    m_trigAction->setEnabled(false);
    m_runAction->setVisible(true);
    m_stopAction->setVisible(false);
    bool any = false;
    for (int i = 0; i < m_coreBoxes.size(); ++i) {
        QCheckBox* box = m_coreBoxes.at(i);
        if (data->hasInsertCore(i))
            box->setEnabled(true);
        any = any || box->isChecked();
    }
    m_runAction->setEnabled(any || (m_coreBoxes.isEmpty() && data->getNumRunCore() > 0));
}

void OnaGUI::restorePorCores() {
    const QStringList names = m_porCores;
    // Forgotten first: these cores are back under the user's control, and a
    // later run must not switch on a core the user then turns off.
    m_porCores.clear();
    for (const QString& name : names)
        tclEval(tclCommand(QStringLiteral("ona_set_core -name \"%1\" -run on"), tclQuoted(name)));
}

void OnaGUI::stopAnalyzer() {
    if (engine()->isBusy())
        tclEval(QStringLiteral("ona_stop"));
}

void OnaGUI::manualTrigger() {
    if (engine()->isBusy())
        tclEval(QStringLiteral("ona_manualtrig"));
}

void OnaGUI::doConfigThread() {
    messageOut("0001");
    setRunState(QStringLiteral("Connecting"));
    m_stopAction->setEnabled(false);
    m_trigAction->setEnabled(false);
    Refresh();
    emit zoomAvailable(false);
}

void OnaGUI::doRunThread() {
    messageOut("0002");
    setRunState(QStringLiteral("Running"));
    m_trigAction->setEnabled(true);
    m_stopAction->setEnabled(true);
    m_runAction->setVisible(false);
    m_stopAction->setVisible(true);
    m_rightView->notify(PageNotice{PageEvent::RunStarted});
    // Said once; the seconds of the wait go to the run status.
    const QString waits = triggerWaitText();
    if (!waits.isEmpty())
        messageOut("9992", tr("Waiting for the trigger: %1").arg(waits).toStdString());
    m_waiting.invalidate();
    if (!m_waitTicker) {
        m_waitTicker = new QTimer(this);
        m_waitTicker->setInterval(1000);
        connect(m_waitTicker, &QTimer::timeout, this, [this] { redrawRunPanel(false); });
    }
    m_waitTicker->start();
}

QString OnaGUI::triggerWaitText() const {
    OnaData* data = engine();
    QStringList lines;
    for (int i = 0; i < data->getNumCore(); ++i) {
        const QSharedPointer<AnalyzerCore> core = data->getCorePtr(i);
        TriggerEModel* te = core ? core->getTEModel() : nullptr;
        if (!te || !data->isRunCore(i) || !data->hasInsertCore(i))
            continue;
        QStringList expressions;
        for (int r = 0; r < te->rowCount(); ++r)
            if (te->isEnabled(r))
                expressions << QStringLiteral("%1 (%2)").arg(te->item(r, TriggerEModel::ColName)->text(),
                                                             te->item(r, TriggerEModel::ColExpression)->text());
        const bool all = core->getTSModel() && core->getTSModel()->teCombination == 1;
        lines << QStringLiteral("%1: %2").arg(core->getName(),
                                              expressions.join(all ? QStringLiteral(" and ") : QStringLiteral(" or ")));
    }
    return lines.join(QStringLiteral("; "));
}

void OnaGUI::reportCaptureEnd() {
    OnaData* data = engine();
    QList<int> ran;
    for (int i = 0; i < data->getNumCore(); ++i)
        if (data->isRunCore(i) && data->hasInsertCore(i))
            ran << i;
    for (int i : std::as_const(ran)) {
        const QSharedPointer<AnalyzerCore> core = data->getCorePtr(i);
        const WaveformModel* wave = core ? core->getWDModel() : nullptr;
        const bool captured = wave && wave->hasData();
        const QString counts =
            captured ? QStringLiteral("%1, %2").arg(
                           countText(wave->getNumTriggerFrame(), QStringLiteral("trigger"), QStringLiteral("triggers")),
                           countText(wave->getNumTime(), QStringLiteral("sample"), QStringLiteral("samples")))
                     : QString();
        QString text;
        switch (data->getCurrentCoreStatus(i)) {
            case AnalyzerCore::Completed:
                text = captured ? tr("Capture complete: %1").arg(counts) : tr("Capture complete: no samples");
                break;
            case AnalyzerCore::UploadStopped:
                text = captured ? tr("Capture ended by Manual Trigger: %1").arg(counts)
                                : tr("Capture ended by Manual Trigger: no samples");
                break;
            case AnalyzerCore::Stopped:
                text = tr("Capture stopped: nothing uploaded");
                break;
            case AnalyzerCore::Error:
                text = tr("Capture failed: %1")
                           .arg(data->getRunErr().isEmpty() ? tr("see the messages above") : data->getRunErr());
                break;
            default:
                continue;
        }
        // Several cores ran: each report names its core.
        if (ran.size() > 1)
            text = QStringLiteral("%1 (%2)").arg(text, core ? core->getName() : QString());
        messageOut("9992", text.toStdString());
    }
}

void OnaGUI::doUpdatePanel() { redrawRunPanel(false); }

void OnaGUI::doRedrawPanel() { redrawRunPanel(true); }

void OnaGUI::redrawRunPanel(bool bringWaveform) {
    OnaData* data = engine();
    const int pnum = data->getCurrentCorePnum(-1);
    const int status = data->getCurrentCoreStatus(-1);
    const qint64 total = data->getSamplesTotal(-1);
    const qint64 done = qBound<qint64>(0, data->getSamplesDone(-1), total);
    // Always a percentage bar: a maximum of 0 would animate as busy while
    // nothing runs.
    // Waiting for the trigger shows no percentage: nothing is taken yet.
    const bool moving =
        data->isBusy() && (status == AnalyzerCore::Sampling || status == AnalyzerCore::Uploading) && total > 0;
    m_progress->setRange(0, 100);
    m_progress->setValue(total > 0 ? int(done * 100 / total) : 0);
    // The engine's own words for its run states, as ona_get capture reports them.
    QString text = OnaData::statusText(status, pnum);
    // Armed and no trigger yet: how long the run has waited, and (in the
    // tool tip, the bar is narrow) for what.
    const bool waiting = data->isBusy() && status == AnalyzerCore::Armed && pnum == 0;
    if (waiting) {
        if (!m_waiting.isValid())
            m_waiting.start();
        // A trigger that comes at once needs no count.
        if (m_waiting.elapsed() >= 1000) {
            text += QLatin1Char(' ') + waitText(m_waiting.elapsed());
            m_progress->setToolTip(
                tr("Waiting %1 for the trigger: %2").arg(waitText(m_waiting.elapsed()), triggerWaitText()));
        }
    } else if (m_waiting.isValid()) {
        m_waiting.invalidate();
        m_progress->setToolTip(QString());
    }
    m_progress->setFormat(moving ? text + QStringLiteral(" %p%") : text);
    if (bringWaveform)
        Refresh();
}

void OnaGUI::doDoneThread(int) {
    OnaData* data = engine();
    if (m_waitTicker)
        m_waitTicker->stop();
    m_waiting.invalidate();
    m_progress->setToolTip(QString());
    // Before the power-on-reset cores are switched back on: the report is
    // of the cores that ran.
    reportCaptureEnd();
    const QString err = data->getRunErr();
    if (err.startsWith(QStringLiteral("ERROR:")))
        showerrormsg(err, this);
    else if (m_rightView->isCapturePageCurrent())
        emit zoomAvailable(waveformHasData());
    redrawRunPanel(true);
    // A capture is there to export now (or still not, after a stop).
    m_actions.value(ExportAction)->setEnabled(waveformHasData());
    // The engine is no longer busy here, so the cores a power-on-reset run
    // switched off can be switched on again.
    restorePorCores();
    restoreRunControls();
    m_rightView->notify(PageNotice{PageEvent::CaptureDone});
}

void OnaGUI::checkRun() {
    OnaData* data = engine();
    if (m_acqThread && m_acqThread->isRunning())
        return;
    if (auto* box = qobject_cast<QCheckBox*>(sender())) {
        const bool checked = box->isChecked();
        // An unknown name must not read the current core's flag: the
        // engine answers for it.
        const int id = data->getCoreId(box->text());
        if (id < 0 || checked != data->isRunCore(id))
            tclEval(tclCommand(QStringLiteral("ona_set_core -name \"%1\" -run %2"), tclQuoted(box->text()),
                               checked ? QStringLiteral("on") : QStringLiteral("off")));
    }
    bool any = false;
    for (QCheckBox* b : std::as_const(m_coreBoxes))
        any = any || b->isChecked();
    m_runAction->setEnabled(any);
}

void OnaGUI::setOnlCore(int) {
    OnaData* data = engine();
    if (!m_coreSelector)
        return;
    const QString name = m_coreSelector->currentText();
    // An emptied selection names no core: nothing to send.
    if (!name.isEmpty() && data->getCoreId(name) != data->getCurrentCore())
        tclEval(tclCommand(QStringLiteral("ona_set_core -name \"%1\""), tclQuoted(name)));
    redrawRunPanel(false);
    updateRightViewDisplay();
    m_actions.value(ExportAction)->setEnabled(waveformHasData());
    if (m_rightView->isCapturePageCurrent())
        emit zoomAvailable(waveformHasData());
}

void OnaGUI::doCoreRunChanged(int core, bool run) {
    SetDirtyBit();
    if (core < 0)
        core = engine()->getCurrentCore();
    if (core >= 0 && core < m_coreBoxes.size() && m_coreBoxes.at(core)->isChecked() != run)
        m_coreBoxes.at(core)->setChecked(run);
}

void OnaGUI::doCoreSetChanged(int core) {
    SetDirtyBit();
    if (!m_coreSelector)
        return;
    // An index the selector does not have would empty it: show the engine's
    // current core instead.
    if (core < 0 || core >= m_coreSelector->count())
        core = engine()->getCurrentCore();
    if (core >= 0 && core < m_coreSelector->count())
        m_coreSelector->setCurrentIndex(core);
}

// A page not built yet reads both when it is.
void OnaGUI::doErrorChanged() { m_rightView->notify(PageNotice{PageEvent::SetupErrors}); }

void OnaGUI::doSettingChanged() {
    SetDirtyBit();
    m_rightView->notify(PageNotice{PageEvent::SettingChanged});
}

void OnaGUI::doItemChanged(QStandardItem*) { SetDirtyBit(); }

void OnaGUI::doTokenChanged() { SetDirtyBit(); }

} // namespace vemo::toolona
