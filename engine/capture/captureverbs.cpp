// The capture verbs: run, stop, manual trigger, wait and export; and the
// capture items of ona_get.

#include "onaverbs.h"

#include "capturerun.h"
#include "onadata.h"
#include "waveformmodel.h"

#include <QFileInfo>

using namespace Verbs;

namespace {

OnaData* data() { return OnaData::inst(); }
CaptureRun* capture() { return data()->capture(); }

ONA_CMD(cmdRun)
{
    Q_UNUSED(objv);
    if (objc != 1)
        return usage(ip, "ona_run");
    QString error;
    if (!capture()->startCapture(&error))
        return fail(ip, error);
    return done(ip);
}

ONA_CMD(cmdStop)
{
    Q_UNUSED(objv);
    if (objc != 1)
        return usage(ip, "ona_stop");
    capture()->stopCapture();
    return done(ip);
}

ONA_CMD(cmdManualTrig)
{
    Q_UNUSED(objv);
    if (objc != 1)
        return usage(ip, "ona_manualtrig");
    capture()->manualTrigger();
    return done(ip);
}

// Blocks until the capture ends (or the timeout passes) and returns the
// current core's status text. No event loop is needed.
ONA_CMD(cmdWait)
{
    int timeout = -1;
    if (objc == 3 && text(objv[1]) == QLatin1String("-timeout")) {
        if (Tcl_GetIntFromObj(nullptr, objv[2], &timeout) != TCL_OK || timeout < 0)
            return fail(ip, QStringLiteral("ona_wait: -timeout takes milliseconds (0 or more), not \"%1\"").arg(text(objv[2])));
    } else if (objc != 1) {
        return usage(ip, "ona_wait ?-timeout ms?");
    }
    if (!capture()->waitCapture(timeout))
        return fail(ip, QStringLiteral("ona_wait: the capture is still running after %1 ms").arg(timeout));
    return done(ip, OnaData::statusText(data()->getCurrentCoreStatus(-1), data()->getCurrentCorePnum(-1)));
}

ONA_CMD(cmdExportProject)
{
    // ona_export_project -vcd FILE ?-module NAME? | -txt FILE ?-siglist NAMES?
    QString error, file, module, siglist, format;
    for (int i = 1; i < objc; i += 2) {
        const QString option = text(objv[i]);
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
            module = value;   // a missing value is an empty name: the default applies
        } else if (option == QLatin1String("-siglist")) {
            siglist = value;
        } else {
            return fail(ip, QStringLiteral("ona_export_project: unknown option \"%1\": expected -vcd, -txt, -module or -siglist").arg(option));
        }
    }
    if (format.isEmpty())
        return usage(ip, "ona_export_project -vcd fileName ?-module name? | -txt fileName ?-siglist names?");
    const bool ok = format == QLatin1String("-vcd") ? capture()->exportVcd(file, module, &error)
                                                    : capture()->exportText(file, siglist, &error);
    return ok ? done(ip, QFileInfo(file).absoluteFilePath()) : fail(ip, error);
}

} // namespace

namespace CaptureVerbs {

namespace {

QString phaseName(int status)
{
    switch (status) {
    case AnalyzerCore::Configuring: return QStringLiteral("configuring");
    case AnalyzerCore::Armed: return QStringLiteral("armed");
    case AnalyzerCore::Sampling: return QStringLiteral("sampling");
    case AnalyzerCore::Uploading: return QStringLiteral("uploading");
    case AnalyzerCore::Ready: return QStringLiteral("idle");
    default: return QStringLiteral("done");
    }
}

} // namespace

int getCapture(Tcl_Interp* ip)
{
    OnaData* d = data();
    d->collectCapture();
    const int status = d->getCurrentCoreStatus(-1);
    Dict dict;
    dict.put("status", obj(OnaData::statusText(status, d->getCurrentCorePnum(-1)))).put("statuscode", obj(status))
        .put("busy", obj(d->isBusy())).put("pnum", obj(d->getCurrentCorePnum(-1))).put("pmax", obj(d->getCurrentCorePmax(-1)))
        .put("error", obj(d->getRunErr()));
    // How far the run is: its phase, and the samples taken (or uploaded) of all.
    dict.put("phase", obj(phaseName(status))).put("samplesdone", Tcl_NewWideIntObj(d->getSamplesDone(-1)))
        .put("samplestotal", Tcl_NewWideIntObj(d->getSamplesTotal(-1)));
    WaveformModel* m = d->getWDModel();
    const auto t = m ? m->traceData() : nullptr;
    dict.put("samples", Tcl_NewWideIntObj(t ? t->numSamples() : 0)).put("frames", obj(m ? m->getNumTriggerFrame() : 0))
        .put("framestarts", wideList(t ? t->frameStarts : QVector<qint64>()))
        .put("frametimes", wideList(t ? t->frameTimes : QVector<qint64>()))
        .put("triggers", wideList(t ? t->triggerPositions : QVector<qint64>()))
        .put("channels", list(t ? t->channelNames() : QStringList()));
    Tcl_SetObjResult(ip, dict.get());
    return TCL_OK;
}

// The bits of a signal, bus bit or tree row at a sample of the capture.
int getValue(Tcl_Interp* ip, const QString& name, Tcl_Obj* sampleObj)
{
    OnaData* d = data();
    d->collectCapture();
    WaveformModel* m = d->getWDModel();
    Tcl_WideInt sample = 0;
    if (Tcl_GetWideIntFromObj(nullptr, sampleObj, &sample) != TCL_OK)
        return fail(ip, QStringLiteral("ona_get value: expected a sample number, not \"%1\"").arg(text(sampleObj)));
    if (!m || !m->hasData())
        return fail(ip, QStringLiteral("ona_get value: the current core has no capture"));
    if (sample < 0 || sample >= m->getNumTime())
        return fail(ip, QStringLiteral("ona_get value: sample %1 is outside 0 to %2").arg(sample).arg(m->getNumTime() - 1));
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

void registerVerbs(Tcl_Interp* interp)
{
    create(interp, {
        {"ona_run", cmdRun},
        {"ona_stop", cmdStop},
        {"ona_manualtrig", cmdManualTrig},
        {"ona_wait", cmdWait},
        {"ona_export_project", cmdExportProject},
    });
}

} // namespace CaptureVerbs
