// OnaData's capture side: the run verbs, the setup snapshot handed to the
// acquisition thread, and the hand-over of finished captures to the
// waveform models.

#include "onadata.h"

#include "onajtag.h"
#include "simdriver.h"
#include "tokenmodel.h"
#include "triggeremodel.h"
#include "triggersetting.h"
#include "triggerumodel.h"
#include "waveformmodel.h"

#include <QDeadlineTimer>
#include <QRegularExpression>

using namespace ProjectFiles;

bool OnaData::isBusy() const
{
    return m_busy && !m_thread->finishedRun();
}

QString OnaData::statusText(int status, int pnum)
{
    switch (status) {
    case AnalyzerCore::Configuring: return QStringLiteral("Configuring");
    case AnalyzerCore::Armed:
    case AnalyzerCore::Sampling:
        return pnum >= 1 ? QStringLiteral("Sampling %1 trigger%2").arg(pnum).arg(pnum >= 2 ? QStringLiteral("s") : QString())
                         : QStringLiteral("Running");
    case AnalyzerCore::Uploading: return QStringLiteral("Uploading");
    case AnalyzerCore::Completed: return QStringLiteral("Completed");
    case AnalyzerCore::Stopped: return QStringLiteral("Stopped");
    case AnalyzerCore::UploadStopped: return QStringLiteral("Upload stopped");
    case AnalyzerCore::Error: return QStringLiteral("Error!");
    default: return QStringLiteral("Ready");
    }
}

QString OnaData::matchToken(int width, const QString& setName, const QString& bits)
{
    const QString name = inst()->m_tokens->tokenByBits(setName, bits);
    if (!name.isEmpty())
        return name;
    Q_UNUSED(width);
    return WaveformModel::radixText(bits, 16);
}

namespace {

// Resolves "sig", "sig[3]" or "sig[7:4]" to (signal, bit) pairs, most
// significant first.
bool resolveRef(const QString& ref, const QVector<OnlSignal>& sigs, QVector<QPair<int, int>>* out)
{
    static const QRegularExpression re(QStringLiteral("^([A-Za-z_][A-Za-z0-9_]*)(?:\\[([0-9]{1,5})(?::([0-9]{1,5}))?\\])?$"));
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

void patternWords(const QString& bits, QVector<quint64>* value, QVector<quint64>* care)
{
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

bool OnaData::buildSetups(std::vector<CaptureSetup>* setups, QString* error) const
{
    for (const auto& c : m_cores) {
        if (!c->isRun() || !c->hasInsert())
            continue;
        const QString where = QStringLiteral("ona_run: core \"%1\"").arg(c->getName());
        const int errors = getNumError(c->getId());
        if (errors > 0) {
            *error = QStringLiteral("%1 has %2 error%3 in its trigger setup").arg(where).arg(errors).arg(errors > 1 ? "s" : "");
            return false;
        }
        CaptureSetup s;
        s.core = m_cores.at(c->getId());
        const OnlCore& onl = c->onl();
        for (const OnlSignal& sig : onl.signalList) {
            s.signalWidths.append({sig.name, sig.width});
            if (sig.width == 1)
                s.channelNames << sig.name;
            else
                for (int b = sig.width - 1; b >= 0; --b)
                    s.channelNames << QStringLiteral("%1[%2]").arg(sig.name).arg(b);
            QString why;
            auto drv = SimDriver::create(onl.simulation.value(sig.name).toObject(), sig.width, &why);
            if (!drv) {
                *error = QStringLiteral("%1: signal \"%2\": %3").arg(where, sig.name, why);
                return false;
            }
            s.drivers.push_back(std::move(drv));
        }
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
            if (u.sources.isEmpty() || (u.serial > 0 && u.sources.size() != 1)
                || (u.serial == 0 && u.sources.size() != u.width)) {
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
        }
        TriggerEModel* te = c->getTEModel();
        const QStringList names = tu->names();
        for (int r = 0; r < te->rowCount(); ++r) {
            if (!te->isEnabled(r))
                continue;
            TriggerLang::TEProgram p;
            QString why;
            if (!TriggerLang::parseTE(te->text(r, TriggerEModel::ColExpression), names, &p, &why)) {
                *error = QStringLiteral("%1: trigger expression \"%2\": %3").arg(where, te->text(r, TriggerEModel::ColName), why);
                return false;
            }
            s.expressions.append(p);
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
        setups->push_back(std::move(s));
    }
    if (setups->empty()) {
        *error = QStringLiteral("ona_run: no core is selected to run (ona_set_core -name CORE -run on)");
        return false;
    }
    return true;
}

bool OnaData::startCapture(QString* error)
{
    if (!isProjectOpen()) {
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
    for (const auto& c : m_cores) {
        c->status = AnalyzerCore::Ready;
        c->pnum = 0;
        c->pmax = 0;
    }
    m_runErr.clear();
    m_thread->prepare(std::move(setups), m_jtag->cableFault());
    m_busy = true;
    m_thread->start();
    return true;
}

void OnaData::stopCapture()
{
    if (isBusy())
        m_thread->requestStop();
}

void OnaData::manualTrigger()
{
    if (isBusy())
        m_thread->requestManualTrigger();
}

bool OnaData::waitCapture(int timeoutMs)
{
    if (!m_busy)
        return true;
    const bool done = timeoutMs < 0 ? m_thread->wait() : m_thread->wait(QDeadlineTimer(timeoutMs));
    if (done)
        collectCapture();
    return done;
}

void OnaData::collectCapture()
{
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
        m->setClockPeriod(m_period);
        m->setClockUnit(m_clockUnit);
    }
}

void OnaData::endCapture()
{
    if (!m_busy)
        return;
    m_thread->requestStop();
    m_thread->wait();
    m_thread->takeResults();   // a stopped run keeps the previous capture
    m_busy = false;
}

void OnaData::syncClock()
{
    for (const auto& c : m_cores)
        if (WaveformModel* m = c->getWDModel()) {
            m->setClockPeriod(m_period);
            m->setClockUnit(m_clockUnit);
        }
}
