#include "capturerun.h"

#include "analyzercore.h"
#include "bitwords.h"
#include "capturefile.h"
#include "onajtag.h"
#include "onathread.h"
#include "projectsession.h"
#include "safefile.h"
#include "targetdevice.h"
#include "triggeremodel.h"
#include "triggersetting.h"
#include "triggerumodel.h"
#include "waveformmodel.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QRegularExpression>

using namespace ProjectFiles;

CaptureRun::CaptureRun(ProjectSession* session, OnaJTAG* cable, WaveExport::TokenName tokenName, QObject* parent)
    : QObject(parent)
    , m_session(session)
    , m_cable(cable)
    , m_thread(new OnaThread(cable, this))
    , m_tokenName(std::move(tokenName)) {
    // Queued: the thread ends in its own thread; the capture is installed in
    // ours, before the tool hears doneThread.
    connect(m_thread, &OnaThread::captureFinished, this, &CaptureRun::collectCapture, Qt::QueuedConnection);
}

bool CaptureRun::isBusy() const { return m_busy && !m_thread->finishedRun(); }

namespace {

// Resolves "sig", "sig[3]" or "sig[7:4]" to (signal, bit) pairs, most
// significant first.
bool resolveRef(const QString& ref, const QVector<OnlSignal>& sigs, QVector<QPair<int, int>>* out) {
    static const QRegularExpression re(
        QStringLiteral("^([A-Za-z_][A-Za-z0-9_]*)(?:\\[([0-9]{1,5})(?::([0-9]{1,5}))?\\])?$"));
    const auto m = re.match(ref.trimmed());
    if (!m.hasMatch())
        return false;
    for (int i = 0; i < sigs.size(); ++i) {
        if (sigs.at(i).name != m.captured(1))
            continue;
        int hi = sigs.at(i).width - 1, lo = 0;
        if (!m.captured(2).isEmpty()) {
            hi = m.captured(2).toInt();
            lo = m.captured(3).isEmpty() ? hi : m.captured(3).toInt();
        }
        if (hi < lo || hi >= sigs.at(i).width)
            return false;
        for (int b = hi; b >= lo; --b)
            out->append({i, b});
        return true;
    }
    return false;
}

void patternWords(const QString& bits, QVector<quint64>* value, QVector<quint64>* care) {
    QString v = bits, c = bits;
    for (int i = 0; i < bits.size(); ++i) {
        const bool x = bits.at(i) == QLatin1Char('x') || bits.at(i) == QLatin1Char('X');
        v[i] = x ? QLatin1Char('0') : bits.at(i);
        c[i] = x ? QLatin1Char('0') : QLatin1Char('1');
    }
    *value = bitsToWords(v);
    if (care)
        *care = bitsToWords(c);
}

} // namespace

bool CaptureRun::buildSetups(std::vector<CaptureSetup>* setups, QString* error) const {
    for (const auto& c : m_session->cores()) {
        if (!c->isRun() || !c->hasInsert())
            continue;
        const QString where = QStringLiteral("ona_run: core \"%1\"").arg(c->getName());
        const int errors = c->getNumError();
        if (errors > 0) {
            *error = QStringLiteral("%1 has %2 error%3 in its trigger setup")
                         .arg(where)
                         .arg(errors)
                         .arg(errors > 1 ? "s" : "");
            return false;
        }
        CaptureSetup s;
        s.core = m_session->cores().at(c->getId());
        const OnlCore& onl = c->onl();
        for (const OnlSignal& sig : onl.signalList)
            s.signalWidths.append({sig.name, sig.width});
        s.channelNames = AnalyzerCore::channelNames(onl);
        s.coreName = c->getName();
        s.coreIndex = onl.index;
        s.coreHash = onl.hash;
        s.simulation = onl.simulation;
        TriggerUModel* tu = c->getTUModel();
        for (int r = 0; r < tu->rowCount(); ++r) {
            const TriggerLang::TUCondition cond = tu->condition(r);
            CaptureUnit u;
            u.op = cond.op;
            u.width = cond.width;
            u.serial = tu->getSerialBit(r);
            for (const QString& ref : tu->signalRefs(r))
                if (!resolveRef(ref, onl.signalList, &u.sources)) {
                    *error = QStringLiteral("%1: trigger unit \"%2\": bad signal reference \"%3\"")
                                 .arg(where, tu->text(r, TriggerUModel::ColName), ref);
                    return false;
                }
            if (u.sources.isEmpty() || (u.serial > 0 && u.sources.size() != 1) ||
                (u.serial == 0 && u.sources.size() != u.width)) {
                *error = QStringLiteral("%1: trigger unit \"%2\" does not match its signals")
                             .arg(where, tu->text(r, TriggerUModel::ColName));
                return false;
            }
            if (TriggerLang::isEdgeOp(cond.op)) {
                QString watched = cond.value;
                watched.replace(QLatin1Char('x'), QLatin1Char('0'));
                u.value = bitsToWords(watched);
                u.care = u.value;
            } else {
                patternWords(cond.value, &u.value, &u.care);
                if (TriggerLang::isRangeOp(cond.op))
                    patternWords(cond.high, &u.high, nullptr);
            }
            const int words = (u.width + 63) / 64;
            u.value.resize(words);
            u.care.resize(words);
            u.high.resize(words);
            s.units.append(u);
            s.unitNames.append(tu->text(r, TriggerUModel::ColName));
        }
        TriggerEModel* te = c->getTEModel();
        for (int r = 0; r < te->rowCount(); ++r) {
            if (!te->isEnabled(r))
                continue;
            // The program was compiled when the row was last checked, the
            // same check the error count above comes from.
            if (te->hasError(r)) {
                *error = QStringLiteral("%1: trigger expression \"%2\": %3")
                             .arg(where, te->text(r, TriggerEModel::ColName), te->errorText(r));
                return false;
            }
            s.expressions.append(te->program(r));
            s.expressionNames.append(te->text(r, TriggerEModel::ColName));
        }
        if (s.expressions.isEmpty()) {
            *error = QStringLiteral("%1 has no enabled trigger expression").arg(where);
            return false;
        }
        TriggerSetting* ts = c->getTSModel();
        ts->updateTriggerPosition();
        s.teAnd = ts->teCombination == 1;
        s.finalCount = ts->finalCounterOn > 0 ? qMax(1, ts->finalCounterPreset) : 1;
        s.samples = qMax(1, ts->samples);
        s.frames = qMax(1, ts->numTriggers);
        s.position = qBound(0, ts->triggerPosition, s.samples - 1);
        s.por = c->getConnectPOR();
        TargetDevice* target = m_cable->device();
        QString why = QStringLiteral("no target is connected");
        s.device = target ? target->openAnalyzer(s, &why) : nullptr;
        if (!s.device) {
            *error = QStringLiteral("%1: %2").arg(where, why);
            return false;
        }
        setups->push_back(std::move(s));
    }
    if (setups->empty()) {
        *error = QStringLiteral("ona_run: no core is selected to run (ona_set_core -name CORE -run on)");
        return false;
    }
    return true;
}

bool CaptureRun::startCapture(QString* error) {
    if (!m_session->isOpen()) {
        *error = QStringLiteral("ona_run: no project is open");
        return false;
    }
    if (isBusy()) {
        *error = QStringLiteral("ona_run: a capture is already running; end it with ona_stop or ona_manualtrig");
        return false;
    }
    // A finished run whose end has not been collected yet is collected now.
    m_thread->wait();
    collectCapture();
    std::vector<CaptureSetup> setups;
    if (!buildSetups(&setups, error))
        return false;
    for (const auto& c : m_session->cores()) {
        c->status = AnalyzerCore::Ready;
        c->pnum = 0;
        c->pmax = 0;
        c->samplesDone = 0;
        c->samplesTotal = 0;
    }
    // A started run says so at once, before the thread reports its first step.
    for (const auto& s : setups)
        s.core->status = AnalyzerCore::Configuring;
    m_runErr.clear();
    m_thread->prepare(std::move(setups), m_cable->cableFault());
    m_busy = true;
    m_thread->start();
    return true;
}

void CaptureRun::stopCapture() {
    if (isBusy())
        m_thread->requestStop();
}

void CaptureRun::manualTrigger() {
    if (isBusy())
        m_thread->requestManualTrigger();
}

bool CaptureRun::waitCapture(int timeoutMs) {
    if (!m_busy)
        return true;
    const bool done = timeoutMs < 0 ? m_thread->wait() : m_thread->wait(QDeadlineTimer(timeoutMs));
    if (done)
        collectCapture();
    return done;
}

void CaptureRun::collectCapture() {
    if (!m_busy || !m_thread->finishedRun())
        return;
    m_thread->wait();
    m_busy = false;
    m_runErr = m_thread->runError();
    for (CaptureResult& r : m_thread->takeResults()) {
        WaveformModel* m = r.core->getWDModel();
        if (!m || !r.trace)
            continue;
        m->setTrace(r.trace, r.signalWidths);
        m->setClockPeriod(m_session->period());
        m->setClockUnit(m_session->clockUnit());
    }
}

void CaptureRun::endCapture() {
    if (!m_busy)
        return;
    m_thread->requestStop();
    m_thread->wait();
    m_thread->takeResults(); // a stopped run keeps the previous capture
    m_busy = false;
}

void CaptureRun::syncClock() {
    for (const auto& c : m_session->cores())
        if (WaveformModel* m = c->getWDModel()) {
            m->setClockPeriod(m_session->period());
            m->setClockUnit(m_session->clockUnit());
        }
}

QString CaptureRun::sidecarPath(const QString& onaPath) {
    return onaPath.isEmpty() ? QString() : onaPath + QStringLiteral(".cap");
}

void CaptureRun::saveSidecar(const QString& onaPath, QStringList* warnings) const {
    std::vector<CaptureFile::Entry> entries;
    for (const auto& c : m_session->cores()) {
        const WaveformModel* m = c->getWDModel();
        if (m && m->hasData()) {
            QList<QPair<QString, int>> widths;
            for (const auto& s : c->onl().signalList)
                widths.append({s.name, s.width});
            entries.push_back({c->getName(), widths, m->traceData()});
        }
    }
    const QString path = sidecarPath(onaPath);
    if (entries.empty()) {
        QFile::remove(path); // no capture: no stale one either
        return;
    }
    QString error;
    if (!CaptureFile::write(path, entries, &error))
        warnings->append(QStringLiteral("the capture was not saved: %1").arg(error));
}

void CaptureRun::loadSidecar(QStringList* warnings) {
    const QJsonObject layouts = m_session->waveformLayout().value(QLatin1String("cores")).toObject();
    const QString path = sidecarPath(m_session->projectFile());
    if (path.isEmpty() || !QFileInfo::exists(path))
        return;
    std::vector<CaptureFile::Entry> entries;
    QString error;
    if (!CaptureFile::read(path, &entries, &error)) {
        warnings->append(QStringLiteral("the saved capture is ignored: %1").arg(error));
        return;
    }
    for (const auto& e : entries) {
        AnalyzerCore* c = m_session->coreNamed(e.core);
        if (!c) {
            warnings->append(
                QStringLiteral("the saved capture of core \"%1\" is ignored: the design has no such core").arg(e.core));
            continue;
        }
        if (!c->getWDModel())
            continue;
        QList<QPair<QString, int>> widths;
        for (const auto& s : c->onl().signalList)
            widths.append({s.name, s.width});
        if (widths != e.signalWidths) {
            warnings->append(
                QStringLiteral("the saved capture of core \"%1\" is ignored: its signals have changed").arg(e.core));
            continue;
        }
        c->getWDModel()->setTrace(e.trace, widths);
        c->getWDModel()->restoreLayout(layouts.value(e.core).toObject());
    }
}

namespace {

template <typename Fn>
bool atomicWrite(const QString& path, Fn fn, QString* error) {
    QString why;
    if (!SafeFile::writeAtomically(path, fn, &why)) {
        *error = QStringLiteral("ona_export_project: cannot write %1: %2").arg(path, why);
        return false;
    }
    return true;
}

QString nowText() { return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")); }

} // namespace

bool CaptureRun::exportPrecheck(const QString& path, WaveformModel** model, QString* error) {
    collectCapture();
    if (!m_session->isOpen()) {
        *error = QStringLiteral("ona_export_project: no project is open");
        return false;
    }
    if (path.trimmed().isEmpty()) {
        *error = QStringLiteral("ona_export_project: no output file given");
        return false;
    }
    if (QFileInfo(path).isDir()) {
        *error = QStringLiteral("ona_export_project: %1 is a folder").arg(path);
        return false;
    }
    AnalyzerCore* current = m_session->core(-1);
    *model = current ? current->getWDModel() : nullptr;
    if (!*model || !(*model)->hasData()) {
        *error = QStringLiteral("ona_export_project: core \"%1\" has no captured data to export")
                     .arg(m_session->coreName(-1));
        return false;
    }
    return true;
}

bool CaptureRun::exportVcd(const QString& path, const QString& module, QString* error, const QString& signalList,
                           bool scalar) {
    WaveformModel* m = nullptr;
    if (!exportPrecheck(path, &m, error))
        return false;
    // The module name is one VCD identifier: the core's name when none is given.
    QString mod = module.trimmed();
    if (mod.isEmpty())
        mod = m_session->coreName(-1);
    for (QChar& c : mod)
        if (!(c.isLetterOrNumber() || c == QLatin1Char('_')) || c.unicode() > 126)
            c = QLatin1Char('_');
    QVector<WaveExport::Var> vars;
    if (!exportVars(*m, signalList, &vars, error))
        return false;
    const auto trace = m->traceData();
    if (scalar)
        vars = WaveExport::scalarVars(vars, *trace);
    return atomicWrite(
        QFileInfo(path).absoluteFilePath(),
        [&](QIODevice* d, QString* why) {
            return WaveExport::writeVcd(d, *trace, vars, mod, m_session->period(), m_session->clockUnit(), nowText(),
                                        why);
        },
        error);
}

// The variables of an export: the named rows, or every top-level row.
bool CaptureRun::exportVars(const WaveformModel& model, const QString& signalList, QVector<WaveExport::Var>* vars,
                            QString* error) const {
    const QStringList names = signalList.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    if (names.isEmpty()) {
        *vars = WaveExport::topLevelVars(model);
        return true;
    }
    for (const QString& n : names) {
        const QModelIndex idx = model.rowNamed(n);
        if (!idx.isValid()) {
            *error = QStringLiteral("ona_export_project: no signal named \"%1\" in the capture of core \"%2\"")
                         .arg(n, m_session->coreName(-1));
            return false;
        }
        const SigTreeData d = WaveformModel::rowData(idx);
        WaveExport::Var v;
        v.name = n;
        v.channels = model.channelsOf(idx);
        v.radix = d.isBus() ? d.radix : 2;
        v.radixName = d.radixName;
        vars->append(v);
    }
    return true;
}

bool CaptureRun::exportText(const QString& path, const QString& signalList, QString* error) {
    WaveformModel* m = nullptr;
    if (!exportPrecheck(path, &m, error))
        return false;
    QVector<WaveExport::Var> vars;
    if (!exportVars(*m, signalList, &vars, error))
        return false;
    const auto trace = m->traceData();
    const QString core = m_session->coreName(-1);
    return atomicWrite(
        QFileInfo(path).absoluteFilePath(),
        [&](QIODevice* d, QString* why) {
            return WaveExport::writeText(d, *trace, vars, core, m_session->period(), m_session->clockUnit(), nowText(),
                                         why, m_tokenName);
        },
        error);
}
