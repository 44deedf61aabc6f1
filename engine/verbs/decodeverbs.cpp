// The protocol decoder verbs: add, set and remove a decoder of the current
// core; its annotations and the decoders as items of ona_get; the
// annotation search of ona_find and the annotation export of
// ona_export_project.

#include "onaverbs.h"
#include "optiontable.h"

#include "analyzercore.h"
#include "decoderset.h"
#include "onadata.h"
#include "safefile.h"
#include "waveformmodel.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTextStream>

using namespace Verbs;

namespace {

OnaData* data() { return OnaData::inst(); }

// The current core's decoders, or null with the reason.
DecoderSet* decoders(const char* verb, QString* error) {
    const auto core = data()->isProjectOpen() ? data()->getCorePtr(-1) : QSharedPointer<AnalyzerCore>();
    if (!core) {
        *error = QStringLiteral("%1: no project is open").arg(QLatin1String(verb));
        return nullptr;
    }
    if (!core->getDecoders())
        *error = QStringLiteral("%1: core \"%2\" is not an analyzer core").arg(QLatin1String(verb), core->getName());
    return core->getDecoders();
}

// A Tcl list of pairs ("tx tx rx {rx_data[0]}") into a map.
bool pairsOf(const QString& listText, const QString& what, QMap<QString, QString>* out, QString* error) {
    Tcl_Obj* o = obj(listText);
    Tcl_IncrRefCount(o);
    int n = 0;
    Tcl_Obj** items = nullptr;
    const bool ok = Tcl_ListObjGetElements(nullptr, o, &n, &items) == TCL_OK && n % 2 == 0;
    if (ok)
        for (int i = 0; i < n; i += 2)
            out->insert(text(items[i]), text(items[i + 1]));
    Tcl_DecrRefCount(o);
    if (!ok)
        *error = QStringLiteral("%1 takes a list of pairs, not \"%2\"").arg(what, listText);
    return ok;
}

enum Key { Unknown, Name, Channels, Options, Stack, Colour, Hidden, Position };

// The options of ona_add_decoder and ona_set_decoder applied to `e`.
bool applyOptions(const VerbOptions::List<Key>& options, bool adding, DecoderEntry* e, QString* error) {
    for (const auto& o : options) {
        switch (o.key) {
            case Unknown:
                *error = o.value;
                return false;
            case Name:
                e->name = o.value;
                break;
            case Channels:
                e->channels.clear();
                if (!pairsOf(o.value, QStringLiteral("-channels"), &e->channels, error))
                    return false;
                break;
            case Options: {
                // Adds to the options set; an empty value puts back the default.
                QMap<QString, QString> given;
                if (!pairsOf(o.value, QStringLiteral("-options"), &given, error))
                    return false;
                for (auto it = given.begin(); it != given.end(); ++it)
                    if (it.value().isEmpty())
                        e->options.remove(it.key());
                    else
                        e->options.insert(it.key(), it.value());
                break;
            }
            case Stack:
                if (!adding) {
                    *error = QStringLiteral("-stack is given when the decoder is added");
                    return false;
                }
                e->stack = o.value;
                break;
            case Colour:
                e->colour = o.value.isEmpty() ? QColor() : QColor::fromString(o.value);
                if (!o.value.isEmpty() && !e->colour.isValid()) {
                    *error = QStringLiteral("-colour takes a colour like #3080ff, not \"%1\"").arg(o.value);
                    return false;
                }
                break;
            case Position:
                break; // ona_set_decoder moves the entry after the rest
            case Hidden:
                if (!VerbOptions::parseSwitch(o.value, &e->hidden)) {
                    *error = QStringLiteral("-hidden takes 1 or 0, not \"%1\"").arg(o.value);
                    return false;
                }
                break;
        }
    }
    return true;
}

VerbOptions::List<Key> matchOptions(const VerbOptions::Pairs& pairs, const char* verb) {
    return VerbOptions::match(pairs,
                              {{"-name", Name},
                               {"-channels", Channels},
                               {"-options", Options},
                               {"-stack", Stack},
                               {"-colour", Colour},
                               {"-hidden", Hidden},
                               {"-position", Position}},
                              Unknown, QLatin1String(verb));
}

// ona_add_decoder DECODER ?-name N? ?-channels {ID SIGNAL...}? ?-options {ID VALUE...}? ?-stack N? ...
ONA_CMD(cmdAddDecoder) {
    if (objc < 2 || objc % 2 != 0)
        return usage(ip,
                     "ona_add_decoder decoder ?-name name? ?-channels {id signal ...}? ?-options {id value ...}? "
                     "?-stack name? ?-colour colour? ?-hidden 0|1?");
    QString error, name;
    DecoderSet* set = decoders("ona_add_decoder", &error);
    VerbOptions::Pairs pairs;
    DecoderEntry e;
    e.decoder = text(objv[1]);
    if (!set || !optionPairs(objc, objv, 2, &pairs, &error) ||
        !applyOptions(matchOptions(pairs, "ona_add_decoder"), true, &e, &error) || !set->add(e, &name, &error))
        return fail(ip, error.startsWith(QLatin1String("ona_")) ? error : QStringLiteral("ona_add_decoder: ") + error);
    data()->notifySettingDirty();
    return done(ip, name);
}

// ona_set_decoder NAME ?-name NEW? ?-channels ...? ?-options ...? ?-colour C? ?-hidden 0|1? ?-position N?
ONA_CMD(cmdSetDecoder) {
    if (objc < 4 || objc % 2 != 0)
        return usage(ip,
                     "ona_set_decoder name ?-name newName? ?-channels {id signal ...}? ?-options {id value ...}? "
                     "?-colour colour? ?-hidden 0|1? ?-position n?");
    QString error;
    DecoderSet* set = decoders("ona_set_decoder", &error);
    const QString name = text(objv[1]);
    VerbOptions::Pairs pairs;
    int at = set ? set->indexOf(name) : -1;
    if (set && at < 0)
        error = QStringLiteral("the core has no decoder \"%1\"").arg(name);
    DecoderEntry e = at >= 0 ? set->entries().at(at) : DecoderEntry();
    VerbOptions::List<Key> options;
    int position = -1;
    if (at >= 0 && optionPairs(objc, objv, 2, &pairs, &error)) {
        options = matchOptions(pairs, "ona_set_decoder");
        for (const auto& o : options)
            if (o.key == Position && !VerbOptions::parseInt(o.value, &position)) {
                error = QStringLiteral("-position takes a whole number, not \"%1\"").arg(o.value);
                at = -1;
                break;
            }
    } else {
        at = -1;
    }
    // Checked whole before anything changes: the move is refused first.
    if (at >= 0 && position >= 0) {
        error = set->moveFault(name, position);
        if (!error.isEmpty())
            at = -1;
    }
    if (at < 0 || !applyOptions(options, false, &e, &error) || !set->replace(name, e, &error) ||
        (position >= 0 && !set->move(e.name, position, &error)))
        return fail(ip, error.startsWith(QLatin1String("ona_")) ? error : QStringLiteral("ona_set_decoder: ") + error);
    data()->notifySettingDirty();
    return done(ip, e.name);
}

ONA_CMD(cmdRemoveDecoder) {
    if (objc != 2)
        return usage(ip, "ona_remove_decoder name");
    QString error;
    QStringList removed;
    DecoderSet* set = decoders("ona_remove_decoder", &error);
    if (!set || !set->remove(text(objv[1]), &removed, &error))
        return fail(ip,
                    error.startsWith(QLatin1String("ona_")) ? error : QStringLiteral("ona_remove_decoder: ") + error);
    data()->notifySettingDirty();
    Tcl_SetObjResult(ip, list(removed));
    return TCL_OK;
}

QString stateName(DecoderSet::State s) {
    // In the order of DecoderSet::State.
    static const char* const kNames[] = {"idle", "decoding", "done", "error"};
    return QLatin1String(kNames[qBound(0, int(s), 3)]);
}

// The finished result of a decoder for a reading verb: it waits for the
// decode, which a script's reads start themselves when the capture changed.
std::shared_ptr<const DecodeResult> finished(const char* verb, const QString& name, const DecoderInfo** info,
                                             QString* error) {
    DecoderSet* set = decoders(verb, error);
    if (!set)
        return nullptr;
    const int at = set->indexOf(name);
    if (at < 0) {
        *error = QStringLiteral("%1: the core has no decoder \"%2\"").arg(QLatin1String(verb), name);
        return nullptr;
    }
    data()->collectCapture();
    set->sync();
    set->wait();
    const DecoderSet::Status st = set->status(name);
    *info = DecodeLibrary::inst().find(set->entries().at(at).decoder);
    if (st.state == DecoderSet::Failed) {
        *error = QStringLiteral("%1: decoder \"%2\": %3").arg(QLatin1String(verb), name, st.error);
        return nullptr;
    }
    auto r = set->result(name);
    if (!r || !*info)
        *error = QStringLiteral("%1: decoder \"%2\" has nothing decoded: the core has no capture")
                     .arg(QLatin1String(verb), name);
    return *info ? r : nullptr;
}

bool sampleOf(const QString& t, const char* what, qint64* out, QString* error) {
    bool ok = false;
    *out = t.trimmed().toLongLong(&ok);
    if (!ok)
        *error = QStringLiteral("%1 takes a sample number, not \"%2\"").arg(QLatin1String(what), t);
    return ok;
}

struct Range {
    QString decoder, row;
    qint64 from = 0, to = std::numeric_limits<qint64>::max();
};

// The annotations of `r` in rows `rows` that reach into from..to, by start sample then row.
QVector<QPair<int, const Annotation*>> inRange(const DecodeResult& r, const QVector<int>& rows, qint64 from,
                                               qint64 to) {
    QVector<QPair<int, const Annotation*>> out;
    for (int row : rows) {
        const auto& v = r.rows.at(row);
        for (int i = r.firstEndingAfter(row, from - 1); i < v.size() && v.at(i).start <= to; ++i)
            if (std::max(v.at(i).end, v.at(i).start + 1) > from)
                out.append({row, &v.at(i)});
    }
    std::stable_sort(out.begin(), out.end(), [](const auto& a, const auto& b) {
        return a.second->start != b.second->start ? a.second->start < b.second->start : a.first < b.first;
    });
    return out;
}

bool rowsOf(const DecoderInfo& info, const QString& row, QVector<int>* rows, QString* error) {
    if (row.isEmpty()) {
        for (int i = 0; i < info.rows.size(); ++i)
            *rows << i;
        return true;
    }
    const int i = info.rowIndex(row);
    if (i < 0) {
        QStringList ids;
        for (const DecoderRow& r : info.rows)
            ids << r.id;
        *error = QStringLiteral("decoder \"%1\" has no row \"%2\" (it has: %3)")
                     .arg(info.id, row, ids.join(QStringLiteral(", ")));
        return false;
    }
    *rows << i;
    return true;
}

// ona_get annotations -decoder NAME ?-row ROW? ?-from S? ?-to S?
int getAnnotations(Tcl_Interp* ip, int objc, Tcl_Obj* const objv[]) {
    enum K { Bad, Decoder, Row, From, To };
    VerbOptions::Pairs pairs;
    QString error;
    Range range;
    bool haveDecoder = false;
    if (!optionPairs(objc, objv, 2, &pairs, &error))
        return fail(ip, QStringLiteral("ona_get annotations: ") + error);
    for (const auto& o : VerbOptions::match(pairs, {{"-decoder", Decoder}, {"-row", Row}, {"-from", From}, {"-to", To}},
                                            Bad, QStringLiteral("ona_get annotations"))) {
        if (o.key == Bad)
            return fail(ip, o.value);
        if (o.key == Decoder) {
            range.decoder = o.value;
            haveDecoder = true;
        } else if (o.key == Row) {
            range.row = o.value;
        } else if (!sampleOf(o.value, o.key == From ? "-from" : "-to", o.key == From ? &range.from : &range.to,
                             &error)) {
            return fail(ip, QStringLiteral("ona_get annotations: ") + error);
        }
    }
    if (!haveDecoder)
        return usage(ip, "ona_get annotations -decoder name ?-row row? ?-from sample? ?-to sample?");
    const DecoderInfo* info = nullptr;
    const auto r = finished("ona_get annotations", range.decoder, &info, &error);
    QVector<int> rows;
    if (!r || !rowsOf(*info, range.row, &rows, &error))
        return fail(ip,
                    error.startsWith(QLatin1String("ona_")) ? error : QStringLiteral("ona_get annotations: ") + error);
    Tcl_Obj* out = Tcl_NewListObj(0, nullptr);
    for (const auto& a : inRange(*r, rows, range.from, range.to)) {
        Tcl_Obj* item[4] = {Tcl_NewWideIntObj(a.second->start), Tcl_NewWideIntObj(a.second->end),
                            obj(info->rows.at(a.first).id), obj(a.second->texts.value(0))};
        Tcl_ListObjAppendElement(nullptr, out, Tcl_NewListObj(4, item));
    }
    Tcl_SetObjResult(ip, out);
    return TCL_OK;
}

// ona_get decoder NAME: the entry and the state of its decode.
int getDecoder(Tcl_Interp* ip, const QString& name) {
    QString error;
    DecoderSet* set = decoders("ona_get decoder", &error);
    if (!set)
        return fail(ip, error);
    const int at = set->indexOf(name);
    if (at < 0)
        return fail(ip, QStringLiteral("ona_get decoder: the core has no decoder \"%1\"").arg(name));
    const DecoderEntry& e = set->entries().at(at);
    auto flat = [](const QMap<QString, QString>& m) {
        QStringList l;
        for (auto it = m.begin(); it != m.end(); ++it)
            l << it.key() << it.value();
        return list(l);
    };
    const DecoderSet::Status st = set->status(name);
    const auto r = set->result(name);
    QStringList rows;
    if (const DecoderInfo* info = DecodeLibrary::inst().find(e.decoder))
        for (const DecoderRow& row : info->rows)
            rows << row.id;
    Dict d;
    d.put("decoder", obj(e.decoder))
        .put("stack", obj(e.stack))
        .put("channels", flat(e.channels))
        .put("options", flat(e.options))
        .put("colour", obj(e.colour.isValid() ? e.colour.name() : QString()))
        .put("hidden", obj(e.hidden))
        .put("rows", list(rows))
        .put("state", obj(stateName(st.state)))
        .put("error", obj(st.error))
        .put("annotations", Tcl_NewWideIntObj(r ? r->count() : 0));
    Tcl_SetObjResult(ip, d.get());
    return TCL_OK;
}

// Does an annotation text hold `needle`? A 0x number also matches the same
// number written in hexadecimal without the prefix, as decoders write bytes.
bool textMatches(const QStringList& texts, const QString& needle) {
    static const QRegularExpression hexRe(QStringLiteral("^0[xX]([0-9A-Fa-f]{1,16})$"));
    static const QRegularExpression words(QStringLiteral("[^0-9A-Za-z]+"));
    const auto hex = hexRe.match(needle.trimmed());
    const quint64 value = hex.hasMatch() ? hex.captured(1).toULongLong(nullptr, 16) : 0;
    for (const QString& t : texts) {
        if (t.contains(needle, Qt::CaseInsensitive))
            return true;
        if (hex.hasMatch())
            for (const QString& w : t.split(words, Qt::SkipEmptyParts)) {
                bool ok = false;
                if (w.size() <= 16 && w.toULongLong(&ok, 16) == value && ok)
                    return true;
            }
    }
    return false;
}

} // namespace

namespace DecodeVerbs {

// ona_find -decoder NAME -text T ?-row ROW? ?-from S? ?-backward?: the start of
// the first annotation at or after S (at or before, backward) whose text matches.
int findText(Tcl_Interp* ip, int objc, Tcl_Obj* const objv[]) {
    static const char* const kUsage = "ona_find -decoder name -text text ?-row row? ?-from sample? ?-backward?";
    enum FindKey { FindUnknown, FindDecoder, FindText, FindRow, FindFrom, FindBackward };
    QString name, needle, row, error;
    bool haveText = false, backward = false, haveFrom = false;
    qint64 from = 0;
    bool cut = false;
    const auto options = matchedWords(objc, objv, 1, {"-backward"},
                                      {{"-decoder", FindDecoder},
                                       {"-text", FindText},
                                       {"-row", FindRow},
                                       {"-from", FindFrom},
                                       {"-backward", FindBackward}},
                                      FindUnknown, QStringLiteral("ona_find"), &cut);
    for (const auto& o : options) {
        switch (o.key) {
            case FindUnknown:
                return fail(ip, o.value);
            case FindDecoder:
                name = o.value;
                break;
            case FindText:
                needle = o.value;
                haveText = true;
                break;
            case FindRow:
                row = o.value;
                break;
            case FindFrom:
                if (!sampleOf(o.value, "-from", &from, &error))
                    return fail(ip, QStringLiteral("ona_find: ") + error);
                haveFrom = true;
                break;
            case FindBackward:
                backward = true;
                break;
        }
    }
    // A word without its value ends the command: the usage says what it takes.
    if (cut || name.isEmpty() || !haveText || needle.isEmpty())
        return usage(ip, kUsage);
    const DecoderInfo* info = nullptr;
    const auto r = finished("ona_find", name, &info, &error);
    QVector<int> rows;
    if (!r || !rowsOf(*info, row, &rows, &error))
        return fail(ip, error.startsWith(QLatin1String("ona_")) ? error : QStringLiteral("ona_find: ") + error);
    qint64 best = -1;
    for (int ri : rows) {
        const auto& v = r->rows.at(ri);
        if (!backward) {
            for (int i = r->firstStartingAt(ri, haveFrom ? from : 0); i < v.size(); ++i)
                if (textMatches(v.at(i).texts, needle)) {
                    if (best < 0 || v.at(i).start < best)
                        best = v.at(i).start;
                    break;
                }
        } else {
            const qint64 limit = haveFrom ? from : std::numeric_limits<qint64>::max() - 1;
            for (int i = r->firstStartingAt(ri, limit + 1) - 1; i >= 0; --i)
                if (textMatches(v.at(i).texts, needle)) {
                    best = std::max(best, v.at(i).start);
                    break;
                }
        }
    }
    Tcl_SetObjResult(ip, Tcl_NewWideIntObj(best));
    return TCL_OK;
}

// ona_export_project -annotations FILE ?-decoder NAME?: CSV, one line an
// annotation, the decoders in their order, each by start sample.
int exportAnnotations(Tcl_Interp* ip, int objc, Tcl_Obj* const objv[]) {
    if (objc != 3 && !(objc == 5 && text(objv[3]) == QLatin1String("-decoder")))
        return usage(ip, "ona_export_project -annotations fileName ?-decoder name?");
    const QString file = text(objv[2]);
    QString error;
    DecoderSet* set = decoders("ona_export_project", &error);
    if (!set)
        return fail(ip, error);
    if (file.trimmed().isEmpty())
        return fail(ip, QStringLiteral("ona_export_project: no output file given"));
    QStringList names = objc == 5 ? QStringList{text(objv[4])} : set->names();
    if (names.isEmpty())
        return fail(ip, QStringLiteral("ona_export_project: the current core has no decoders"));
    struct Part {
        QString name;
        const DecoderInfo* info;
        std::shared_ptr<const DecodeResult> result;
    };
    QVector<Part> parts;
    for (const QString& n : names) {
        Part p{n, nullptr, nullptr};
        p.result = finished("ona_export_project", n, &p.info, &error);
        if (!p.result)
            return fail(ip, error);
        parts.append(p);
    }
    auto field = [](QString t) {
        if (t.contains(QLatin1Char(',')) || t.contains(QLatin1Char('"')) || t.contains(QLatin1Char('\n')) ||
            t.contains(QLatin1Char('\r')))
            t = QLatin1Char('"') + t.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
        return t;
    };
    const QString path = QFileInfo(file).absoluteFilePath();
    QString why;
    const bool ok = SafeFile::writeAtomically(
        path,
        [&](QIODevice* d, QString* fault) {
            QTextStream out(d);
            out.setEncoding(QStringConverter::Utf8);
            out << "decoder,row,class,start,end,text\n";
            for (const Part& p : parts) {
                QVector<int> rows;
                rowsOf(*p.info, QString(), &rows, &why);
                for (const auto& a : inRange(*p.result, rows, 0, std::numeric_limits<qint64>::max()))
                    out << field(p.name) << ',' << field(p.info->rows.at(a.first).id) << ','
                        << field(p.info->classes.value(a.second->cls).first) << ',' << a.second->start << ','
                        << a.second->end << ',' << field(a.second->texts.value(0)) << '\n';
            }
            out.flush();
            if (out.status() != QTextStream::Ok)
                *fault = QStringLiteral("the text could not be written");
            return out.status() == QTextStream::Ok;
        },
        &why);
    if (!ok)
        return fail(ip, QStringLiteral("ona_export_project: cannot write %1: %2").arg(path, why));
    return done(ip, path);
}

void registerVerbs(Tcl_Interp* interp) {
    OptionTable& get = OptionTables::get();
    get.add({QStringLiteral("decoders"),
             [](Tcl_Interp* ip, int, Tcl_Obj* const*) {
                 QString error;
                 DecoderSet* set = decoders("ona_get decoders", &error);
                 if (!set)
                     return fail(ip, error);
                 Tcl_SetObjResult(ip, list(set->names()));
                 return TCL_OK;
             },
             nullptr, 0, true});
    get.add({QStringLiteral("decoder"),
             [](Tcl_Interp* ip, int, Tcl_Obj* const objv[]) { return getDecoder(ip, text(objv[2])); }, nullptr, 1,
             true});
    get.add({QStringLiteral("annotations"), getAnnotations, nullptr, -1, true});
    create(interp, {
                       {"ona_add_decoder", cmdAddDecoder},
                       {"ona_set_decoder", cmdSetDecoder},
                       {"ona_remove_decoder", cmdRemoveDecoder},
                   });
}

} // namespace DecodeVerbs
