#include "onadata.h"

#include "hardipmerge.h"
#include "oncdata.h"
#include "pcsdata.h"
#include "safefile.h"

#include "capturerun.h"
#include "deviceregistry.h"
#include "jtagtarget.h"
#include "onajtag.h"
#include "onathread.h"
#include "simdevice.h"
#include "tokenmodel.h"
#include "triggeremodel.h"
#include "triggersetting.h"
#include "triggersetup.h"
#include "triggerumodel.h"
#include "waveformmodel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include <iterator>

// Quiet unless asked for (QT_LOGGING_RULES="ondrel.engine.debug=true").
Q_LOGGING_CATEGORY(lcEngine, "ondrel.engine", QtInfoMsg)

using namespace ProjectFiles;

const QStringList OnaData::radix_list = TriggerLang::radixNames();
const QStringList OnaData::operator_list = TriggerLang::operatorNames();
const QStringList OnaData::serial_list = TriggerLang::serialOperatorNames();

OnaData* OnaData::inst() {
    // Lives for the whole process: models handed to views must outlive them.
    static OnaData* instance = new OnaData;
    return instance;
}

namespace {

// The simulated target is the kind a project gets unless its cable names
// another; the target over JTAG through OpenOCD is the other built in.
OnaJTAG* withSimulatedTarget(OnaJTAG* cable) {
    if (!DeviceRegistry::kinds().contains(SimDevice::kindName()))
        SimDevice::registerKind();
    if (!DeviceRegistry::kinds().contains(JtagTarget::kindName()))
        JtagTarget::registerKind();
    return cable;
}

// A yes/no of a core (no without a core).
bool flagOf(const AnalyzerCore* core, bool (AnalyzerCore::*flag)() const) { return core && (core->*flag)(); }

// A progress counter of a core (0 without a core).
template <class T>
T progress(const AnalyzerCore* core, std::atomic<T> AnalyzerCore::*counter) {
    return core ? (core->*counter).load() : T(0);
}

// One of a core's models (null without a core).
template <class Model>
Model* modelOf(const AnalyzerCore* core, Model* (AnalyzerCore::*get)() const) {
    return core ? (core->*get)() : nullptr;
}

// One cell of the current core's trigger table; empty without a core.
template <class Model>
QString cellText(const Model* model, int row, int column) {
    return model ? model->text(row, column) : QString();
}

} // namespace

OnaData::OnaData()
    : m_jtag(withSimulatedTarget(new OnaJTAG(this)))
    , m_session(new ProjectSession(m_jtag, this))
    , m_triggers(new TriggerSetup(m_session, this)) {
    const TokenModel* tokens = m_triggers->tokens();
    m_capture = new CaptureRun(
        m_session, m_jtag, [tokens](const QString& set, const QString& bits) { return tokens->valueText(set, bits); },
        this);
    m_session->setRunGuard([this] { return isBusy(); });
    m_jtag->setShutdownHandler([this] {
        // Ends the run at once: the thread checks its stop flag every few
        // thousand samples, so the wait is short. Nothing is uploaded.
        stopCapture();
        waitCapture(-1);
    });
    // The subsystems' signals are the facade's: emitted synchronously, in
    // the order the subsystem emits them.
    connect(m_session, &ProjectSession::coreSetDirty, this, &OnaData::coreSetDirty);
    connect(m_session, &ProjectSession::coreRunDirty, this, &OnaData::coreRunDirty);
    connect(m_session, &ProjectSession::clockChanged, m_capture, &CaptureRun::syncClock);
    connect(m_session, &ProjectSession::settingDirty, this, &OnaData::settingDirty);
    connect(m_session, &ProjectSession::targetChanged, this, [this] {
        syncController();
        PCSData::inst()->setTarget(m_jtag->device());
        emit sigTargetChanged();
    });
    connect(m_triggers, &TriggerSetup::setDirty, this, &OnaData::setDirty);
    connect(m_triggers, &TriggerSetup::errorDirty, this, &OnaData::errorDirty);
    connect(m_triggers, &TriggerSetup::tokenDirty, this, &OnaData::tokenDirty);
    connect(m_triggers, &TriggerSetup::settingDirty, this, &OnaData::settingDirty);
    connect(m_capture->thread(), &OnaThread::runThread, this, &OnaData::runStarted);
    connect(m_capture->thread(), &OnaThread::doneThread, this, &OnaData::captureDone);
}

OnaData::~OnaData() = default;

QString OnaData::getCurrentDirectory() const {
    return isProjectOpen() ? QFileInfo(getCurrentProject()).absolutePath() : QString();
}

QString OnaData::getImplDirectory() const {
    return getOnlFile().isEmpty() ? QString() : QFileInfo(getOnlFile()).absolutePath();
}

quint64 OnaData::checkONLTimeStamp() const {
    if (getOnlFile().isEmpty())
        return 0;
    QFileInfo fi(getOnlFile());
    fi.setCaching(false);
    if (!fi.exists())
        return 0;
    // The size takes part so that a rewrite within the clock's resolution
    // still changes the stamp.
    return quint64(fi.lastModified().toMSecsSinceEpoch()) ^ (quint64(fi.size()) << 44);
}

QString OnaData::getCoreName(int c) const { return m_session->coreName(c); }

int OnaData::getCoreId(const QString& name) const { return m_session->coreId(name); }

QSharedPointer<AnalyzerCore> OnaData::getCorePtr(int c) const { return m_session->corePtr(c); }

bool OnaData::isRunCore(int c) const { return flagOf(core(c), &AnalyzerCore::isRun); }

bool OnaData::hasInsertCore(int c) const { return flagOf(core(c), &AnalyzerCore::hasInsert); }

bool OnaData::isPORCore(int c) const { return flagOf(core(c), &AnalyzerCore::isPOR); }

bool OnaData::getConnectPORCore(int c) const { return flagOf(core(c), &AnalyzerCore::getConnectPOR); }

int OnaData::getNumRunCore() const {
    int n = 0;
    for (const auto& c : m_session->cores())
        n += c->isRun();
    return n;
}

int OnaData::getCurrentCoreStatus(int c) const { return progress(core(c), &AnalyzerCore::status); }

int OnaData::getCurrentCorePnum(int c) const { return progress(core(c), &AnalyzerCore::pnum); }

int OnaData::getCurrentCorePmax(int c) const { return progress(core(c), &AnalyzerCore::pmax); }

qint64 OnaData::getSamplesDone(int c) const { return progress(core(c), &AnalyzerCore::samplesDone); }

qint64 OnaData::getSamplesTotal(int c) const { return progress(core(c), &AnalyzerCore::samplesTotal); }

int OnaData::getNumError(int c) const {
    const AnalyzerCore* p = core(c);
    return p ? p->getNumError() : 0;
}

int OnaData::getNumSample(int c) const {
    const TriggerSetting* s = modelOf(core(c), &AnalyzerCore::getTSModel);
    return s ? s->samples : 0;
}

int OnaData::getNumTrigger(int c) const {
    const TriggerSetting* s = modelOf(core(c), &AnalyzerCore::getTSModel);
    return s ? s->numTriggers : 0;
}

int OnaData::getMaxPosition(int c) const {
    const TriggerSetting* s = modelOf(core(c), &AnalyzerCore::getTSModel);
    return s ? s->getMaxPosition() : 0;
}

int OnaData::getUserPosition(int c) const {
    const TriggerSetting* s = modelOf(core(c), &AnalyzerCore::getTSModel);
    return s ? s->getUserPosition() : 0;
}

int OnaData::updateTriggerPosition(int c) {
    TriggerSetting* s = modelOf(core(c), &AnalyzerCore::getTSModel);
    return s ? s->updateTriggerPosition() : 0;
}

QString OnaData::getTUName(int row) const { return cellText(getTUModel(), row, TriggerUModel::ColName); }

QString OnaData::getTUOperator(int row) const { return cellText(getTUModel(), row, TriggerUModel::ColOperator); }

QString OnaData::getTURadix(int row) const { return cellText(getTUModel(), row, TriggerUModel::ColRadix); }

QString OnaData::getTUValue(int row) const { return cellText(getTUModel(), row, TriggerUModel::ColValue); }

QString OnaData::getTEName(int row) const { return cellText(getTEModel(), row, TriggerEModel::ColName); }

QString OnaData::getTEExpression(int row) const { return cellText(getTEModel(), row, TriggerEModel::ColExpression); }

QString OnaData::getWaveformRadix(int row) const {
    const WaveformModel* m = getWDModel();
    if (!m || row < 0 || row >= m->rowCount())
        return QString();
    const SigTreeData d = WaveformModel::rowData(m->index(row, 0));
    if (!d.isBus())
        return QString();
    if (d.radix == 0)
        return d.radixName;
    const QString word = WaveformModel::radixWord(d.radix);
    return word.isEmpty() ? radix_list.value(3) : word;
}

QString OnaData::getWaveformSignal(int row) const {
    const WaveformModel* m = getWDModel();
    if (!m || row < 0 || row >= m->rowCount())
        return QString();
    return WaveformModel::rowData(m->index(row, 0)).name;
}

void OnaData::resetWaveformRadix(int row) {
    WaveformModel* m = getWDModel();
    if (!m || row < 0 || row >= m->rowCount())
        return;
    SigTreeData d = WaveformModel::rowData(m->index(row, 0));
    if (!d.isBus())
        return;
    d.radix = 2;
    d.radixName.clear();
    m->setRowData(m->index(row, 0), d);
}

TriggerUModel* OnaData::getTUModel() const { return modelOf(core(-1), &AnalyzerCore::getTUModel); }

TriggerEModel* OnaData::getTEModel() const { return modelOf(core(-1), &AnalyzerCore::getTEModel); }

TriggerSetting* OnaData::getTSModel() const { return modelOf(core(-1), &AnalyzerCore::getTSModel); }

WaveformModel* OnaData::getWDModel() const { return modelOf(core(-1), &AnalyzerCore::getWDModel); }

QThread* OnaData::getAcqThread() const { return m_capture->thread(); }

TokenModel* OnaData::getTokenModel() const { return m_triggers->tokens(); }

void OnaData::logDebug(const QString& text) const { qCDebug(lcEngine).noquote() << text; }

QString OnaData::readZentaMPPMergeInfo() const {
    // Through the regular-file check: a FIFO named like it would block here.
    const QString path = HardIpMerge::fileFor(getOnlFile());
    QByteArray text;
    QString why;
    if (path.isEmpty() || !SafeFile::readRegular(path, HardIpMerge::kMaxFileBytes, &text, &why))
        return QString();
    return QString::fromUtf8(text);
}

void OnaData::info(const QString& text) {
    logDebug(text);
    m_infoText = text.toUtf8();
    emit infoDirty(m_infoText.constData());
}

QString OnaData::getRunErr() const { return m_capture->runError(); }

void OnaData::syncController() {
    const QSharedPointer<AnalyzerCore> c = getCorePtr(getCurrentCore());
    if (c && c->getKind() == AnalyzerCore::Controller) {
        ControllerRecords records = c->controller();
        records.coreIndex = c->onl().index;
        records.coreHash = c->onl().hash;
        ONCData::inst()->selectCore(c->getName(), records, m_jtag->device());
    } else
        ONCData::inst()->selectCore(QString(), ControllerRecords());
}

void OnaData::resetData() {
    ONCData::inst()->closeSession();
    PCSData::inst()->closeSession();
    m_capture->endCapture();
    m_session->clear();
    m_triggers->resetCounts();
    m_triggers->tokens()->clear();
    m_capture->clearRunError();
}

// ---------------------------------------------------------------------------
// Project: open, save and close reach every subsystem.

bool OnaData::openProject(const QString& path, QString* error) {
    ProjectSession::Loaded loaded;
    if (!m_session->load(path, &loaded, error))
        return false;

    // Everything is checked: replace the open project. The old cores (and
    // the models views may still show) live until the new ones are announced.
    QStringList warnings = loaded.warnings;
    const QList<TokenSetData> userSets = loaded.project.userSets;
    const QList<TokenSetData> enums = loaded.design.enums;
    const SerdesLayout serdes = loaded.design.serdesLayout;
    const ProjectSession::Cores old = m_session->install(std::move(loaded));
    m_capture->clearRunError();
    m_triggers->tokens()->setSets(QStringLiteral("user"), userSets);
    m_triggers->tokens()->setSets(QStringLiteral("ENUM"), enums);
    m_triggers->resetCounts(); // the open itself is no edit: no signal
    // A capture of the previous project ends here, as a close ends it.
    m_capture->endCapture();
    m_capture->loadSidecar(&warnings);
    m_capture->syncClock();
    // A debug-logic file starts a project that exists only here until saved.
    m_neverSaved = QDir::cleanPath(QFileInfo(path).absoluteFilePath()) != getCurrentProject();
    // The devices of the old project go with it.
    ONCData::inst()->closeSession();
    syncController();
    // The tool asks for the SERDES when it hears of the open.
    PCSData::inst()->setLayout(serdes, m_jtag->device());
    emit sigProjectOpened(getCurrentProject());
    for (const QString& w : warnings)
        info(w + QLatin1Char('\n'));
    return true;
}

OnaProject OnaData::snapshot(const QString& onaPath) const {
    return m_session->snapshot(onaPath, m_triggers->tokens()->sets(QStringLiteral("user")));
}

bool OnaData::saveProject(const QString& path, QString* error, bool force) {
    if (!isProjectOpen()) {
        *error = QStringLiteral("no project is open");
        return false;
    }
    const QString current = getCurrentProject();
    const QString target = path.isEmpty() ? current : QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    // The name of a never-saved project was only proposed: an existing file
    // of that name is someone's work and is replaced only when asked to.
    if (path.isEmpty() && m_neverSaved && !force && QFileInfo::exists(target)) {
        *error = QStringLiteral(
                     "%1 already exists and this new project has never been saved: give a file name "
                     "(ona_save_project FILE) or replace the file (ona_save_project -force)")
                     .arg(target);
        return false;
    }
    if (QFileInfo(target).isDir()) {
        *error = QStringLiteral("%1 is a folder").arg(target);
        return false;
    }
    if (!writeFile(target, writeOna(snapshot(target)), error))
        return false;
    QStringList warnings;
    m_capture->saveSidecar(target, &warnings);
    for (const QString& w : warnings)
        info(w + QLatin1Char('\n'));
    m_neverSaved = false;
    if (target != current) {
        m_session->setProjectFile(target);
        emit sigFileNameChanged(target);
    }
    emit sigProjectSaved(target);
    return true;
}

bool OnaData::closeProject() {
    if (!isProjectOpen())
        return false;
    m_capture->endCapture();
    m_neverSaved = false;
    // Keep the cores alive until the views have heard of the close.
    const ProjectSession::Cores old = m_session->cores();
    resetData();
    emit sigProjectClosed();
    return true;
}

// ---------------------------------------------------------------------------
// Capture

bool OnaData::isBusy() const { return m_capture->isBusy(); }

bool OnaData::startCapture(QString* error) { return m_capture->startCapture(error); }

void OnaData::stopCapture() { m_capture->stopCapture(); }

void OnaData::manualTrigger() { m_capture->manualTrigger(); }

bool OnaData::waitCapture(int timeoutMs) { return m_capture->waitCapture(timeoutMs); }

void OnaData::collectCapture() { m_capture->collectCapture(); }

bool OnaData::exportVcd(const QString& path, const QString& module, QString* error) {
    return m_capture->exportVcd(path, module, error);
}

bool OnaData::exportText(const QString& path, const QString& signalList, QString* error) {
    return m_capture->exportText(path, signalList, error);
}

QString OnaData::statusText(int status, int pnum) {
    if (status == AnalyzerCore::Armed || status == AnalyzerCore::Sampling)
        return pnum >= 1
                   ? QStringLiteral("Sampling %1 trigger%2").arg(pnum).arg(pnum >= 2 ? QStringLiteral("s") : QString())
                   : QStringLiteral("Running");
    // By status, from Ready; a status out of range reads Ready.
    static const char* const kTexts[] = {"Ready",     "Configuring", nullptr,          nullptr, "Uploading",
                                         "Completed", "Stopped",     "Upload stopped", "Error!"};
    return QString::fromLatin1(status > 0 && status < int(std::size(kTexts)) ? kTexts[status] : kTexts[0]);
}

QString OnaData::matchToken(int width, const QString& setName, const QString& bits) {
    // The width is the bus's; the set's own width decides nothing here, since
    // values are compared as numbers.
    Q_UNUSED(width);
    return inst()->getTokenModel()->valueText(setName, bits);
}
