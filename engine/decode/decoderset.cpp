#include "decoderset.h"

#include "srdapi.h"
#include "tracedata.h"
#include "waveformmodel.h"

#include <QElapsedTimer>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QSet>
#include <QThread>
#include <algorithm>
#include <cmath>

bool DecoderEntry::operator==(const DecoderEntry& o) const {
    return name == o.name && decoder == o.decoder && stack == o.stack && channels == o.channels &&
           options == o.options && colour == o.colour && hidden == o.hidden;
}

int DecodeResult::firstEndingAfter(int row, qint64 sample) const {
    const QVector<qint64>& ends = maxEnd.at(row);
    return int(std::upper_bound(ends.begin(), ends.end(), sample) - ends.begin());
}

int DecodeResult::firstStartingAt(int row, qint64 sample) const {
    const QVector<Annotation>& r = rows.at(row);
    return int(std::lower_bound(r.begin(), r.end(), sample, [](const Annotation& a, qint64 s) { return a.start < s; }) -
               r.begin());
}

qint64 DecodeResult::count() const {
    qint64 n = 0;
    for (const auto& r : rows)
        n += r.size();
    return n;
}

// One decode: what it was started on and its stop flag.
struct DecoderSet::Run {
    quint64 generation = 0;
    QVector<DecoderEntry> entries;
    std::shared_ptr<const TraceData> trace;
    QStringList channels;
    quint64 rate = 0;
    std::shared_ptr<std::atomic<bool>> cancel;
};

DecoderSet::DecoderSet(WaveformModel* model, const QStringList& channels, QObject* parent)
    : QObject(parent), m_model(model), m_channels(channels) {
    // A new capture arrives through the model; the clock is set just
    // after it, so the decode starts once the event loop comes round (a
    // script's reads call sync() themselves).
    if (m_model)
        connect(m_model, &WaveformModel::viewChanged, this, [this] {
            if (m_model->traceData() != m_trace)
                QMetaObject::invokeMethod(this, &DecoderSet::sync, Qt::QueuedConnection);
        });
    // Every edit shows in the tree at once, from Tcl as from the page.
    connect(this, &DecoderSet::entriesChanged, this, &DecoderSet::showRows);
}

void DecoderSet::showRows() {
    if (!m_model)
        return;
    // The library is asked only with a capture to decode: that starts it
    // anyway, and a project without one never waits for it.
    const bool lookUp = m_model->traceData() != nullptr;
    QVector<WaveformModel::DecoderRows> rows;
    for (const DecoderEntry& e : m_entries) {
        WaveformModel::DecoderRows r{e.name, {}};
        if (const DecoderInfo* info = lookUp ? DecodeLibrary::inst().find(e.decoder) : nullptr)
            for (const DecoderRow& row : info->rows)
                r.rows << row.desc;
        rows.append(r);
    }
    m_model->setDecoders(rows);
}

DecoderSet::~DecoderSet() { stopWorker(); }

int DecoderSet::indexOf(const QString& name) const {
    for (int i = 0; i < m_entries.size(); ++i)
        if (m_entries.at(i).name == name)
            return i;
    return -1;
}

QStringList DecoderSet::names() const {
    QStringList out;
    for (const DecoderEntry& e : m_entries)
        out << e.name;
    return out;
}

namespace {

QString optionFault(const DecoderEntry& e, const DecoderInfo& info) {
    QString why;
    for (auto o = e.options.begin(); o != e.options.end(); ++o)
        if (!info.checkOption(o.key(), o.value(), &why))
            return why;
    return QString();
}

// The channels of an entry fed from the capture, against the capture's channel names.
QString channelFault(const DecoderEntry& e, const DecoderInfo& info, const QStringList& channels) {
    QSet<QString> used;
    for (auto c = e.channels.begin(); c != e.channels.end(); ++c) {
        if (!info.hasChannel(c.key()))
            return QStringLiteral("decoder \"%1\" has no channel \"%2\"").arg(e.decoder, c.key());
        if (!channels.contains(c.value()))
            return QStringLiteral("the capture has no signal or bus bit \"%1\" for channel \"%2\"")
                .arg(c.value(), c.key());
        used.insert(c.key());
    }
    for (const DecoderChannel& c : info.channels)
        if (!used.contains(c.id))
            return QStringLiteral("decoder \"%1\" needs its channel \"%2\" (%3)").arg(e.decoder, c.id, c.desc);
    if (e.channels.isEmpty())
        return QStringLiteral("decoder \"%1\" needs at least one channel").arg(e.decoder);
    return QString();
}

} // namespace

QString DecoderSet::check(const DecoderEntry& e, const QString& replacing) const {
    static const QRegularExpression nameRe(QStringLiteral("^[A-Za-z_][A-Za-z0-9_.-]{0,63}$"));
    if (!nameRe.match(e.name).hasMatch())
        return QStringLiteral(
                   "\"%1\" is not a decoder name: a letter or _ first, then letters, digits, _ . or -, "
                   "at most 64")
            .arg(e.name);
    if (e.name != replacing && indexOf(e.name) >= 0)
        return QStringLiteral("the core already has a decoder named \"%1\"").arg(e.name);
    QString why;
    if (!DecodeLibrary::inst().ready(&why))
        return why;
    const DecoderInfo* info = DecodeLibrary::inst().find(e.decoder);
    if (!info)
        return QStringLiteral("the decoder library has no decoder \"%1\"").arg(e.decoder);
    why = optionFault(e, *info);
    if (!why.isEmpty())
        return why;
    if (!e.stack.isEmpty()) {
        if (!e.channels.isEmpty())
            return QStringLiteral("decoder \"%1\" is stacked on \"%2\" and takes no channels").arg(e.name, e.stack);
        const int below = indexOf(e.stack);
        if (below < 0 || e.stack == replacing)
            return QStringLiteral("there is no decoder \"%1\" to stack \"%2\" on").arg(e.stack, e.name);
        // A loop cannot form: an entry only stacks on one that exists before it.
        const DecoderInfo* under = DecodeLibrary::inst().find(m_entries.at(below).decoder);
        if (under) {
            bool fits = false;
            for (const QString& in : info->inputs)
                fits = fits || under->outputs.contains(in);
            if (!fits)
                return QStringLiteral("decoder \"%1\" (%2) takes %3, \"%4\" (%5) gives %6")
                    .arg(e.name, e.decoder, info->inputs.join(QStringLiteral(", ")), e.stack, under->id,
                         under->outputs.isEmpty() ? QStringLiteral("nothing")
                                                  : under->outputs.join(QStringLiteral(", ")));
        }
        return QString();
    }
    return channelFault(e, *info, m_channels);
}

bool DecoderSet::add(DecoderEntry e, QString* name, QString* error) {
    if (m_entries.size() >= kMaxEntries) {
        *error = QStringLiteral("a core holds at most %1 decoders").arg(kMaxEntries);
        return false;
    }
    if (e.name.isEmpty()) {
        e.name = e.decoder;
        for (int n = 2; indexOf(e.name) >= 0; ++n)
            e.name = QStringLiteral("%1_%2").arg(e.decoder).arg(n);
    }
    *error = check(e);
    if (!error->isEmpty())
        return false;
    const DecoderInfo* info = DecodeLibrary::inst().find(e.decoder);
    const auto trace = m_model ? m_model->traceData() : nullptr;
    if (info->option(QStringLiteral("baudrate")) && !e.options.contains(QStringLiteral("baudrate")) && trace &&
        !e.channels.isEmpty()) {
        const qint64 baud = baudGuess(*trace, trace->channelOf(e.channels.first()),
                                      sampleRate(m_model->getClockPeriod(), m_model->getClockUnit()));
        if (baud > 0)
            e.options.insert(QStringLiteral("baudrate"), QString::number(baud));
    }
    m_entries.append(e);
    *name = e.name;
    emit entriesChanged();
    restart();
    return true;
}

bool DecoderSet::replace(const QString& name, const DecoderEntry& e, QString* error) {
    const int i = indexOf(name);
    if (i < 0) {
        *error = QStringLiteral("the core has no decoder \"%1\"").arg(name);
        return false;
    }
    *error = check(e, name);
    if (!error->isEmpty())
        return false;
    for (const DecoderEntry& other : m_entries)
        if (e.name != name && other.stack == name) {
            *error = QStringLiteral("decoder \"%1\" is stacked on \"%2\": it keeps its name").arg(other.name, name);
            return false;
        }
    DecoderEntry old = m_entries.at(i);
    m_entries[i] = e;
    if (m_model && e.name != name)
        m_model->renameDecoder(name, e.name);
    // Colour and visibility do not change what is decoded.
    old.colour = e.colour;
    old.hidden = e.hidden;
    emit entriesChanged();
    if (old != e)
        restart();
    return true;
}

bool DecoderSet::remove(const QString& name, QStringList* removed, QString* error) {
    if (indexOf(name) < 0) {
        *error = QStringLiteral("the core has no decoder \"%1\"").arg(name);
        return false;
    }
    QStringList gone{name};
    for (bool grew = true; grew;) {
        grew = false;
        for (const DecoderEntry& e : m_entries)
            if (!gone.contains(e.name) && gone.contains(e.stack)) {
                gone.prepend(e.name);
                grew = true;
            }
    }
    m_entries.erase(std::remove_if(m_entries.begin(), m_entries.end(),
                                   [&](const DecoderEntry& e) { return gone.contains(e.name); }),
                    m_entries.end());
    *removed = gone;
    emit entriesChanged();
    restart();
    return true;
}

QString DecoderSet::moveFault(const QString& name, int position) const {
    const int from = indexOf(name);
    if (from < 0)
        return QStringLiteral("the core has no decoder \"%1\"").arg(name);
    if (position < 0 || position >= m_entries.size())
        return QStringLiteral("-position takes 0 to %1, not %2").arg(m_entries.size() - 1).arg(position);
    QVector<DecoderEntry> moved = m_entries;
    moved.move(from, position);
    for (int i = 0; i < moved.size(); ++i)
        for (int j = i + 1; j < moved.size(); ++j)
            if (moved.at(i).stack == moved.at(j).name)
                return QStringLiteral("decoder \"%1\" is stacked on \"%2\" and stays after it")
                    .arg(moved.at(i).name, moved.at(j).name);
    return QString();
}

bool DecoderSet::move(const QString& name, int position, QString* error) {
    *error = moveFault(name, position);
    if (!error->isEmpty())
        return false;
    const int from = indexOf(name);
    if (from != position) {
        m_entries.move(from, position);
        emit entriesChanged();
        if (m_model)
            m_model->orderDecoderRows();
    }
    return true;
}

void DecoderSet::restore(const QVector<DecoderEntry>& entries) {
    m_entries = entries.mid(0, kMaxEntries);
    emit entriesChanged();
    restart();
}

quint64 DecoderSet::sampleRate(int period, const QString& unit) {
    if (period < 1)
        return 0;
    const double perSecond = unit == QLatin1String("ps") ? 1e12 : 1e9;
    return quint64(std::llround(perSecond / period));
}

qint64 DecoderSet::baudGuess(const TraceData& trace, int channel, quint64 rate) {
    if (channel < 0 || rate == 0)
        return 0;
    // The first and last runs are cut by the capture's ends; only whole
    // pulses between two changes count. A limit keeps a busy channel cheap.
    qint64 at = trace.nextChange(channel, 0), shortest = 0;
    for (int n = 0; at >= 0 && n < 100000; ++n) {
        const qint64 next = trace.nextChange(channel, at);
        if (next < 0)
            break;
        if (shortest == 0 || next - at < shortest)
            shortest = next - at;
        at = next;
    }
    return shortest > 0 ? qint64(std::llround(double(rate) / double(shortest))) : 0;
}

void DecoderSet::sync() {
    const auto trace = m_model ? m_model->traceData() : nullptr;
    const quint64 rate = m_model ? sampleRate(m_model->getClockPeriod(), m_model->getClockUnit()) : 0;
    if (trace != m_trace || rate != m_rate)
        restart();
}

void DecoderSet::stopWorker() {
    if (m_cancel)
        m_cancel->store(true);
    if (m_worker.joinable())
        m_worker.join();
    m_running = false;
}

void DecoderSet::restart() {
    stopWorker();
    ++m_generation;
    m_trace = m_model ? m_model->traceData() : nullptr;
    m_rate = m_model ? sampleRate(m_model->getClockPeriod(), m_model->getClockUnit()) : 0;
    const bool decode = m_trace && m_trace->numSamples() > 0 && !m_entries.isEmpty();
    {
        QMutexLocker hold(&m_mutex);
        m_results.clear();
        m_status.clear();
        for (const DecoderEntry& e : m_entries)
            m_status.insert(e.name, {decode ? Running : Idle, QString()});
    }
    m_done = 0;
    m_total = 0;
    showRows();
    if (!decode) {
        emit decodeFinished();
        return;
    }
    // Python's main thread is the one that starts the library and must be
    // the one that stops it at exit: the set's own thread, never a worker.
    DecodeLibrary::inst().ready(nullptr);
    auto run = std::make_shared<Run>();
    run->generation = m_generation;
    run->entries = m_entries;
    run->trace = m_trace;
    run->channels = m_channels;
    run->rate = m_rate;
    run->cancel = m_cancel = std::make_shared<std::atomic<bool>>(false);
    qint64 roots = 0;
    for (const DecoderEntry& e : m_entries)
        roots += e.stack.isEmpty() ? 1 : 0;
    m_total = roots * m_trace->numSamples();
    m_running = true;
    emit decodeStarted();
    m_worker = std::thread([this, run] { work(run); });
}

bool DecoderSet::wait(int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (m_running.load()) {
        if (timeoutMs >= 0 && clock.elapsed() >= timeoutMs)
            return false;
        QThread::msleep(2);
    }
    if (m_worker.joinable())
        m_worker.join();
    return true;
}

DecoderSet::Status DecoderSet::status(const QString& name) const {
    QMutexLocker hold(&m_mutex);
    return m_status.value(name);
}

std::shared_ptr<const DecodeResult> DecoderSet::result(const QString& name) const {
    QMutexLocker hold(&m_mutex);
    return m_results.value(name);
}

void DecoderSet::publish(const Run& run, const QString& name, const Status& status,
                         std::shared_ptr<const DecodeResult> result) {
    QMutexLocker hold(&m_mutex);
    if (run.generation != m_generation.load() || run.cancel->load())
        return; // a newer decode owns the tables
    m_status.insert(name, status);
    if (result)
        m_results.insert(name, std::move(result));
}

namespace {

// What the library's output hook fills: one table per instance of the stack.
struct Collect {
    QVector<srd_decoder_inst*> insts;
    QVector<const DecoderInfo*> infos;
    QVector<std::shared_ptr<DecodeResult>> results;
    QVector<qint64> counts;
    QVector<bool> overflow;
};

void onAnnotation(srd_proto_data* pdata, void* data) {
    auto* c = static_cast<Collect*>(data);
    const int i = int(c->insts.indexOf(pdata->pdo->di));
    if (i < 0)
        return;
    if (c->counts[i] >= DecoderSet::kMaxAnnotations) {
        c->overflow[i] = true;
        return;
    }
    const auto* a = static_cast<const srd_proto_data_annotation*>(pdata->data);
    const DecoderInfo* info = c->infos.at(i);
    if (a->ann_class < 0 || a->ann_class >= info->rowOfClass.size())
        return;
    Annotation ann;
    ann.start = qint64(pdata->start_sample);
    ann.end = qint64(pdata->end_sample);
    ann.cls = a->ann_class;
    for (char** t = a->ann_text; t && *t && ann.texts.size() < 16; ++t)
        ann.texts << QString::fromUtf8(*t);
    c->results[i]->rows[info->rowOfClass.at(a->ann_class)].append(ann);
    ++c->counts[i];
}

GVariant* optionValue(const DecoderOption& o, const QString& value) {
    switch (o.type) {
        case DecoderOption::Int:
            return g_variant_new_int64(value.trimmed().toLongLong());
        case DecoderOption::Double:
            return g_variant_new_double(value.trimmed().toDouble());
        default:
            return g_variant_new_string(value.toUtf8().constData());
    }
}

GHashTable* newTable() {
    return g_hash_table_new_full(g_str_hash, g_str_equal, g_free, reinterpret_cast<GDestroyNotify>(g_variant_unref));
}

QString failure(int rc, const QString& log) {
    const QString what = QString::fromUtf8(srdApi()->strerror(rc));
    if (log.isEmpty())
        return what;
    // The library logs a Python traceback; its last line says what went wrong.
    const QStringList lines = log.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return lines.isEmpty() ? what : lines.last().trimmed();
}

} // namespace

void DecoderSet::work(std::shared_ptr<Run> run) {
    const TraceData& trace = *run->trace;
    const qint64 samples = trace.numSamples();
    DecodeLibrary& lib = DecodeLibrary::inst();
    QString libError;
    const bool libReady = lib.ready(&libError);
    for (int r = 0; r < run->entries.size() && !run->cancel->load(); ++r) {
        const DecoderEntry& root = run->entries.at(r);
        if (!root.stack.isEmpty())
            continue;
        // The stack: the root and every entry above it, each after the one it sits on.
        QVector<int> stack{r};
        for (int k = 0; k < stack.size(); ++k)
            for (int j = 0; j < run->entries.size(); ++j)
                if (run->entries.at(j).stack == run->entries.at(stack.at(k)).name && !stack.contains(j))
                    stack << j;
        auto failAll = [&](const QString& why) {
            for (int j : stack)
                publish(*run, run->entries.at(j).name, {Failed, why}, nullptr);
        };
        if (!libReady) {
            failAll(libError);
            continue;
        }
        Collect collect;
        QString why;
        for (int j : stack) {
            const DecoderInfo* info = lib.find(run->entries.at(j).decoder);
            if (!info) {
                why = QStringLiteral("the decoder library has no decoder \"%1\"").arg(run->entries.at(j).decoder);
                break;
            }
            // A saved entry is checked only here: its row says what is wrong.
            why = optionFault(run->entries.at(j), *info);
            if (why.isEmpty() && j == r)
                why = channelFault(root, *info, run->trace->channelNames());
            if (!why.isEmpty())
                break;
            collect.infos << info;
            auto res = std::make_shared<DecodeResult>();
            res->rows.resize(info->rows.size());
            collect.results << res;
            collect.counts << 0;
            collect.overflow << false;
        }
        // The capture channels fed, in the order of the root's decoder channels.
        QVector<int> feed;
        QHash<QString, int> bitOf;
        if (why.isEmpty()) {
            for (auto c = root.channels.begin(); c != root.channels.end(); ++c) {
                const int ch = run->trace->channelOf(c.value());
                if (ch < 0) {
                    why = QStringLiteral("the capture has no signal or bus bit \"%1\" for channel \"%2\"")
                              .arg(c.value(), c.key());
                    break;
                }
                if (!feed.contains(ch))
                    feed << ch;
                bitOf.insert(c.key(), int(feed.indexOf(ch)));
            }
            if (why.isEmpty() && feed.isEmpty())
                why = QStringLiteral("decoder \"%1\" has no channels").arg(root.name);
        }
        if (!why.isEmpty()) {
            failAll(why);
            continue;
        }

        QMutexLocker hold(&lib.lock());
        if (!lib.started())
            return;
        lib.takeLog();
        // The library started, so its functions are loaded.
        const SrdApi& srd = *srdApi();
        srd_session* sess = nullptr;
        int rc = srd.session_new(&sess);
        for (int k = 0; rc == SRD_OK && k < stack.size(); ++k) {
            const DecoderEntry& e = run->entries.at(stack.at(k));
            GHashTable* options = newTable();
            for (auto o = e.options.begin(); o != e.options.end(); ++o)
                if (const DecoderOption* opt = collect.infos.at(k)->option(o.key()))
                    g_hash_table_insert(options, g_strdup(o.key().toUtf8().constData()),
                                        g_variant_ref_sink(optionValue(*opt, o.value())));
            srd_decoder_inst* di = srd.inst_new(sess, e.decoder.toUtf8().constData(), options);
            g_hash_table_destroy(options);
            if (!di) {
                rc = SRD_ERR_ARG;
                why = QStringLiteral("decoder \"%1\" did not start: %2").arg(e.name, failure(rc, lib.takeLog()));
                break;
            }
            collect.insts << di;
            if (k == 0) {
                GHashTable* channels = newTable();
                for (auto b = bitOf.begin(); b != bitOf.end(); ++b)
                    g_hash_table_insert(channels, g_strdup(b.key().toUtf8().constData()),
                                        g_variant_ref_sink(g_variant_new_int32(b.value())));
                rc = srd.inst_channel_set_all(di, channels);
                g_hash_table_destroy(channels);
            } else {
                int under = -1;
                for (int j = 0; j < run->entries.size(); ++j)
                    if (run->entries.at(j).name == e.stack)
                        under = j;
                const int below = int(stack.indexOf(under));
                rc = below >= 0 ? srd.inst_stack(sess, collect.insts.at(below), di) : SRD_ERR_ARG;
            }
        }
        // The rate reaches the instances that exist when it is set.
        if (rc == SRD_OK && run->rate > 0)
            rc = srd.session_metadata_set(sess, SRD_CONF_SAMPLERATE, g_variant_new_uint64(run->rate));
        if (rc == SRD_OK)
            rc = srd.pd_output_callback_add(sess, SRD_OUTPUT_ANN, onAnnotation, &collect);
        if (rc == SRD_OK)
            rc = srd.session_start(sess);
        const int unit = int((feed.size() + 7) / 8);
        std::vector<quint8> buffer;
        const qint64 base = m_done.load();
        for (qint64 s0 = 0; rc == SRD_OK && s0 < samples; s0 += kChunk) {
            if (run->cancel->load())
                break;
            const qint64 s1 = std::min(samples, s0 + kChunk);
            buffer.assign(size_t((s1 - s0) * unit), 0);
            for (int k = 0; k < feed.size(); ++k) {
                const quint64* words = trace.channelWords(feed.at(k));
                const quint8 mask = quint8(1u << (k % 8));
                for (qint64 w = s0 / 64; w * 64 < s1; ++w) {
                    quint64 x = words[w];
                    while (x) {
                        const qint64 s = w * 64 + __builtin_ctzll(x);
                        x &= x - 1;
                        if (s >= s0 && s < s1)
                            buffer[size_t((s - s0) * unit + k / 8)] |= mask;
                    }
                }
            }
            rc = srd.session_send(sess, quint64(s0), quint64(s1), buffer.data(), buffer.size(), quint64(unit));
            m_done = base + s1;
            QMetaObject::invokeMethod(this, &DecoderSet::decodeProgress, Qt::QueuedConnection);
        }
        // Destroying the session ends its decoder threads, so the log of a
        // decoder that raised is complete only after it.
        if (sess)
            srd.session_destroy(sess);
        if (rc != SRD_OK && why.isEmpty())
            why = failure(rc, lib.takeLog());
        hold.unlock();
        if (run->cancel->load())
            return;
        for (int k = 0; k < collect.results.size(); ++k) {
            DecodeResult& res = *collect.results[k];
            for (int row = 0; row < res.rows.size(); ++row) {
                auto& v = res.rows[row];
                std::stable_sort(v.begin(), v.end(), [](const Annotation& a, const Annotation& b) {
                    return a.start != b.start ? a.start < b.start : a.end < b.end;
                });
                QVector<qint64> ends(v.size());
                qint64 most = -1;
                for (int i = 0; i < v.size(); ++i)
                    ends[i] = most = std::max(most, v.at(i).end);
                res.maxEnd.append(ends);
            }
            QString error = why;
            if (error.isEmpty() && collect.overflow.at(k))
                error = QStringLiteral("more than %1 annotations: the first are shown").arg(kMaxAnnotations);
            const bool failed = !why.isEmpty();
            publish(*run, run->entries.at(stack.at(k)).name, {failed ? Failed : Done, error}, collect.results[k]);
        }
        for (int k = collect.results.size(); k < stack.size(); ++k)
            publish(*run, run->entries.at(stack.at(k)).name, {Failed, why}, nullptr);
        m_done = base + samples;
    }
    if (run->generation == m_generation.load() && !run->cancel->load()) {
        m_running = false;
        QMetaObject::invokeMethod(this, &DecoderSet::decodeFinished, Qt::QueuedConnection);
    }
}
