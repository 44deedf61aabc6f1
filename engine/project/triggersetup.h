#pragma once

// The trigger setup of the open project: edits of the trigger units,
// expressions and options of the current core, and the token sets they may
// use. Every edit checks everything first, then rechecks every core's rows
// (a token set or a unit name may be used anywhere) and announces what
// changed. The token store lives here.

#include "onaglobal.h"
#include "triggerlang.h"
#include "verboptions.h"

#include <QObject>
#include <QStringList>
#include <QVector>

class AnalyzerCore;
class ProjectSession;
class QStandardItem;
class TokenModel;

class ONA_EXPORT TriggerSetup : public QObject {
    Q_OBJECT
public:
    enum TUOption { TUOperator, TURadix, TUValue, TUUnknown };
    enum TEOption { TEExpression, TEEnable, TEUnknown };
    enum TrigOption {
        TrigPosition,
        TrigPositionMode,
        TrigTeAll,
        TrigSamples,
        TrigNumTriggers,
        TrigFinalCounter,
        TrigFinalCounterValue,
        TrigConnectPor,
        TrigUnknown
    };
    enum TokenOption { TokenName, TokenValue, TokenUnknown };
    enum TokenSetOption { TokenSetName, TokenSetBits, TokenSetUnknown };
    using TUOptions = VerbOptions::List<TUOption>;
    using TEOptions = VerbOptions::List<TEOption>;
    using TrigOptions = VerbOptions::List<TrigOption>;
    using TokenOptions = VerbOptions::List<TokenOption>;
    using TokenSetOptions = VerbOptions::List<TokenSetOption>;

    explicit TriggerSetup(ProjectSession* session, QObject* parent = nullptr);

    TokenModel* tokens() const { return m_tokens; }
    TriggerLang::TokenLookup tokenLookup() const;

    // Recounts the errors of every core without announcing anything (a
    // project just opened or closed).
    void resetCounts();

    bool setTU(const QString& name, const TUOptions& options, QString* error);
    bool renameTU(const QString& from, const QString& to, QString* error);
    bool setTE(const QString& name, const TEOptions& options, QString* error);
    bool renameTE(const QString& from, const QString& to, QString* error);
    bool setTrigOptions(const TrigOptions& options, QString* error);
    bool addTokenSet(const QString& name, int bits, QString* error);
    bool addToken(const QString& set, const QString& token, const QString& value, QString* error);
    bool setToken(const QString& set, const QString& token, const TokenOptions& options, QString* error);
    bool setTokenSet(const QString& set, const TokenSetOptions& options, QString* error);
    bool delToken(const QString& set, const QString& token, QString* error);
    bool delTokenSet(const QString& set, QString* error); // empty set: all
    bool importTokenSets(const QString& path, QString* error);
    bool exportTokenSets(const QString& path, QString* error);

signals:
    void setDirty(QStandardItem* item);
    void errorDirty();
    void tokenDirty();
    void settingDirty();

private:
    // The current core when its trigger setup may be edited (no capture
    // running); null with `error` set otherwise.
    AnalyzerCore* editableCore(QString* error) const;
    // Whether the token sets may be edited: a project is open and no capture runs.
    bool tokensEditable(QString* error) const;
    // Recounts the errors of every core; true when a count changed.
    bool recount();
    // Announces edited items, then a changed error count.
    void commitEdits(const QList<QStandardItem*>& changed);
    // The same after an edit of the token sets, which then announces them.
    void commitTokenEdits(const QList<QStandardItem*>& changed);
    // TUs whose radix is `set`: converts them to Bin keeping their value.
    void releaseTokenSetUsers(const QString& set, const QString& token, QList<QStandardItem*>* changed);
    QString convertValue(const TriggerLang::TUSpec& from, const QString& newRadix) const;

    ProjectSession* m_session;
    TokenModel* m_tokens;
    QVector<int> m_errorCounts;
};
