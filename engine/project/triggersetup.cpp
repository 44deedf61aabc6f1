#include "triggersetup.h"

#include "namedlist.h"
#include "projectfiles.h"
#include "projectsession.h"
#include "tokenmodel.h"
#include "triggeremodel.h"
#include "triggersetting.h"
#include "triggerumodel.h"
#include "waveformmodel.h"

#include <QFileInfo>

using namespace ProjectFiles;

namespace {

// The checks a rename of a unit or an expression makes: `from` names a row of
// `model`, and `to` is a valid name that no other row has in any case.
// Returns the row of `from`, or -1 with `error` set.
template <class Model>
int renamedRow(const Model* model, const char* verb, const char* what, const QString& core, const QString& from,
               const QString& to, QString* error) {
    const QString cmd = QLatin1String(verb);
    const QString kind = QLatin1String(what);
    const int row = model->rowOf(from);
    if (row < 0) {
        *error = QStringLiteral("%1: no %2 named \"%3\" in core \"%4\"").arg(cmd, kind, from, core);
        return -1;
    }
    const QString why = TriggerLang::checkName(to, kind);
    if (!why.isEmpty()) {
        *error = QStringLiteral("%1: %2").arg(cmd, why);
        return -1;
    }
    for (int r = 0; r < model->rowCount(); ++r)
        if (r != row && model->text(r, Model::ColName).compare(to, Qt::CaseInsensitive) == 0) {
            *error = QStringLiteral("%1: a %2 named \"%3\" already exists").arg(cmd, kind, model->text(r, 0));
            return -1;
        }
    return row;
}

// The row of the unit or expression `name`, or -1 with *error listing them.
template <class Model>
int namedRow(const Model* model, const char* what, const char* plural, const QString& core, const QString& name,
             QString* error) {
    const int row = model->rowOf(name);
    if (row < 0)
        *error =
            QStringLiteral("no %1 named \"%2\" in core \"%3\"; the %4 are: %5")
                .arg(QLatin1String(what), name, core, QLatin1String(plural), model->names().join(QStringLiteral(", ")));
    return row;
}

} // namespace

TriggerSetup::TriggerSetup(ProjectSession* session, QObject* parent)
    : QObject(parent), m_session(session), m_tokens(new TokenModel(this)) {}

AnalyzerCore* TriggerSetup::editableCore(QString* error) const {
    if (m_session->refuseWhileRunning(error))
        return nullptr;
    return m_session->currentAnalyzer(error);
}

bool TriggerSetup::tokensEditable(QString* error) const {
    if (m_session->refuseWhileRunning(error))
        return false;
    if (!m_session->isOpen()) {
        *error = QStringLiteral("no project is open");
        return false;
    }
    return true;
}

void TriggerSetup::resetCounts() {
    m_errorCounts.clear();
    recount();
}

TriggerLang::TokenLookup TriggerSetup::tokenLookup() const {
    TriggerLang::TokenLookup l;
    const TokenModel* t = m_tokens;
    l.set = [t](const QString& set, int* width) { return t->setWidth(set, width); };
    l.token = [t](const QString& set, const QString& token, QString* bits) { return t->tokenBits(set, token, bits); };
    return l;
}

bool TriggerSetup::recount() {
    const TriggerLang::TokenLookup lookup = tokenLookup();
    QVector<int> counts;
    for (const auto& c : m_session->cores()) {
        if (!c->getTUModel()) {
            counts << 0 << 0;
            continue;
        }
        counts << c->getTUModel()->recheck(lookup);
        counts << c->getTEModel()->recheck(c->getTUModel()->names());
    }
    // Qt 6.4 compares two empty lists with memcmp on a null pointer when one
    // of them has a buffer (undefined, and fatal in the sanitizer build).
    const bool changed = counts.size() != m_errorCounts.size() || (!counts.isEmpty() && counts != m_errorCounts);
    m_errorCounts = counts;
    return changed;
}

void TriggerSetup::commitTokenEdits(const QList<QStandardItem*>& changed) {
    commitEdits(changed);
    emit tokenDirty();
}

void TriggerSetup::commitEdits(const QList<QStandardItem*>& changed) {
    const bool errorsChanged = recount();
    for (QStandardItem* item : changed)
        emit setDirty(item);
    if (errorsChanged)
        emit errorDirty();
}

QString TriggerSetup::convertValue(const TriggerLang::TUSpec& from, const QString& newRadix) const {
    TriggerLang::TUCondition cond;
    QString why;
    if (!TriggerLang::compileTU(from, tokenLookup(), &cond, &why))
        return from.value;
    auto render = [&](const QString& bits, QString* text) -> bool {
        const int idx = TriggerLang::radixNames().indexOf(newRadix);
        if (idx >= 0)
            return TriggerLang::formatNumber(bits, idx, text);
        // A value no token names stays as it was, except in an integer
        // enumeration, which also takes the decimal number.
        bool named = false;
        *text = m_tokens->valueText(newRadix, bits, &named);
        return named || (newRadix.startsWith(QLatin1String("ONL_INT")) && !text->isEmpty());
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

bool TriggerSetup::setTU(const QString& name, const TUOptions& options, QString* error) {
    AnalyzerCore* c = editableCore(error);
    if (!c)
        return false;
    TriggerUModel* tu = c->getTUModel();
    const int row = namedRow(tu, "trigger unit", "units", c->getName(), name, error);
    if (row < 0)
        return false;
    TriggerLang::TUSpec unit = tu->unitSpec(row);
    bool valueGiven = false;
    QString radix = unit.radix;
    for (const auto& o : options) {
        if (o.key == TUOperator) {
            const QStringList& ops =
                unit.serial > 0 ? TriggerLang::serialOperatorNames() : TriggerLang::operatorNames();
            if (!ops.contains(o.value)) {
                *error = QStringLiteral("ona_set_tu: unknown operator \"%1\" for trigger unit \"%2\"; use one of: %3")
                             .arg(o.value, name, ops.join(QStringLiteral(", ")));
                return false;
            }
            unit.op = o.value;
        } else if (o.key == TURadix) {
            if (!TriggerLang::radixNames().contains(o.value)) {
                int width = 0;
                if (!m_tokens->setWidth(o.value, &width)) {
                    *error = QStringLiteral("ona_set_tu: radix \"%1\" is neither Bin, Oct, Dec, Hex nor a token set")
                                 .arg(o.value);
                    // Radix texts are case-sensitive like set names: point at a near miss.
                    for (const QString& r : TriggerLang::radixNames())
                        if (r.compare(o.value, Qt::CaseInsensitive) == 0)
                            *error += QStringLiteral(" (names are case-sensitive: the radix is \"%1\")").arg(r);
                    const QString near = m_tokens->missingText(o.value);
                    const int at = near.indexOf(QLatin1String(" (names are case-sensitive"));
                    if (at >= 0)
                        *error += near.mid(at);
                    return false;
                }
                if (width != unit.width) {
                    *error = QStringLiteral("ona_set_tu: token set \"%1\" is %2 bits wide, trigger unit \"%3\" has %4")
                                 .arg(o.value)
                                 .arg(width)
                                 .arg(name)
                                 .arg(unit.width);
                    return false;
                }
            }
            radix = o.value;
        } else if (o.key == TUValue) {
            if (o.value.size() > kMaxTextLength) {
                *error = QStringLiteral("ona_set_tu: the value is longer than %1 characters").arg(kMaxTextLength);
                return false;
            }
            unit.value = o.value;
            valueGiven = true;
        } else {
            *error = o.value;
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

bool TriggerSetup::renameTU(const QString& from, const QString& to, QString* error) {
    AnalyzerCore* c = editableCore(error);
    if (!c)
        return false;
    TriggerUModel* tu = c->getTUModel();
    const int row = renamedRow(tu, "ona_rename_tu", "trigger unit", c->getName(), from, to, error);
    if (row < 0)
        return false;
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

bool TriggerSetup::setTE(const QString& name, const TEOptions& options, QString* error) {
    AnalyzerCore* c = editableCore(error);
    if (!c)
        return false;
    TriggerEModel* te = c->getTEModel();
    const int row = namedRow(te, "trigger expression", "expressions", c->getName(), name, error);
    if (row < 0)
        return false;
    QString expr = te->text(row, TriggerEModel::ColExpression);
    bool enable = te->isEnabled(row);
    for (const auto& o : options) {
        if (o.key == TEExpression) {
            if (o.value.size() > kMaxTextLength) {
                *error = QStringLiteral("ona_set_te: the expression is longer than %1 characters").arg(kMaxTextLength);
                return false;
            }
            expr = o.value;
        } else if (o.key == TEEnable) {
            if (!VerbOptions::parseSwitch(o.value, &enable)) {
                *error = QStringLiteral("ona_set_te: -enable takes on or off, not \"%1\"").arg(o.value);
                return false;
            }
        } else {
            *error = o.value;
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

bool TriggerSetup::renameTE(const QString& from, const QString& to, QString* error) {
    AnalyzerCore* c = editableCore(error);
    if (!c)
        return false;
    TriggerEModel* te = c->getTEModel();
    const int row = renamedRow(te, "ona_rename_te", "trigger expression", c->getName(), from, to, error);
    if (row < 0)
        return false;
    if (from != to)
        commitEdits({te->setText(row, TriggerEModel::ColName, to)});
    return true;
}

bool TriggerSetup::setTrigOptions(const TrigOptions& options, QString* error) {
    AnalyzerCore* c = editableCore(error);
    if (!c)
        return false;
    TriggerSetting* ts = c->getTSModel();
    TriggerSetting work = *ts;
    const QString verb = QStringLiteral("ona_set_trigoptn");
    for (const auto& o : options) {
        const QString& v = o.value;
        QString why;
        int n = 0;
        bool on = false;
        if (o.key == TrigPosition) {
            why = work.setPosition(v);
        } else if (o.key == TrigPositionMode) {
            if (v == QLatin1String("preset") || v == QLatin1String("user")) {
                work.positionPreSelected = v == QLatin1String("preset");
                work.updateTriggerPosition();
            } else {
                why = QStringLiteral("-positionmode takes preset or user, not \"%1\"").arg(v);
            }
        } else if (o.key == TrigTeAll) {
            if (v == QLatin1String("or") || v == QLatin1String("and"))
                work.teCombination = v == QLatin1String("and") ? 1 : 0;
            else
                why = QStringLiteral("-teall takes or or and, not \"%1\"").arg(v);
        } else if (o.key == TrigSamples) {
            why = VerbOptions::parseInt(v, &n) ? work.setSamples(n)
                                               : QStringLiteral("-samples takes a number, not \"%1\"").arg(v);
        } else if (o.key == TrigNumTriggers) {
            why = VerbOptions::parseInt(v, &n) ? work.setNumTriggers(n)
                                               : QStringLiteral("-numtriggers takes a number, not \"%1\"").arg(v);
        } else if (o.key == TrigFinalCounter) {
            why = VerbOptions::parseSwitch(v, &on) ? work.setFinalCounter(on)
                                                   : QStringLiteral("-finalcounter takes on or off, not \"%1\"").arg(v);
        } else if (o.key == TrigFinalCounterValue) {
            why = VerbOptions::parseInt(v, &n) ? work.setFinalCounterValue(n)
                                               : QStringLiteral("-finalcountervalue takes a number, not \"%1\"").arg(v);
        } else if (o.key == TrigConnectPor) {
            why = VerbOptions::parseSwitch(v, &on) ? work.setConnectPor(on)
                                                   : QStringLiteral("-connectpor takes on or off, not \"%1\"").arg(v);
        } else {
            *error = o.value;
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

void TriggerSetup::releaseTokenSetUsers(const QString& set, const QString& token, QList<QStandardItem*>* changed) {
    for (const auto& c : m_session->cores()) {
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

bool TriggerSetup::addTokenSet(const QString& name, int bits, QString* error) {
    if (!tokensEditable(error))
        return false;
    if (!m_tokens->addSet(name, bits, error)) {
        error->prepend(QStringLiteral("ona_add_tokenset: "));
        return false;
    }
    commitTokenEdits({});
    return true;
}

bool TriggerSetup::addToken(const QString& set, const QString& token, const QString& value, QString* error) {
    if (!tokensEditable(error))
        return false;
    if (!m_tokens->addToken(set, token, value, error)) {
        error->prepend(QStringLiteral("ona_add_token: "));
        return false;
    }
    commitTokenEdits({});
    return true;
}

bool TriggerSetup::setToken(const QString& set, const QString& token, const TokenOptions& options, QString* error) {
    if (!tokensEditable(error))
        return false;
    for (const auto& o : options)
        if (o.key == TokenUnknown) {
            *error = o.value;
            return false;
        }
    const QList<TokenSetData> before = m_tokens->sets(QStringLiteral("user"));
    QString current = token;
    QList<QPair<QString, QString>> renames;
    bool applied = false;
    for (const auto& o : options) {
        const bool ok = o.key == TokenName ? m_tokens->renameToken(set, current, o.value, error)
                                           : m_tokens->setTokenValue(set, current, o.value, error);
        if (!ok) {
            if (applied)
                m_tokens->setSets(QStringLiteral("user"), before);
            error->prepend(QStringLiteral("ona_set_token: "));
            return false;
        }
        applied = true;
        if (o.key == TokenName) {
            renames.append({current, o.value});
            current = o.value;
        }
    }
    // Trigger units that chose the token by name keep choosing it.
    QList<QStandardItem*> changed;
    for (const auto& rn : renames)
        for (const auto& c : m_session->cores())
            if (TriggerUModel* tu = c->getTUModel())
                for (int r = 0; r < tu->rowCount(); ++r)
                    if (tu->text(r, TriggerUModel::ColRadix) == set && tu->text(r, TriggerUModel::ColValue) == rn.first)
                        changed << tu->setText(r, TriggerUModel::ColValue, rn.second);
    commitTokenEdits(changed);
    return true;
}

namespace {

void renameBusRadix(WaveformModel* model, const QModelIndex& parent, const QString& from, const QString& to) {
    for (int r = 0; r < model->rowCount(parent); ++r) {
        const QModelIndex row = model->index(r, 0, parent);
        SigTreeData d = WaveformModel::rowData(row);
        if (d.isBus() && d.radixName == from) {
            d.radixName = to;
            model->setRowData(row, d);
        }
        renameBusRadix(model, row, from, to);
    }
}

} // namespace

bool TriggerSetup::setTokenSet(const QString& set, const TokenSetOptions& options, QString* error) {
    if (!tokensEditable(error))
        return false;
    const QList<TokenSetData> before = m_tokens->sets(QStringLiteral("user"));
    QString current = set;
    QList<QPair<QString, QString>> renames;
    bool applied = false;
    for (const auto& o : options) {
        bool ok = false;
        if (o.key == TokenSetName) {
            ok = m_tokens->renameSet(current, o.value, error);
            if (ok) {
                renames.append({current, o.value});
                current = o.value;
            }
        } else if (o.key == TokenSetBits) {
            int bits = 0;
            if (!VerbOptions::parseInt(o.value.trimmed(), &bits))
                *error = QStringLiteral("-bits takes a number, not \"%1\"").arg(o.value);
            else
                ok = m_tokens->setSetBits(current, bits, error);
        } else {
            *error = o.value;
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
        for (const auto& c : m_session->cores()) {
            if (TriggerUModel* tu = c->getTUModel())
                for (int r = 0; r < tu->rowCount(); ++r)
                    if (tu->text(r, TriggerUModel::ColRadix) == rn.first)
                        changed << tu->setText(r, TriggerUModel::ColRadix, rn.second);
            // Waveform buses shown in the set follow it too, at any depth.
            if (WaveformModel* wd = c->getWDModel())
                renameBusRadix(wd, QModelIndex(), rn.first, rn.second);
        }
    commitTokenEdits(changed);
    return true;
}

bool TriggerSetup::delToken(const QString& set, const QString& token, QString* error) {
    if (!tokensEditable(error))
        return false;
    if (m_tokens->getToken(set, token, QStringLiteral("user")).isEmpty()) {
        *error = QStringLiteral("ona_del_token: ") + m_tokens->missingText(set, token, QStringLiteral("user"));
        return false;
    }
    QList<QStandardItem*> changed;
    releaseTokenSetUsers(set, token, &changed);
    m_tokens->deleteToken(set, token, error);
    commitTokenEdits(changed);
    return true;
}

bool TriggerSetup::delTokenSet(const QString& set, QString* error) {
    if (!tokensEditable(error))
        return false;
    QStringList names;
    if (set.isEmpty()) {
        for (const auto& s : m_tokens->sets(QStringLiteral("user")))
            names << s.name;
    } else {
        if (m_tokens->getTokenSet(set, QStringLiteral("user")).isEmpty()) {
            *error =
                QStringLiteral("ona_del_tokenset: ") + m_tokens->missingText(set, QString(), QStringLiteral("user"));
            return false;
        }
        names << set;
    }
    QList<QStandardItem*> changed;
    for (const QString& n : names) {
        releaseTokenSetUsers(n, QString(), &changed);
        m_tokens->deleteSet(n, error);
    }
    commitTokenEdits(changed);
    return true;
}

bool TriggerSetup::importTokenSets(const QString& path, QString* error) {
    if (!tokensEditable(error))
        return false;
    QByteArray data;
    QList<TokenSetData> incoming;
    const QString abs = QFileInfo(path).absoluteFilePath();
    if (!readFile(abs, &data, error) || !parseOnt(data, abs, &incoming, error))
        return false;
    // A set of the same name is replaced; the others are added.
    QList<TokenSetData> merged = m_tokens->sets(QStringLiteral("user"));
    for (const TokenSetData& s : incoming)
        replaceOrAppend(merged, s);
    const QString why = TokenModel::validate(merged, false);
    if (!why.isEmpty()) {
        *error = QStringLiteral("%1: %2").arg(abs, why);
        return false;
    }
    m_tokens->setSets(QStringLiteral("user"), merged);
    commitTokenEdits({});
    return true;
}

bool TriggerSetup::exportTokenSets(const QString& path, QString* error) {
    if (!m_session->isOpen()) {
        *error = QStringLiteral("no project is open");
        return false;
    }
    if (path.trimmed().isEmpty()) {
        *error = QStringLiteral("ona_export_tokenset: no file name given");
        return false;
    }
    return writeFile(QFileInfo(path).absoluteFilePath(), writeOnt(m_tokens->sets(QStringLiteral("user"))), error);
}
