// The ona_* commands: argument checks and Tcl results. The work itself is
// done by OnaData; every command there checks everything before it changes
// anything, so a refused command leaves the engine as it was.

#include "onapackage.h"

#include "onadata.h"
#include "tokenmodel.h"
#include "triggeremodel.h"
#include "triggersetting.h"
#include "triggerumodel.h"
#include "waveformmodel.h"

#include <QFileInfo>

namespace {

QString text(Tcl_Obj* o)
{
    int len = 0;
    const char* s = Tcl_GetStringFromObj(o, &len);
    return QString::fromUtf8(s, len);
}

Tcl_Obj* obj(const QString& s)
{
    const QByteArray u = s.toUtf8();
    return Tcl_NewStringObj(u.constData(), int(u.size()));
}

Tcl_Obj* obj(int v) { return Tcl_NewIntObj(v); }
Tcl_Obj* obj(bool v) { return Tcl_NewIntObj(v ? 1 : 0); }

int fail(Tcl_Interp* ip, const QString& message)
{
    Tcl_SetObjResult(ip, obj(message));
    return TCL_ERROR;
}

int done(Tcl_Interp* ip, const QString& result = QString())
{
    Tcl_SetObjResult(ip, obj(result));
    return TCL_OK;
}

int usage(Tcl_Interp* ip, const char* text)
{
    return fail(ip, QStringLiteral("wrong # args: should be \"%1\"").arg(QLatin1String(text)));
}

// Reads "-option value" pairs from objv[start..].
bool optionPairs(int objc, Tcl_Obj* const objv[], int start, OnaData::Options* out, QString* error)
{
    for (int i = start; i < objc; i += 2) {
        const QString option = text(objv[i]);
        if (!option.startsWith(QLatin1Char('-'))) {
            *error = QStringLiteral("%1: expected an option beginning with '-', found \"%2\"").arg(text(objv[0]), option);
            return false;
        }
        if (i + 1 >= objc) {
            *error = QStringLiteral("%1: option %2 needs a value").arg(text(objv[0]), option);
            return false;
        }
        out->append({option, text(objv[i + 1])});
    }
    return true;
}

// Takes "-name NAME" out of the pairs.
bool takeName(OnaData::Options* options, QString* name, const QString& verb, QString* error)
{
    for (int i = 0; i < options->size(); ++i)
        if (options->at(i).first == QLatin1String("-name")) {
            *name = options->takeAt(i).second;
            return true;
        }
    *error = QStringLiteral("%1: -name is required").arg(verb);
    return false;
}

OnaData* data() { return OnaData::inst(); }

#define ONA_CMD(fn) int fn(ClientData, Tcl_Interp* ip, int objc, Tcl_Obj* const objv[])

ONA_CMD(cmdOpenProject)
{
    if (objc != 2)
        return usage(ip, "ona_open_project fileName");
    QString error;
    if (!data()->openProject(text(objv[1]), &error))
        return fail(ip, error);
    return done(ip, data()->getCurrentProject());
}

ONA_CMD(cmdSaveProject)
{
    if (objc > 2)
        return usage(ip, "ona_save_project ?fileName?");
    QString error;
    if (!data()->saveProject(objc == 2 ? text(objv[1]) : QString(), &error))
        return fail(ip, error);
    return done(ip, data()->getCurrentProject());
}

ONA_CMD(cmdCloseProject)
{
    Q_UNUSED(objv);
    if (objc != 1)
        return usage(ip, "ona_close_project");
    data()->closeProject();
    return done(ip);
}

ONA_CMD(cmdSetCore)
{
    OnaData::Options options;
    QString error, name;
    if (!optionPairs(objc, objv, 1, &options, &error) || !takeName(&options, &name, QStringLiteral("ona_set_core"), &error))
        return fail(ip, error);
    bool hasRun = false, run = false;
    for (const auto& o : options) {
        if (o.first != QLatin1String("-run"))
            return fail(ip, QStringLiteral("ona_set_core: unknown option \"%1\": expected -name or -run").arg(o.first));
        if (o.second != QLatin1String("on") && o.second != QLatin1String("off"))
            return fail(ip, QStringLiteral("ona_set_core: -run takes on or off, not \"%1\"").arg(o.second));
        hasRun = true;
        run = o.second == QLatin1String("on");
    }
    const bool ok = hasRun ? data()->setCoreRun(name, run, &error) : data()->setCurrentCore(name, &error);
    return ok ? done(ip) : fail(ip, error);
}

ONA_CMD(cmdSetProject)
{
    OnaData::Options options;
    QString error;
    if (objc < 3)
        return usage(ip, "ona_set_project -option value ?-option value ...?");
    if (!optionPairs(objc, objv, 1, &options, &error) || !data()->setProjectOptions(options, &error))
        return fail(ip, error);
    return done(ip);
}

ONA_CMD(cmdSetTU)
{
    OnaData::Options options;
    QString error, name;
    if (objc < 5)
        return usage(ip, "ona_set_tu -name unit -operator|-radix|-value text ?...?");
    if (!optionPairs(objc, objv, 1, &options, &error) || !takeName(&options, &name, QStringLiteral("ona_set_tu"), &error)
        || !data()->setTU(name, options, &error))
        return fail(ip, error);
    return done(ip);
}

ONA_CMD(cmdRenameTU)
{
    if (objc != 3)
        return usage(ip, "ona_rename_tu oldName newName");
    QString error;
    if (!data()->renameTU(text(objv[1]), text(objv[2]), &error))
        return fail(ip, error);
    return done(ip);
}

ONA_CMD(cmdSetTE)
{
    OnaData::Options options;
    QString error, name;
    if (objc < 5)
        return usage(ip, "ona_set_te -name expression -expression text|-enable on|off ?...?");
    if (!optionPairs(objc, objv, 1, &options, &error) || !takeName(&options, &name, QStringLiteral("ona_set_te"), &error)
        || !data()->setTE(name, options, &error))
        return fail(ip, error);
    return done(ip);
}

ONA_CMD(cmdRenameTE)
{
    if (objc != 3)
        return usage(ip, "ona_rename_te oldName newName");
    QString error;
    if (!data()->renameTE(text(objv[1]), text(objv[2]), &error))
        return fail(ip, error);
    return done(ip);
}

ONA_CMD(cmdSetTrigOptn)
{
    OnaData::Options options;
    QString error;
    if (objc < 3)
        return usage(ip, "ona_set_trigoptn -option value ?-option value ...?");
    if (!optionPairs(objc, objv, 1, &options, &error) || !data()->setTrigOptions(options, &error))
        return fail(ip, error);
    return done(ip);
}

ONA_CMD(cmdAddTokenSet)
{
    OnaData::Options options;
    QString error, name;
    bool hasName = false;
    int bits = 8;
    if (!optionPairs(objc, objv, 1, &options, &error))
        return fail(ip, error);
    for (const auto& o : options) {
        if (o.first == QLatin1String("-tokenset")) {
            name = o.second;
            hasName = true;
        } else if (o.first == QLatin1String("-bits")) {
            bool ok = false;
            bits = o.second.trimmed().toInt(&ok);
            if (!ok)
                return fail(ip, QStringLiteral("ona_add_tokenset: -bits takes a number, not \"%1\"").arg(o.second));
        } else {
            return fail(ip, QStringLiteral("ona_add_tokenset: unknown option \"%1\": expected -tokenset or -bits").arg(o.first));
        }
    }
    if (!hasName)
        return usage(ip, "ona_add_tokenset -tokenset name ?-bits width?");
    if (!data()->addTokenSet(name, bits, &error))
        return fail(ip, error);
    return done(ip);
}

ONA_CMD(cmdAddToken)
{
    if (objc != 3)
        return usage(ip, "ona_add_token tokenSet name=value");
    const QString pair = text(objv[2]);
    const int eq = pair.indexOf(QLatin1Char('='));
    if (eq < 0)
        return fail(ip, QStringLiteral("ona_add_token: expected name=value, not \"%1\"").arg(pair));
    QString error;
    if (!data()->addToken(text(objv[1]), pair.left(eq).trimmed(), pair.mid(eq + 1).trimmed(), &error))
        return fail(ip, error);
    return done(ip);
}

ONA_CMD(cmdSetToken)
{
    if (objc < 5)
        return usage(ip, "ona_set_token tokenSet token -name newName|-value value");
    OnaData::Options options;
    QString error;
    if (!optionPairs(objc, objv, 3, &options, &error)
        || !data()->setToken(text(objv[1]), text(objv[2]), options, &error))
        return fail(ip, error);
    return done(ip);
}

ONA_CMD(cmdSetTokenSet)
{
    if (objc < 4)
        return usage(ip, "ona_set_tokenset tokenSet -name newName|-bits width");
    OnaData::Options options;
    QString error;
    if (!optionPairs(objc, objv, 2, &options, &error) || !data()->setTokenSet(text(objv[1]), options, &error))
        return fail(ip, error);
    return done(ip);
}

ONA_CMD(cmdDelToken)
{
    if (objc != 3)
        return usage(ip, "ona_del_token tokenSet token");
    QString error;
    if (!data()->delToken(text(objv[1]), text(objv[2]), &error))
        return fail(ip, error);
    return done(ip);
}

ONA_CMD(cmdDelTokenSet)
{
    if (objc != 2)
        return usage(ip, "ona_del_tokenset tokenSet|-all");
    const QString arg = text(objv[1]);
    if (arg.isEmpty())
        return fail(ip, QStringLiteral("ona_del_tokenset: no token set named"));
    QString error;
    if (!data()->delTokenSet(arg == QLatin1String("-all") ? QString() : arg, &error))
        return fail(ip, error);
    return done(ip);
}

ONA_CMD(cmdImportTokenSet)
{
    if (objc != 2)
        return usage(ip, "ona_import_tokenset fileName");
    QString error;
    if (!data()->importTokenSets(text(objv[1]), &error))
        return fail(ip, error);
    return done(ip);
}

ONA_CMD(cmdExportTokenSet)
{
    if (objc != 2)
        return usage(ip, "ona_export_tokenset fileName");
    QString error;
    if (!data()->exportTokenSets(text(objv[1]), &error))
        return fail(ip, error);
    return done(ip);
}

ONA_CMD(cmdRun)
{
    Q_UNUSED(objv);
    if (objc != 1)
        return usage(ip, "ona_run");
    QString error;
    if (!data()->startCapture(&error))
        return fail(ip, error);
    return done(ip);
}

ONA_CMD(cmdStop)
{
    Q_UNUSED(objv);
    if (objc != 1)
        return usage(ip, "ona_stop");
    data()->stopCapture();
    return done(ip);
}

ONA_CMD(cmdManualTrig)
{
    Q_UNUSED(objv);
    if (objc != 1)
        return usage(ip, "ona_manualtrig");
    data()->manualTrigger();
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
    if (!data()->waitCapture(timeout))
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
    const bool ok = format == QLatin1String("-vcd") ? data()->exportVcd(file, module, &error)
                                                    : data()->exportText(file, siglist, &error);
    return ok ? done(ip, QFileInfo(file).absoluteFilePath()) : fail(ip, error);
}

ONA_CMD(cmdCloseController)
{
    Q_UNUSED(objc);
    Q_UNUSED(objv);
    // No controller session is ever open before the controller arrives.
    return done(ip, QStringLiteral("0"));
}

// ---------------------------------------------------------------------------
// ona_get

class Dict
{
public:
    Dict() : m_obj(Tcl_NewDictObj()) {}
    Dict& put(const char* key, Tcl_Obj* value)
    {
        Tcl_DictObjPut(nullptr, m_obj, Tcl_NewStringObj(key, -1), value);
        return *this;
    }
    Dict& put(const QString& key, Tcl_Obj* value)
    {
        Tcl_DictObjPut(nullptr, m_obj, obj(key), value);
        return *this;
    }
    Tcl_Obj* get() const { return m_obj; }

private:
    Tcl_Obj* m_obj;
};

Tcl_Obj* list(const QStringList& items)
{
    Tcl_Obj* l = Tcl_NewListObj(0, nullptr);
    for (const QString& s : items)
        Tcl_ListObjAppendElement(nullptr, l, obj(s));
    return l;
}

int getCores(Tcl_Interp* ip)
{
    QStringList names;
    for (int i = 0; i < data()->getNumCore(); ++i)
        names << data()->getCoreName(i);
    Tcl_SetObjResult(ip, list(names));
    return TCL_OK;
}

int getCore(Tcl_Interp* ip, const QString& name)
{
    OnaData* d = data();
    const int id = d->getCoreId(name);
    if (id < 0)
        return fail(ip, QStringLiteral("ona_get core: no core named \"%1\"").arg(name));
    const QSharedPointer<AnalyzerCore> c = d->getCorePtr(id);
    Dict dict;
    dict.put("name", obj(c->getName())).put("id", obj(id)).put("kind", obj(c->getKind()))
        .put("current", obj(id == d->getCurrentCore())).put("run", obj(c->isRun()))
        .put("insert", obj(c->hasInsert())).put("por", obj(c->isPOR())).put("connectpor", obj(c->getConnectPOR()))
        .put("errors", obj(d->getNumError(id))).put("status", obj(int(c->status)));
    Dict sigs;
    for (const auto& s : c->onl().signalList)
        sigs.put(s.name, obj(s.width));
    dict.put("signals", sigs.get());
    dict.put("tus", list(c->getTUModel() ? c->getTUModel()->names() : QStringList()));
    dict.put("tes", list(c->getTEModel() ? c->getTEModel()->names() : QStringList()));
    Tcl_SetObjResult(ip, dict.get());
    return TCL_OK;
}

int getTU(Tcl_Interp* ip, const QString& name)
{
    TriggerUModel* tu = data()->getTUModel();
    const int row = tu ? tu->rowOf(name) : -1;
    if (row < 0)
        return fail(ip, QStringLiteral("ona_get tu: no trigger unit named \"%1\" in the current core").arg(name));
    Dict dict;
    dict.put("name", obj(name)).put("signals", list(tu->signalRefs(row))).put("width", obj(tu->getNumSignal(row)))
        .put("serial", obj(tu->getSerialBit(row))).put("operator", obj(tu->text(row, TriggerUModel::ColOperator)))
        .put("radix", obj(tu->text(row, TriggerUModel::ColRadix))).put("value", obj(tu->text(row, TriggerUModel::ColValue)))
        .put("error", obj(tu->hasError(row))).put("message", obj(tu->errorText(row)));
    Tcl_SetObjResult(ip, dict.get());
    return TCL_OK;
}

int getTE(Tcl_Interp* ip, const QString& name)
{
    TriggerEModel* te = data()->getTEModel();
    const int row = te ? te->rowOf(name) : -1;
    if (row < 0)
        return fail(ip, QStringLiteral("ona_get te: no trigger expression named \"%1\" in the current core").arg(name));
    Dict dict;
    dict.put("name", obj(name)).put("expression", obj(te->text(row, TriggerEModel::ColExpression)))
        .put("enable", obj(te->isEnabled(row))).put("error", obj(te->hasError(row)))
        .put("message", obj(te->errorText(row)));
    Tcl_SetObjResult(ip, dict.get());
    return TCL_OK;
}

int getTrigOptn(Tcl_Interp* ip)
{
    TriggerSetting* s = data()->getTSModel();
    if (!s)
        return fail(ip, QStringLiteral("ona_get trigoptn: the current core has no trigger options"));
    s->updateTriggerPosition();
    Dict dict;
    dict.put("positionmode", obj(s->positionPreSelected ? QStringLiteral("preset") : QStringLiteral("user")))
        .put("position", obj(TriggerSetting::positionWord(s->prePositionIndex)))
        .put("userposition", obj(s->userPosition)).put("maxposition", obj(s->maxPosition))
        .put("triggerposition", obj(s->triggerPosition))
        .put("teall", obj(s->teCombination ? QStringLiteral("and") : QStringLiteral("or")))
        .put("samples", obj(s->samples)).put("minsamples", obj(s->minSamples)).put("maxsamples", obj(s->maxSamples))
        .put("numtriggers", obj(s->numTriggers)).put("maxtriggers", obj(s->maxTriggers))
        .put("capacity", obj(s->multiTriggerCapacity))
        .put("finalcounter", obj(s->finalCounterOn > 0 ? QStringLiteral("on") : QStringLiteral("off")))
        .put("finalcountervalue", obj(s->finalCounterPreset)).put("finalcountermax", obj(s->finalCounterMax))
        .put("por", obj(s->porSupported)).put("connectpor", obj(s->connectPorOnOpen));
    Tcl_SetObjResult(ip, dict.get());
    return TCL_OK;
}

int getTokenSets(Tcl_Interp* ip)
{
    Dict dict;
    for (const char* kindName : {"user", "ENUM"}) {
        const QString kind = QLatin1String(kindName);
        for (const TokenSetData& s : data()->getTokenModel()->sets(kind)) {
            Dict tokens;
            for (const auto& t : s.tokens)
                tokens.put(t.first, obj(QStringLiteral("b'") + t.second));
            Dict set;
            set.put("kind", obj(kind)).put("bits", obj(s.bits)).put("tokens", tokens.get());
            dict.put(s.name, set.get());
        }
    }
    Tcl_SetObjResult(ip, dict.get());
    return TCL_OK;
}

Tcl_Obj* wideList(const QVector<qint64>& v)
{
    Tcl_Obj* l = Tcl_NewListObj(0, nullptr);
    for (qint64 x : v)
        Tcl_ListObjAppendElement(nullptr, l, Tcl_NewWideIntObj(Tcl_WideInt(x)));
    return l;
}

int getCapture(Tcl_Interp* ip)
{
    OnaData* d = data();
    d->collectCapture();
    const int status = d->getCurrentCoreStatus(-1);
    Dict dict;
    dict.put("status", obj(OnaData::statusText(status, d->getCurrentCorePnum(-1)))).put("statuscode", obj(status))
        .put("busy", obj(d->isBusy())).put("pnum", obj(d->getCurrentCorePnum(-1))).put("pmax", obj(d->getCurrentCorePmax(-1)))
        .put("error", obj(d->getRunErr()));
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

int getProject(Tcl_Interp* ip)
{
    OnaData* d = data();
    Dict dict;
    dict.put("file", obj(d->getCurrentProject())).put("onl", obj(d->getOnlFile())).put("device", obj(d->getDevice()))
        .put("directory", obj(d->getCurrentDirectory())).put("impldirectory", obj(d->getImplDirectory()))
        .put("cabletype", obj(d->getCableType())).put("cableport", obj(d->getCablePort()))
        .put("tckdelay", obj(d->getTCKDelay())).put("period", obj(d->getPeriod()))
        .put("clockunit", obj(d->getClockUnit())).put("numcore", obj(d->getNumCore()))
        .put("currentcore", obj(d->getCoreName(-1))).put("numruncore", obj(d->getNumRunCore()))
        .put("numerror", obj(d->getNumError())).put("busy", obj(d->isBusy()))
        .put("timestamp", Tcl_NewWideIntObj(Tcl_WideInt(d->checkONLTimeStamp())));
    Tcl_SetObjResult(ip, dict.get());
    return TCL_OK;
}

ONA_CMD(cmdGet)
{
    const char* use = "ona_get cores|project|trigoptn|tokensets|capture|core name|tu name|te name|value signal sample";
    if (objc < 2)
        return usage(ip, use);
    const QString what = text(objv[1]);
    const bool named = what == QLatin1String("core") || what == QLatin1String("tu") || what == QLatin1String("te");
    const bool value = what == QLatin1String("value");
    if ((named && objc != 3) || (value && objc != 4) || (!named && !value && objc != 2))
        return usage(ip, use);
    if (what != QLatin1String("cores") && what != QLatin1String("project") && !data()->isProjectOpen())
        return fail(ip, QStringLiteral("ona_get %1: no project is open").arg(what));
    if (what == QLatin1String("cores"))
        return getCores(ip);
    if (what == QLatin1String("core"))
        return getCore(ip, text(objv[2]));
    if (what == QLatin1String("tu"))
        return getTU(ip, text(objv[2]));
    if (what == QLatin1String("te"))
        return getTE(ip, text(objv[2]));
    if (what == QLatin1String("trigoptn"))
        return getTrigOptn(ip);
    if (what == QLatin1String("tokensets"))
        return getTokenSets(ip);
    if (what == QLatin1String("project"))
        return getProject(ip);
    if (what == QLatin1String("capture"))
        return getCapture(ip);
    if (value)
        return getValue(ip, text(objv[2]), objv[3]);
    return fail(ip, QStringLiteral("ona_get: unknown item \"%1\": expected cores, core, tu, te, trigoptn, tokensets, project, capture or value")
                        .arg(what));
}

} // namespace

extern "C" int Ona_Init(Tcl_Interp* interp)
{
    if (!interp)
        return TCL_ERROR;
    static const struct {
        const char* name;
        Tcl_ObjCmdProc* proc;
    } commands[] = {
        {"ona_open_project", cmdOpenProject},   {"ona_save_project", cmdSaveProject},
        {"ona_close_project", cmdCloseProject}, {"ona_set_core", cmdSetCore},
        {"ona_set_project", cmdSetProject},     {"ona_set_tu", cmdSetTU},
        {"ona_rename_tu", cmdRenameTU},         {"ona_set_te", cmdSetTE},
        {"ona_rename_te", cmdRenameTE},         {"ona_set_trigoptn", cmdSetTrigOptn},
        {"ona_add_tokenset", cmdAddTokenSet},   {"ona_add_token", cmdAddToken},
        {"ona_set_token", cmdSetToken},         {"ona_set_tokenset", cmdSetTokenSet},
        {"ona_del_token", cmdDelToken},         {"ona_del_tokenset", cmdDelTokenSet},
        {"ona_import_tokenset", cmdImportTokenSet}, {"ona_export_tokenset", cmdExportTokenSet},
        {"ona_close_controller", cmdCloseController}, {"ona_get", cmdGet},
        {"ona_run", cmdRun},                    {"ona_stop", cmdStop},
        {"ona_manualtrig", cmdManualTrig},      {"ona_wait", cmdWait},
        {"ona_export_project", cmdExportProject},
    };
    OnaData::inst();
    for (const auto& c : commands)
        Tcl_CreateObjCommand(interp, c.name, c.proc, nullptr, nullptr);
    return Tcl_PkgProvide(interp, "ona", "1.0");
}
