// ona_compare: the open simulator's waveform against the current core's capture.
//   ona_compare ?-map {simName capName ...}? ?-clock simName | -period ticks? ?-offset samples? ?-limit n?
// answers a dict (docs/commands.md):
//   offset N  aligned trigger|given  trigger {capSample simSample tick}|{}  samples {first last}
//   signals {{capName simName count {{start end capValue simValue} ...}} ...}  unpaired {capName ...}  note TEXT

#include "onaverbs.h"

#include "onadata.h"
#include "openwaveform.h"
#include "simcompare.h"
#include "waveformmodel.h"

#include <QRegularExpression>

using namespace Verbs;

namespace {

const char* const kUsage =
    "ona_compare ?-map {simName capName ...}? ?-clock simName | -period ticks? "
    "?-offset samples? ?-limit n?";

Tcl_Obj* wide(qint64 v) { return Tcl_NewWideIntObj(Tcl_WideInt(v)); }

bool wholeNumber(const QString& text, qint64* v) {
    static const QRegularExpression re(QStringLiteral("^-?[0-9]{1,18}$"));
    if (!re.match(text.trimmed()).hasMatch())
        return false;
    *v = text.trimmed().toLongLong();
    return true;
}

bool readMap(const QString& value, QVector<SimCompare::Mapping>* map, QString* error) {
    Tcl_Obj* o = obj(value);
    Tcl_IncrRefCount(o);
    int n = 0;
    Tcl_Obj** words = nullptr;
    const bool isList = Tcl_ListObjGetElements(nullptr, o, &n, &words) == TCL_OK;
    if (isList && n % 2 == 0 && n > 0)
        for (int i = 0; i < n; i += 2)
            map->append({text(words[i]), text(words[i + 1])});
    Tcl_DecrRefCount(o);
    if (!isList || n % 2 != 0 || n == 0) {
        *error = QStringLiteral("ona_compare: -map takes a list of simulation and capture names in pairs");
        return false;
    }
    return true;
}

Tcl_Obj* resultObj(const SimCompare::Result& r) {
    Tcl_Obj* signalList = Tcl_NewListObj(0, nullptr);
    for (const SimCompare::PairResult& p : r.pairs) {
        Tcl_Obj* spans = Tcl_NewListObj(0, nullptr);
        for (const SimCompare::Span& s : p.spans) {
            Tcl_Obj* one[] = {wide(s.start), wide(s.end), obj(s.capValue), obj(s.simValue)};
            Tcl_ListObjAppendElement(nullptr, spans, Tcl_NewListObj(4, one));
        }
        Tcl_Obj* one[] = {obj(p.capName), obj(p.simName), wide(p.count), spans};
        Tcl_ListObjAppendElement(nullptr, signalList, Tcl_NewListObj(4, one));
    }
    Tcl_Obj* range[] = {wide(r.first), wide(r.last)};
    Tcl_Obj* trigger = Tcl_NewListObj(0, nullptr);
    if (r.aligned) {
        Tcl_Obj* t[] = {wide(r.triggerSample), wide(r.simSample), wide(r.simTime)};
        trigger = Tcl_NewListObj(3, t);
    }
    Dict d;
    d.put("offset", wide(r.offset))
        .put("aligned", obj(r.aligned ? QStringLiteral("trigger") : QStringLiteral("given")))
        .put("trigger", trigger)
        .put("samples", Tcl_NewListObj(2, range))
        .put("signals", signalList)
        .put("unpaired", list(r.unpaired))
        .put("note", obj(QStringLiteral("x and z in the simulation differ from any 0 or 1")));
    return d.get();
}

// ona_compare ?-map {simName capName ...}? ?-clock simName | -period ticks? ?-offset samples? ?-limit n?
ONA_CMD(cmdCompare) {
    enum Key { Unknown, Map, Clock, Period, Offset, Limit };
    const VerbOptions::Pairs words = optionWords(objc, objv, 1, {});
    const auto options = VerbOptions::match(
        words, {{"-map", Map}, {"-clock", Clock}, {"-period", Period}, {"-offset", Offset}, {"-limit", Limit}}, Unknown,
        QStringLiteral("ona_compare"));
    SimCompare::Options o;
    QString error;
    for (int i = 0; i < options.size(); ++i) {
        const auto& opt = options.at(i);
        if (opt.key != Unknown && words.at(i).second.isNull())
            return usage(ip, kUsage);
        switch (opt.key) {
            case Unknown:
                return fail(ip, opt.value);
            case Map:
                o.map.clear();
                if (!readMap(opt.value, &o.map, &error))
                    return fail(ip, error);
                break;
            case Clock:
                if (opt.value.isEmpty())
                    return fail(ip, QStringLiteral("ona_compare: -clock takes a variable's name"));
                o.clock = opt.value;
                break;
            case Period:
                if (!wholeNumber(opt.value, &o.period) || o.period < 1 || o.period > (qint64(1) << 48))
                    return fail(ip, QStringLiteral("ona_compare: -period takes ticks of the waveform (1 to %1), not "
                                                   "\"%2\"")
                                        .arg(qint64(1) << 48)
                                        .arg(opt.value));
                break;
            case Offset:
                if (!wholeNumber(opt.value, &o.offset))
                    return fail(ip, QStringLiteral("ona_compare: -offset takes a whole number of samples, not \"%1\"")
                                        .arg(opt.value));
                o.haveOffset = true;
                break;
            case Limit:
                if (!VerbOptions::parseInt(opt.value.trimmed(), &o.limit))
                    return fail(ip, QStringLiteral("ona_compare: -limit takes a number of spans (1 to %1), not \"%2\"")
                                        .arg(SimCompare::kMaxLimit)
                                        .arg(opt.value));
                break;
        }
    }
    const auto store = OpenWaveform::current();
    if (!store)
        return fail(ip, QStringLiteral("ona_compare: no waveform is open (ona_open_waveform)"));
    OnaData* d = OnaData::inst();
    d->collectCapture();
    const WaveformModel* m = d->getWDModel();
    const auto trace = m && m->hasData() ? m->traceData() : nullptr;
    if (!trace)
        return fail(ip, QStringLiteral("ona_compare: the current core has no capture"));
    SimCompare::Result r;
    if (!SimCompare::compare(*store, *trace, o, &r, &error))
        return fail(ip, QStringLiteral("ona_compare: %1").arg(error));
    Tcl_SetObjResult(ip, resultObj(r));
    return TCL_OK;
}

} // namespace

namespace CompareVerbs {

void registerVerbs(Tcl_Interp* interp) { create(interp, {{"ona_compare", cmdCompare}}); }

} // namespace CompareVerbs
