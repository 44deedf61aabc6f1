#include "onadata.h"

#include "onajtag.h"
#include "tokenmodel.h"
#include "triggeremodel.h"
#include "triggersetting.h"
#include "triggerumodel.h"
#include "waveformmodel.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSet>

// Quiet unless asked for (QT_LOGGING_RULES="ondrel.engine.debug=true").
Q_LOGGING_CATEGORY(lcEngine, "ondrel.engine", QtInfoMsg)

using namespace ProjectFiles;

const QStringList OnaData::radix_list{QStringLiteral("Bin"), QStringLiteral("Oct"), QStringLiteral("Dec"),
                                      QStringLiteral("Hex")};
const QStringList OnaData::operator_list{
    QStringLiteral("=="), QStringLiteral("!="), QStringLiteral("<"), QStringLiteral("<="),
    QStringLiteral(">"), QStringLiteral(">="), QStringLiteral("rising edge"), QStringLiteral("falling edge"),
    QStringLiteral("any edge"), QStringLiteral("in range"), QStringLiteral("not in range")};
const QStringList OnaData::serial_list{QStringLiteral("=="), QStringLiteral("!=")};

namespace {

bool parseInt(const QString& text, int* value)
{
    static const QRegularExpression re(QStringLiteral("^-?[0-9]{1,10}$"));
    if (!re.match(text).hasMatch())
        return false;
    bool ok = false;
    const qlonglong v = text.toLongLong(&ok);
    if (!ok || v < INT_MIN || v > INT_MAX)
        return false;
    *value = int(v);
    return true;
}

bool parseSwitch(const QString& text, bool* on)
{
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("on") || t == QLatin1String("1") || t == QLatin1String("true") || t == QLatin1String("yes")) {
        *on = true;
        return true;
    }
    if (t == QLatin1String("off") || t == QLatin1String("0") || t == QLatin1String("false") || t == QLatin1String("no")) {
        *on = false;
        return true;
    }
    return false;
}

QString unknownOption(const QString& option, const QString& verb, const QString& allowed)
{
    return QStringLiteral("%1: unknown option \"%2\": expected %3").arg(verb, option, allowed);
}

} // namespace

OnaData* OnaData::inst()
{
    // Lives for the whole process: models handed to views must outlive them.
    static OnaData* instance = new OnaData;
    return instance;
}

OnaData::OnaData()
    : m_tokens(new TokenModel(this))
    , m_jtag(new OnaJTAG(this))
    , m_thread(new OnaThread(m_jtag, this))
{
    // Queued: the thread ends in its own thread; the capture is installed in
    // ours, before the tool hears doneThread.
    connect(m_thread, &OnaThread::captureFinished, this, &OnaData::collectCapture, Qt::QueuedConnection);
}

OnaData::~OnaData() = default;

QString OnaData::getCurrentDirectory() const
{
    return m_projectFile.isEmpty() ? QString() : QFileInfo(m_projectFile).absolutePath();
}

QString OnaData::getImplDirectory() const
{
    return m_onlFile.isEmpty() ? QString() : QFileInfo(m_onlFile).absolutePath();
}

quint64 OnaData::checkONLTimeStamp() const
{
    if (m_onlFile.isEmpty())
        return 0;
    QFileInfo fi(m_onlFile);
    fi.setCaching(false);
    if (!fi.exists())
        return 0;
    // The size takes part so that a rewrite within the clock's resolution
    // still changes the stamp.
    return quint64(fi.lastModified().toMSecsSinceEpoch()) ^ (quint64(fi.size()) << 44);
}

AnalyzerCore* OnaData::core(int id) const
{
    if (id == -1)
        id = m_current;
    return id >= 0 && id < m_cores.size() ? m_cores.at(id).data() : nullptr;
}

QString OnaData::getCoreName(int c) const
{
    const AnalyzerCore* p = core(c);
    return p ? p->getName() : QString();
}

int OnaData::getCoreId(const QString& name) const
{
    for (int i = 0; i < m_cores.size(); ++i)
        if (m_cores.at(i)->getName() == name)
            return i;
    return -1;
}

QSharedPointer<AnalyzerCore> OnaData::getCorePtr(int c) const
{
    if (c == -1)
        c = m_current;
    return c >= 0 && c < m_cores.size() ? m_cores.at(c) : QSharedPointer<AnalyzerCore>();
}

bool OnaData::isRunCore(int c) const
{
    const AnalyzerCore* p = core(c);
    return p && p->isRun();
}

bool OnaData::hasInsertCore(int c) const
{
    const AnalyzerCore* p = core(c);
    return p && p->hasInsert();
}

bool OnaData::isPORCore(int c) const
{
    const AnalyzerCore* p = core(c);
    return p && p->isPOR();
}

bool OnaData::getConnectPORCore(int c) const
{
    const AnalyzerCore* p = core(c);
    return p && p->getConnectPOR();
}

int OnaData::getNumRunCore() const
{
    int n = 0;
    for (const auto& c : m_cores)
        n += c->isRun();
    return n;
}

int OnaData::getCurrentCoreStatus(int c) const
{
    const AnalyzerCore* p = core(c);
    return p ? p->status.load() : 0;
}

int OnaData::getCurrentCorePnum(int c) const
{
    const AnalyzerCore* p = core(c);
    return p ? p->pnum.load() : 0;
}

int OnaData::getCurrentCorePmax(int c) const
{
    const AnalyzerCore* p = core(c);
    return p ? p->pmax.load() : 0;
}

int OnaData::getNumError(int c) const
{
    const AnalyzerCore* p = core(c);
    if (!p || !p->getTUModel())
        return 0;
    return p->getTUModel()->getNumError() + p->getTEModel()->getNumError();
}

int OnaData::getNumSample(int c) const
{
    const AnalyzerCore* p = core(c);
    return p && p->getTSModel() ? p->getTSModel()->samples : 0;
}

int OnaData::getNumTrigger(int c) const
{
    const AnalyzerCore* p = core(c);
    return p && p->getTSModel() ? p->getTSModel()->numTriggers : 0;
}

int OnaData::getMaxPosition(int c) const
{
    const AnalyzerCore* p = core(c);
    return p && p->getTSModel() ? p->getTSModel()->getMaxPosition() : 0;
}

int OnaData::getUserPosition(int c) const
{
    const AnalyzerCore* p = core(c);
    return p && p->getTSModel() ? p->getTSModel()->getUserPosition() : 0;
}

int OnaData::updateTriggerPosition(int c)
{
    AnalyzerCore* p = core(c);
    return p && p->getTSModel() ? p->getTSModel()->updateTriggerPosition() : 0;
}

QString OnaData::getTUName(int row) const
{
    const TriggerUModel* m = getTUModel();
    return m ? m->text(row, TriggerUModel::ColName) : QString();
}

QString OnaData::getTUOperator(int row) const
{
    const TriggerUModel* m = getTUModel();
    return m ? m->text(row, TriggerUModel::ColOperator) : QString();
}

QString OnaData::getTURadix(int row) const
{
    const TriggerUModel* m = getTUModel();
    return m ? m->text(row, TriggerUModel::ColRadix) : QString();
}

QString OnaData::getTUValue(int row) const
{
    const TriggerUModel* m = getTUModel();
    return m ? m->text(row, TriggerUModel::ColValue) : QString();
}

QString OnaData::getTEName(int row) const
{
    const TriggerEModel* m = getTEModel();
    return m ? m->text(row, TriggerEModel::ColName) : QString();
}

QString OnaData::getTEExpression(int row) const
{
    const TriggerEModel* m = getTEModel();
    return m ? m->text(row, TriggerEModel::ColExpression) : QString();
}

QString OnaData::getWaveformRadix(int row) const
{
    const WaveformModel* m = getWDModel();
    if (!m || row < 0 || row >= m->rowCount())
        return QString();
    const SigTreeData d = WaveformModel::rowData(m->index(row, 0));
    if (!d.isBus())
        return QString();
    if (d.radix == 0)
        return d.radixName;
    return radix_list.value(d.radix == 2 ? 0 : d.radix == 8 ? 1 : d.radix == 10 ? 2 : 3);
}

QString OnaData::getWaveformSignal(int row) const
{
    const WaveformModel* m = getWDModel();
    if (!m || row < 0 || row >= m->rowCount())
        return QString();
    return WaveformModel::rowData(m->index(row, 0)).name;
}

void OnaData::resetWaveformRadix(int row)
{
    WaveformModel* m = getWDModel();
    if (!m || row < 0 || row >= m->rowCount())
        return;
    SigTreeData d = WaveformModel::rowData(m->index(row, 0));
    if (!d.isBus())
        return;
    d.radix = 16;
    d.radixName.clear();
    m->setRowData(m->index(row, 0), d);
}

TriggerUModel* OnaData::getTUModel() const
{
    const AnalyzerCore* p = core(-1);
    return p ? p->getTUModel() : nullptr;
}

TriggerEModel* OnaData::getTEModel() const
{
    const AnalyzerCore* p = core(-1);
    return p ? p->getTEModel() : nullptr;
}

TriggerSetting* OnaData::getTSModel() const
{
    const AnalyzerCore* p = core(-1);
    return p ? p->getTSModel() : nullptr;
}

WaveformModel* OnaData::getWDModel() const
{
    const AnalyzerCore* p = core(-1);
    return p ? p->getWDModel() : nullptr;
}

QThread* OnaData::getAcqThread() const
{
    return m_thread;
}

void OnaData::logDebug(const QString& text) const
{
    qCDebug(lcEngine).noquote() << text;
}

void OnaData::info(const QString& text)
{
    logDebug(text);
    m_infoText = text.toUtf8();
    emit infoDirty(m_infoText.constData());
}

void OnaData::resetData()
{
    endCapture();
    m_projectFile.clear();
    m_onlFile.clear();
    m_design = OnlDesign();
    m_waveformLayout = QJsonObject();
    m_cores.clear();
    m_current = -1;
    m_errorCounts.clear();
    m_tokens->clear();
    m_cableType = QStringLiteral("USB");
    m_cablePort = 0;
    m_tckDelay = 1;
    m_period = 10;
    m_clockUnit = QStringLiteral("ns");
    m_runErr.clear();
}

TriggerLang::TokenLookup OnaData::tokenLookup() const
{
    TriggerLang::TokenLookup l;
    const TokenModel* t = m_tokens;
    l.set = [t](const QString& set, int* width) { return t->setWidth(set, width); };
    l.token = [t](const QString& set, const QString& token, QString* bits) { return t->tokenBits(set, token, bits); };
    return l;
}

bool OnaData::recount()
{
    const TriggerLang::TokenLookup lookup = tokenLookup();
    QVector<int> counts;
    for (const auto& c : m_cores) {
        if (!c->getTUModel()) {
            counts << 0 << 0;
            continue;
        }
        counts << c->getTUModel()->recheck(lookup);
        counts << c->getTEModel()->recheck(c->getTUModel()->names());
    }
    const bool changed = counts != m_errorCounts;
    m_errorCounts = counts;
    return changed;
}

void OnaData::commitEdits(const QList<QStandardItem*>& changed)
{
    const bool errorsChanged = recount();
    for (QStandardItem* item : changed)
        emit setDirty(item);
    if (errorsChanged)
        emit errorDirty();
}

AnalyzerCore* OnaData::currentAnalyzer(QString* error) const
{
    if (!isProjectOpen()) {
        *error = QStringLiteral("no project is open");
        return nullptr;
    }
    AnalyzerCore* p = core(-1);
    if (!p || !p->getTUModel()) {
        *error = QStringLiteral("the current core \"%1\" is not a logic analyzer core").arg(getCoreName(-1));
        return nullptr;
    }
    return p;
}

// ---------------------------------------------------------------------------
// Project

bool OnaData::buildCores(const OnlDesign& design, const OnaProject& project, const QString& onaName,
                         QVector<QSharedPointer<AnalyzerCore>>* cores, int* current, QStringList* warnings,
                         QString* error) const
{
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
        if (s && core->getTUModel()) {
            const QString where = QStringLiteral("%1: core \"%2\"").arg(onaName, core->getName());
            core->setRun(s->run && core->hasInsert());
            TriggerUModel* tu = core->getTUModel();
            if (s->hasUnits && s->units.size() == tu->rowCount()) {
                QSet<QString> names;
                for (int r = 0; r < s->units.size(); ++r) {
                    const OnaUnit& u = s->units.at(r);
                    const QString why = TriggerLang::checkName(u.name, QStringLiteral("trigger unit"));
                    if (!why.isEmpty()) {
                        *error = QStringLiteral("%1: %2").arg(where, why);
                        return false;
                    }
                    if (names.contains(u.name.toLower())) {
                        *error = QStringLiteral("%1: trigger unit \"%2\" is listed twice").arg(where, u.name);
                        return false;
                    }
                    names.insert(u.name.toLower());
                    const QStringList& ops = tu->getSerialBit(r) > 0 ? serial_list : operator_list;
                    if (!ops.contains(u.op)) {
                        *error = QStringLiteral("%1: trigger unit \"%2\": unknown operator \"%3\"").arg(where, u.name, u.op);
                        return false;
                    }
                    if (!radix_list.contains(u.radix)) {
                        if (!setWidths.contains(u.radix)) {
                            *error = QStringLiteral("%1: trigger unit \"%2\": radix \"%3\" is neither a radix nor a token set")
                                         .arg(where, u.name, u.radix);
                            return false;
                        }
                        if (setWidths.value(u.radix) != tu->getNumSignal(r)) {
                            *error = QStringLiteral("%1: trigger unit \"%2\": token set \"%3\" does not have %4 bits")
                                         .arg(where, u.name, u.radix).arg(tu->getNumSignal(r));
                            return false;
                        }
                    }
                    tu->setText(r, TriggerUModel::ColName, u.name);
                    tu->setText(r, TriggerUModel::ColOperator, u.op);
                    tu->setText(r, TriggerUModel::ColRadix, u.radix);
                    tu->setText(r, TriggerUModel::ColValue, u.value);
                }
            } else if (s->hasUnits) {
                warnings->append(QStringLiteral("%1: trigger units differ from the debug-logic file; defaults used").arg(where));
            }
            TriggerEModel* te = core->getTEModel();
            if (s->hasExpressions && s->expressions.size() == te->rowCount()) {
                QSet<QString> names;
                for (int r = 0; r < s->expressions.size(); ++r) {
                    const OnlExpression& e = s->expressions.at(r);
                    const QString why = TriggerLang::checkName(e.name, QStringLiteral("trigger expression"));
                    if (!why.isEmpty()) {
                        *error = QStringLiteral("%1: %2").arg(where, why);
                        return false;
                    }
                    if (names.contains(e.name.toLower())) {
                        *error = QStringLiteral("%1: trigger expression \"%2\" is listed twice").arg(where, e.name);
                        return false;
                    }
                    names.insert(e.name.toLower());
                    te->setText(r, TriggerEModel::ColName, e.name);
                    te->setText(r, TriggerEModel::ColExpression, e.expression);
                    te->setEnabled(r, e.enable);
                }
            } else if (s->hasExpressions) {
                warnings->append(QStringLiteral("%1: trigger expressions differ from the debug-logic file; defaults used").arg(where));
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
            warnings->append(QStringLiteral("%1: core \"%2\" is no longer in the debug-logic file; its setup is dropped")
                         .arg(onaName, c.name));
    }
    *current = cores->isEmpty() ? -1 : 0;
    for (int i = 0; i < cores->size(); ++i)
        if (cores->at(i)->getName() == project.currentCore)
            *current = i;
    return true;
}

bool OnaData::openProject(const QString& path, QString* error)
{
    if (isBusy()) {
        *error = QStringLiteral("a capture is running: stop it before opening a project");
        return false;
    }
    if (path.trimmed().isEmpty()) {
        *error = QStringLiteral("no file name given");
        return false;
    }
    const QFileInfo fi(path);
    const QString abs = QDir::cleanPath(fi.absoluteFilePath());
    QByteArray data;
    OnaProject project;
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
    OnlDesign design;
    if (!readFile(onlPath, &data, error))
        return false;
    if (!parseOnl(data, onlPath, &design, error))
        return false;
    for (const auto& u : project.userSets)
        for (const auto& e : design.enums)
            if (u.name == e.name) {
                *error = QStringLiteral("%1: token set \"%2\" clashes with an enumeration of %3").arg(abs, u.name, onlPath);
                return false;
            }
    QVector<QSharedPointer<AnalyzerCore>> cores;
    int current = -1;
    QStringList warnings;
    if (!buildCores(design, project, onaPath, &cores, &current, &warnings, error))
        return false;

    // Everything is checked: replace the open project. The old cores (and
    // the models views may still show) live until the new ones are announced.
    QVector<QSharedPointer<AnalyzerCore>> old = std::move(m_cores);
    m_cores = cores;
    m_current = current;
    m_projectFile = onaPath;
    m_onlFile = onlPath;
    m_design = design;
    m_waveformLayout = project.waveform;
    m_cableType = project.cableType;
    m_cablePort = project.cablePort;
    m_tckDelay = project.tckDelay;
    m_period = project.period;
    m_clockUnit = project.clockUnit;
    m_runErr.clear();
    m_tokens->setSets(QStringLiteral("user"), project.userSets);
    m_tokens->setSets(QStringLiteral("ENUM"), design.enums);
    m_errorCounts.clear();
    recount();   // the open itself is no edit: no signal
    endCapture();
    loadSidecar(&warnings);
    syncClock();
    emit sigProjectOpened(m_projectFile);
    for (const QString& w : warnings)
        info(w + QLatin1Char('\n'));
    return true;
}

OnaProject OnaData::snapshot(const QString& onaPath) const
{
    OnaProject p;
    p.onl = QDir(QFileInfo(onaPath).absolutePath()).relativeFilePath(m_onlFile);
    p.cableType = m_cableType;
    p.cablePort = m_cablePort;
    p.tckDelay = m_tckDelay;
    p.period = m_period;
    p.clockUnit = m_clockUnit;
    p.currentCore = getCoreName(-1);
    p.userSets = m_tokens->sets(QStringLiteral("user"));
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
                oc.expressions.append({te->text(r, TriggerEModel::ColName), te->text(r, TriggerEModel::ColExpression),
                                       te->isEnabled(r)});
            oc.options = *c->getTSModel();
        }
        p.cores.append(oc);
    }
    return p;
}

bool OnaData::saveProject(const QString& path, QString* error)
{
    if (!isProjectOpen()) {
        *error = QStringLiteral("no project is open");
        return false;
    }
    const QString target = path.isEmpty() ? m_projectFile : QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    if (QFileInfo(target).isDir()) {
        *error = QStringLiteral("%1 is a folder").arg(target);
        return false;
    }
    if (!writeFile(target, writeOna(snapshot(target)), error))
        return false;
    const QString before = m_projectFile;
    m_projectFile = target;
    QStringList warnings;
    saveSidecar(&warnings);
    m_projectFile = before;
    for (const QString& w : warnings)
        info(w + QLatin1Char('\n'));
    if (target != m_projectFile) {
        m_projectFile = target;
        emit sigFileNameChanged(target);
    }
    emit sigProjectSaved(target);
    return true;
}

bool OnaData::closeProject()
{
    if (!isProjectOpen())
        return false;
    endCapture();
    // Keep the cores alive until the views have heard of the close.
    QVector<QSharedPointer<AnalyzerCore>> old = m_cores;
    resetData();
    emit sigProjectClosed();
    return true;
}

bool OnaData::setCurrentCore(const QString& name, QString* error)
{
    const int id = getCoreId(name);
    if (id < 0) {
        QStringList names;
        for (const auto& c : m_cores)
            names << c->getName();
        *error = isProjectOpen() ? QStringLiteral("no core named \"%1\"; the cores are: %2").arg(name, names.join(QStringLiteral(", ")))
                                 : QStringLiteral("no project is open");
        return false;
    }
    if (id != m_current) {
        m_current = id;
        emit coreSetDirty(id);
    }
    return true;
}

bool OnaData::setCoreRun(const QString& name, bool run, QString* error)
{
    const int id = getCoreId(name);
    if (id < 0)
        return setCurrentCore(name, error);   // explains the missing core
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

bool OnaData::setProjectOptions(const Options& options, QString* error)
{
    QString type = m_cableType, unit = m_clockUnit;
    int port = m_cablePort, tck = m_tckDelay, period = m_period;
    const QString verb = QStringLiteral("ona_set_project");
    for (const auto& o : options) {
        const QString& v = o.second;
        if (o.first == QLatin1String("-cabletype")) {
            if (v != QLatin1String("USB") && v != QLatin1String("USB2") && v != QLatin1String("VORANTE")) {
                *error = QStringLiteral("%1: cable type must be USB, USB2 or VORANTE, not \"%2\"").arg(verb, v);
                return false;
            }
            type = v;
        } else if (o.first == QLatin1String("-cableport")) {
            if (!parseInt(v, &port) || port < 0 || port > 0xFFFF) {
                *error = QStringLiteral("%1: cable port must be a number from 0 to 65535, not \"%2\"").arg(verb, v);
                return false;
            }
        } else if (o.first == QLatin1String("-tckdelay")) {
            if (!parseInt(v, &tck) || tck < 1 || tck > 30) {
                *error = QStringLiteral("%1: TCK delay must be from 1 to 30, not \"%2\"").arg(verb, v);
                return false;
            }
        } else if (o.first == QLatin1String("-period")) {
            static const QRegularExpression re(QStringLiteral("^([0-9]{1,7})(ns|ps)$"));
            const auto m = re.match(v.trimmed());
            period = m.hasMatch() ? m.captured(1).toInt() : 0;
            if (!m.hasMatch() || period < 1 || period > 1000000) {
                *error = QStringLiteral("%1: period must be a whole number from 1 to 1000000 followed by ns or ps, not \"%2\"")
                             .arg(verb, v);
                return false;
            }
            unit = m.captured(2);
        } else {
            *error = unknownOption(o.first, verb, QStringLiteral("-cabletype, -cableport, -tckdelay or -period"));
            return false;
        }
    }
    if (!isProjectOpen()) {
        *error = QStringLiteral("no project is open");
        return false;
    }
    const bool changed = type != m_cableType || port != m_cablePort || tck != m_tckDelay || period != m_period
                      || unit != m_clockUnit;
    m_cableType = type;
    m_cablePort = port;
    m_tckDelay = tck;
    m_period = period;
    m_clockUnit = unit;
    syncClock();
    if (changed)
        emit settingDirty();
    return true;
}

// ---------------------------------------------------------------------------
// Trigger units and expressions

QString OnaData::convertValue(const TriggerLang::TUSpec& from, const QString& newRadix) const
{
    TriggerLang::TUCondition cond;
    QString why;
    if (!TriggerLang::compileTU(from, tokenLookup(), &cond, &why))
        return from.value;
    auto render = [&](const QString& bits, QString* text) -> bool {
        const int idx = radix_list.indexOf(newRadix);
        if (idx >= 0)
            return TriggerLang::formatNumber(bits, idx, text);
        *text = m_tokens->tokenByBits(newRadix, bits);
        if (text->isEmpty() && newRadix.startsWith(QLatin1String("ONL_INT")))
            return TriggerLang::formatNumber(bits, TriggerLang::RadixDec, text);
        return !text->isEmpty();
    };
    QString low, high;
    if (!render(cond.value, &low))
        return from.value;
    if (TriggerLang::isRangeOp(cond.op)) {
        if (!render(cond.high, &high))
            return from.value;
        return low + QStringLiteral("..") + high;
    }
    return low;
}

bool OnaData::setTU(const QString& name, const Options& options, QString* error)
{
    AnalyzerCore* c = currentAnalyzer(error);
    if (!c)
        return false;
    TriggerUModel* tu = c->getTUModel();
    const int row = tu->rowOf(name);
    if (row < 0) {
        *error = QStringLiteral("no trigger unit named \"%1\" in core \"%2\"; the units are: %3")
                     .arg(name, c->getName(), tu->names().join(QStringLiteral(", ")));
        return false;
    }
    TriggerLang::TUSpec unit = tu->unitSpec(row);
    bool valueGiven = false;
    QString radix = unit.radix;
    for (const auto& o : options) {
        if (o.first == QLatin1String("-operator")) {
            const QStringList& ops = unit.serial > 0 ? serial_list : operator_list;
            if (!ops.contains(o.second)) {
                *error = QStringLiteral("ona_set_tu: unknown operator \"%1\" for trigger unit \"%2\"; use one of: %3")
                             .arg(o.second, name, ops.join(QStringLiteral(", ")));
                return false;
            }
            unit.op = o.second;
        } else if (o.first == QLatin1String("-radix")) {
            if (!radix_list.contains(o.second)) {
                int width = 0;
                if (!m_tokens->setWidth(o.second, &width)) {
                    *error = QStringLiteral("ona_set_tu: radix \"%1\" is neither Bin, Oct, Dec, Hex nor a token set")
                                 .arg(o.second);
                    // Radix texts are case-sensitive like set names: point at a near miss.
                    for (const QString& r : radix_list)
                        if (r.compare(o.second, Qt::CaseInsensitive) == 0)
                            *error += QStringLiteral(" (names are case-sensitive: the radix is \"%1\")").arg(r);
                    const QString near = m_tokens->missingText(o.second);
                    const int at = near.indexOf(QLatin1String(" (names are case-sensitive"));
                    if (at >= 0)
                        *error += near.mid(at);
                    return false;
                }
                if (width != unit.width) {
                    *error = QStringLiteral("ona_set_tu: token set \"%1\" is %2 bits wide, trigger unit \"%3\" has %4")
                                 .arg(o.second).arg(width).arg(name).arg(unit.width);
                    return false;
                }
            }
            radix = o.second;
        } else if (o.first == QLatin1String("-value")) {
            if (o.second.size() > kMaxTextLength) {
                *error = QStringLiteral("ona_set_tu: the value is longer than %1 characters").arg(kMaxTextLength);
                return false;
            }
            unit.value = o.second;
            valueGiven = true;
        } else {
            *error = unknownOption(o.first, QStringLiteral("ona_set_tu"), QStringLiteral("-operator, -radix or -value"));
            return false;
        }
    }
    if (radix != unit.radix) {
        if (!valueGiven)
            unit.value = convertValue(unit, radix);
        unit.radix = radix;
    }
    QList<QStandardItem*> changed;
    auto set = [&](int col, const QString& text) {
        if (tu->text(row, col) != text)
            changed << tu->setText(row, col, text);
    };
    set(TriggerUModel::ColOperator, unit.op);
    set(TriggerUModel::ColRadix, unit.radix);
    set(TriggerUModel::ColValue, unit.value);
    commitEdits(changed);
    return true;
}

bool OnaData::renameTU(const QString& from, const QString& to, QString* error)
{
    AnalyzerCore* c = currentAnalyzer(error);
    if (!c)
        return false;
    TriggerUModel* tu = c->getTUModel();
    const int row = tu->rowOf(from);
    if (row < 0) {
        *error = QStringLiteral("ona_rename_tu: no trigger unit named \"%1\" in core \"%2\"").arg(from, c->getName());
        return false;
    }
    const QString why = TriggerLang::checkName(to, QStringLiteral("trigger unit"));
    if (!why.isEmpty()) {
        *error = QStringLiteral("ona_rename_tu: %1").arg(why);
        return false;
    }
    for (int r = 0; r < tu->rowCount(); ++r)
        if (r != row && tu->text(r, TriggerUModel::ColName).compare(to, Qt::CaseInsensitive) == 0) {
            *error = QStringLiteral("ona_rename_tu: a trigger unit named \"%1\" already exists").arg(tu->text(r, 0));
            return false;
        }
    if (from == to)
        return true;
    QList<QStandardItem*> changed;
    changed << tu->setText(row, TriggerUModel::ColName, to);
    // Expressions follow the unit they name.
    TriggerEModel* te = c->getTEModel();
    for (int r = 0; r < te->rowCount(); ++r) {
        const QString expr = te->text(r, TriggerEModel::ColExpression);
        const QString renamed = TriggerLang::renameInExpression(expr, from, to);
        if (renamed != expr)
            changed << te->setText(r, TriggerEModel::ColExpression, renamed);
    }
    commitEdits(changed);
    return true;
}

bool OnaData::setTE(const QString& name, const Options& options, QString* error)
{
    AnalyzerCore* c = currentAnalyzer(error);
    if (!c)
        return false;
    TriggerEModel* te = c->getTEModel();
    const int row = te->rowOf(name);
    if (row < 0) {
        *error = QStringLiteral("no trigger expression named \"%1\" in core \"%2\"; the expressions are: %3")
                     .arg(name, c->getName(), te->names().join(QStringLiteral(", ")));
        return false;
    }
    QString expr = te->text(row, TriggerEModel::ColExpression);
    bool enable = te->isEnabled(row);
    for (const auto& o : options) {
        if (o.first == QLatin1String("-expression")) {
            if (o.second.size() > kMaxTextLength) {
                *error = QStringLiteral("ona_set_te: the expression is longer than %1 characters").arg(kMaxTextLength);
                return false;
            }
            expr = o.second;
        } else if (o.first == QLatin1String("-enable")) {
            if (!parseSwitch(o.second, &enable)) {
                *error = QStringLiteral("ona_set_te: -enable takes on or off, not \"%1\"").arg(o.second);
                return false;
            }
        } else {
            *error = unknownOption(o.first, QStringLiteral("ona_set_te"), QStringLiteral("-expression or -enable"));
            return false;
        }
    }
    QList<QStandardItem*> changed;
    if (te->text(row, TriggerEModel::ColExpression) != expr)
        changed << te->setText(row, TriggerEModel::ColExpression, expr);
    if (te->isEnabled(row) != enable)
        changed << te->setEnabled(row, enable);
    commitEdits(changed);
    return true;
}

bool OnaData::renameTE(const QString& from, const QString& to, QString* error)
{
    AnalyzerCore* c = currentAnalyzer(error);
    if (!c)
        return false;
    TriggerEModel* te = c->getTEModel();
    const int row = te->rowOf(from);
    if (row < 0) {
        *error = QStringLiteral("ona_rename_te: no trigger expression named \"%1\" in core \"%2\"").arg(from, c->getName());
        return false;
    }
    const QString why = TriggerLang::checkName(to, QStringLiteral("trigger expression"));
    if (!why.isEmpty()) {
        *error = QStringLiteral("ona_rename_te: %1").arg(why);
        return false;
    }
    for (int r = 0; r < te->rowCount(); ++r)
        if (r != row && te->text(r, TriggerEModel::ColName).compare(to, Qt::CaseInsensitive) == 0) {
            *error = QStringLiteral("ona_rename_te: a trigger expression named \"%1\" already exists").arg(te->text(r, 0));
            return false;
        }
    if (from != to)
        commitEdits({te->setText(row, TriggerEModel::ColName, to)});
    return true;
}

bool OnaData::setTrigOptions(const Options& options, QString* error)
{
    AnalyzerCore* c = currentAnalyzer(error);
    if (!c)
        return false;
    TriggerSetting* ts = c->getTSModel();
    TriggerSetting work = *ts;
    const QString verb = QStringLiteral("ona_set_trigoptn");
    for (const auto& o : options) {
        const QString& v = o.second;
        QString why;
        int n = 0;
        bool on = false;
        if (o.first == QLatin1String("-position")) {
            why = work.setPosition(v);
        } else if (o.first == QLatin1String("-positionmode")) {
            if (v == QLatin1String("preset") || v == QLatin1String("user")) {
                work.positionPreSelected = v == QLatin1String("preset");
                work.updateTriggerPosition();
            } else {
                why = QStringLiteral("-positionmode takes preset or user, not \"%1\"").arg(v);
            }
        } else if (o.first == QLatin1String("-teall")) {
            if (v == QLatin1String("or") || v == QLatin1String("and"))
                work.teCombination = v == QLatin1String("and") ? 1 : 0;
            else
                why = QStringLiteral("-teall takes or or and, not \"%1\"").arg(v);
        } else if (o.first == QLatin1String("-samples")) {
            why = parseInt(v, &n) ? work.setSamples(n) : QStringLiteral("-samples takes a number, not \"%1\"").arg(v);
        } else if (o.first == QLatin1String("-numtriggers")) {
            why = parseInt(v, &n) ? work.setNumTriggers(n)
                                  : QStringLiteral("-numtriggers takes a number, not \"%1\"").arg(v);
        } else if (o.first == QLatin1String("-finalcounter")) {
            why = parseSwitch(v, &on) ? work.setFinalCounter(on)
                                      : QStringLiteral("-finalcounter takes on or off, not \"%1\"").arg(v);
        } else if (o.first == QLatin1String("-finalcountervalue")) {
            why = parseInt(v, &n) ? work.setFinalCounterValue(n)
                                  : QStringLiteral("-finalcountervalue takes a number, not \"%1\"").arg(v);
        } else if (o.first == QLatin1String("-connectpor")) {
            why = parseSwitch(v, &on) ? work.setConnectPor(on)
                                      : QStringLiteral("-connectpor takes on or off, not \"%1\"").arg(v);
        } else {
            *error = unknownOption(o.first, verb,
                                   QStringLiteral("-position, -positionmode, -teall, -samples, -numtriggers, "
                                                  "-finalcounter, -finalcountervalue or -connectpor"));
            return false;
        }
        if (!why.isEmpty()) {
            *error = QStringLiteral("%1: core \"%2\": %3").arg(verb, c->getName(), why);
            return false;
        }
    }
    static_cast<TriggerOptionValues&>(*ts) = work;
    ts->updateTriggerPosition();
    emit settingDirty();
    return true;
}

// ---------------------------------------------------------------------------
// Token sets

void OnaData::releaseTokenSetUsers(const QString& set, const QString& token, QList<QStandardItem*>* changed)
{
    for (const auto& c : m_cores) {
        TriggerUModel* tu = c->getTUModel();
        if (!tu)
            continue;
        for (int r = 0; r < tu->rowCount(); ++r) {
            if (tu->text(r, TriggerUModel::ColRadix) != set)
                continue;
            const TriggerLang::TUSpec unit = tu->unitSpec(r);
            if (!token.isEmpty() && unit.value != token && !unit.value.contains(QLatin1String("..")))
                continue;
            const QString value = convertValue(unit, QStringLiteral("Bin"));
            *changed << tu->setText(r, TriggerUModel::ColRadix, QStringLiteral("Bin"));
            if (value != unit.value)
                *changed << tu->setText(r, TriggerUModel::ColValue, value);
        }
    }
}

bool OnaData::addTokenSet(const QString& name, int bits, QString* error)
{
    if (!isProjectOpen()) {
        *error = QStringLiteral("no project is open");
        return false;
    }
    if (!m_tokens->addSet(name, bits, error)) {
        error->prepend(QStringLiteral("ona_add_tokenset: "));
        return false;
    }
    commitEdits({});
    emit tokenDirty();
    return true;
}

bool OnaData::addToken(const QString& set, const QString& token, const QString& value, QString* error)
{
    if (!isProjectOpen()) {
        *error = QStringLiteral("no project is open");
        return false;
    }
    if (!m_tokens->addToken(set, token, value, error)) {
        error->prepend(QStringLiteral("ona_add_token: "));
        return false;
    }
    commitEdits({});
    emit tokenDirty();
    return true;
}

bool OnaData::setToken(const QString& set, const QString& token, const Options& options, QString* error)
{
    if (!isProjectOpen()) {
        *error = QStringLiteral("no project is open");
        return false;
    }
    for (const auto& o : options)
        if (o.first != QLatin1String("-name") && o.first != QLatin1String("-value")) {
            *error = unknownOption(o.first, QStringLiteral("ona_set_token"), QStringLiteral("-name or -value"));
            return false;
        }
    const QList<TokenSetData> before = m_tokens->sets(QStringLiteral("user"));
    QString current = token;
    QList<QPair<QString, QString>> renames;
    bool applied = false;
    for (const auto& o : options) {
        const bool ok = o.first == QLatin1String("-name") ? m_tokens->renameToken(set, current, o.second, error)
                                                          : m_tokens->setTokenValue(set, current, o.second, error);
        if (!ok) {
            if (applied)
                m_tokens->setSets(QStringLiteral("user"), before);
            error->prepend(QStringLiteral("ona_set_token: "));
            return false;
        }
        applied = true;
        if (o.first == QLatin1String("-name")) {
            renames.append({current, o.second});
            current = o.second;
        }
    }
    // Trigger units that chose the token by name keep choosing it.
    QList<QStandardItem*> changed;
    for (const auto& rn : renames)
        for (const auto& c : m_cores)
            if (TriggerUModel* tu = c->getTUModel())
                for (int r = 0; r < tu->rowCount(); ++r)
                    if (tu->text(r, TriggerUModel::ColRadix) == set && tu->text(r, TriggerUModel::ColValue) == rn.first)
                        changed << tu->setText(r, TriggerUModel::ColValue, rn.second);
    commitEdits(changed);
    emit tokenDirty();
    return true;
}

bool OnaData::setTokenSet(const QString& set, const Options& options, QString* error)
{
    if (!isProjectOpen()) {
        *error = QStringLiteral("no project is open");
        return false;
    }
    const QList<TokenSetData> before = m_tokens->sets(QStringLiteral("user"));
    QString current = set;
    QList<QPair<QString, QString>> renames;
    bool applied = false;
    for (const auto& o : options) {
        bool ok = false;
        if (o.first == QLatin1String("-name")) {
            ok = m_tokens->renameSet(current, o.second, error);
            if (ok) {
                renames.append({current, o.second});
                current = o.second;
            }
        } else if (o.first == QLatin1String("-bits")) {
            int bits = 0;
            if (!parseInt(o.second.trimmed(), &bits))
                *error = QStringLiteral("-bits takes a number, not \"%1\"").arg(o.second);
            else
                ok = m_tokens->setSetBits(current, bits, error);
        } else {
            *error = unknownOption(o.first, QStringLiteral("ona_set_tokenset"), QStringLiteral("-name or -bits"));
        }
        applied |= ok;
        if (!ok) {
            if (applied)
                m_tokens->setSets(QStringLiteral("user"), before);
            if (!error->startsWith(QLatin1String("ona_set_tokenset")))
                error->prepend(QStringLiteral("ona_set_tokenset: "));
            return false;
        }
    }
    QList<QStandardItem*> changed;
    for (const auto& rn : renames)
        for (const auto& c : m_cores)
            if (TriggerUModel* tu = c->getTUModel())
                for (int r = 0; r < tu->rowCount(); ++r)
                    if (tu->text(r, TriggerUModel::ColRadix) == rn.first)
                        changed << tu->setText(r, TriggerUModel::ColRadix, rn.second);
    commitEdits(changed);
    emit tokenDirty();
    return true;
}

bool OnaData::delToken(const QString& set, const QString& token, QString* error)
{
    if (!isProjectOpen()) {
        *error = QStringLiteral("no project is open");
        return false;
    }
    if (m_tokens->getToken(set, token, QStringLiteral("user")).isEmpty()) {
        *error = QStringLiteral("ona_del_token: ") + m_tokens->missingText(set, token, QStringLiteral("user"));
        return false;
    }
    QList<QStandardItem*> changed;
    releaseTokenSetUsers(set, token, &changed);
    m_tokens->deleteToken(set, token, error);
    commitEdits(changed);
    emit tokenDirty();
    return true;
}

bool OnaData::delTokenSet(const QString& set, QString* error)
{
    if (!isProjectOpen()) {
        *error = QStringLiteral("no project is open");
        return false;
    }
    QStringList names;
    if (set.isEmpty()) {
        for (const auto& s : m_tokens->sets(QStringLiteral("user")))
            names << s.name;
    } else {
        if (m_tokens->getTokenSet(set, QStringLiteral("user")).isEmpty()) {
            *error = QStringLiteral("ona_del_tokenset: ") + m_tokens->missingText(set, QString(), QStringLiteral("user"));
            return false;
        }
        names << set;
    }
    QList<QStandardItem*> changed;
    for (const QString& n : names) {
        releaseTokenSetUsers(n, QString(), &changed);
        m_tokens->deleteSet(n, error);
    }
    commitEdits(changed);
    emit tokenDirty();
    return true;
}

bool OnaData::importTokenSets(const QString& path, QString* error)
{
    if (!isProjectOpen()) {
        *error = QStringLiteral("no project is open");
        return false;
    }
    QByteArray data;
    QList<TokenSetData> incoming;
    const QString abs = QFileInfo(path).absoluteFilePath();
    if (!readFile(abs, &data, error) || !parseOnt(data, abs, &incoming, error))
        return false;
    // A set of the same name is replaced; the others are added.
    QList<TokenSetData> merged = m_tokens->sets(QStringLiteral("user"));
    for (const TokenSetData& s : incoming) {
        bool replaced = false;
        for (TokenSetData& m : merged)
            if (m.name == s.name) {
                m = s;
                replaced = true;
            }
        if (!replaced)
            merged.append(s);
    }
    const QString why = TokenModel::validate(merged, false);
    if (!why.isEmpty()) {
        *error = QStringLiteral("%1: %2").arg(abs, why);
        return false;
    }
    m_tokens->setSets(QStringLiteral("user"), merged);
    commitEdits({});
    emit tokenDirty();
    return true;
}

bool OnaData::exportTokenSets(const QString& path, QString* error)
{
    if (!isProjectOpen()) {
        *error = QStringLiteral("no project is open");
        return false;
    }
    if (path.trimmed().isEmpty()) {
        *error = QStringLiteral("ona_export_tokenset: no file name given");
        return false;
    }
    return writeFile(QFileInfo(path).absoluteFilePath(), writeOnt(m_tokens->sets(QStringLiteral("user"))), error);
}
