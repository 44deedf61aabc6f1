// The trigger verbs: trigger units, expressions and options of the current
// core, and the token sets; and the trigger items of ona_get.

#include "onaverbs.h"
#include "optiontable.h"

#include "onadata.h"
#include "tokenmodel.h"
#include "triggeremodel.h"
#include "triggersetting.h"
#include "triggersetup.h"
#include "triggerumodel.h"

using namespace Verbs;

namespace {

OnaData* data() { return OnaData::inst(); }
TriggerSetup* triggers() { return data()->triggers(); }

// ona_set_tu and ona_set_te: "-name NAME" among options of `table`, handed
// to the setup's `set`.
template <typename Key, typename Set>
int setNamed(Tcl_Interp* ip, int objc, Tcl_Obj* const objv[], const char* verb, const char* usageText,
             std::initializer_list<std::pair<const char*, Key>> table, Key unknown, Set set) {
    VerbOptions::Pairs options;
    QString error, name;
    if (objc < 5)
        return usage(ip, usageText);
    const QString cmd = QLatin1String(verb);
    const bool ok = optionPairs(objc, objv, 1, &options, &error) && takeName(&options, &name, cmd, &error) &&
                    (triggers()->*set)(name, VerbOptions::match(options, table, unknown, cmd), &error);
    return finish(ip, ok, error);
}

// ona_rename_tu and ona_rename_te.
template <typename Rename>
int renameNamed(Tcl_Interp* ip, int objc, Tcl_Obj* const objv[], const char* usageText, Rename rename) {
    if (objc != 3)
        return usage(ip, usageText);
    QString error;
    return finish(ip, (triggers()->*rename)(text(objv[1]), text(objv[2]), &error), error);
}

ONA_CMD(cmdSetTU) {
    return setNamed(
        ip, objc, objv, "ona_set_tu", "ona_set_tu -name unit -operator|-radix|-value text ?...?",
        {{"-operator", TriggerSetup::TUOperator}, {"-radix", TriggerSetup::TURadix}, {"-value", TriggerSetup::TUValue}},
        TriggerSetup::TUUnknown, &TriggerSetup::setTU);
}

ONA_CMD(cmdRenameTU) { return renameNamed(ip, objc, objv, "ona_rename_tu oldName newName", &TriggerSetup::renameTU); }

ONA_CMD(cmdSetTE) {
    return setNamed(ip, objc, objv, "ona_set_te", "ona_set_te -name expression -expression text|-enable on|off ?...?",
                    {{"-expression", TriggerSetup::TEExpression}, {"-enable", TriggerSetup::TEEnable}},
                    TriggerSetup::TEUnknown, &TriggerSetup::setTE);
}

ONA_CMD(cmdRenameTE) { return renameNamed(ip, objc, objv, "ona_rename_te oldName newName", &TriggerSetup::renameTE); }

ONA_CMD(cmdSetTrigOptn) {
    if (objc < 3)
        return usage(ip, "ona_set_trigoptn -option value ?-option value ...?");
    QString error;
    const auto typed = matchedOptions(objc, objv, 1,
                                      {{"-position", TriggerSetup::TrigPosition},
                                       {"-positionmode", TriggerSetup::TrigPositionMode},
                                       {"-teall", TriggerSetup::TrigTeAll},
                                       {"-samples", TriggerSetup::TrigSamples},
                                       {"-numtriggers", TriggerSetup::TrigNumTriggers},
                                       {"-finalcounter", TriggerSetup::TrigFinalCounter},
                                       {"-finalcountervalue", TriggerSetup::TrigFinalCounterValue},
                                       {"-connectpor", TriggerSetup::TrigConnectPor}},
                                      TriggerSetup::TrigUnknown, QStringLiteral("ona_set_trigoptn"), &error);
    return finish(ip, typed && triggers()->setTrigOptions(*typed, &error), error);
}

ONA_CMD(cmdAddTokenSet) {
    VerbOptions::Pairs options;
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
            return fail(
                ip,
                QStringLiteral("ona_add_tokenset: unknown option \"%1\": expected -tokenset or -bits").arg(o.first));
        }
    }
    if (!hasName)
        return usage(ip, "ona_add_tokenset -tokenset name ?-bits width?");
    return finish(ip, triggers()->addTokenSet(name, bits, &error), error);
}

ONA_CMD(cmdAddToken) {
    if (objc != 3)
        return usage(ip, "ona_add_token tokenSet name=value");
    const QString pair = text(objv[2]);
    const int eq = pair.indexOf(QLatin1Char('='));
    if (eq < 0)
        return fail(ip, QStringLiteral("ona_add_token: expected name=value, not \"%1\"").arg(pair));
    QString error;
    return finish(ip, triggers()->addToken(text(objv[1]), pair.left(eq).trimmed(), pair.mid(eq + 1).trimmed(), &error),
                  error);
}

ONA_CMD(cmdSetToken) {
    if (objc < 5)
        return usage(ip, "ona_set_token tokenSet token -name newName|-value value");
    QString error;
    const auto typed =
        matchedOptions(objc, objv, 3, {{"-name", TriggerSetup::TokenName}, {"-value", TriggerSetup::TokenValue}},
                       TriggerSetup::TokenUnknown, QStringLiteral("ona_set_token"), &error);
    return finish(ip, typed && triggers()->setToken(text(objv[1]), text(objv[2]), *typed, &error), error);
}

ONA_CMD(cmdSetTokenSet) {
    if (objc < 4)
        return usage(ip, "ona_set_tokenset tokenSet -name newName|-bits width");
    QString error;
    const auto typed =
        matchedOptions(objc, objv, 2, {{"-name", TriggerSetup::TokenSetName}, {"-bits", TriggerSetup::TokenSetBits}},
                       TriggerSetup::TokenSetUnknown, QStringLiteral("ona_set_tokenset"), &error);
    return finish(ip, typed && triggers()->setTokenSet(text(objv[1]), *typed, &error), error);
}

ONA_CMD(cmdDelToken) {
    if (objc != 3)
        return usage(ip, "ona_del_token tokenSet token");
    QString error;
    return finish(ip, triggers()->delToken(text(objv[1]), text(objv[2]), &error), error);
}

ONA_CMD(cmdDelTokenSet) {
    if (objc != 2)
        return usage(ip, "ona_del_tokenset tokenSet|-all");
    const QString arg = text(objv[1]);
    if (arg.isEmpty())
        return fail(ip, QStringLiteral("ona_del_tokenset: no token set named"));
    QString error;
    return finish(ip, triggers()->delTokenSet(arg == QLatin1String("-all") ? QString() : arg, &error), error);
}

ONA_CMD(cmdImportTokenSet) {
    if (objc != 2)
        return usage(ip, "ona_import_tokenset fileName");
    QString error;
    return finish(ip, triggers()->importTokenSets(text(objv[1]), &error), error);
}

ONA_CMD(cmdExportTokenSet) {
    if (objc != 2)
        return usage(ip, "ona_export_tokenset fileName");
    QString error;
    return finish(ip, triggers()->exportTokenSets(text(objv[1]), &error), error);
}

} // namespace

namespace TriggerVerbs {

int getTU(Tcl_Interp* ip, const QString& name) {
    TriggerUModel* tu = data()->getTUModel();
    const int row = tu ? tu->rowOf(name) : -1;
    if (row < 0)
        return fail(ip, QStringLiteral("ona_get tu: no trigger unit named \"%1\" in the current core").arg(name));
    Dict dict;
    dict.put("name", obj(name))
        .put("signals", list(tu->signalRefs(row)))
        .put("width", obj(tu->getNumSignal(row)))
        .put("serial", obj(tu->getSerialBit(row)))
        .put("operator", obj(tu->text(row, TriggerUModel::ColOperator)))
        .put("radix", obj(tu->text(row, TriggerUModel::ColRadix)))
        .put("value", obj(tu->text(row, TriggerUModel::ColValue)))
        .put("error", obj(tu->hasError(row)))
        .put("message", obj(tu->errorText(row)));
    Tcl_SetObjResult(ip, dict.get());
    return TCL_OK;
}

int getTE(Tcl_Interp* ip, const QString& name) {
    TriggerEModel* te = data()->getTEModel();
    const int row = te ? te->rowOf(name) : -1;
    if (row < 0)
        return fail(ip, QStringLiteral("ona_get te: no trigger expression named \"%1\" in the current core").arg(name));
    Dict dict;
    dict.put("name", obj(name))
        .put("expression", obj(te->text(row, TriggerEModel::ColExpression)))
        .put("enable", obj(te->isEnabled(row)))
        .put("error", obj(te->hasError(row)))
        .put("message", obj(te->errorText(row)));
    Tcl_SetObjResult(ip, dict.get());
    return TCL_OK;
}

int getTrigOptn(Tcl_Interp* ip) {
    TriggerSetting* s = data()->getTSModel();
    if (!s)
        return fail(ip, QStringLiteral("ona_get trigoptn: the current core has no trigger options"));
    s->updateTriggerPosition();
    Dict dict;
    dict.put("positionmode", obj(s->positionPreSelected ? QStringLiteral("preset") : QStringLiteral("user")))
        .put("position", obj(TriggerSetting::positionWord(s->prePositionIndex)))
        .put("userposition", obj(s->userPosition))
        .put("maxposition", obj(s->maxPosition))
        .put("triggerposition", obj(s->triggerPosition))
        .put("teall", obj(s->teCombination ? QStringLiteral("and") : QStringLiteral("or")))
        .put("samples", obj(s->samples))
        .put("minsamples", obj(s->minSamples))
        .put("maxsamples", obj(s->maxSamples))
        .put("numtriggers", obj(s->numTriggers))
        .put("maxtriggers", obj(s->maxTriggers))
        .put("capacity", obj(s->multiTriggerCapacity))
        .put("finalcounter", obj(s->finalCounterOn > 0 ? QStringLiteral("on") : QStringLiteral("off")))
        .put("finalcountervalue", obj(s->finalCounterPreset))
        .put("finalcountermax", obj(s->finalCounterMax))
        .put("por", obj(s->porSupported))
        .put("connectpor", obj(s->connectPorOnOpen));
    Tcl_SetObjResult(ip, dict.get());
    return TCL_OK;
}

int getTokenSets(Tcl_Interp* ip) {
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

void registerVerbs(Tcl_Interp* interp) {
    OptionTable& get = OptionTables::get();
    get.add({QStringLiteral("tu"), [](Tcl_Interp* ip, int, Tcl_Obj* const objv[]) { return getTU(ip, text(objv[2])); },
             nullptr, 1, true});
    get.add({QStringLiteral("te"), [](Tcl_Interp* ip, int, Tcl_Obj* const objv[]) { return getTE(ip, text(objv[2])); },
             nullptr, 1, true});
    get.add({QStringLiteral("trigoptn"), [](Tcl_Interp* ip, int, Tcl_Obj* const*) { return getTrigOptn(ip); }, nullptr,
             0, true});
    get.add({QStringLiteral("tokensets"), [](Tcl_Interp* ip, int, Tcl_Obj* const*) { return getTokenSets(ip); },
             nullptr, 0, true});
    create(interp, {
                       {"ona_set_tu", cmdSetTU},
                       {"ona_rename_tu", cmdRenameTU},
                       {"ona_set_te", cmdSetTE},
                       {"ona_rename_te", cmdRenameTE},
                       {"ona_set_trigoptn", cmdSetTrigOptn},
                       {"ona_add_tokenset", cmdAddTokenSet},
                       {"ona_add_token", cmdAddToken},
                       {"ona_set_token", cmdSetToken},
                       {"ona_set_tokenset", cmdSetTokenSet},
                       {"ona_del_token", cmdDelToken},
                       {"ona_del_tokenset", cmdDelTokenSet},
                       {"ona_import_tokenset", cmdImportTokenSet},
                       {"ona_export_tokenset", cmdExportTokenSet},
                   });
}

} // namespace TriggerVerbs
