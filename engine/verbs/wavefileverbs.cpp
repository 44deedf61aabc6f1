// The simulator waveform's verbs: open, close, read back, find, write back.

#include "wavefileverbs.h"

#include "onaverbs.h"
#include "openwaveform.h"
#include "optiontable.h"
#include "vcdreader.h"
#include "vcdwriter.h"

#include <QFileInfo>
#include <cmath>

using namespace Verbs;

namespace {

// Changes ona_get hands back in one answer: a Tcl list of millions of
// pairs is a script's mistake, not a query.
constexpr qint64 kMaxChanges = 1000000;

Tcl_Obj* wide(qint64 v) { return Tcl_NewWideIntObj(Tcl_WideInt(v)); }

QString timescaleText(const ChangeStore& s) { return QString::number(s.timeMagnitude) + s.timeUnit; }

Tcl_Obj* valueObj(const ChangeStore::Change& c, ChangeStore::Kind kind) {
    return kind == ChangeStore::Real ? Tcl_NewDoubleObj(c.real) : obj(QString::fromLatin1(c.bits));
}

Dict summary(const ChangeStore& s) {
    Dict d;
    d.put("file", obj(s.file))
        .put("timescale", obj(timescaleText(s)))
        .put("end", wide(s.endTime))
        .put("vars", obj(s.numVars()))
        .put("signals", obj(s.numSignals()))
        .put("changes", wide(s.totalChanges()))
        .put("bytes", wide(s.storageBytes()))
        .put("partial", obj(s.partial))
        .put("error", obj(s.error));
    return d;
}

ONA_CMD(cmdOpenWaveform) {
    VcdReader::Options options;
    if (objc == 3 && text(objv[2]) == QLatin1String("-partial"))
        options.keepPartial = true;
    else if (objc != 2)
        return usage(ip, "ona_open_waveform fileName ?-partial?");
    // A window shows the reading and may cancel it; a cancelled file is
    // dropped, even with -partial: the user asked for none of it.
    std::atomic<bool> cancel{false};
    const QString file = text(objv[1]);
    const OpenWaveform::LoadProgress shown = OpenWaveform::loadProgress();
    if (shown) {
        options.progress = [&](qint64 done, qint64 total) {
            if (!shown(file, done, total))
                cancel = true;
        };
        options.cancel = &cancel;
    }
    QString error;
    std::shared_ptr<const ChangeStore> store = VcdReader::read(file, options, &error);
    if (shown)
        shown(file, -1, -1);
    if (cancel)
        return fail(ip, QStringLiteral("ona_open_waveform: reading \"%1\" was cancelled%2")
                            .arg(text(objv[1]), OpenWaveform::current()
                                                    ? QStringLiteral("; the waveform open before stays open")
                                                    : QString()));
    if (!store)
        return fail(ip, QStringLiteral("ona_open_waveform: %1").arg(error));
    OpenWaveform::set(store);
    Tcl_SetObjResult(ip, summary(*store).get());
    return TCL_OK;
}

ONA_CMD(cmdCloseWaveform) {
    Q_UNUSED(objv);
    return bareVerb(ip, objc, "ona_close_waveform", [](QString*) {
        OpenWaveform::set(nullptr);
        return true;
    });
}

bool parseTime(const QString& word, const QString& verb, const QString& option, qint64* t, QString* error) {
    bool ok = false;
    *t = word.toLongLong(&ok);
    if (!ok || *t < 0)
        *error = QStringLiteral("%1: %2 takes a time of the file (a whole number, 0 or more), not \"%3\"")
                     .arg(verb, option, word);
    return ok && *t >= 0;
}

int varOf(Tcl_Interp* ip, const ChangeStore& s, const QString& verb, const QString& name, int* signal) {
    const int v = s.varNamed(name);
    if (v < 0)
        return fail(ip, QStringLiteral("%1: the waveform has no variable \"%2\"").arg(verb, name));
    *signal = s.var(v).signal;
    return TCL_OK;
}

// ona_get waveform ?-var NAME ?-from T? ?-to T? | -var NAME -at T?
int getWaveform(Tcl_Interp* ip, int objc, Tcl_Obj* const objv[]) {
    const QString verb = QStringLiteral("ona_get waveform");
    const auto store = OpenWaveform::current();
    if (!store)
        return fail(ip, QStringLiteral("%1: no waveform is open (ona_open_waveform)").arg(verb));
    const ChangeStore& s = *store;
    if (objc == 2) {
        Dict d = summary(s);
        Tcl_Obj* vars = Tcl_NewListObj(0, nullptr);
        for (const ChangeStore::Var& v : s.vars()) {
            QStringList scope;
            for (int sc = v.scope; sc >= 0; sc = s.scopes().at(sc).parent)
                scope.prepend(s.scopes().at(sc).name);
            Dict one;
            one.put("name", obj(v.name))
                .put("scope", obj(scope.join(QLatin1Char('.'))))
                .put("width", obj(v.width))
                .put("kind", obj(v.kind))
                .put("range", obj(v.range));
            Tcl_ListObjAppendElement(nullptr, vars, one.get());
        }
        d.put("vars", vars);
        Tcl_SetObjResult(ip, d.get());
        return TCL_OK;
    }
    enum Key { Var, From, To, At, Unknown };
    VerbOptions::Pairs pairs;
    QString error;
    if (!optionPairs(objc, objv, 2, &pairs, &error))
        return fail(ip, error);
    QString name;
    qint64 from = 0, to = std::max<qint64>(s.endTime, 0), at = -1;
    bool haveName = false;
    for (const auto& o :
         VerbOptions::match(pairs, {{"-var", Var}, {"-from", From}, {"-to", To}, {"-at", At}}, Unknown, verb)) {
        switch (o.key) {
            case Var:
                name = o.value;
                haveName = true;
                break;
            case From:
            case To:
            case At: {
                static const char* const kWords[] = {"", "-from", "-to", "-at"};
                qint64* const times[] = {nullptr, &from, &to, &at};
                if (!parseTime(o.value, verb, QLatin1String(kWords[o.key]), times[o.key], &error))
                    return fail(ip, error);
                break;
            }
            case Unknown:
                return fail(ip, o.value);
        }
    }
    if (!haveName)
        return usage(ip, "ona_get waveform ?-var name ?-from time? ?-to time? | -var name -at time?");
    int signal = -1;
    if (varOf(ip, s, verb, name, &signal) != TCL_OK)
        return TCL_ERROR;
    if (at >= 0) {
        Tcl_SetObjResult(ip, valueObj(s.valueAt(signal, at), s.kind(signal)));
        return TCL_OK;
    }
    QVector<ChangeStore::Change> changes;
    if (!s.changes(signal, from, to, kMaxChanges, &changes))
        return fail(ip, QStringLiteral("%1: \"%2\" changes more than %3 times from %4 to %5: ask for a shorter span")
                            .arg(verb, name)
                            .arg(kMaxChanges)
                            .arg(from)
                            .arg(to));
    Tcl_Obj* l = Tcl_NewListObj(0, nullptr);
    for (const ChangeStore::Change& c : changes) {
        Tcl_ListObjAppendElement(nullptr, l, wide(c.time));
        Tcl_ListObjAppendElement(nullptr, l, valueObj(c, s.kind(signal)));
    }
    Tcl_SetObjResult(ip, l);
    return TCL_OK;
}

// V as the bits of a `width`-bit variable, most significant first; '?'
// matches any bit. Bin and Hex digits take x, z and ?; a value shorter than
// the variable is extended as VCD extends one (x and z by themselves, 0 and
// 1 by 0); a longer one may only lose leading zeros.
bool patternOf(QString value, const QString& radix, int width, QByteArray* bits, QString* error) {
    value = value.trimmed().toLower();
    QByteArray b;
    if (value.isEmpty()) {
        *error = QStringLiteral("an empty value");
        return false;
    }
    if (radix == QLatin1String("Bin") || radix == QLatin1String("Hex")) {
        const bool hex = radix == QLatin1String("Hex");
        for (const QChar ch : value) {
            const char c = ch.toLatin1();
            if (c == 'x' || c == 'z' || c == '?') {
                b += QByteArray(hex ? 4 : 1, c);
            } else if (!hex && (c == '0' || c == '1')) {
                b += c;
            } else if (hex && std::isxdigit(quint8(c))) {
                const int d = QString(ch).toInt(nullptr, 16);
                for (int k = 3; k >= 0; --k)
                    b += (d >> k) & 1 ? '1' : '0';
            } else {
                *error = QStringLiteral("\"%1\" is not a %2 value (digits, x, z or ?)").arg(value, radix);
                return false;
            }
        }
    } else if (radix == QLatin1String("Dec")) {
        // Decimal digits to bits by repeated halving.
        QByteArray digits;
        for (const QChar ch : value) {
            if (!ch.isDigit() || ch.unicode() > '9') {
                *error = QStringLiteral("\"%1\" is not a decimal value").arg(value);
                return false;
            }
            digits += char(ch.unicode() - '0');
        }
        while (!digits.isEmpty() && b.size() <= width + 1) {
            int carry = 0;
            QByteArray half;
            for (char d : digits) {
                const int cur = carry * 10 + d;
                if (!half.isEmpty() || cur / 2)
                    half += char(cur / 2);
                carry = cur % 2;
            }
            b.prepend(carry ? '1' : '0');
            digits = half;
        }
        if (!digits.isEmpty()) {
            *error = QStringLiteral("%1 does not fit in %2 bits").arg(value).arg(width);
            return false;
        }
    } else {
        *error = QStringLiteral("-radix takes Bin, Hex or Dec, not \"%1\"").arg(radix);
        return false;
    }
    while (b.size() > width && b.at(0) == '0')
        b.remove(0, 1);
    if (b.size() > width) {
        *error = QStringLiteral("%1 does not fit in %2 bits").arg(value).arg(width);
        return false;
    }
    const char lead = b.at(0);
    const char fill = lead == 'x' || lead == 'z' || lead == '?' ? lead : '0';
    *bits = QByteArray(width - b.size(), fill) + b;
    return true;
}

} // namespace

namespace WaveFileVerbs {

bool hasFlag(int objc, Tcl_Obj* const objv[], const char* flag, std::initializer_list<const char*> valued) {
    for (int i = 1; i < objc; ++i) {
        const QString w = text(objv[i]);
        if (w == QLatin1String(flag))
            return true;
        for (const char* v : valued)
            if (w == QLatin1String(v)) {
                ++i;
                break;
            }
    }
    return false;
}

// ona_find -waveform -signal NAME -value V ?-radix R? ?-from T? ?-backward?
int find(Tcl_Interp* ip, int objc, Tcl_Obj* const objv[]) {
    static const char* const kUsage =
        "ona_find -waveform -signal name -value value ?-radix Bin|Hex|Dec? ?-from time? ?-backward?";
    const QString verb = QStringLiteral("ona_find");
    CaptureVerbs::SignalFind f;
    const auto readFrom = [&](const QString& word, qint64* at, QString* error) {
        return parseTime(word, verb, QStringLiteral("-from"), at, error);
    };
    if (CaptureVerbs::readSignalFind(ip, objc, objv, true, kUsage, readFrom, &f) != TCL_OK)
        return TCL_ERROR;
    const QString &name = f.name, &value = f.value, &radix = f.radix;
    const bool backward = f.backward, haveFrom = f.haveFrom;
    qint64 from = f.from;
    QString error;
    const auto store = OpenWaveform::current();
    if (!store)
        return fail(ip, QStringLiteral("ona_find: no waveform is open (ona_open_waveform)"));
    const ChangeStore& s = *store;
    int signal = -1;
    if (varOf(ip, s, verb, name, &signal) != TCL_OK)
        return TCL_ERROR;
    const qint64 end = std::max<qint64>(s.endTime, 0);
    if (!haveFrom)
        from = backward ? end : 0;
    from = std::min(from, end);
    qint64 found = -1;
    if (s.kind(signal) == ChangeStore::Real) {
        bool ok = false;
        const double v = value.trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(v))
            return fail(ip,
                        QStringLiteral("ona_find: \"%1\" is a real variable, \"%2\" not a number").arg(name, value));
        found = s.findReal(signal, v, from, backward, end);
    } else {
        QByteArray bits;
        if (!patternOf(value, radix, s.width(signal), &bits, &error))
            return fail(ip, QStringLiteral("ona_find: %1").arg(error));
        found = s.findBits(signal, bits, from, backward, end);
    }
    Tcl_SetObjResult(ip, wide(found));
    return TCL_OK;
}

// ona_export_project -vcd FILE -waveform
int exportVcd(Tcl_Interp* ip, int objc, Tcl_Obj* const objv[]) {
    QString file;
    bool haveFile = false;
    for (int i = 1; i < objc; ++i) {
        const QString w = text(objv[i]);
        if (w == QLatin1String("-waveform"))
            continue;
        if (w == QLatin1String("-vcd") && i + 1 < objc) {
            file = text(objv[++i]);
            haveFile = true;
            continue;
        }
        return fail(ip, QStringLiteral("ona_export_project -waveform: takes only -vcd fileName, not \"%1\"").arg(w));
    }
    if (!haveFile)
        return usage(ip, "ona_export_project -vcd fileName -waveform");
    const auto store = OpenWaveform::current();
    if (!store)
        return fail(ip, QStringLiteral("ona_export_project: no waveform is open (ona_open_waveform)"));
    QString error;
    if (!VcdWriter::writeFile(*store, file, &error))
        return fail(ip, QStringLiteral("ona_export_project: %1").arg(error));
    return done(ip, QFileInfo(file).absoluteFilePath());
}

void registerVerbs(Tcl_Interp* interp) {
    OptionRow row;
    row.word = QStringLiteral("waveform");
    row.run = getWaveform;
    OptionTables::get().add(row);
    create(interp, {{"ona_open_waveform", cmdOpenWaveform}, {"ona_close_waveform", cmdCloseWaveform}});
}

} // namespace WaveFileVerbs
