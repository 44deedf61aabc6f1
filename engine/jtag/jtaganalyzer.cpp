#include "jtaganalyzer.h"

#include "tracedata.h"

#include <new>

using namespace AnalyzerConfig;

namespace {

class JtagAnalyzer : public AnalyzerDevice {
public:
    JtagAnalyzer(HubBus* bus, int core, const AnalyzerCoreInfo& info, const AnalyzerLoad& load,
                 const QVector<CoreWrite>& config)
        : m_bus(bus), m_core(core), m_info(info), m_load(load), m_config(config) {}

    bool arm(QString* error) override {
        m_status = StBusy; // the TCK side is busy from the arm on
        m_frames = 0;
        m_stored = 0;
        m_waited = 0;
        m_manualSent = false;
        QVector<CoreWrite> w = m_config;
        w.append({RegCommand, CmdArm});
        return m_bus->write(m_core, w, error);
    }

    bool poll(int budget, QString* error) override {
        if (!m_fault.isEmpty()) {
            *error = m_fault;
            return false;
        }
        QVector<quint32> r;
        if (!m_bus->read(m_core, RegStatus, 3, &r, error))
            return false;
        m_status = r.at(0);
        m_frames = int(r.at(1) & 0xFFFF);
        m_stored = r.at(2);
        if (state() == Waiting)
            m_waited += budget;
        return true;
    }

    void manualTrigger() override {
        // The loop repeats the request until the run ends; the core needs it once.
        if (!m_manualSent)
            command(CmdManual);
        m_manualSent = true;
    }
    void stop() override { command(CmdStop); }

    State state() const override {
        if (!(m_status & StBusy))
            return Done;
        return (m_status & StRecording) ? Recording : Waiting;
    }
    int frames() const override { return m_frames; }
    qint64 stored() const override { return m_stored; }
    qint64 waited() const override { return m_waited; }

    std::shared_ptr<TraceData> readSamples(QString* error) override {
        if (m_status & StAborted) {
            *error = QStringLiteral("the design was reset during the capture");
            return nullptr;
        }
        const qint64 n = m_load.samples;
        const qint64 stored = qMin<qint64>(m_stored, n * m_load.frames);
        const int windows = int((stored + n - 1) / n);
        std::shared_ptr<TraceData> trace;
        try {
            trace = std::make_shared<TraceData>(m_load.channelNames, stored);
        } catch (const std::bad_alloc&) {
            *error = QStringLiteral("not enough memory for %1 channels x %2 samples")
                         .arg(m_load.channelNames.size())
                         .arg(stored);
            return nullptr;
        }
        QVector<quint32> arm;
        if (!m_bus->read(m_core, RegArmTime, 2, &arm, error))
            return nullptr;
        trace->armTime = qint64(arm.at(0)) | qint64(arm.at(1) & 0xFFFF) << 32;
        const int width = m_info.sampleWidth;
        const int perSample = 1 << m_info.wordsPerSampleLog2;
        for (int f = 0; f < windows; ++f) {
            QVector<quint32> rec;
            if (!m_bus->read(m_core, quint16(RegRecords + 4 * f), 3, &rec, error))
                return nullptr;
            const qint64 stamp = qint64(rec.at(0)) | qint64(rec.at(1) & 0xFFFF) << 32;
            const qint64 start = rec.at(2);
            const qint64 base = f * n;
            const qint64 count = qMin(n, stored - base);
            trace->frameStarts.append(base);
            trace->frameTimes.append(stamp - m_load.position);
            trace->triggerPositions.append(base + m_load.position);
            QVector<quint32> words;
            if (!readSegment(base, n, &words, error))
                return nullptr;
            for (qint64 i = 0; i < count; ++i) {
                const quint32* sample = words.constData() + ((start + i) % n) * perSample;
                const qint64 s = base + i;
                for (int b = 0; b < width; ++b)
                    if (sample[b / 32] >> (b % 32) & 1u) // channels run most significant bit first
                        trace->channelWords(width - 1 - b)[s >> 6] |= quint64(1) << (s & 63);
            }
        }
        trace->finish();
        return trace;
    }

private:
    // The bus words of samples [first, first + count) of the sample memory.
    bool readSegment(qint64 first, qint64 count, QVector<quint32>* out, QString* error) {
        out->clear();
        const int shift = m_info.wordsPerSampleLog2;
        qint64 w = first << shift;
        const qint64 end = (first + count) << shift;
        while (w < end) {
            const int offset = int(w & 0x7FFF);
            const int n = int(qMin<qint64>(end - w, 0x8000 - offset));
            QVector<quint32> chunk;
            if (!m_bus->write(m_core, {{RegPage, quint32(w >> 15)}}, error) ||
                !m_bus->read(m_core, quint16(RegMemory + offset), n, &chunk, error))
                return false;
            *out += chunk;
            w += n;
        }
        return true;
    }

    // Stop and manual trigger come from the polling loop, which has no
    // error path of its own for them: a failure shows at the next poll.
    void command(quint32 cmd) {
        QString why;
        if (!m_bus->write(m_core, {{RegCommand, cmd}}, &why) && m_fault.isEmpty())
            m_fault = why;
    }

    HubBus* m_bus;
    const int m_core;
    const AnalyzerCoreInfo m_info;
    const AnalyzerLoad m_load;
    const QVector<CoreWrite> m_config;
    quint32 m_status = 0;
    int m_frames = 0;
    qint64 m_stored = 0, m_waited = 0;
    QString m_fault;
    bool m_manualSent = false;
};

} // namespace

std::unique_ptr<AnalyzerDevice> openJtagAnalyzer(HubBus* bus, int core, quint32 expectedHash, const AnalyzerLoad& load,
                                                 QString* error) {
    AnalyzerCoreInfo info;
    QVector<CoreWrite> config;
    if (!AnalyzerConfig::readInfo(bus, core, &info, error))
        return nullptr;
    if (expectedHash != 0 && info.hash != expectedHash) {
        *error = QStringLiteral(
                     "the core on the JTAG chain was built from another design (its hash is 0x%1, the "
                     "design file's 0x%2): generate and build the design again")
                     .arg(info.hash, 8, 16, QLatin1Char('0'))
                     .arg(expectedHash, 8, 16, QLatin1Char('0'));
        return nullptr;
    }
    if (!AnalyzerConfig::compile(load, info, &config, error))
        return nullptr;
    return std::make_unique<JtagAnalyzer>(bus, core, info, load, config);
}
