#include "decodelibrary.h"

#include "srdapi.h"

#include <cmath>

#include <QMutexLocker>
#include <cstdarg>
#include <cstdio>

namespace {

QString fromC(const char* s) { return s ? QString::fromUtf8(s) : QString(); }

QString variantText(GVariant* v) {
    if (!v)
        return QString();
    if (g_variant_is_of_type(v, G_VARIANT_TYPE_INT64))
        return QString::number(qint64(g_variant_get_int64(v)));
    if (g_variant_is_of_type(v, G_VARIANT_TYPE_DOUBLE))
        return QString::number(g_variant_get_double(v), 'g', 15);
    if (g_variant_is_of_type(v, G_VARIANT_TYPE_STRING))
        return fromC(g_variant_get_string(v, nullptr));
    return QString();
}

QVector<DecoderChannel> channelsOf(const GSList* l) {
    QVector<DecoderChannel> out;
    for (; l; l = l->next) {
        const auto* c = static_cast<const srd_channel*>(l->data);
        out.append({fromC(c->id), fromC(c->name), fromC(c->desc)});
    }
    return out;
}

QStringList stringsOf(const GSList* l) {
    QStringList out;
    for (; l; l = l->next)
        out << fromC(static_cast<const char*>(l->data));
    return out;
}

DecoderInfo describe(const srd_decoder* d) {
    DecoderInfo info;
    info.id = fromC(d->id);
    info.name = fromC(d->name);
    info.longName = fromC(d->longname);
    info.desc = fromC(d->desc);
    info.inputs = stringsOf(d->inputs);
    info.outputs = stringsOf(d->outputs);
    info.channels = channelsOf(d->channels);
    info.optChannels = channelsOf(d->opt_channels);
    for (const GSList* l = d->options; l; l = l->next) {
        const auto* o = static_cast<const srd_decoder_option*>(l->data);
        DecoderOption opt;
        opt.id = fromC(o->id);
        opt.desc = fromC(o->desc);
        if (o->def && g_variant_is_of_type(o->def, G_VARIANT_TYPE_INT64))
            opt.type = DecoderOption::Int;
        else if (o->def && g_variant_is_of_type(o->def, G_VARIANT_TYPE_DOUBLE))
            opt.type = DecoderOption::Double;
        opt.defaultText = variantText(o->def);
        for (const GSList* v = o->values; v; v = v->next)
            opt.values << variantText(static_cast<GVariant*>(v->data));
        info.options.append(opt);
    }
    for (const GSList* l = d->annotations; l; l = l->next) {
        // 0.5 keeps each class as a string array {id, description}.
        const auto* pair = static_cast<char* const*>(l->data);
        const QString id = pair ? fromC(pair[0]) : QString();
        const QString desc = pair && pair[0] ? fromC(pair[1]) : id;
        info.classes.append({id, desc});
    }
    info.rowOfClass.fill(-1, info.classes.size());
    for (const GSList* l = d->annotation_rows; l; l = l->next) {
        const auto* r = static_cast<const srd_decoder_annotation_row*>(l->data);
        DecoderRow row{fromC(r->id), fromC(r->desc), {}};
        for (const GSList* c = r->ann_classes; c; c = c->next) {
            const int cls = GPOINTER_TO_INT(c->data);
            if (cls >= 0 && cls < info.classes.size() && info.rowOfClass.at(cls) < 0) {
                info.rowOfClass[cls] = info.rows.size();
                row.classes << cls;
            }
        }
        info.rows.append(row);
    }
    DecoderRow rest{info.id, info.longName.isEmpty() ? info.name : info.longName, {}};
    for (int c = 0; c < info.classes.size(); ++c)
        if (info.rowOfClass.at(c) < 0) {
            info.rowOfClass[c] = info.rows.size();
            rest.classes << c;
        }
    if (!rest.classes.isEmpty())
        info.rows.append(rest);
    return info;
}

// The library's log: errors are kept for the decode that caused them
// (decodes run one at a time under the lock), the rest is dropped.
int logHook(void*, int level, const char* format, va_list args) {
    if (level > SRD_LOG_ERR)
        return SRD_OK;
    char line[2048];
    std::vsnprintf(line, sizeof line, format, args);
    DecodeLibrary::inst().appendLog(QString::fromUtf8(line));
    return SRD_OK;
}

} // namespace

const DecoderOption* DecoderInfo::option(const QString& optionId) const {
    for (const DecoderOption& o : options)
        if (o.id == optionId)
            return &o;
    return nullptr;
}

bool DecoderInfo::hasChannel(const QString& channelId) const {
    for (const auto* list : {&channels, &optChannels})
        for (const DecoderChannel& c : *list)
            if (c.id == channelId)
                return true;
    return false;
}

int DecoderInfo::rowIndex(const QString& rowId) const {
    for (int r = 0; r < rows.size(); ++r)
        if (rows.at(r).id == rowId)
            return r;
    return -1;
}

bool DecoderInfo::checkOption(const QString& optionId, const QString& value, QString* error) const {
    const DecoderOption* o = option(optionId);
    if (!o) {
        QStringList ids;
        for (const DecoderOption& x : options)
            ids << x.id;
        *error = QStringLiteral("decoder \"%1\" has no option \"%2\" (it has: %3)")
                     .arg(id, optionId, ids.isEmpty() ? QStringLiteral("none") : ids.join(QStringLiteral(", ")));
        return false;
    }
    bool ok = true;
    double number = 0;
    if (o->type == DecoderOption::Int)
        number = double(value.trimmed().toLongLong(&ok));
    else if (o->type == DecoderOption::Double)
        number = value.trimmed().toDouble(&ok);
    // "nan" and "inf" read as numbers, and no decoder can use them.
    ok = ok && std::isfinite(number);
    if (!ok) {
        *error = QStringLiteral("option \"%1\" of decoder \"%2\" takes %3, not \"%4\"")
                     .arg(optionId, id,
                          o->type == DecoderOption::Int ? QStringLiteral("a whole number") : QStringLiteral("a number"),
                          value);
        return false;
    }
    // A rate (baudrate, bitrate) of 0 or less makes the decoder divide by
    // it or run backwards: it decodes garbage and says nothing.
    if (o->type != DecoderOption::Text && optionId.endsWith(QLatin1String("rate")) && number <= 0) {
        *error = QStringLiteral("option \"%1\" of decoder \"%2\" is a rate: it takes a number above 0, not \"%3\"")
                     .arg(optionId, id, value);
        return false;
    }
    if (!o->values.isEmpty()) {
        bool found = false;
        for (const QString& v : o->values)
            found =
                found || v == value || (o->type == DecoderOption::Double && v.toDouble() == value.trimmed().toDouble());
        if (!found) {
            *error = QStringLiteral("option \"%1\" of decoder \"%2\" takes one of %3, not \"%4\"")
                         .arg(optionId, id, o->values.join(QStringLiteral(", ")), value);
            return false;
        }
    }
    return true;
}

DecodeLibrary& DecodeLibrary::inst() {
    static DecodeLibrary library;
    return library;
}

bool DecodeLibrary::ready(QString* error) {
    // Read once, then fixed: a look-up never waits for a running decode.
    if (!m_loaded.load()) {
        QMutexLocker init(&m_initLock);
        if (!m_loaded.load())
            load();
    }
    if (!m_error.isEmpty() && error)
        *error = m_error;
    return m_error.isEmpty();
}

void DecodeLibrary::load() {
    QMutexLocker hold(&m_lock);
    QString why;
    if (const SrdApi* srd = srdApi(&why)) {
        srd->log_callback_set(logHook, nullptr);
        srd->log_loglevel_set(SRD_LOG_ERR);
        int rc = srd->init(nullptr);
        if (rc == SRD_OK) {
            m_started = true;
            rc = srd->decoder_load_all();
        }
        if (rc != SRD_OK) {
            m_error = QStringLiteral("the protocol decoder library did not start: %1").arg(fromC(srd->strerror(rc)));
        } else {
            for (const GSList* l = srd->decoder_list(); l; l = l->next)
                m_decoders.append(describe(static_cast<const srd_decoder*>(l->data)));
            std::sort(m_decoders.begin(), m_decoders.end(),
                      [](const DecoderInfo& a, const DecoderInfo& b) { return a.id < b.id; });
        }
        m_log.clear();
    } else {
        m_error = why;
    }
    m_loaded = true;
}

const QVector<DecoderInfo>& DecodeLibrary::decoders() {
    ready(nullptr);
    return m_decoders;
}

const DecoderInfo* DecodeLibrary::find(const QString& id) {
    for (const DecoderInfo& d : decoders())
        if (d.id == id)
            return &d;
    return nullptr;
}

QString DecodeLibrary::takeLog() {
    const QString text = m_log.join(QLatin1Char('\n'));
    m_log.clear();
    return text;
}

void DecodeLibrary::appendLog(const QString& line) {
    // The last lines say what went wrong; a long traceback loses its start.
    m_log << line.trimmed();
    if (m_log.size() > 64)
        m_log.removeFirst();
}

DecodeLibrary::~DecodeLibrary() {
    // A decode still running when the program ends keeps the library: a
    // worker checks started() under the lock before each session.
    if (m_started && m_lock.tryLock(1000)) {
        m_started = false;
        srdApi()->exit();
        m_lock.unlock();
    }
}
