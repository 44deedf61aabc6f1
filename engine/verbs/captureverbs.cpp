// The capture verbs: run, stop, manual trigger, wait and export; and the
// capture items of ona_get.

#include "onaverbs.h"
#include "optiontable.h"

#include "capturerun.h"
#include "onadata.h"
#include "triggerlang.h"
#include "triggersetup.h"
#include "wavefileverbs.h"
#include "waveformmodel.h"

#include <QFileInfo>
#include <functional>

using namespace Verbs;

int CaptureVerbs::readSignalFind(Tcl_Interp* ip, int objc, Tcl_Obj* const objv[], bool waveform, const char* usageText,
                                 const ReadPosition& readFrom, SignalFind* out) {
    enum Key { Waveform, Signal, Value, Radix, From, Backward, Unknown };
    bool cut = false, haveName = false, haveValue = false;
    QString error;
    const auto options =
        waveform
            ? matchedWords(objc, objv, 1, {"-backward", "-waveform"},
                           {{"-waveform", Waveform},
                            {"-signal", Signal},
                            {"-value", Value},
                            {"-radix", Radix},
                            {"-from", From},
                            {"-backward", Backward}},
                           Unknown, QStringLiteral("ona_find"), &cut)
            : matchedWords(
                  objc, objv, 1, {"-backward"},
                  {{"-signal", Signal}, {"-value", Value}, {"-radix", Radix}, {"-from", From}, {"-backward", Backward}},
                  Unknown, QStringLiteral("ona_find"), &cut);
    for (const auto& o : options) {
        switch (o.key) {
            case Waveform:
                break;
            case Signal:
                out->name = o.value;
                haveName = true;
                break;
            case Value:
                out->value = o.value;
                haveValue = true;
                break;
            case Radix:
                out->radix = o.value;
                break;
            case From:
                if (!readFrom(o.value, &out->from, &error))
                    return fail(ip, error);
                out->haveFrom = true;
                break;
            case Backward:
                out->backward = true;
                break;
            case Unknown:
                return fail(ip, o.value);
        }
    }
    // A word without its value ends the command: the usage says what it takes.
    if (cut || !haveName || !haveValue)
        return usage(ip, usageText);
    return TCL_OK;
}

namespace {

OnaData* data() { return OnaData::inst(); }
CaptureRun* capture() { return data()->capture(); }

ONA_CMD(cmdRun) {
    Q_UNUSED(objv);
    return bareVerb(ip, objc, "ona_run", [](QString* error) { return capture()->startCapture(error); });
}

ONA_CMD(cmdStop) {
    Q_UNUSED(objv);
    return bareVerb(ip, objc, "ona_stop", [](QString*) {
        capture()->stopCapture();
        return true;
    });
}

ONA_CMD(cmdManualTrig) {
    Q_UNUSED(objv);
    return bareVerb(ip, objc, "ona_manualtrig", [](QString*) {
        capture()->manualTrigger();
        return true;
    });
}

// Blocks until the capture ends (or the timeout passes) and returns the
// current core's status text. No event loop is needed.
ONA_CMD(cmdWait) {
    int timeout = -1;
    if (objc == 3 && text(objv[1]) == QLatin1String("-timeout")) {
        if (Tcl_GetIntFromObj(nullptr, objv[2], &timeout) != TCL_OK || timeout < 0)
            return fail(
                ip, QStringLiteral("ona_wait: -timeout takes milliseconds (0 or more), not \"%1\"").arg(text(objv[2])));
    } else if (objc != 1) {
        return usage(ip, "ona_wait ?-timeout ms?");
    }
    if (!capture()->waitCapture(timeout))
        return fail(ip, QStringLiteral("ona_wait: the capture is still running after %1 ms").arg(timeout));
    return done(ip, OnaData::statusText(data()->getCurrentCoreStatus(-1), data()->getCurrentCorePnum(-1)));
}

ONA_CMD(cmdExportProject) {
    // ona_export_project -vcd FILE ?-module NAME? ?-siglist NAMES? ?-scalar? | -txt FILE ?-siglist NAMES?
    //                 | -annotations FILE ?-decoder NAME?
    if (objc > 1 && text(objv[1]) == QLatin1String("-annotations"))
        return DecodeVerbs::exportAnnotations(ip, objc, objv);
    if (WaveFileVerbs::hasFlag(objc, objv, "-waveform", {"-vcd", "-txt", "-module", "-siglist"}))
        return WaveFileVerbs::exportVcd(ip, objc, objv);
    QString error, file, module, siglist, format;
    bool scalar = false;
    for (int i = 1; i < objc; i += 2) {
        const QString option = text(objv[i]);
        if (option == QLatin1String("-scalar")) {
            // A flag: no value follows.
            scalar = true;
            --i;
            continue;
        }
        const bool hasValue = i + 1 < objc;
        const QString value = hasValue ? text(objv[i + 1]) : QString();
        if (option == QLatin1String("-vcd") || option == QLatin1String("-txt")) {
            if (!format.isEmpty())
                return fail(ip, QStringLiteral("ona_export_project: give one of -vcd or -txt"));
            if (!hasValue)
                return fail(ip, QStringLiteral("ona_export_project: %1 needs a file name").arg(option));
            format = option;
            file = value;
        } else if (option == QLatin1String("-module")) {
            module = value; // a missing value is an empty name: the default applies
        } else if (option == QLatin1String("-siglist")) {
            siglist = value;
        } else {
            return fail(
                ip, QStringLiteral(
                        "ona_export_project: unknown option \"%1\": expected -vcd, -txt, -module, -siglist or -scalar")
                        .arg(option));
        }
    }
    if (format.isEmpty())
        return usage(ip,
                     "ona_export_project -vcd fileName ?-module name? ?-siglist names? ?-scalar? | -txt fileName "
                     "?-siglist names?");
    if (scalar && format != QLatin1String("-vcd"))
        return fail(ip, QStringLiteral("ona_export_project: -scalar applies to -vcd only"));
    const bool ok = format == QLatin1String("-vcd") ? capture()->exportVcd(file, module, &error, siglist, scalar)
                                                    : capture()->exportText(file, siglist, &error);
    return ok ? done(ip, QFileInfo(file).absoluteFilePath()) : fail(ip, error);
}

// The channels a name stands for in the current capture, most significant
// first: a channel (a one-bit signal or a bus bit), a row of the waveform
// tree (a bus the user grouped, or a signal's bus of bits), or the bits
// "NAME[i]" of a captured signal.
QVector<int> channelsNamed(const WaveformModel& m, const QString& name) {
    const auto t = m.traceData();
    const int ch = t->channelOf(name);
    if (ch >= 0)
        return {ch};
    const QModelIndex row = m.rowNamed(name);
    if (row.isValid())
        return m.channelsOf(row);
    QVector<int> bits;
    for (int c = 0; c < t->numChannels(); ++c)
        if (t->channelNames().at(c).startsWith(name + QLatin1Char('[')))
            bits << c;
    return bits;
}

// ona_find -signal NAME -value V ?-radix R? ?-from SAMPLE? ?-backward?
ONA_CMD(cmdFind) {
    static const char* const kUsage =
        "ona_find -signal name -value value ?-radix Bin|Oct|Dec|Hex|Signed|ASCII|tokenSet? ?-from sample? "
        "?-backward? | -decoder name -text text ?-row row? ?-from sample? ?-backward?";
    for (int i = 1; i < objc; ++i)
        if (text(objv[i]) == QLatin1String("-decoder"))
            return DecodeVerbs::findText(ip, objc, objv);
    if (WaveFileVerbs::hasFlag(objc, objv, "-waveform", {"-signal", "-value", "-radix", "-from"}))
        return WaveFileVerbs::find(ip, objc, objv);
    CaptureVerbs::SignalFind f;
    const auto readFrom = [](const QString& word, qint64* at, QString* error) {
        Tcl_WideInt v = 0;
        Tcl_Obj* o = obj(word);
        Tcl_IncrRefCount(o);
        const bool number = Tcl_GetWideIntFromObj(nullptr, o, &v) == TCL_OK;
        Tcl_DecrRefCount(o);
        *at = v;
        if (!number)
            *error = QStringLiteral("ona_find: -from takes a sample number, not \"%1\"").arg(word);
        return number;
    };
    if (CaptureVerbs::readSignalFind(ip, objc, objv, false, kUsage, readFrom, &f) != TCL_OK)
        return TCL_ERROR;
    const QString &name = f.name, &value = f.value, &radix = f.radix;
    const bool backward = f.backward, haveFrom = f.haveFrom;
    qint64 from = f.from;
    OnaData* d = data();
    d->collectCapture();
    WaveformModel* m = d->getWDModel();
    if (!m || !m->hasData())
        return fail(ip, QStringLiteral("ona_find: the current core has no capture"));
    const QVector<int> channels = channelsNamed(*m, name);
    if (channels.isEmpty())
        return fail(ip, QStringLiteral("ona_find: no signal or bus named \"%1\" in the capture").arg(name));
    QString bits, error;
    const int numeric = TriggerLang::radixNames().indexOf(radix);
    const int busRadix = WaveformModel::radixOfWord(radix);
    if (busRadix == SigTreeData::Signed || busRadix == SigTreeData::Ascii) {
        if (!WaveformModel::parseRadixValue(value, busRadix, channels.size(), &bits, &error))
            return fail(ip, QStringLiteral("ona_find: %1").arg(error));
    } else if (numeric >= 0) {
        if (!TriggerLang::parseNumber(value.trimmed(), numeric, channels.size(), true, &bits, &error))
            return fail(ip, QStringLiteral("ona_find: %1").arg(error));
    } else {
        const TriggerLang::TokenLookup tokens = d->triggers()->tokenLookup();
        int width = 0;
        if (!tokens.set || !tokens.set(radix, &width))
            return fail(ip, QStringLiteral(
                                "ona_find: -radix takes Bin, Oct, Dec, Hex, Signed, ASCII or a token set, not \"%1\"")
                                .arg(radix));
        if (width != channels.size())
            return fail(ip, QStringLiteral("ona_find: token set \"%1\" is %2 bits wide, \"%3\" is %4")
                                .arg(radix)
                                .arg(width)
                                .arg(name)
                                .arg(channels.size()));
        if (!tokens.token(radix, value, &bits))
            return fail(ip, QStringLiteral("ona_find: token set \"%1\" has no token \"%2\"").arg(radix, value));
    }
    const auto t = m->traceData();
    if (!haveFrom)
        from = backward ? t->numSamples() - 1 : 0;
    // Past either end: forward from before the start is from the start,
    // backward from past the end is from the last sample.
    const qint64 start = backward ? qMin<qint64>(from, t->numSamples() - 1) : qMax<qint64>(from, 0);
    Tcl_SetObjResult(ip, Tcl_NewWideIntObj(t->findValue(channels, bits, start, backward)));
    return TCL_OK;
}

} // namespace

namespace CaptureVerbs {

namespace {

QString phaseName(int status) {
    switch (status) {
        case AnalyzerCore::Configuring:
            return QStringLiteral("configuring");
        case AnalyzerCore::Armed:
            return QStringLiteral("armed");
        case AnalyzerCore::Sampling:
            return QStringLiteral("sampling");
        case AnalyzerCore::Uploading:
            return QStringLiteral("uploading");
        case AnalyzerCore::Ready:
            return QStringLiteral("idle");
        default:
            return QStringLiteral("done");
    }
}

} // namespace

int getCapture(Tcl_Interp* ip) {
    OnaData* d = data();
    d->collectCapture();
    const int status = d->getCurrentCoreStatus(-1);
    Dict dict;
    dict.put("status", obj(OnaData::statusText(status, d->getCurrentCorePnum(-1))))
        .put("statuscode", obj(status))
        .put("busy", obj(d->isBusy()))
        .put("pnum", obj(d->getCurrentCorePnum(-1)))
        .put("pmax", obj(d->getCurrentCorePmax(-1)))
        .put("error", obj(d->getRunErr()));
    // How far the run is: its phase, and the samples taken (or uploaded) of all.
    dict.put("phase", obj(phaseName(status)))
        .put("samplesdone", Tcl_NewWideIntObj(d->getSamplesDone(-1)))
        .put("samplestotal", Tcl_NewWideIntObj(d->getSamplesTotal(-1)));
    WaveformModel* m = d->getWDModel();
    const auto t = m ? m->traceData() : nullptr;
    dict.put("samples", Tcl_NewWideIntObj(t ? t->numSamples() : 0))
        .put("frames", obj(m ? m->getNumTriggerFrame() : 0))
        .put("framestarts", wideList(t ? t->frameStarts : QVector<qint64>()))
        .put("frametimes", wideList(t ? t->frameTimes : QVector<qint64>()))
        .put("armtime", Tcl_NewWideIntObj(t ? t->armTime : -1))
        .put("triggers", wideList(t ? t->triggerPositions : QVector<qint64>()))
        .put("channels", list(t ? t->channelNames() : QStringList()));
    Tcl_SetObjResult(ip, dict.get());
    return TCL_OK;
}

// The bits of a signal, bus bit or tree row at a sample of the capture.
int getValue(Tcl_Interp* ip, const QString& name, Tcl_Obj* sampleObj) {
    OnaData* d = data();
    d->collectCapture();
    WaveformModel* m = d->getWDModel();
    Tcl_WideInt sample = 0;
    if (Tcl_GetWideIntFromObj(nullptr, sampleObj, &sample) != TCL_OK)
        return fail(ip, QStringLiteral("ona_get value: expected a sample number, not \"%1\"").arg(text(sampleObj)));
    if (!m || !m->hasData())
        return fail(ip, QStringLiteral("ona_get value: the current core has no capture"));
    if (sample < 0 || sample >= m->getNumTime())
        return fail(ip,
                    QStringLiteral("ona_get value: sample %1 is outside 0 to %2").arg(sample).arg(m->getNumTime() - 1));
    const auto t = m->traceData();
    QVector<int> channels;
    const int ch = t->channelOf(name);
    if (ch >= 0) {
        channels << ch;
    } else {
        for (int c = 0; c < t->numChannels(); ++c)
            if (t->channelNames().at(c).startsWith(name + QLatin1Char('[')))
                channels << c;
    }
    if (channels.isEmpty())
        return fail(ip, QStringLiteral("ona_get value: no signal named \"%1\" in the capture").arg(name));
    return done(ip, t->bits(channels, sample));
}

// The current core's cursors: name -> sample, in sample order.
int getCursors(Tcl_Interp* ip) {
    OnaData* d = data();
    d->collectCapture();
    Dict dict;
    if (const WaveformModel* m = d->getWDModel())
        for (const auto& c : m->cursors())
            dict.put(c.first, Tcl_NewWideIntObj(c.second));
    Tcl_SetObjResult(ip, dict.get());
    return TCL_OK;
}

void registerVerbs(Tcl_Interp* interp) {
    OptionTable& get = OptionTables::get();
    get.add({QStringLiteral("cursors"), [](Tcl_Interp* ip, int, Tcl_Obj* const*) { return getCursors(ip); }, nullptr, 0,
             true});
    get.add({QStringLiteral("capture"), [](Tcl_Interp* ip, int, Tcl_Obj* const*) { return getCapture(ip); }, nullptr, 0,
             true});
    get.add({QStringLiteral("value"),
             [](Tcl_Interp* ip, int, Tcl_Obj* const objv[]) { return getValue(ip, text(objv[2]), objv[3]); }, nullptr,
             2, true});
    create(interp, {
                       {"ona_run", cmdRun},
                       {"ona_stop", cmdStop},
                       {"ona_manualtrig", cmdManualTrig},
                       {"ona_wait", cmdWait},
                       {"ona_export_project", cmdExportProject},
                       {"ona_find", cmdFind},
                   });
}

} // namespace CaptureVerbs
