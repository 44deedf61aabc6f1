#include "projectsession.h"

#include "deviceregistry.h"

#include "decoderset.h"
#include "triggeremodel.h"
#include "triggerlang.h"
#include "triggersetting.h"
#include "triggerumodel.h"
#include "waveformmodel.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

using namespace ProjectFiles;

namespace {

// A saved row's name (`what`: a trigger unit or expression) must be valid and
// differ, in any case, from the names of the rows before it in `names`.
bool takeName(const QString& name, const char* what, const QString& where, QSet<QString>* names, QString* error) {
    const QString kind = QLatin1String(what);
    const QString why = TriggerLang::checkName(name, kind);
    if (!why.isEmpty()) {
        *error = QStringLiteral("%1: %2").arg(where, why);
        return false;
    }
    if (names->contains(name.toLower())) {
        *error = QStringLiteral("%1: %2 \"%3\" is listed twice").arg(where, kind, name);
        return false;
    }
    names->insert(name.toLower());
    return true;
}

} // namespace

ProjectSession::ProjectSession(OnaJTAG* cable, QObject* parent) : QObject(parent), m_cable(cable) {}

AnalyzerCore* ProjectSession::core(int id) const {
    if (id == -1)
        id = m_current;
    return id >= 0 && id < m_cores.size() ? m_cores.at(id).data() : nullptr;
}

QSharedPointer<AnalyzerCore> ProjectSession::corePtr(int id) const {
    if (id == -1)
        id = m_current;
    return id >= 0 && id < m_cores.size() ? m_cores.at(id) : QSharedPointer<AnalyzerCore>();
}

int ProjectSession::coreId(const QString& name) const {
    for (int i = 0; i < m_cores.size(); ++i)
        if (m_cores.at(i)->getName() == name)
            return i;
    return -1;
}

AnalyzerCore* ProjectSession::coreNamed(const QString& name) const {
    const int id = coreId(name);
    return id >= 0 ? m_cores.at(id).data() : nullptr;
}

QString ProjectSession::coreName(int id) const {
    const AnalyzerCore* p = core(id);
    return p ? p->getName() : QString();
}

AnalyzerCore* ProjectSession::currentAnalyzer(QString* error) const {
    if (!isOpen()) {
        *error = QStringLiteral("no project is open");
        return nullptr;
    }
    AnalyzerCore* p = core(-1);
    if (!p || !p->getTUModel()) {
        *error = QStringLiteral("the current core \"%1\" is not a logic analyzer core").arg(coreName(-1));
        return nullptr;
    }
    return p;
}

void ProjectSession::clear() {
    m_projectFile.clear();
    m_onlFile.clear();
    m_design = OnlDesign();
    m_waveformLayout = QJsonObject();
    m_cores.clear();
    m_current = -1;
    m_cable->setSettings(CableSettings());
    m_period = 10;
    m_clockUnit = QStringLiteral("ns");
}

bool ProjectSession::buildCores(const OnlDesign& design, const OnaProject& project, const QString& onaName,
                                Cores* cores, int* current, QStringList* warnings, QString* error) const {
    QSet<QString> setNames;
    for (const auto& s : project.userSets)
        setNames.insert(s.name);
    QHash<QString, int> setWidths;
    for (const auto& s : project.userSets)
        setWidths.insert(s.name, s.bits);
    for (const auto& s : design.enums)
        setWidths.insert(s.name, s.bits);

    QHash<QString, const OnaCore*> saved;
    for (const OnaCore& c : project.cores) {
        if (saved.contains(c.name)) {
            *error = QStringLiteral("%1: core \"%2\" is listed twice").arg(onaName, c.name);
            return false;
        }
        saved.insert(c.name, &c);
    }

    for (int i = 0; i < design.cores.size(); ++i) {
        auto core = QSharedPointer<AnalyzerCore>::create(i, design.cores.at(i));
        const OnaCore* s = saved.value(core->getName());
        if (s && core->getDecoders())
            core->getDecoders()->restore(s->decoders);
        if (s && core->getTUModel()) {
            const QString where = QStringLiteral("%1: core \"%2\"").arg(onaName, core->getName());
            core->setRun(s->run && core->hasInsert());
            TriggerUModel* tu = core->getTUModel();
            if (s->hasUnits && s->units.size() == tu->rowCount()) {
                QSet<QString> names;
                for (int r = 0; r < s->units.size(); ++r) {
                    const OnaUnit& u = s->units.at(r);
                    if (!takeName(u.name, "trigger unit", where, &names, error))
                        return false;
                    const QStringList& ops =
                        tu->getSerialBit(r) > 0 ? TriggerLang::serialOperatorNames() : TriggerLang::operatorNames();
                    if (!ops.contains(u.op)) {
                        *error =
                            QStringLiteral("%1: trigger unit \"%2\": unknown operator \"%3\"").arg(where, u.name, u.op);
                        return false;
                    }
                    if (!TriggerLang::radixNames().contains(u.radix)) {
                        if (!setWidths.contains(u.radix)) {
                            *error = QStringLiteral(
                                         "%1: trigger unit \"%2\": radix \"%3\" is neither a radix nor a token set")
                                         .arg(where, u.name, u.radix);
                            return false;
                        }
                        if (setWidths.value(u.radix) != tu->getNumSignal(r)) {
                            *error = QStringLiteral("%1: trigger unit \"%2\": token set \"%3\" does not have %4 bits")
                                         .arg(where, u.name, u.radix)
                                         .arg(tu->getNumSignal(r));
                            return false;
                        }
                    }
                    tu->setText(r, TriggerUModel::ColName, u.name);
                    tu->setText(r, TriggerUModel::ColOperator, u.op);
                    tu->setText(r, TriggerUModel::ColRadix, u.radix);
                    tu->setText(r, TriggerUModel::ColValue, u.value);
                }
            } else if (s->hasUnits) {
                warnings->append(
                    QStringLiteral("%1: trigger units differ from the debug-logic file; defaults used").arg(where));
            }
            TriggerEModel* te = core->getTEModel();
            if (s->hasExpressions && s->expressions.size() == te->rowCount()) {
                QSet<QString> names;
                for (int r = 0; r < s->expressions.size(); ++r) {
                    const OnlExpression& e = s->expressions.at(r);
                    if (!takeName(e.name, "trigger expression", where, &names, error))
                        return false;
                    te->setText(r, TriggerEModel::ColName, e.name);
                    te->setText(r, TriggerEModel::ColExpression, e.expression);
                    te->setEnabled(r, e.enable);
                }
            } else if (s->hasExpressions) {
                warnings->append(
                    QStringLiteral("%1: trigger expressions differ from the debug-logic file; defaults used")
                        .arg(where));
            }
            if (s->hasOptions) {
                TriggerSetting* ts = core->getTSModel();
                TriggerSetting merged = *ts;
                const TriggerOptionValues& o = s->options;
                merged.connectPorOnOpen = o.connectPorOnOpen;
                merged.positionPreSelected = o.positionPreSelected;
                merged.prePositionIndex = o.prePositionIndex;
                merged.userPosition = o.userPosition;
                merged.teCombination = o.teCombination;
                merged.samples = o.samples;
                merged.numTriggers = o.numTriggers;
                merged.finalCounterOn = o.finalCounterOn;
                merged.finalCounterPreset = o.finalCounterPreset;
                const QString why = merged.validate();
                if (!why.isEmpty()) {
                    *error = QStringLiteral("%1: trigger options: %2").arg(where, why);
                    return false;
                }
                merged.updateTriggerPosition();
                static_cast<TriggerOptionValues&>(*ts) = merged;
            }
        } else if (s) {
            core->setRun(false);
        }
        cores->append(core);
    }
    for (const OnaCore& c : project.cores) {
        bool found = false;
        for (const auto& d : design.cores)
            found |= d.name == c.name;
        if (!found)
            warnings->append(
                QStringLiteral("%1: core \"%2\" is no longer in the debug-logic file; its setup is dropped")
                    .arg(onaName, c.name));
    }
    *current = cores->isEmpty() ? -1 : 0;
    for (int i = 0; i < cores->size(); ++i)
        if (cores->at(i)->getName() == project.currentCore)
            *current = i;
    return true;
}

bool ProjectSession::load(const QString& path, Loaded* out, QString* error) const {
    if (path.trimmed().isEmpty()) {
        *error = QStringLiteral("no file name given");
        return false;
    }
    const QFileInfo fi(path);
    const QString abs = QDir::cleanPath(fi.absoluteFilePath());
    QByteArray data;
    OnaProject& project = out->project;
    QString onaPath = abs;
    QString onlPath;
    if (fi.suffix().compare(QLatin1String("onl"), Qt::CaseInsensitive) == 0) {
        // A debug-logic file alone starts a new analyzer project beside it.
        onlPath = abs;
        onaPath = QDir(fi.absolutePath()).absoluteFilePath(fi.completeBaseName() + QStringLiteral(".ona"));
        project.onl = fi.fileName();
    } else {
        if (!readFile(abs, &data, error))
            return false;
        if (!parseOna(data, abs, &project, error))
            return false;
        onlPath = QDir::cleanPath(QDir(fi.absolutePath()).absoluteFilePath(project.onl));
    }
    OnlDesign& design = out->design;
    if (!readFile(onlPath, &data, error))
        return false;
    if (!parseOnl(data, onlPath, &design, error))
        return false;
    for (const auto& u : project.userSets)
        for (const auto& e : design.enums)
            if (u.name == e.name) {
                *error =
                    QStringLiteral("%1: token set \"%2\" clashes with an enumeration of %3").arg(abs, u.name, onlPath);
                return false;
            }
    if (!buildCores(design, project, onaPath, &out->cores, &out->current, &out->warnings, error))
        return false;
    out->onaPath = onaPath;
    out->onlPath = onlPath;
    return true;
}

ProjectSession::Cores ProjectSession::install(Loaded&& loaded) {
    Cores old = std::move(m_cores);
    m_cores = std::move(loaded.cores);
    m_current = loaded.current;
    m_projectFile = loaded.onaPath;
    m_onlFile = loaded.onlPath;
    m_design = loaded.design;
    m_waveformLayout = loaded.project.waveform;
    m_cable->setSettings(loaded.project.cable);
    m_period = loaded.project.period;
    m_clockUnit = loaded.project.clockUnit;
    // The trigger page writes two flags of a core's setting directly and
    // then marks it dirty; the session announces that for the engine.
    for (const auto& c : m_cores)
        if (TriggerSetting* ts = c->getTSModel())
            ts->setDirtyHandler([this] { emit settingDirty(); });
    return old;
}

OnaProject ProjectSession::snapshot(const QString& onaPath, const QList<TokenSetData>& userSets) const {
    OnaProject p;
    p.onl = QDir(QFileInfo(onaPath).absolutePath()).relativeFilePath(m_onlFile);
    p.cable = cable();
    p.period = m_period;
    p.clockUnit = m_clockUnit;
    p.currentCore = coreName(-1);
    p.userSets = userSets;
    p.waveform = m_waveformLayout;
    // The layout of every core that shows a capture replaces the stored one.
    QJsonObject cores = p.waveform.value(QLatin1String("cores")).toObject();
    for (const auto& c : m_cores)
        if (c->getWDModel() && c->getWDModel()->hasData())
            cores.insert(c->getName(), c->getWDModel()->layout());
    if (!cores.isEmpty())
        p.waveform.insert(QStringLiteral("cores"), cores);
    for (const auto& c : m_cores) {
        OnaCore oc;
        oc.name = c->getName();
        oc.run = c->isRun();
        if (TriggerUModel* tu = c->getTUModel()) {
            oc.hasUnits = oc.hasExpressions = oc.hasOptions = true;
            for (int r = 0; r < tu->rowCount(); ++r)
                oc.units.append({tu->text(r, TriggerUModel::ColName), tu->text(r, TriggerUModel::ColOperator),
                                 tu->text(r, TriggerUModel::ColRadix), tu->text(r, TriggerUModel::ColValue)});
            TriggerEModel* te = c->getTEModel();
            for (int r = 0; r < te->rowCount(); ++r)
                oc.expressions.append(
                    {te->text(r, TriggerEModel::ColName), te->text(r, TriggerEModel::ColExpression), te->isEnabled(r)});
            oc.options = *c->getTSModel();
        }
        if (const DecoderSet* d = c->getDecoders())
            oc.decoders = d->entries();
        p.cores.append(oc);
    }
    return p;
}

bool ProjectSession::setCurrentCore(const QString& name, QString* error) {
    const int id = coreId(name);
    if (id < 0) {
        QStringList names;
        for (const auto& c : m_cores)
            names << c->getName();
        *error =
            isOpen()
                ? QStringLiteral("no core named \"%1\"; the cores are: %2").arg(name, names.join(QStringLiteral(", ")))
                : QStringLiteral("no project is open");
        return false;
    }
    if (id != m_current) {
        m_current = id;
        emit coreSetDirty(id);
    }
    return true;
}

bool ProjectSession::refuseWhileRunning(QString* error) const {
    if (!m_running || !m_running())
        return false;
    *error = QStringLiteral("a capture is running: stop it or wait for it");
    return true;
}

bool ProjectSession::setCoreRun(const QString& name, bool run, QString* error) {
    if (refuseWhileRunning(error))
        return false;
    const int id = coreId(name);
    if (id < 0)
        return setCurrentCore(name, error); // explains the missing core
    AnalyzerCore* c = core(id);
    if (run && !c->hasInsert()) {
        *error = QStringLiteral("core \"%1\" has no trigger logic and cannot take part in a run").arg(name);
        return false;
    }
    if (c->isRun() != run) {
        c->setRun(run);
        emit coreRunDirty(id, run);
    }
    return true;
}

bool ProjectSession::setProjectOptions(const ProjectOptions& options, QString* error) {
    CableSettings c = cable();
    QString unit = m_clockUnit;
    int period = m_period;
    const QString verb = QStringLiteral("ona_set_project");
    for (const auto& o : options) {
        const QString& v = o.value;
        switch (o.key) {
            case CableType:
                if (v != QLatin1String("USB") && v != QLatin1String("USB2") && v != QLatin1String("VORANTE") &&
                    v != QLatin1String("REMOTE")) {
                    *error =
                        QStringLiteral("%1: cable type must be USB, USB2, VORANTE or REMOTE, not \"%2\"").arg(verb, v);
                    return false;
                }
                c.type = v;
                break;
            case CablePort:
                if (!VerbOptions::parseInt(v, &c.port) || c.port < 0 || c.port > 0xFFFF) {
                    *error = QStringLiteral("%1: cable port must be a number from 0 to 65535, not \"%2\"").arg(verb, v);
                    return false;
                }
                break;
            case TckDelay:
                if (!VerbOptions::parseInt(v, &c.tckDelay) || c.tckDelay < 1 || c.tckDelay > 30) {
                    *error = QStringLiteral("%1: TCK delay must be from 1 to 30, not \"%2\"").arg(verb, v);
                    return false;
                }
                break;
            case Period: {
                static const QRegularExpression re(QStringLiteral("^([0-9]{1,7})(ns|ps)$"));
                const auto m = re.match(v.trimmed());
                period = m.hasMatch() ? m.captured(1).toInt() : 0;
                if (!m.hasMatch() || period < 1 || period > 1000000) {
                    *error = QStringLiteral(
                                 "%1: period must be a whole number from 1 to 1000000 followed by ns or ps, not \"%2\"")
                                 .arg(verb, v);
                    return false;
                }
                unit = m.captured(2);
                break;
            }
            case Device:
                if (!DeviceRegistry::kinds().contains(v)) {
                    *error = QStringLiteral("%1: target must be one of %2, not \"%3\"")
                                 .arg(verb, DeviceRegistry::kinds().join(QStringLiteral(", ")), v);
                    return false;
                }
                c.device = v;
                break;
            case CableHost:
                c.host = v;
                break;
            case Interface:
                c.interfaceFile = v;
                break;
            case Ftdi:
                c.ftdi = v.simplified();
                break;
            case Openocd:
                c.openocd = v.trimmed();
                break;
            case Tap:
                if (!OnaJTAG::parseTap(v, &c)) {
                    *error = QStringLiteral("%1: tap must be IRLENGTH USERINSTRUCTION IDCODE (numbers), not \"%2\"")
                                 .arg(verb, v);
                    return false;
                }
                break;
            case UnknownOption:
                *error = v;
                return false;
        }
    }
    const QString fault = OnaJTAG::fieldFault(c);
    if (!fault.isEmpty()) {
        *error = QStringLiteral("%1: %2").arg(verb, fault);
        return false;
    }
    if (!isOpen()) {
        *error = QStringLiteral("no project is open");
        return false;
    }
    const bool changed = c != cable() || period != m_period || unit != m_clockUnit;
    const bool otherTarget = DeviceRegistry::device(c.device) != DeviceRegistry::device(cable().device);
    m_cable->setSettings(c);
    m_period = period;
    m_clockUnit = unit;
    emit clockChanged();
    if (changed)
        emit settingDirty();
    if (otherTarget)
        emit targetChanged();
    return true;
}
