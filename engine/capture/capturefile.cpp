#include "capturefile.h"

#include "safefile.h"
#include "waveformmodel.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <cstring>
#include <new>

namespace CaptureFile {

namespace {

const char kMagic[8] = {'O', 'N', 'D', 'R', 'C', 'A', 'P', '\n'};
constexpr qint64 kMaxFile = qint64(1) << 32; // 4 GiB
constexpr quint32 kMaxCores = 64;
constexpr quint32 kMaxSignals = 4096;
constexpr quint32 kMaxChannels = 1u << 20;
constexpr quint32 kMaxFrames = 1u << 24;

const quint32* crcTable() {
    static quint32 table[256];
    static bool built = [] {
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
        return true;
    }();
    Q_UNUSED(built);
    return table;
}

// Writes little-endian values and keeps the running checksum.
class Out {
public:
    explicit Out(QIODevice* d) : m_dev(d) { m_buf.reserve(1 << 20); }
    void raw(const void* p, qint64 n) {
        m_crc = crc32(static_cast<const char*>(p), n, m_crc);
        const char* c = static_cast<const char*>(p);
        while (n > 0) {
            const qint64 take = qMin<qint64>(n, (1 << 20) - m_buf.size());
            m_buf.append(c, int(take));
            c += take;
            n -= take;
            if (m_buf.size() >= (1 << 20))
                flush();
        }
    }
    void u32(quint32 v) { raw(&v, 4); }
    void i64(qint64 v) { raw(&v, 8); }
    void str(const QString& s) {
        const QByteArray u = s.toUtf8();
        u32(quint32(u.size()));
        raw(u.constData(), u.size());
    }
    bool flush() {
        if (!m_buf.isEmpty() && m_dev->write(m_buf) != m_buf.size())
            m_ok = false;
        m_buf.clear();
        return m_ok;
    }
    quint32 crc() const { return m_crc; }
    bool ok() const { return m_ok; }

private:
    QIODevice* m_dev;
    QByteArray m_buf;
    quint32 m_crc = 0;
    bool m_ok = true;
};

struct Fault {
    QString text;
};

class In {
public:
    In(const char* p, qint64 n) : m_p(p), m_n(n) {}
    void need(qint64 n) const {
        if (n < 0 || n > m_n - m_pos)
            throw Fault{QStringLiteral("truncated at byte %1").arg(m_pos)};
    }
    template <typename T>
    T number() {
        need(qint64(sizeof(T)));
        T v;
        std::memcpy(&v, m_p + m_pos, sizeof(T));
        m_pos += qint64(sizeof(T));
        return v;
    }
    quint32 u32() { return number<quint32>(); }
    qint64 i64() { return number<qint64>(); }
    QString str(quint32 max = 4096) {
        const quint32 n = u32();
        if (n > max)
            throw Fault{QStringLiteral("a name of %1 bytes at byte %2").arg(n).arg(m_pos)};
        need(n);
        const QString s = QString::fromUtf8(m_p + m_pos, int(n));
        m_pos += n;
        return s;
    }
    const char* take(qint64 n) {
        need(n);
        const char* p = m_p + m_pos;
        m_pos += n;
        return p;
    }
    qint64 left() const { return m_n - m_pos; }

private:
    const char* m_p;
    qint64 m_n;
    qint64 m_pos = 0;
};

} // namespace

quint32 crc32(const char* data, qint64 size, quint32 crc) {
    const quint32* t = crcTable();
    crc = ~crc;
    for (qint64 i = 0; i < size; ++i)
        crc = t[(crc ^ quint8(data[i])) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

namespace {

// Magic, version, body and checksum; false when the device refused bytes.
bool writeTo(QIODevice* d, const std::vector<Entry>& entries) {
    bool ok = d->write(kMagic, 8) == 8;
    const quint32 version = kVersion;
    ok = ok && d->write(reinterpret_cast<const char*>(&version), 4) == 4;
    Out out(d);
    out.u32(quint32(entries.size()));
    for (const Entry& e : entries) {
        const TraceData& t = *e.trace;
        out.str(e.core);
        out.u32(quint32(e.signalWidths.size()));
        for (const auto& s : e.signalWidths) {
            out.str(s.first);
            out.u32(quint32(s.second));
        }
        out.u32(quint32(t.numChannels()));
        for (const QString& c : t.channelNames())
            out.str(c);
        out.i64(t.numSamples());
        out.u32(quint32(t.frameStarts.size()));
        for (int i = 0; i < t.frameStarts.size(); ++i) {
            out.i64(t.frameStarts.at(i));
            out.i64(t.frameTimes.value(i));
        }
        out.u32(quint32(t.triggerPositions.size()));
        for (qint64 p : t.triggerPositions)
            out.i64(p);
        for (int ch = 0; ch < t.numChannels(); ++ch)
            out.raw(t.channelWords(ch), t.wordsPerChannel() * 8);
    }
    const quint32 crc = out.crc();
    out.flush();
    return ok && out.ok() && d->write(reinterpret_cast<const char*>(&crc), 4) == 4;
}

} // namespace

bool write(const QString& path, const std::vector<Entry>& entries, QString* error) {
    QString why;
    const bool ok = SafeFile::writeAtomically(
        path, [&entries](QIODevice* out, QString*) { return writeTo(out, entries); }, &why);
    if (!ok)
        *error = QStringLiteral("%1: cannot write: %2").arg(path, why);
    return ok;
}

QByteArray serialize(const std::vector<Entry>& entries) {
    QByteArray bytes;
    QBuffer b(&bytes);
    b.open(QIODevice::WriteOnly);
    writeTo(&b, entries);
    return bytes;
}

bool parse(const QByteArray& data, std::vector<Entry>* entries, QString* error) {
    try {
        if (data.size() < 16 || std::memcmp(data.constData(), kMagic, 8) != 0)
            throw Fault{QStringLiteral("not a capture file")};
        quint32 version;
        std::memcpy(&version, data.constData() + 8, 4);
        if (version != kVersion)
            throw Fault{QStringLiteral("version %1 is not supported (this program reads version %2)")
                            .arg(version)
                            .arg(kVersion)};
        const char* body = data.constData() + 12;
        const qint64 bodySize = data.size() - 16;
        quint32 crc;
        std::memcpy(&crc, data.constData() + data.size() - 4, 4);
        if (crc32(body, bodySize) != crc)
            throw Fault{QStringLiteral("checksum mismatch (the file is damaged)")};
        In in(body, bodySize);
        const quint32 cores = in.u32();
        if (cores > kMaxCores)
            throw Fault{QStringLiteral("%1 cores").arg(cores)};
        std::vector<Entry> out;
        for (quint32 c = 0; c < cores; ++c) {
            Entry e;
            e.core = in.str();
            const quint32 sigs = in.u32();
            if (sigs > kMaxSignals)
                throw Fault{QStringLiteral("%1 signals").arg(sigs)};
            quint64 totalWidth = 0;
            for (quint32 s = 0; s < sigs; ++s) {
                const QString n = in.str();
                const quint32 w = in.u32();
                if (w < 1 || w > 4096)
                    throw Fault{QStringLiteral("signal \"%1\" is %2 bits wide").arg(n).arg(w)};
                totalWidth += w;
                e.signalWidths.append({n, int(w)});
            }
            const quint32 channels = in.u32();
            if (channels > kMaxChannels || channels != totalWidth)
                throw Fault{QStringLiteral("%1 channels for signals of %2 bits").arg(channels).arg(totalWidth)};
            QStringList names;
            for (quint32 ch = 0; ch < channels; ++ch)
                names << in.str();
            const qint64 samples = in.i64();
            if (samples < 0 || samples > TraceData::kMaxSamples)
                throw Fault{QStringLiteral("%1 samples (this program holds at most %2)")
                                .arg(samples)
                                .arg(TraceData::kMaxSamples)};
            const quint32 frames = in.u32();
            if (frames > kMaxFrames)
                throw Fault{QStringLiteral("%1 frames").arg(frames)};
            QVector<qint64> starts, times, trig;
            for (quint32 f = 0; f < frames; ++f) {
                starts << in.i64();
                times << in.i64();
                if (starts.last() < 0 || starts.last() >= qMax<qint64>(1, samples) ||
                    (f > 0 && starts.last() <= starts.at(f - 1)))
                    throw Fault{QStringLiteral("frame %1 starts at %2").arg(f).arg(starts.last())};
            }
            const quint32 tp = in.u32();
            if (tp > kMaxFrames)
                throw Fault{QStringLiteral("%1 trigger positions").arg(tp)};
            for (quint32 i = 0; i < tp; ++i) {
                trig << in.i64();
                if (trig.last() < 0 || trig.last() >= samples)
                    throw Fault{QStringLiteral("trigger position %1 outside the samples").arg(trig.last())};
            }
            const qint64 words = (samples + 63) / 64;
            // The sample data must be there before anything is allocated for it.
            in.need(qint64(channels) * words * 8);
            auto t = std::make_shared<TraceData>(names, samples);
            if (words > 0) // no samples: no words, and no buffer to copy into
                for (quint32 ch = 0; ch < channels; ++ch)
                    std::memcpy(t->channelWords(int(ch)), in.take(words * 8), size_t(words) * 8);
            if (samples % 64)
                for (quint32 ch = 0; ch < channels; ++ch)
                    t->channelWords(int(ch))[words - 1] &= (quint64(1) << (samples % 64)) - 1;
            t->frameStarts = starts;
            t->frameTimes = times;
            t->triggerPositions = trig;
            t->finish();
            e.trace = t;
            out.push_back(std::move(e));
        }
        if (in.left() != 0)
            throw Fault{QStringLiteral("%1 unexpected bytes at the end").arg(in.left())};
        *entries = std::move(out);
        return true;
    } catch (const Fault& f) {
        *error = f.text;
        return false;
    } catch (const std::bad_alloc&) {
        *error = QStringLiteral("not enough memory to read it");
        return false;
    }
}

bool read(const QString& path, std::vector<Entry>* entries, QString* error) {
    QByteArray data;
    QString why;
    if (!SafeFile::readRegular(path, kMaxFile, &data, &why)) {
        *error = QStringLiteral("%1: %2").arg(path, why);
        return false;
    }
    if (!parse(data, entries, &why)) {
        *error = QStringLiteral("%1: %2").arg(path, why);
        return false;
    }
    return true;
}

} // namespace CaptureFile
