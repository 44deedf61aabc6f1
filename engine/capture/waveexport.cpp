#include "waveexport.h"

#include "tracedata.h"
#include "vcdwriter.h"
#include "waveformmodel.h"

#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <algorithm>
#include <cstring>
#include <vector>

namespace WaveExport {

namespace {

// A growing output buffer written in large blocks.
class Writer {
public:
    explicit Writer(QIODevice* d) : m_dev(d) { m_buf.resize(kSize + 8192); }
    ~Writer() = default;
    void put(const char* s, size_t n) {
        if (m_len + n > size_t(m_buf.size()))
            flush();
        if (n > size_t(m_buf.size())) {
            m_ok = m_ok && m_dev->write(s, qint64(n)) == qint64(n);
            return;
        }
        std::memcpy(m_buf.data() + m_len, s, n);
        m_len += n;
        if (m_len >= kSize)
            flush();
    }
    void put(const QByteArray& b) { put(b.constData(), size_t(b.size())); }
    void put(char c) {
        if (m_len + 1 > size_t(m_buf.size()))
            flush();
        m_buf[qsizetype(m_len++)] = c;
    }
    // Room for n bytes, written by the caller, then commit(n).
    char* room(size_t n) {
        if (m_len + n > size_t(m_buf.size()))
            flush();
        return m_buf.data() + m_len;
    }
    void commit(size_t n) {
        m_len += n;
        if (m_len >= kSize)
            flush();
    }
    // Each sample number preceded by a blank.
    void sampleList(const QVector<qint64>& samples) {
        for (qint64 v : samples) {
            put(' ');
            num(quint64(v));
        }
    }
    void num(quint64 v) {
        char tmp[24];
        int i = 24;
        do {
            tmp[--i] = char('0' + v % 10);
            v /= 10;
        } while (v);
        put(tmp + i, size_t(24 - i));
    }
    // Direct writing for the hot loop: a pointer with at least `slack`
    // bytes of room behind it; hand the end back with release().
    char* acquire(size_t slack) {
        if (size_t(m_buf.size()) < kSize + slack) {
            flush();
            m_buf.resize(qsizetype(kSize + slack));
        }
        if (m_len >= kSize)
            flush();
        return m_buf.data() + m_len;
    }
    void release(const char* end) { m_len = size_t(end - m_buf.constData()); }
    // Where acquire() would flush: write at most `slack` bytes past it.
    const char* limit() const { return m_buf.constData() + kSize; }

    bool flush() {
        if (m_len) {
            m_ok = m_ok && m_dev->write(m_buf.constData(), qint64(m_len)) == qint64(m_len);
            m_len = 0;
        }
        return m_ok;
    }
    bool ok() const { return m_ok; }

private:
    static constexpr size_t kSize = 1 << 20;
    QIODevice* m_dev;
    QByteArray m_buf;
    size_t m_len = 0;
    bool m_ok = true;
};

// "#<time>\n"
inline char* putTime(char* p, quint64 v) {
    static const char pairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    char tmp[24];
    char* e = tmp + sizeof tmp;
    while (v >= 100) {
        e -= 2;
        std::memcpy(e, pairs + (v % 100) * 2, 2);
        v /= 100;
    }
    if (v >= 10) {
        e -= 2;
        std::memcpy(e, pairs + v * 2, 2);
    } else {
        *--e = char('0' + v);
    }
    *p++ = '#';
    const size_t n = size_t(tmp + sizeof tmp - e);
    std::memcpy(p, e, n);
    p += n;
    *p++ = '\n';
    return p;
}

// The value changes after sample 0, in time order and, within a time, in
// variable order. The variables are taken 64 at a time: their change masks
// and data words for one 64-sample word form a 64 x 64 bit matrix whose
// transpose gives, per sample, which of them changed and their new values,
// so the cost is a few operations per line written. A one-bit variable's
// line ("0" or "1", identifier, newline; at most 8 bytes as identifiers
// have at most 5 characters) is precomputed for both values and stored
// whole. Words where no channel changes are skipped through the store's
// change summary.
void writeChanges(Writer& w, const TraceData& t, const QVector<Var>& vars, const QVector<QByteArray>& ids,
                  quint64 tick) {
    const qint64 n = t.numSamples();
    const int nv = vars.size();
    if (n <= 1 || nv == 0)
        return;
    const int chunks = (nv + 63) / 64;

    struct Bus {
        std::vector<const quint64*> chans; // most significant first
        QByteArray id;
    };
    std::vector<quint64> line(size_t(nv) * 2, 0);
    std::vector<quint8> lineLen(size_t(nv), 0);
    std::vector<const quint64*> scalar(size_t(nv), nullptr); // a one-bit variable's words
    std::vector<int> busOf(size_t(nv), -1);
    std::vector<Bus> buses;
    std::vector<quint64> scalarMask(size_t(chunks), 0);
    size_t slack = 64; // the longest sample: its time and every variable's line
    for (int i = 0; i < nv; ++i) {
        const Var& v = vars.at(i);
        const QByteArray& id = ids.at(i);
        if (v.channels.size() == 1 && id.size() <= 6) {
            scalar[size_t(i)] = t.channelWords(v.channels.at(0));
            char text[8] = {};
            std::memcpy(text + 1, id.constData(), size_t(id.size()));
            text[id.size() + 1] = '\n';
            for (int value = 0; value < 2; ++value) {
                text[0] = char('0' + value);
                std::memcpy(&line[size_t(i) * 2 + size_t(value)], text, 8);
            }
            lineLen[size_t(i)] = quint8(id.size() + 2);
            scalarMask[size_t(i / 64)] |= quint64(1) << (i % 64);
            slack += 8;
        } else {
            Bus b;
            for (int ch : v.channels)
                b.chans.push_back(t.channelWords(ch));
            b.id = id;
            busOf[size_t(i)] = int(buses.size());
            buses.push_back(std::move(b));
            slack += size_t(v.channels.size() + id.size()) + 8;
        }
    }
    auto putBus = [](char* p, const Bus& b, qint64 word, int bit) {
        *p++ = 'b';
        size_t k = 0;
        while (k < b.chans.size() && !((b.chans[k][word] >> bit) & 1))
            ++k; // leading zeros may be left out (the value is extended with 0)
        if (k == b.chans.size())
            *p++ = '0';
        for (; k < b.chans.size(); ++k)
            *p++ = char('0' + ((b.chans[k][word] >> bit) & 1));
        *p++ = ' ';
        std::memcpy(p, b.id.constData(), size_t(b.id.size()));
        p += b.id.size();
        *p++ = '\n';
        return p;
    };

    // Every channel's summary, to skip words in which nothing changes.
    std::vector<const quint64*> summaries;
    bool skip = true;
    for (const Var& v : vars)
        for (int ch : v.channels) {
            summaries.push_back(t.changeSummary(ch));
            skip = skip && summaries.back();
        }

    const size_t cells = size_t(chunks) * 64;
    std::vector<quint64> changed(cells), values(cells), chunkAny(cells / 64);
    const qint64 words = (n + 63) / 64;
    char* p = w.acquire(slack);
    const char* limit = w.limit();
    auto word = [&](qint64 wd) {
        quint64 any = 0;
        for (int c = 0; c < chunks; ++c) {
            quint64* rows = changed.data() + size_t(c) * 64;
            quint64* vals = values.data() + size_t(c) * 64;
            const int first = c * 64, count = qMin(64, nv - first);
            quint64 orr = 0;
            int pop = 0;
            for (int k = 0; k < count; ++k) {
                const int i = first + k;
                quint64 m = 0;
                if (const quint64* x = scalar[size_t(i)]) {
                    m = TraceData::changeMask(x, wd, n);
                    vals[k] = x[wd];
                } else {
                    for (const quint64* ch : buses[size_t(busOf[size_t(i)])].chans)
                        m |= TraceData::changeMask(ch, wd, n);
                    vals[k] = 0;
                }
                rows[k] = m;
                orr |= m;
                pop += __builtin_popcountll(m);
            }
            chunkAny[size_t(c)] = orr;
            any |= orr;
            if (!orr)
                continue;
            if (pop >= 192) {
                for (int k = count; k < 64; ++k)
                    rows[k] = vals[k] = 0;
                TraceData::transpose64(rows);
                TraceData::transpose64(vals);
                continue;
            }
            // Few changes: scatter them rather than transposing.
            quint64 r[64], v[64];
            std::copy_n(rows, count, r);
            std::copy_n(vals, count, v);
            for (quint64 b = orr; b; b &= b - 1) {
                const int bit = __builtin_ctzll(b);
                rows[bit] = vals[bit] = 0;
            }
            for (int k = 0; k < count; ++k)
                for (quint64 m = r[k]; m; m &= m - 1) {
                    const int bit = __builtin_ctzll(m);
                    rows[bit] |= quint64(1) << k;
                    vals[bit] |= ((v[k] >> bit) & 1) << k;
                }
        }
        for (; any; any &= any - 1) {
            const int bit = __builtin_ctzll(any);
            if (p >= limit) {
                w.release(p);
                p = w.acquire(slack);
                limit = w.limit();
            }
            p = putTime(p, quint64(wd * 64 + bit) * tick);
            for (int c = 0; c < chunks; ++c) {
                if (!((chunkAny[size_t(c)] >> bit) & 1))
                    continue;
                quint64 m = changed[size_t(c) * 64 + size_t(bit)];
                const quint64 v = values[size_t(c) * 64 + size_t(bit)], sc = scalarMask[size_t(c)];
                for (; m; m &= m - 1) {
                    const int k = __builtin_ctzll(m);
                    const size_t i = size_t(c) * 64 + size_t(k);
                    if ((sc >> k) & 1) {
                        std::memcpy(p, &line[i * 2 + ((v >> k) & 1)], 8);
                        p += lineLen[i];
                    } else {
                        p = putBus(p, buses[size_t(busOf[i])], wd, bit);
                    }
                }
            }
        }
    };
    const qint64 blocks = (words + 63) / 64;
    for (qint64 blk = 0; blk < blocks; ++blk) {
        quint64 active = ~quint64(0);
        if (skip) {
            active = 0;
            for (const quint64* sum : summaries)
                active |= sum[blk];
        }
        if (blk == blocks - 1 && words % 64)
            active &= (quint64(1) << (words % 64)) - 1;
        for (; active; active &= active - 1)
            word(blk * 64 + __builtin_ctzll(active));
    }
    w.release(p);
}

void collect(const WaveformModel& m, const QModelIndex& idx, QVector<int>* out) {
    const int n = m.rowCount(idx);
    if (n == 0) {
        const SigTreeData d = WaveformModel::rowData(idx);
        if (d.signalIndex >= 0)
            out->append(d.signalIndex);
        return;
    }
    for (int r = 0; r < n; ++r)
        collect(m, m.index(r, 0, idx), out);
}

QByteArray vcdName(const QString& name) {
    // A reference is one token; a trailing [n] becomes a bit select.
    static const QRegularExpression re(QStringLiteral("^(.*)\\[([0-9]+)\\]$"));
    QString base = name;
    QString select;
    const auto m = re.match(name);
    if (m.hasMatch()) {
        base = m.captured(1);
        select = QStringLiteral(" [%1]").arg(m.captured(2));
    }
    QByteArray b = base.toUtf8();
    for (char& c : b)
        if (c <= ' ' || c > '~')
            c = '_';
    if (b.isEmpty())
        b = "_";
    return b + select.toLatin1();
}

} // namespace

QVector<Var> topLevelVars(const WaveformModel& model) {
    QVector<Var> vars;
    for (int r = 0; r < model.rowCount(); ++r) {
        const QModelIndex idx = model.index(r, 0);
        const SigTreeData d = WaveformModel::rowData(idx);
        Var v;
        v.name = d.name;
        collect(model, idx, &v.channels);
        v.radix = d.isBus() ? d.radix : 2;
        v.radixName = d.radixName;
        if (!v.channels.isEmpty())
            vars.append(v);
    }
    return vars;
}

QVector<Var> scalarVars(const QVector<Var>& vars, const TraceData& trace) {
    QVector<Var> out;
    QSet<QString> taken;
    for (const Var& v : vars)
        if (v.channels.size() == 1)
            taken.insert(v.name);
    for (const Var& v : vars) {
        if (v.channels.size() == 1) {
            out.append(v);
            continue;
        }
        for (int ch : v.channels) {
            Var bit;
            bit.channels = {ch};
            bit.radix = 2;
            QString name = trace.channelNames().value(ch);
            if (taken.contains(name))
                name = v.name + QLatin1Char('.') + name;
            for (int n = 2; taken.contains(name); ++n)
                name = QStringLiteral("%1.%2_%3").arg(v.name, trace.channelNames().value(ch)).arg(n);
            taken.insert(name);
            bit.name = name;
            out.append(bit);
        }
    }
    return out;
}

bool writeVcd(QIODevice* out, const TraceData& t, const QVector<Var>& vars, const QString& module, int period,
              const QString& unit, const QString& date, QString* error) {
    Writer w(out);
    // The timescale is 1, 10 or 100 units; each sample is period/scale ticks.
    int scale = 1;
    for (int s : {100, 10})
        if (period > 0 && period % s == 0) {
            scale = s;
            break;
        }
    const quint64 tick = quint64(qMax(1, period / scale));
    w.put("$date\n\t");
    w.put(date.toUtf8());
    w.put("\n$end\n$version\n\tOndrel Analyzer 1.0\n$end\n$comment\n\t");
    w.put(QStringLiteral("%1 samples in %2 trigger frame(s); frames start at samples")
              .arg(t.numSamples())
              .arg(qMax(1, int(t.frameStarts.size())))
              .toUtf8());
    w.sampleList(t.frameStarts);
    w.put("; trigger positions at samples");
    w.sampleList(t.triggerPositions);
    w.put("\n$end\n$timescale ");
    w.num(quint64(scale));
    w.put(' ');
    w.put(unit.toUtf8());
    w.put(" $end\n$scope module ");
    w.put(module.toUtf8());
    w.put(" $end\n");
    QVector<QByteArray> ids;
    for (int i = 0; i < vars.size(); ++i) {
        ids << VcdWriter::identifier(i);
        const Var& v = vars.at(i);
        w.put("$var wire ");
        w.num(quint64(v.channels.size()));
        w.put(' ');
        w.put(ids.last());
        w.put(' ');
        QByteArray name = vcdName(v.name);
        if (v.channels.size() > 1 && !name.contains('['))
            name += QStringLiteral(" [%1:0]").arg(v.channels.size() - 1).toLatin1();
        w.put(name);
        w.put(" $end\n");
    }
    w.put("$upscope $end\n$enddefinitions $end\n");

    const qint64 n = t.numSamples();
    QByteArray vec;
    auto value = [&](int i, qint64 s) {
        const Var& v = vars.at(i);
        const int words = int(s >> 6), bit = int(s & 63);
        if (v.channels.size() == 1) {
            const QByteArray& id = ids.at(i);
            char* p = w.room(size_t(id.size()) + 2);
            p[0] = char('0' + ((t.channelWords(v.channels.at(0))[words] >> bit) & 1));
            std::memcpy(p + 1, id.constData(), size_t(id.size()));
            p[id.size() + 1] = '\n';
            w.commit(size_t(id.size()) + 2);
            return;
        }
        vec.resize(v.channels.size() + 1);
        vec[0] = 'b';
        int first = -1;
        for (int k = 0; k < v.channels.size(); ++k) {
            const char c = char('0' + ((t.channelWords(v.channels.at(k))[words] >> bit) & 1));
            vec[k + 1] = c;
            if (first < 0 && c == '1')
                first = k;
        }
        // Leading zeros may be left out (the value is extended with 0).
        if (first < 0)
            w.put("b0", 2);
        else {
            w.put('b');
            w.put(vec.constData() + 1 + first, size_t(v.channels.size() - first));
        }
        w.put(' ');
        w.put(ids.at(i));
        w.put('\n');
    };
    if (n > 0) {
        w.put("#0\n$dumpvars\n");
        for (int i = 0; i < vars.size(); ++i)
            value(i, 0);
        w.put("$end\n");
    }
    writeChanges(w, t, vars, ids, tick);
    if (n > 0) {
        w.put('#');
        w.num(quint64(n) * tick);
        w.put('\n');
    }
    if (!w.flush()) {
        *error = out->errorString();
        return false;
    }
    return true;
}

bool writeText(QIODevice* out, const TraceData& t, const QVector<Var>& vars, const QString& core, int period,
               const QString& unit, const QString& date, QString* error, const TokenName& tokenName) {
    Writer w(out);
    w.put(QStringLiteral("# Ondrel Analyzer text export\n# date: %1\n# core: %2\n# clock period: %3 %4\n"
                         "# samples: %5, trigger frames: %6\n# frame starts:")
              .arg(date, core)
              .arg(period)
              .arg(unit)
              .arg(t.numSamples())
              .arg(qMax(1, int(t.frameStarts.size())))
              .toUtf8());
    w.sampleList(t.frameStarts);
    w.put("\n# trigger positions:");
    w.sampleList(t.triggerPositions);
    w.put("\nframe\tsample");
    for (const Var& v : vars) {
        w.put('\t');
        w.put(v.name.toUtf8());
    }
    w.put('\n');
    int frame = 0;
    qint64 frameStart = 0;
    // A bus keeps its value for long runs: its text is made again only when
    // its bits change (a token lookup per sample would dominate the export).
    QVector<QString> lastBits(vars.size()), lastShown(vars.size());
    for (qint64 s = 0; s < t.numSamples(); ++s) {
        while (frame + 1 < t.frameStarts.size() && t.frameStarts.at(frame + 1) <= s)
            frameStart = t.frameStarts.at(++frame);
        w.num(quint64(frame));
        w.put('\t');
        w.num(quint64(s - frameStart));
        for (int i = 0; i < vars.size(); ++i) {
            const Var& v = vars.at(i);
            w.put('\t');
            if (v.channels.size() == 1) {
                w.put(char('0' + t.bit(v.channels.at(0), s)));
                continue;
            }
            const QString bits = t.bits(v.channels, s);
            if (s > 0 && bits == lastBits.at(i)) {
                w.put(lastShown.at(i).toUtf8());
                continue;
            }
            QString shown;
            if (v.radixName.isEmpty() && v.radix != 0)
                shown = WaveformModel::radixText(bits, v.radix);
            else if (tokenName)
                shown = tokenName(v.radixName, bits);
            // A value no token has is shown in hexadecimal.
            if (shown.isEmpty())
                shown = WaveformModel::radixText(bits, 16);
            lastBits[i] = bits;
            lastShown[i] = shown;
            w.put(shown.toUtf8());
        }
        w.put('\n');
    }
    if (!w.flush()) {
        *error = out->errorString();
        return false;
    }
    return true;
}

} // namespace WaveExport
