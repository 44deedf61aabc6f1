#include "tokenmodel.h"

#include "triggerlang.h"

#include <QSet>

namespace {

// The user sets as an edit would leave them pass every check; else why not.
bool userSetsValid(const QList<TokenSetData>& all, QString* error) {
    *error = TokenModel::validate(all, false);
    return error->isEmpty();
}

const QString kUser = QStringLiteral("user");
const QString kEnum = QStringLiteral("ENUM");

QString widthText(int bits) { return QString::number(bits); }

} // namespace

TokenModel::TokenModel(QObject* parent) : QObject(parent) { clear(); }

QStandardItemModel* TokenModel::model(const QString& kind) { return kind == kEnum ? &m_enum : &m_user; }

int TokenModel::numTokenSet(const QString& kind) { return model(kind)->rowCount(); }

QList<QStandardItem*> TokenModel::getTokenSet(int i, const QString& kind) {
    QStandardItemModel* m = model(kind);
    QList<QStandardItem*> row;
    if (i < 0 || i >= m->rowCount())
        return row;
    for (int c = 0; c < 2; ++c)
        row << m->item(i, c);
    return row;
}

QList<QStandardItem*> TokenModel::getTokenSet(const QString& name, const QString& kind) {
    QStandardItemModel* m = model(kind);
    for (int i = 0; i < m->rowCount(); ++i)
        if (m->item(i, 0)->text() == name)
            return getTokenSet(i, kind);
    return {};
}

QList<QStandardItem*> TokenModel::getToken(int set, int token, const QString& kind) {
    QList<QStandardItem*> s = getTokenSet(set, kind);
    if (s.isEmpty() || token < 0 || token >= s.at(0)->rowCount())
        return {};
    return {s.at(0)->child(token, 0), s.at(0)->child(token, 1), s.at(0)->child(token, 2)};
}

QList<QStandardItem*> TokenModel::getToken(const QString& set, const QString& token, const QString& kind) {
    QList<QStandardItem*> s = getTokenSet(set, kind);
    if (s.isEmpty())
        return {};
    for (int j = 0; j < s.at(0)->rowCount(); ++j)
        if (s.at(0)->child(j, 0)->text() == token)
            return {s.at(0)->child(j, 0), s.at(0)->child(j, 1), s.at(0)->child(j, 2)};
    return {};
}

bool TokenModel::isTokenValExist(QList<QStandardItem*> set, QString value, QString& name) {
    if (set.size() < 2 || !set.at(0))
        return false;
    const int bits = set.at(1)->text().toInt();
    QString want, why;
    if (!TriggerLang::parseTokenValue(value, bits, &want, &why))
        return false;
    QStandardItem* s = set.at(0);
    for (int j = 0; j < s->rowCount(); ++j) {
        QString have;
        if (TriggerLang::parseTokenValue(s->child(j, 2)->text(), bits, &have, &why) && have == want) {
            name = s->child(j, 0)->text();
            return true;
        }
    }
    return false;
}

const QStandardItemModel* TokenModel::modelFor(const QString& set) const {
    return set.startsWith(QLatin1String("ONL_")) ? &m_enum : &m_user;
}

bool TokenModel::setWidth(const QString& set, int* width) const {
    const QStandardItemModel* m = modelFor(set);
    for (int i = 0; i < m->rowCount(); ++i)
        if (m->item(i, 0)->text() == set) {
            *width = m->item(i, 1)->text().toInt();
            return true;
        }
    return false;
}

bool TokenModel::tokenBits(const QString& set, const QString& token, QString* bits) const {
    const QStandardItemModel* m = modelFor(set);
    for (int i = 0; i < m->rowCount(); ++i) {
        QStandardItem* s = m->item(i, 0);
        if (s->text() != set)
            continue;
        for (int j = 0; j < s->rowCount(); ++j)
            if (s->child(j, 0)->text() == token) {
                *bits = s->child(j, 2)->text().mid(2);
                return true;
            }
    }
    return false;
}

namespace {

// The digits of a binary value without its leading zeros ("" for zero).
QStringView significant(QStringView bits) {
    int i = 0;
    while (i < bits.size() && bits.at(i) == QLatin1Char('0'))
        ++i;
    return bits.mid(i);
}

} // namespace

QString TokenModel::valueText(const QString& set, const QString& bits, bool* named) const {
    const QStringView want = significant(bits);
    const QStandardItemModel* m = modelFor(set);
    for (int i = 0; i < m->rowCount(); ++i) {
        QStandardItem* s = m->item(i, 0);
        if (s->text() != set)
            continue;
        for (int j = 0; j < s->rowCount(); ++j) {
            const QString value = s->child(j, 2)->text();
            if (significant(QStringView(value).mid(2)) == want) {
                if (named)
                    *named = true;
                return s->child(j, 0)->text();
            }
        }
    }
    if (named)
        *named = false;
    // A simulator's unknown or floating bits name no token and no number:
    // Z when all float, X otherwise, as a radix that mixes bits shows them.
    if (bits.contains(QLatin1Char('x')) || bits.contains(QLatin1Char('z')))
        return bits.count(QLatin1Char('z')) == bits.size() ? QStringLiteral("Z") : QStringLiteral("X");
    QString number;
    const bool decimal = set.startsWith(QLatin1String("ONL_INT"));
    if (!TriggerLang::formatNumber(bits.isEmpty() ? QStringLiteral("0") : bits,
                                   decimal ? TriggerLang::RadixDec : TriggerLang::RadixHex, &number))
        return QString();
    return number;
}

QString TokenModel::tokenByBits(const QString& set, const QString& bits) const {
    bool named = false;
    const QString text = valueText(set, bits, &named);
    return named ? text : QString();
}

QList<TokenSetData> TokenModel::sets(const QString& kind) const {
    const QStandardItemModel* m = kind == kEnum ? &m_enum : &m_user;
    QList<TokenSetData> out;
    for (int i = 0; i < m->rowCount(); ++i) {
        TokenSetData d;
        QStandardItem* s = m->item(i, 0);
        d.name = s->text();
        d.bits = m->item(i, 1)->text().toInt();
        for (int j = 0; j < s->rowCount(); ++j)
            d.tokens.append({s->child(j, 0)->text(), s->child(j, 2)->text().mid(2)});
        out.append(d);
    }
    return out;
}

void TokenModel::appendSet(QStandardItemModel* model, const TokenSetData& set) {
    const bool editable = model == &m_user;
    auto* name = new QStandardItem(set.name);
    auto* bits = new QStandardItem(widthText(set.bits));
    auto* empty = new QStandardItem;
    name->setEditable(editable);
    bits->setEditable(editable);
    empty->setEditable(false);
    for (const auto& t : set.tokens) {
        auto* tn = new QStandardItem(t.first);
        auto* tb = new QStandardItem;
        auto* tv = new QStandardItem(TriggerLang::tokenValueText(t.second));
        tn->setEditable(editable);
        tb->setEditable(false);
        tv->setEditable(editable);
        name->appendRow({tn, tb, tv});
    }
    model->appendRow({name, bits, empty});
}

void TokenModel::fill(QStandardItemModel* model, const QList<TokenSetData>& sets) {
    model->clear();
    model->setColumnCount(3);
    model->setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Num. of Bits"), QStringLiteral("Value")});
    for (const TokenSetData& s : sets)
        appendSet(model, s);
}

void TokenModel::setSets(const QString& kind, const QList<TokenSetData>& sets) {
    fill(kind == kEnum ? &m_enum : &m_user, sets);
}

void TokenModel::clear() {
    fill(&m_user, {});
    fill(&m_enum, {});
}

QString TokenModel::validate(const QList<TokenSetData>& sets, bool enumKind) {
    if (sets.size() > kMaxSets)
        return QStringLiteral("more than %1 token sets").arg(kMaxSets);
    QSet<QString> names;
    for (const TokenSetData& s : sets) {
        if (enumKind) {
            if (!s.name.startsWith(QLatin1String("ONL_")) || !TriggerLang::isIdentifier(s.name))
                return QStringLiteral("invalid enumeration name \"%1\": it must start with ONL_ and be an identifier")
                    .arg(s.name);
        } else {
            const QString why = TriggerLang::checkName(s.name, QStringLiteral("token set"));
            if (!why.isEmpty())
                return why;
            if (s.name.startsWith(QLatin1String("ONL_")))
                return QStringLiteral("token set name \"%1\" is reserved: names beginning ONL_ belong to enumerations")
                    .arg(s.name);
            for (const char* r : {"Bin", "Oct", "Dec", "Hex"})
                if (s.name.compare(QLatin1String(r), Qt::CaseInsensitive) == 0)
                    return QStringLiteral("token set name \"%1\" is a radix name").arg(s.name);
        }
        if (names.contains(s.name))
            return QStringLiteral("token set \"%1\" is defined twice").arg(s.name);
        names.insert(s.name);
        if (s.bits < 1 || s.bits > kMaxBits)
            return QStringLiteral("token set \"%1\": width %2 is not from 1 to %3")
                .arg(s.name)
                .arg(s.bits)
                .arg(kMaxBits);
        if (s.tokens.size() > kMaxTokens)
            return QStringLiteral("token set \"%1\" has more than %2 tokens").arg(s.name).arg(kMaxTokens);
        QSet<QString> tnames, values;
        for (const auto& t : s.tokens) {
            const QString why = TriggerLang::checkName(t.first, QStringLiteral("token"));
            if (!why.isEmpty())
                return QStringLiteral("token set \"%1\": %2").arg(s.name, why);
            if (tnames.contains(t.first))
                return QStringLiteral("token set \"%1\": token \"%2\" is defined twice").arg(s.name, t.first);
            tnames.insert(t.first);
            if (t.second.size() != s.bits ||
                t.second.count(QLatin1Char('0')) + t.second.count(QLatin1Char('1')) != s.bits)
                return QStringLiteral("token set \"%1\": value of token \"%2\" is not %3 binary digits")
                    .arg(s.name, t.first)
                    .arg(s.bits);
            if (values.contains(t.second))
                return QStringLiteral("token set \"%1\": value b'%2 is used twice").arg(s.name, t.second);
            values.insert(t.second);
        }
    }
    return QString();
}

QStandardItem* TokenModel::findSet(const QString& name) const {
    for (int i = 0; i < m_user.rowCount(); ++i)
        if (m_user.item(i, 0)->text() == name)
            return m_user.item(i, 0);
    return nullptr;
}

QStandardItem* TokenModel::findToken(QStandardItem* set, const QString& token) const {
    for (int j = 0; j < set->rowCount(); ++j)
        if (set->child(j, 0)->text() == token)
            return set->child(j, 0);
    return nullptr;
}

QString TokenModel::missingText(const QString& set, const QString& token, const QString& kind) const {
    // Names are case-sensitive; a name that differs only in case is the
    // likeliest slip, so it is named in the message.
    const QStandardItemModel* m = kind.isEmpty() ? modelFor(set) : kind == kEnum ? &m_enum : &m_user;
    QStandardItem* exact = nullptr;
    QString near;
    for (int i = 0; i < m->rowCount(); ++i) {
        QStandardItem* s = m->item(i, 0);
        if (s->text() == set)
            exact = s;
        else if (near.isEmpty() && s->text().compare(set, Qt::CaseInsensitive) == 0)
            near = s->text();
    }
    if (!exact || token.isNull()) {
        if (exact)
            return QString();
        QString text = QStringLiteral("token set \"%1\" does not exist").arg(set);
        if (!near.isEmpty())
            text += QStringLiteral(" (names are case-sensitive: there is a set \"%1\")").arg(near);
        return text;
    }
    near.clear();
    for (int j = 0; j < exact->rowCount(); ++j) {
        const QString t = exact->child(j, 0)->text();
        if (t == token)
            return QString();
        if (near.isEmpty() && t.compare(token, Qt::CaseInsensitive) == 0)
            near = t;
    }
    QString text = QStringLiteral("token \"%1\" does not exist in token set \"%2\"").arg(token, set);
    if (!near.isEmpty())
        text += QStringLiteral(" (names are case-sensitive: there is a token \"%1\")").arg(near);
    return text;
}

namespace {

bool noSet(const TokenModel* m, const QString& set, QString* error) {
    *error = m->missingText(set, QString(), kUser);
    return false;
}

bool noToken(const TokenModel* m, const QString& set, const QString& token, QString* error) {
    *error = m->missingText(set, token, kUser);
    return false;
}

} // namespace

bool TokenModel::findSetToken(const QString& set, const QString& token, QStandardItem** s, QStandardItem** t,
                              QString* error) const {
    *s = findSet(set);
    if (!*s)
        return noSet(this, set, error);
    *t = findToken(*s, token);
    if (!*t)
        return noToken(this, set, token, error);
    return true;
}

bool TokenModel::addSet(const QString& name, int bits, QString* error) {
    QList<TokenSetData> all = sets(kUser);
    TokenSetData s;
    s.name = name;
    s.bits = bits;
    all.append(s);
    if (!userSetsValid(all, error))
        return false;
    appendSet(&m_user, s);
    return true;
}

bool TokenModel::addToken(const QString& set, const QString& name, const QString& value, QString* error) {
    QStandardItem* s = findSet(set);
    if (!s)
        return noSet(this, set, error);
    QList<TokenSetData> all = sets(kUser);
    TokenSetData& d = all[s->row()];
    QString bits;
    if (!TriggerLang::parseTokenValue(value, d.bits, &bits, error))
        return false;
    d.tokens.append({name, bits});
    if (!userSetsValid(all, error))
        return false;
    auto* tn = new QStandardItem(name);
    auto* tb = new QStandardItem;
    auto* tv = new QStandardItem(TriggerLang::tokenValueText(bits));
    tb->setEditable(false);
    s->appendRow({tn, tb, tv});
    return true;
}

bool TokenModel::renameToken(const QString& set, const QString& token, const QString& name, QString* error) {
    QStandardItem *s = nullptr, *t = nullptr;
    if (!findSetToken(set, token, &s, &t, error))
        return false;
    QList<TokenSetData> all = sets(kUser);
    all[s->row()].tokens[t->row()].first = name;
    if (!userSetsValid(all, error))
        return false;
    t->setText(name);
    return true;
}

bool TokenModel::setTokenValue(const QString& set, const QString& token, const QString& value, QString* error) {
    QStandardItem *s = nullptr, *t = nullptr;
    if (!findSetToken(set, token, &s, &t, error))
        return false;
    QList<TokenSetData> all = sets(kUser);
    TokenSetData& d = all[s->row()];
    QString bits;
    if (!TriggerLang::parseTokenValue(value, d.bits, &bits, error))
        return false;
    d.tokens[t->row()].second = bits;
    if (!userSetsValid(all, error))
        return false;
    s->child(t->row(), 2)->setText(TriggerLang::tokenValueText(bits));
    return true;
}

bool TokenModel::renameSet(const QString& set, const QString& name, QString* error) {
    QStandardItem* s = findSet(set);
    if (!s)
        return noSet(this, set, error);
    QList<TokenSetData> all = sets(kUser);
    all[s->row()].name = name;
    if (!userSetsValid(all, error))
        return false;
    s->setText(name);
    return true;
}

bool TokenModel::setSetBits(const QString& set, int bits, QString* error) {
    QStandardItem* s = findSet(set);
    if (!s)
        return noSet(this, set, error);
    if (bits < 1 || bits > kMaxBits) {
        *error = QStringLiteral("width %1 is not from 1 to %2").arg(bits).arg(kMaxBits);
        return false;
    }
    QList<TokenSetData> all = sets(kUser);
    TokenSetData& d = all[s->row()];
    for (auto& t : d.tokens) {
        QString fitted, why;
        if (!TriggerLang::parseNumber(t.second, TriggerLang::RadixBin, bits, false, &fitted, &why)) {
            *error = QStringLiteral("token \"%1\" (b'%2) does not fit in %3 bits").arg(t.first, t.second).arg(bits);
            return false;
        }
        t.second = fitted;
    }
    d.bits = bits;
    if (!userSetsValid(all, error))
        return false;
    m_user.item(s->row(), 1)->setText(widthText(bits));
    for (int j = 0; j < d.tokens.size(); ++j)
        s->child(j, 2)->setText(TriggerLang::tokenValueText(d.tokens.at(j).second));
    return true;
}

bool TokenModel::deleteToken(const QString& set, const QString& token, QString* error) {
    QStandardItem *s = nullptr, *t = nullptr;
    if (!findSetToken(set, token, &s, &t, error))
        return false;
    s->removeRow(t->row());
    return true;
}

bool TokenModel::deleteSet(const QString& set, QString* error) {
    QStandardItem* s = findSet(set);
    if (!s)
        return noSet(this, set, error);
    m_user.removeRow(s->row());
    return true;
}
