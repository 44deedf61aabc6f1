#include "projectfiles.h"

#include "onajtag.h"

#include "safefile.h"

#include "deviceregistry.h"
#include "triggerlang.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <cmath>

namespace ProjectFiles {

namespace {

const char* const kRadix[] = {"Bin", "Oct", "Dec", "Hex"};
const QStringList kOperators{QStringLiteral("=="),          QStringLiteral("!="),
                             QStringLiteral("<"),           QStringLiteral("<="),
                             QStringLiteral(">"),           QStringLiteral(">="),
                             QStringLiteral("rising edge"), QStringLiteral("falling edge"),
                             QStringLiteral("any edge"),    QStringLiteral("in range"),
                             QStringLiteral("not in range")};
const QStringList kDriverKinds{QStringLiteral("clock"),    QStringLiteral("counter"), QStringLiteral("lfsr"),
                               QStringLiteral("constant"), QStringLiteral("pattern"), QStringLiteral("random"),
                               QStringLiteral("fsm"),      QStringLiteral("uart"),    QStringLiteral("bus")};
constexpr int kMaxDepth = 1 << 24;

bool isPlainRadix(const QString& r) {
    for (const char* k : kRadix)
        if (r == QLatin1String(k))
            return true;
    return false;
}

struct Fault {
    QString text;
};

// Typed access to JSON with the path of every value, so that a fault names
// exactly where it is.
class Reader {
public:
    explicit Reader(const QString& file) : m_file(file) {}

    [[noreturn]] void fail(const QString& path, const QString& why) const {
        throw Fault{path.isEmpty() ? QStringLiteral("%1: %2").arg(m_file, why)
                                   : QStringLiteral("%1: %2: %3").arg(m_file, path, why)};
    }

    QJsonObject document(const QByteArray& data, const QString& format) const {
        QJsonParseError pe;
        const QJsonDocument doc = QJsonDocument::fromJson(data, &pe);
        if (pe.error != QJsonParseError::NoError)
            fail(QString(), QStringLiteral("not valid JSON (%1 at byte %2)").arg(pe.errorString()).arg(pe.offset));
        if (!doc.isObject())
            fail(QString(), QStringLiteral("expected a JSON object at the top"));
        const QJsonObject root = doc.object();
        if (root.value(QLatin1String("format")).toString() != format)
            fail(QStringLiteral("format"), QStringLiteral("expected \"%1\"").arg(format));
        const int version = integer(root, QStringLiteral("version"), QString(), 1, 1000, true, 0);
        if (version != 1)
            fail(QStringLiteral("version"),
                 QStringLiteral("version %1 is newer than this program reads (1)").arg(version));
        return root;
    }

    static QString at(const QString& path, const QString& key) {
        return path.isEmpty() ? key : path + QLatin1Char('.') + key;
    }
    static QString at(const QString& path, int index) { return QStringLiteral("%1[%2]").arg(path).arg(index); }

    void keys(const QJsonObject& o, const QString& path, const QStringList& allowed) const {
        for (auto it = o.begin(); it != o.end(); ++it)
            if (!allowed.contains(it.key()))
                fail(at(path, it.key()), QStringLiteral("unknown key"));
    }

    QJsonValue need(const QJsonObject& o, const QString& key, const QString& path) const {
        const QJsonValue v = o.value(key);
        if (v.isUndefined())
            fail(at(path, key), QStringLiteral("missing"));
        return v;
    }

    QString string(const QJsonObject& o, const QString& key, const QString& path, bool required,
                   const QString& def = QString(), int maxLength = kMaxTextLength) const {
        if (!required && !o.contains(key))
            return def;
        const QJsonValue v = need(o, key, path);
        if (!v.isString())
            fail(at(path, key), QStringLiteral("expected a string"));
        const QString s = v.toString();
        if (s.size() > maxLength)
            fail(at(path, key), QStringLiteral("longer than %1 characters").arg(maxLength));
        return s;
    }

    QString name(const QJsonObject& o, const QString& key, const QString& path, const QString& what) const {
        const QString s = string(o, key, path, true, QString(), TriggerLang::kMaxNameLength);
        const QString why = TriggerLang::checkName(s, what);
        if (!why.isEmpty())
            fail(at(path, key), why);
        return s;
    }

    int integer(const QJsonObject& o, const QString& key, const QString& path, int min, int max, bool required,
                int def) const {
        if (!required && !o.contains(key))
            return def;
        const QJsonValue v = need(o, key, path);
        const double d = v.toDouble(std::nan(""));
        if (!v.isDouble() || std::floor(d) != d || d < min || d > max)
            fail(at(path, key), QStringLiteral("expected a whole number from %1 to %2").arg(min).arg(max));
        return int(d);
    }

    bool boolean(const QJsonObject& o, const QString& key, const QString& path, bool required, bool def) const {
        if (!required && !o.contains(key))
            return def;
        const QJsonValue v = need(o, key, path);
        if (!v.isBool())
            fail(at(path, key), QStringLiteral("expected true or false"));
        return v.toBool();
    }

    QJsonObject object(const QJsonObject& o, const QString& key, const QString& path, bool required) const {
        if (!required && !o.contains(key))
            return QJsonObject();
        const QJsonValue v = need(o, key, path);
        if (!v.isObject())
            fail(at(path, key), QStringLiteral("expected an object"));
        return v.toObject();
    }

    QJsonArray array(const QJsonObject& o, const QString& key, const QString& path, int maxCount, bool required) const {
        if (!required && !o.contains(key))
            return QJsonArray();
        const QJsonValue v = need(o, key, path);
        if (!v.isArray())
            fail(at(path, key), QStringLiteral("expected an array"));
        const QJsonArray a = v.toArray();
        if (a.size() > maxCount)
            fail(at(path, key), QStringLiteral("more than %1 entries").arg(maxCount));
        return a;
    }

    // Entry i of `a`, whose own path is `path` (already indexed).
    QJsonObject element(const QJsonArray& a, int i, const QString& path) const {
        if (!a.at(i).isObject())
            fail(path, QStringLiteral("expected an object"));
        return a.at(i).toObject();
    }

    QString choice(const QJsonObject& o, const QString& key, const QString& path, const QStringList& words,
                   bool required, const QString& def) const {
        const QString s = string(o, key, path, required, def, 64);
        if (!words.contains(s))
            fail(at(path, key), QStringLiteral("expected one of %1").arg(words.join(QStringLiteral(", "))));
        return s;
    }

    QList<TokenSetData> tokenSets(const QJsonObject& o, const QString& key, const QString& path, bool enumKind) const {
        const QJsonArray a = array(o, key, path, TokenModel::kMaxSets, false);
        QList<TokenSetData> sets;
        for (int i = 0; i < a.size(); ++i) {
            const QString p = at(at(path, key), i);
            const QJsonObject so = element(a, i, p);
            keys(so, p, {QStringLiteral("name"), QStringLiteral("bits"), QStringLiteral("tokens")});
            TokenSetData s;
            s.name = string(so, QStringLiteral("name"), p, true, QString(), TriggerLang::kMaxNameLength);
            s.bits = integer(so, QStringLiteral("bits"), p, 1, TokenModel::kMaxBits, true, 1);
            const QJsonArray ta = array(so, QStringLiteral("tokens"), p, TokenModel::kMaxTokens, true);
            for (int j = 0; j < ta.size(); ++j) {
                const QString tp = at(at(p, QStringLiteral("tokens")), j);
                const QJsonObject to = element(ta, j, tp);
                keys(to, tp, {QStringLiteral("name"), QStringLiteral("value")});
                const QString tn = string(to, QStringLiteral("name"), tp, true, QString(), TriggerLang::kMaxNameLength);
                const QString tv = string(to, QStringLiteral("value"), tp, true, QString(), 1024);
                QString bits, why;
                if (!TriggerLang::parseTokenValue(tv, s.bits, &bits, &why))
                    fail(at(tp, QStringLiteral("value")), why);
                s.tokens.append({tn, bits});
            }
            sets.append(s);
        }
        const QString why = TokenModel::validate(sets, enumKind);
        if (!why.isEmpty())
            fail(at(path, key), why);
        return sets;
    }

private:
    QString m_file;
};

QJsonArray tokenSetsJson(const QList<TokenSetData>& sets) {
    QJsonArray out;
    for (const TokenSetData& s : sets) {
        QJsonArray tokens;
        for (const auto& t : s.tokens)
            tokens.append(QJsonObject{{QStringLiteral("name"), t.first},
                                      {QStringLiteral("value"), TriggerLang::tokenValueText(t.second)}});
        out.append(QJsonObject{
            {QStringLiteral("name"), s.name}, {QStringLiteral("bits"), s.bits}, {QStringLiteral("tokens"), tokens}});
    }
    return out;
}

} // namespace

bool readFile(const QString& path, QByteArray* data, QString* error) {
    QString why;
    if (!SafeFile::readRegular(path, kMaxFileSize, data, &why)) {
        *error = QStringLiteral("%1: %2").arg(path, why);
        return false;
    }
    return true;
}

int refWidth(const QString& ref, const QVector<OnlSignal>& signalList, QString* error) {
    static const QRegularExpression re(
        QStringLiteral("^([A-Za-z_][A-Za-z0-9_]*)(?:\\[([0-9]{1,5})(?::([0-9]{1,5}))?\\])?$"));
    const auto m = re.match(ref);
    if (!m.hasMatch()) {
        *error = QStringLiteral("\"%1\" is not a signal reference (name, name[bit] or name[high:low])").arg(ref);
        return -1;
    }
    for (const OnlSignal& s : signalList) {
        if (s.name != m.captured(1))
            continue;
        if (m.captured(2).isEmpty())
            return s.width;
        const int hi = m.captured(2).toInt();
        const int lo = m.captured(3).isEmpty() ? hi : m.captured(3).toInt();
        if (hi < lo || hi >= s.width) {
            *error = QStringLiteral("\"%1\": bits outside %2[%3:0]").arg(ref, s.name).arg(s.width - 1);
            return -1;
        }
        return hi - lo + 1;
    }
    *error = QStringLiteral("\"%1\" names no signal of the core").arg(m.captured(1));
    return -1;
}

bool parseOnl(const QByteArray& data, const QString& name, OnlDesign* out, QString* error) {
    const Reader r(name);
    try {
        const QJsonObject root = r.document(data, QStringLiteral("ondrel-onl"));
        r.keys(root, QString(),
               {QStringLiteral("format"), QStringLiteral("version"), QStringLiteral("device"), QStringLiteral("cores"),
                QStringLiteral("enum_token_sets"), QStringLiteral("serdes")});
        OnlDesign d;
        d.device = r.string(root, QStringLiteral("device"), QString(), true, QString(), 128);
        d.enums = r.tokenSets(root, QStringLiteral("enum_token_sets"), QString(), true);
        d.serdes = r.object(root, QStringLiteral("serdes"), QString(), false);
        QString serdesWhy;
        if (!SerdesLayout::parse(d.serdes, &d.serdesLayout, &serdesWhy))
            r.fail(QString(), serdesWhy);
        const QJsonArray cores = r.array(root, QStringLiteral("cores"), QString(), kMaxCores, true);
        QSet<QString> coreNames;
        for (int i = 0; i < cores.size(); ++i) {
            const QString p = Reader::at(QStringLiteral("cores"), i);
            const QJsonObject co = r.element(cores, i, p);
            OnlCore c;
            c.index = i;
            c.hash = coreHash(co);
            c.name = r.name(co, QStringLiteral("name"), p, QStringLiteral("core"));
            if (coreNames.contains(c.name.toLower()))
                r.fail(Reader::at(p, QStringLiteral("name")),
                       QStringLiteral("core \"%1\" is defined twice").arg(c.name));
            coreNames.insert(c.name.toLower());
            c.kind = r.integer(co, QStringLiteral("kind"), p, 1, 2, true, 1);
            if (c.kind == 2) {
                r.keys(co, p, {QStringLiteral("name"), QStringLiteral("kind"), QStringLiteral("controller")});
                c.controller = r.object(co, QStringLiteral("controller"), p, false);
                QString why;
                if (!ControllerFile::parse(c.controller, Reader::at(p, QStringLiteral("controller")), &c.records, &why))
                    r.fail(QString(), why);
                d.cores.append(c);
                continue;
            }
            r.keys(
                co, p,
                {QStringLiteral("name"), QStringLiteral("kind"), QStringLiteral("clock"), QStringLiteral("signals"),
                 QStringLiteral("trigger_units"), QStringLiteral("trigger_expressions"), QStringLiteral("sample_depth"),
                 QStringLiteral("multi_trigger_capacity"), QStringLiteral("max_triggers"),
                 QStringLiteral("final_counter_max"), QStringLiteral("por"), QStringLiteral("simulation")});
            c.clock = r.string(co, QStringLiteral("clock"), p, false, QString(), TriggerLang::kMaxNameLength);

            const QJsonArray sigs = r.array(co, QStringLiteral("signals"), p, kMaxSignals, true);
            QSet<QString> sigNames;
            for (int j = 0; j < sigs.size(); ++j) {
                const QString sp = Reader::at(Reader::at(p, QStringLiteral("signals")), j);
                const QJsonObject so = r.element(sigs, j, sp);
                r.keys(so, sp, {QStringLiteral("name"), QStringLiteral("width"), QStringLiteral("enum")});
                OnlSignal s;
                s.name = r.name(so, QStringLiteral("name"), sp, QStringLiteral("signal"));
                s.width = r.integer(so, QStringLiteral("width"), sp, 1, TriggerLang::kMaxWidth, false, 1);
                s.enumSet = r.string(so, QStringLiteral("enum"), sp, false, QString(), TriggerLang::kMaxNameLength);
                if (!s.enumSet.isEmpty()) {
                    const auto e = std::find_if(d.enums.cbegin(), d.enums.cend(),
                                                [&](const TokenSetData& t) { return t.name == s.enumSet; });
                    if (e == d.enums.cend())
                        r.fail(Reader::at(sp, QStringLiteral("enum")),
                               QStringLiteral("\"%1\" is no enumeration of this file").arg(s.enumSet));
                    if (e->bits != s.width)
                        r.fail(Reader::at(sp, QStringLiteral("enum")),
                               QStringLiteral("enumeration \"%1\" is %2 bits wide, the signal %3")
                                   .arg(s.enumSet)
                                   .arg(e->bits)
                                   .arg(s.width));
                }
                if (sigNames.contains(s.name))
                    r.fail(sp, QStringLiteral("signal \"%1\" is defined twice").arg(s.name));
                sigNames.insert(s.name);
                c.signalList.append(s);
            }

            const QJsonArray units = r.array(co, QStringLiteral("trigger_units"), p, kMaxTriggerUnits, false);
            QSet<QString> unitNames;
            for (int j = 0; j < units.size(); ++j) {
                const QString up = Reader::at(Reader::at(p, QStringLiteral("trigger_units")), j);
                const QJsonObject uo = r.element(units, j, up);
                r.keys(uo, up,
                       {QStringLiteral("name"), QStringLiteral("signals"), QStringLiteral("serial"),
                        QStringLiteral("operator"), QStringLiteral("radix"), QStringLiteral("value")});
                OnlTriggerUnit u;
                u.name = r.name(uo, QStringLiteral("name"), up, QStringLiteral("trigger unit"));
                if (unitNames.contains(u.name.toLower()))
                    r.fail(up, QStringLiteral("trigger unit \"%1\" is defined twice").arg(u.name));
                unitNames.insert(u.name.toLower());
                const QJsonArray refs = r.array(uo, QStringLiteral("signals"), up, 256, true);
                if (refs.isEmpty())
                    r.fail(Reader::at(up, QStringLiteral("signals")),
                           QStringLiteral("a trigger unit needs at least one signal"));
                int width = 0;
                for (int k = 0; k < refs.size(); ++k) {
                    const QString rp = Reader::at(Reader::at(up, QStringLiteral("signals")), k);
                    if (!refs.at(k).isString())
                        r.fail(rp, QStringLiteral("expected a string"));
                    QString why;
                    const int w = refWidth(refs.at(k).toString(), c.signalList, &why);
                    if (w < 0)
                        r.fail(rp, why);
                    width += w;
                    if (width > TriggerLang::kMaxWidth)
                        r.fail(Reader::at(up, QStringLiteral("signals")),
                               QStringLiteral("wider than %1 bits").arg(TriggerLang::kMaxWidth));
                    u.refs << refs.at(k).toString();
                }
                u.serial = r.integer(uo, QStringLiteral("serial"), up, 0, TriggerLang::kMaxWidth, false, 0);
                if (u.serial > 0 && width != 1)
                    r.fail(Reader::at(up, QStringLiteral("serial")),
                           QStringLiteral("a serial trigger unit samples one signal bit"));
                u.width = u.serial > 0 ? u.serial : width;
                const QStringList ops =
                    u.serial > 0 ? QStringList{QStringLiteral("=="), QStringLiteral("!=")} : kOperators;
                u.op = r.choice(uo, QStringLiteral("operator"), up, ops, false, QStringLiteral("=="));
                u.radix = r.string(uo, QStringLiteral("radix"), up, false, QStringLiteral("Bin"),
                                   TriggerLang::kMaxNameLength);
                if (!isPlainRadix(u.radix)) {
                    bool found = false;
                    for (const TokenSetData& e : d.enums)
                        if (e.name == u.radix) {
                            found = true;
                            if (e.bits != u.width)
                                r.fail(Reader::at(up, QStringLiteral("radix")),
                                       QStringLiteral("enumeration \"%1\" is %2 bits wide, the unit %3")
                                           .arg(e.name)
                                           .arg(e.bits)
                                           .arg(u.width));
                        }
                    if (!found)
                        r.fail(Reader::at(up, QStringLiteral("radix")),
                               QStringLiteral("\"%1\" is neither Bin, Oct, Dec, Hex nor an enumeration of this file")
                                   .arg(u.radix));
                }
                u.value = r.string(uo, QStringLiteral("value"), up, false, QString(u.width, QLatin1Char('x')));
                c.units.append(u);
            }

            const QJsonArray exprs = r.array(co, QStringLiteral("trigger_expressions"), p, kMaxExpressions, false);
            QSet<QString> exprNames;
            for (int j = 0; j < exprs.size(); ++j) {
                const QString ep = Reader::at(Reader::at(p, QStringLiteral("trigger_expressions")), j);
                const QJsonObject eo = r.element(exprs, j, ep);
                r.keys(eo, ep, {QStringLiteral("name"), QStringLiteral("expression"), QStringLiteral("enable")});
                OnlExpression e;
                e.name = r.name(eo, QStringLiteral("name"), ep, QStringLiteral("trigger expression"));
                if (exprNames.contains(e.name.toLower()))
                    r.fail(ep, QStringLiteral("trigger expression \"%1\" is defined twice").arg(e.name));
                exprNames.insert(e.name.toLower());
                e.expression = r.string(eo, QStringLiteral("expression"), ep, true);
                e.enable = r.boolean(eo, QStringLiteral("enable"), ep, false, true);
                c.expressions.append(e);
            }

            TriggerOptionValues& l = c.limits;
            const QJsonObject depth = r.object(co, QStringLiteral("sample_depth"), p, true);
            const QString dp = Reader::at(p, QStringLiteral("sample_depth"));
            r.keys(depth, dp, {QStringLiteral("min"), QStringLiteral("max")});
            l.minSamples = r.integer(depth, QStringLiteral("min"), dp, 1, kMaxDepth, true, 1);
            l.maxSamples = r.integer(depth, QStringLiteral("max"), dp, 1, kMaxDepth, true, 1);
            l.multiTriggerCapacity = r.integer(co, QStringLiteral("multi_trigger_capacity"), p, 0, kMaxDepth, false, 0);
            l.maxTriggers = r.integer(co, QStringLiteral("max_triggers"), p, 1, kMaxDepth, false, 1);
            l.finalCounterMax = r.integer(co, QStringLiteral("final_counter_max"), p, 1, 65536, false, 1);
            l.porSupported = r.boolean(co, QStringLiteral("por"), p, false, false);
            const QString why = TriggerSetting::validateLimits(l);
            if (!why.isEmpty())
                r.fail(p, why);
            l.samples = l.maxSamples;
            l.numTriggers = 1;
            l.maxPosition = l.samples - 1;

            c.simulation = r.object(co, QStringLiteral("simulation"), p, false);
            const QString simPath = Reader::at(p, QStringLiteral("simulation"));
            for (auto it = c.simulation.begin(); it != c.simulation.end(); ++it) {
                const QString sp = Reader::at(simPath, it.key());
                if (!sigNames.contains(it.key()))
                    r.fail(sp, QStringLiteral("names no signal of the core"));
                if (!it.value().isObject())
                    r.fail(sp, QStringLiteral("expected an object"));
                r.choice(it.value().toObject(), QStringLiteral("kind"), sp, kDriverKinds, true, QString());
                int width = 1;
                for (const OnlSignal& s : c.signalList)
                    if (s.name == it.key())
                        width = s.width;
                QString why;
                if (!DeviceRegistry::checkSignalSource(it.value().toObject(), width, &why))
                    r.fail(sp, why);
            }
            d.cores.append(c);
        }
        *out = d;
        return true;
    } catch (const Fault& f) {
        *error = f.text;
        return false;
    }
}

quint32 coreHash(const QJsonObject& core) {
    quint32 h = 0x811C9DC5u;
    for (const char b : QJsonDocument(core).toJson(QJsonDocument::Compact)) {
        h ^= quint8(b);
        h *= 0x01000193u;
    }
    return h;
}

namespace {

// The cable as the analyzer file keeps it; the fields of the target over
// JTAG only where they differ from what a file without them means.
QJsonObject cableJson(const CableSettings& c) {
    QJsonObject o{
        {QStringLiteral("type"), c.type}, {QStringLiteral("port"), c.port}, {QStringLiteral("tckdelay"), c.tckDelay}};
    const CableSettings plain;
    if (!c.device.isEmpty())
        o.insert(QStringLiteral("target"), c.device);
    if (c.host != plain.host)
        o.insert(QStringLiteral("host"), c.host);
    if (!c.interfaceFile.isEmpty())
        o.insert(QStringLiteral("interface"), c.interfaceFile);
    if (c.ftdi != plain.ftdi)
        o.insert(QStringLiteral("ftdi"), c.ftdi);
    if (!c.openocd.isEmpty())
        o.insert(QStringLiteral("openocd"), c.openocd);
    if (OnaJTAG::tapText(c) != OnaJTAG::tapText(plain))
        o.insert(QStringLiteral("tap"), OnaJTAG::tapText(c));
    return o;
}

} // namespace

namespace {

// A core's decoders: their structure is checked here; whether the library
// has the decoder and the capture the signals is the decode's to say, on
// the decoder's row, so a file opens on any machine and saves unchanged.
QVector<DecoderEntry> readDecoders(const Reader& r, const QJsonObject& co, const QString& cp) {
    QVector<DecoderEntry> out;
    const QJsonArray list = r.array(co, QStringLiteral("decoders"), cp, DecoderSet::kMaxEntries, false);
    const auto textMap = [&](const QJsonObject& o, const QString& key, const QString& path, bool numbers) {
        QMap<QString, QString> m;
        const QJsonObject mo = r.object(o, key, path, false);
        if (mo.size() > 64)
            r.fail(Reader::at(path, key), QStringLiteral("more than 64 entries"));
        for (auto it = mo.begin(); it != mo.end(); ++it) {
            const QString at = Reader::at(Reader::at(path, key), it.key());
            if (it.key().isEmpty() || it.key().size() > 64)
                r.fail(at, QStringLiteral("expected a name of 1 to 64 characters"));
            if (it->isString() && it->toString().size() <= 256)
                m.insert(it.key(), it->toString());
            else if (numbers && it->isDouble())
                m.insert(it.key(), QString::number(it->toDouble(), 'g', 15));
            else
                r.fail(at, numbers ? QStringLiteral("expected a string of at most 256 characters or a number")
                                   : QStringLiteral("expected a string of at most 256 characters"));
        }
        return m;
    };
    for (int j = 0; j < list.size(); ++j) {
        const QString dp = Reader::at(Reader::at(cp, QStringLiteral("decoders")), j);
        const QJsonObject d = r.element(list, j, dp);
        r.keys(d, dp,
               {QStringLiteral("name"), QStringLiteral("decoder"), QStringLiteral("stack"), QStringLiteral("channels"),
                QStringLiteral("options"), QStringLiteral("colour"), QStringLiteral("hidden")});
        DecoderEntry e;
        e.name = r.string(d, QStringLiteral("name"), dp, true, QString(), 64);
        e.decoder = r.string(d, QStringLiteral("decoder"), dp, true, QString(), 64);
        e.stack = r.string(d, QStringLiteral("stack"), dp, false, QString(), 64);
        e.channels = textMap(d, QStringLiteral("channels"), dp, false);
        e.options = textMap(d, QStringLiteral("options"), dp, true);
        const QString colour = r.string(d, QStringLiteral("colour"), dp, false, QString(), 16);
        if (!colour.isEmpty()) {
            e.colour = QColor::fromString(colour);
            if (!e.colour.isValid())
                r.fail(Reader::at(dp, QStringLiteral("colour")), QStringLiteral("expected a colour like \"#3080ff\""));
        }
        e.hidden = r.boolean(d, QStringLiteral("hidden"), dp, false, false);
        if (e.name.isEmpty() || e.decoder.isEmpty())
            r.fail(dp, QStringLiteral("a decoder needs a name and a decoder"));
        for (const DecoderEntry& o : out)
            if (o.name == e.name)
                r.fail(Reader::at(dp, QStringLiteral("name")), QStringLiteral("\"%1\" is listed twice").arg(e.name));
        // Only on one listed before it: the stacks cannot loop.
        if (!e.stack.isEmpty() &&
            std::none_of(out.begin(), out.end(), [&](const DecoderEntry& o) { return o.name == e.stack; }))
            r.fail(Reader::at(dp, QStringLiteral("stack")),
                   QStringLiteral("no decoder \"%1\" listed before this one").arg(e.stack));
        out.append(e);
    }
    return out;
}

QJsonArray decodersJson(const QVector<DecoderEntry>& list) {
    QJsonArray out;
    for (const DecoderEntry& e : list) {
        QJsonObject d{{QStringLiteral("name"), e.name}, {QStringLiteral("decoder"), e.decoder}};
        if (!e.stack.isEmpty())
            d.insert(QStringLiteral("stack"), e.stack);
        QJsonObject channels, options;
        for (auto it = e.channels.begin(); it != e.channels.end(); ++it)
            channels.insert(it.key(), it.value());
        for (auto it = e.options.begin(); it != e.options.end(); ++it)
            options.insert(it.key(), it.value());
        if (!channels.isEmpty())
            d.insert(QStringLiteral("channels"), channels);
        if (!options.isEmpty())
            d.insert(QStringLiteral("options"), options);
        if (e.colour.isValid())
            d.insert(QStringLiteral("colour"), e.colour.name());
        if (e.hidden)
            d.insert(QStringLiteral("hidden"), true);
        out.append(d);
    }
    return out;
}

} // namespace

bool parseOna(const QByteArray& data, const QString& name, OnaProject* out, QString* error) {
    const Reader r(name);
    try {
        const QJsonObject root = r.document(data, QStringLiteral("ondrel-ona"));
        r.keys(root, QString(),
               {QStringLiteral("format"), QStringLiteral("version"), QStringLiteral("onl"), QStringLiteral("cable"),
                QStringLiteral("clock"), QStringLiteral("current_core"), QStringLiteral("cores"),
                QStringLiteral("user_token_sets"), QStringLiteral("waveform")});
        OnaProject p;
        p.onl = r.string(root, QStringLiteral("onl"), QString(), true);
        if (p.onl.trimmed().isEmpty())
            r.fail(QStringLiteral("onl"), QStringLiteral("empty path"));
        const QJsonObject cable = r.object(root, QStringLiteral("cable"), QString(), false);
        r.keys(cable, QStringLiteral("cable"),
               {QStringLiteral("type"), QStringLiteral("port"), QStringLiteral("tckdelay"), QStringLiteral("target"),
                QStringLiteral("host"), QStringLiteral("interface"), QStringLiteral("ftdi"), QStringLiteral("openocd"),
                QStringLiteral("tap")});
        CableSettings& c = p.cable;
        c.type = r.choice(
            cable, QStringLiteral("type"), QStringLiteral("cable"),
            {QStringLiteral("USB"), QStringLiteral("USB2"), QStringLiteral("VORANTE"), QStringLiteral("REMOTE")}, false,
            QStringLiteral("USB"));
        c.port = r.integer(cable, QStringLiteral("port"), QStringLiteral("cable"), 0, 0xFFFF, false, 0);
        c.tckDelay = r.integer(cable, QStringLiteral("tckdelay"), QStringLiteral("cable"), 1, 30, false, 1);
        // Files written before the target over JTAG have none of what follows.
        c.device = r.string(cable, QStringLiteral("target"), QStringLiteral("cable"), false, QString(), 64);
        c.host = r.string(cable, QStringLiteral("host"), QStringLiteral("cable"), false, c.host, 253);
        c.interfaceFile = r.string(cable, QStringLiteral("interface"), QStringLiteral("cable"), false, QString(), 4096);
        c.ftdi = r.string(cable, QStringLiteral("ftdi"), QStringLiteral("cable"), false, c.ftdi, 128);
        c.openocd = r.string(cable, QStringLiteral("openocd"), QStringLiteral("cable"), false, QString(), 330);
        const QString tap =
            r.string(cable, QStringLiteral("tap"), QStringLiteral("cable"), false, OnaJTAG::tapText(c), 64);
        if (!OnaJTAG::parseTap(tap, &c))
            r.fail(QStringLiteral("cable.tap"), QStringLiteral("expected IRLENGTH USERINSTRUCTION IDCODE"));
        const QString fault = OnaJTAG::fieldFault(c);
        if (!fault.isEmpty())
            r.fail(QStringLiteral("cable"), fault);
        const QJsonObject clock = r.object(root, QStringLiteral("clock"), QString(), false);
        r.keys(clock, QStringLiteral("clock"), {QStringLiteral("period"), QStringLiteral("unit")});
        p.period = r.integer(clock, QStringLiteral("period"), QStringLiteral("clock"), 1, 1000000, false, 10);
        p.clockUnit = r.choice(clock, QStringLiteral("unit"), QStringLiteral("clock"),
                               {QStringLiteral("ns"), QStringLiteral("ps")}, false, QStringLiteral("ns"));
        p.currentCore =
            r.string(root, QStringLiteral("current_core"), QString(), false, QString(), TriggerLang::kMaxNameLength);
        p.userSets = r.tokenSets(root, QStringLiteral("user_token_sets"), QString(), false);
        p.waveform = r.object(root, QStringLiteral("waveform"), QString(), false);

        const QJsonArray cores = r.array(root, QStringLiteral("cores"), QString(), kMaxCores, false);
        for (int i = 0; i < cores.size(); ++i) {
            const QString cp = Reader::at(QStringLiteral("cores"), i);
            const QJsonObject co = r.element(cores, i, cp);
            r.keys(co, cp,
                   {QStringLiteral("name"), QStringLiteral("run"), QStringLiteral("trigger_units"),
                    QStringLiteral("trigger_expressions"), QStringLiteral("options"), QStringLiteral("decoders")});
            OnaCore c;
            c.name = r.string(co, QStringLiteral("name"), cp, true, QString(), TriggerLang::kMaxNameLength);
            c.run = r.boolean(co, QStringLiteral("run"), cp, false, true);
            c.hasUnits = co.contains(QStringLiteral("trigger_units"));
            const QJsonArray units = r.array(co, QStringLiteral("trigger_units"), cp, kMaxTriggerUnits, false);
            for (int j = 0; j < units.size(); ++j) {
                const QString up = Reader::at(Reader::at(cp, QStringLiteral("trigger_units")), j);
                const QJsonObject uo = r.element(units, j, up);
                r.keys(uo, up,
                       {QStringLiteral("name"), QStringLiteral("operator"), QStringLiteral("radix"),
                        QStringLiteral("value")});
                OnaUnit u;
                u.name = r.string(uo, QStringLiteral("name"), up, true, QString(), TriggerLang::kMaxNameLength);
                u.op = r.choice(uo, QStringLiteral("operator"), up, kOperators, true, QString());
                u.radix = r.string(uo, QStringLiteral("radix"), up, true, QString(), TriggerLang::kMaxNameLength);
                u.value = r.string(uo, QStringLiteral("value"), up, true);
                c.units.append(u);
            }
            c.hasExpressions = co.contains(QStringLiteral("trigger_expressions"));
            const QJsonArray exprs = r.array(co, QStringLiteral("trigger_expressions"), cp, kMaxExpressions, false);
            for (int j = 0; j < exprs.size(); ++j) {
                const QString ep = Reader::at(Reader::at(cp, QStringLiteral("trigger_expressions")), j);
                const QJsonObject eo = r.element(exprs, j, ep);
                r.keys(eo, ep, {QStringLiteral("name"), QStringLiteral("expression"), QStringLiteral("enable")});
                OnlExpression e;
                e.name = r.string(eo, QStringLiteral("name"), ep, true, QString(), TriggerLang::kMaxNameLength);
                e.expression = r.string(eo, QStringLiteral("expression"), ep, true);
                e.enable = r.boolean(eo, QStringLiteral("enable"), ep, true, true);
                c.expressions.append(e);
            }
            c.hasOptions = co.contains(QStringLiteral("options"));
            if (c.hasOptions) {
                const QString op = Reader::at(cp, QStringLiteral("options"));
                const QJsonObject oo = r.object(co, QStringLiteral("options"), cp, true);
                r.keys(oo, op,
                       {QStringLiteral("position_mode"), QStringLiteral("pre_position"),
                        QStringLiteral("user_position"), QStringLiteral("te_combination"), QStringLiteral("samples"),
                        QStringLiteral("num_triggers"), QStringLiteral("final_counter"),
                        QStringLiteral("final_counter_value"), QStringLiteral("connect_por")});
                TriggerOptionValues& o = c.options;
                o.positionPreSelected = r.choice(oo, QStringLiteral("position_mode"), op,
                                                 {QStringLiteral("preset"), QStringLiteral("user")}, true,
                                                 QString()) == QLatin1String("preset");
                const QString pre = r.choice(oo, QStringLiteral("pre_position"), op,
                                             {QStringLiteral("pre"), QStringLiteral("center"), QStringLiteral("post")},
                                             true, QString());
                o.prePositionIndex = pre == QLatin1String("pre") ? 0 : pre == QLatin1String("center") ? 1 : 2;
                o.userPosition = r.integer(oo, QStringLiteral("user_position"), op, 0, kMaxDepth, true, 0);
                o.teCombination =
                    r.choice(oo, QStringLiteral("te_combination"), op, {QStringLiteral("or"), QStringLiteral("and")},
                             true, QString()) == QLatin1String("and");
                o.samples = r.integer(oo, QStringLiteral("samples"), op, 1, kMaxDepth, true, 1);
                o.numTriggers = r.integer(oo, QStringLiteral("num_triggers"), op, 1, kMaxDepth, true, 1);
                o.finalCounterOn = r.boolean(oo, QStringLiteral("final_counter"), op, true, false) ? 1 : 0;
                o.finalCounterPreset = r.integer(oo, QStringLiteral("final_counter_value"), op, 1, 65536, true, 1);
                o.connectPorOnOpen = r.boolean(oo, QStringLiteral("connect_por"), op, true, false);
            }
            c.decoders = readDecoders(r, co, cp);
            p.cores.append(c);
        }
        *out = p;
        return true;
    } catch (const Fault& f) {
        *error = f.text;
        return false;
    }
}

bool parseOnt(const QByteArray& data, const QString& name, QList<TokenSetData>* out, QString* error) {
    const Reader r(name);
    try {
        const QJsonObject root = r.document(data, QStringLiteral("ondrel-ont"));
        r.keys(root, QString(), {QStringLiteral("format"), QStringLiteral("version"), QStringLiteral("token_sets")});
        if (!root.contains(QStringLiteral("token_sets")))
            r.fail(QStringLiteral("token_sets"), QStringLiteral("missing"));
        *out = r.tokenSets(root, QStringLiteral("token_sets"), QString(), false);
        return true;
    } catch (const Fault& f) {
        *error = f.text;
        return false;
    }
}

QByteArray writeOna(const OnaProject& p) {
    QJsonArray cores;
    for (const OnaCore& c : p.cores) {
        QJsonObject co{{QStringLiteral("name"), c.name}, {QStringLiteral("run"), c.run}};
        if (c.hasUnits) {
            QJsonArray units;
            for (const OnaUnit& u : c.units)
                units.append(QJsonObject{{QStringLiteral("name"), u.name},
                                         {QStringLiteral("operator"), u.op},
                                         {QStringLiteral("radix"), u.radix},
                                         {QStringLiteral("value"), u.value}});
            co.insert(QStringLiteral("trigger_units"), units);
        }
        if (c.hasExpressions) {
            QJsonArray exprs;
            for (const OnlExpression& e : c.expressions)
                exprs.append(QJsonObject{{QStringLiteral("name"), e.name},
                                         {QStringLiteral("expression"), e.expression},
                                         {QStringLiteral("enable"), e.enable}});
            co.insert(QStringLiteral("trigger_expressions"), exprs);
        }
        if (c.hasOptions) {
            const TriggerOptionValues& o = c.options;
            co.insert(
                QStringLiteral("options"),
                QJsonObject{
                    {QStringLiteral("position_mode"),
                     o.positionPreSelected ? QStringLiteral("preset") : QStringLiteral("user")},
                    {QStringLiteral("pre_position"), TriggerSetting::positionWord(o.prePositionIndex)},
                    {QStringLiteral("user_position"), o.userPosition},
                    {QStringLiteral("te_combination"), o.teCombination ? QStringLiteral("and") : QStringLiteral("or")},
                    {QStringLiteral("samples"), o.samples},
                    {QStringLiteral("num_triggers"), o.numTriggers},
                    {QStringLiteral("final_counter"), o.finalCounterOn > 0},
                    {QStringLiteral("final_counter_value"), o.finalCounterPreset},
                    {QStringLiteral("connect_por"), o.connectPorOnOpen},
                });
        }
        if (!c.decoders.isEmpty())
            co.insert(QStringLiteral("decoders"), decodersJson(c.decoders));
        cores.append(co);
    }
    QJsonObject root{
        {QStringLiteral("format"), QStringLiteral("ondrel-ona")},
        {QStringLiteral("version"), 1},
        {QStringLiteral("onl"), p.onl},
        {QStringLiteral("cable"), cableJson(p.cable)},
        {QStringLiteral("clock"),
         QJsonObject{{QStringLiteral("period"), p.period}, {QStringLiteral("unit"), p.clockUnit}}},
        {QStringLiteral("current_core"), p.currentCore},
        {QStringLiteral("cores"), cores},
        {QStringLiteral("user_token_sets"), tokenSetsJson(p.userSets)},
    };
    if (!p.waveform.isEmpty())
        root.insert(QStringLiteral("waveform"), p.waveform);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QByteArray writeOnt(const QList<TokenSetData>& sets) {
    const QJsonObject root{{QStringLiteral("format"), QStringLiteral("ondrel-ont")},
                           {QStringLiteral("version"), 1},
                           {QStringLiteral("token_sets"), tokenSetsJson(sets)}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

} // namespace ProjectFiles
