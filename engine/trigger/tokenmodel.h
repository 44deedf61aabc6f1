#pragma once

// Token sets: named, fixed-width lists of named values. Two item models, the
// user's sets (editable by the token verbs, saved in the analyzer file) and
// the ENUM sets of the debug-logic file (read only).
//
// Layout of both models: a top-level row per set, column 0 the set name,
// column 1 its width as decimal text; its children are the tokens, column 0
// the token name, column 2 the value as "b'" plus the binary digits.

#include "onaglobal.h"

#include <QList>
#include <QObject>
#include <QStandardItemModel>
#include <QString>

struct TokenSetData {
    QString name;
    int bits = 1;
    QList<QPair<QString, QString>> tokens; // name, pattern ('0'/'1')
};

class ONA_EXPORT TokenModel : public QObject {
    Q_OBJECT
public:
    explicit TokenModel(QObject* parent = nullptr);

    static constexpr int kMaxSets = 1024;
    static constexpr int kMaxTokens = 4096;
    static constexpr int kMaxBits = 256;

    QStandardItemModel* getUserModel() { return &m_user; }
    QStandardItemModel* getEnumModel() { return &m_enum; }
    // kind "user" or "ENUM"
    QStandardItemModel* model(const QString& kind);
    int numTokenSet(const QString& kind);

    // The row items of a set (item 0 the name with the tokens as children,
    // item 1 the width); empty when there is none.
    QList<QStandardItem*> getTokenSet(int i, const QString& kind);
    QList<QStandardItem*> getTokenSet(const QString& name, const QString& kind);
    // The row items of a token (name, empty, value); empty when there is none.
    QList<QStandardItem*> getToken(int set, int token, const QString& kind);
    QList<QStandardItem*> getToken(const QString& set, const QString& token, const QString& kind);
    // True when a token of `set` has the value `value` (any radix prefix);
    // its name goes to `name`.
    bool isTokenValExist(QList<QStandardItem*> set, QString value, QString& name);

    // Lookups across both kinds: ENUM sets for names beginning "ONL_".
    bool setWidth(const QString& set, int* width) const;
    bool tokenBits(const QString& set, const QString& token, QString* bits) const;
    // How a value reads under the token set `set` (ENUM for "ONL_" names,
    // else user): the name of its token. A value no token has reads as a
    // number, in decimal for an integer enumeration ("ONL_INT") and in
    // hexadecimal otherwise, and *named is false. Values are compared as
    // numbers, so a set whose width changed still names the same values.
    // The trigger table, the waveform and the text export all read values
    // through this one function.
    QString valueText(const QString& set, const QString& bits, bool* named = nullptr) const;
    // The name of the token of `set` whose value is `bits`, or empty.
    QString tokenByBits(const QString& set, const QString& bits) const;

    // Names of sets and tokens are case-sensitive everywhere (lookups,
    // uniqueness, radix texts). Why a lookup fails: 'token set "X" does not
    // exist' (or the same for a token of `set` when `token` is given), naming
    // a set or token that differs only in case; empty when it exists. Kind
    // "user" or "ENUM"; empty picks by the name (ENUM for "ONL_").
    QString missingText(const QString& set, const QString& token = QString(), const QString& kind = QString()) const;

    QList<TokenSetData> sets(const QString& kind) const;
    void setSets(const QString& kind, const QList<TokenSetData>& sets);
    void clear();

    // Edits of the user sets; each validates first and explains a refusal.
    bool addSet(const QString& name, int bits, QString* error);
    bool addToken(const QString& set, const QString& name, const QString& value, QString* error);
    bool renameToken(const QString& set, const QString& token, const QString& name, QString* error);
    bool setTokenValue(const QString& set, const QString& token, const QString& value, QString* error);
    bool renameSet(const QString& set, const QString& name, QString* error);
    bool setSetBits(const QString& set, int bits, QString* error);
    bool deleteToken(const QString& set, const QString& token, QString* error);
    bool deleteSet(const QString& set, QString* error);

    // Checks a list of sets (names, widths, values, duplicates).
    static QString validate(const QList<TokenSetData>& sets, bool enumKind);

private:
    const QStandardItemModel* modelFor(const QString& set) const;
    QStandardItem* findSet(const QString& name) const; // user model
    QStandardItem* findToken(QStandardItem* set, const QString& token) const;
    // A user set and one of its tokens; false with the error text when either is missing.
    bool findSetToken(const QString& set, const QString& token, QStandardItem** s, QStandardItem** t,
                      QString* error) const;
    void fill(QStandardItemModel* model, const QList<TokenSetData>& sets);
    void appendSet(QStandardItemModel* model, const TokenSetData& set);

    QStandardItemModel m_user;
    QStandardItemModel m_enum;
};
