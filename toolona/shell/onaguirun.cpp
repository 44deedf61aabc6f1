// OnaGUI: the run panel on the special tool bar and the engine's edit and
// run signals.

#include "shell/onagui.h"

#include "kit/tclcommand.h"
#include "shell/rightview.h"

#include "analyzercore.h"
#include "onadata.h"
#include "triggeremodel.h"
#include "triggersetting.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QProgressBar>
#include <QThread>

namespace vemo::toolona {

namespace {
OnaData* engine() { return OnaData::inst(); }
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
    const QString text = OnaData::statusText(status, pnum);
    m_progress->setFormat(moving ? text + QStringLiteral(" %p%") : text);
    if (bringWaveform)
        Refresh();
}

void OnaGUI::doDoneThread(int) {
    OnaData* data = engine();
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
