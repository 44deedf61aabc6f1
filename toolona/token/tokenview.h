#pragma once

#include <QItemSelection>
#include <QPersistentModelIndex>
#include <QTreeView>

class QAction;
class QMenu;

namespace vemo::toolona {

class ToolGateway;

// The tree of the user token sets, shown straight from the engine's model.
// It tracks which set (and token) is selected and runs the operations of the
// token set manager: each is one or more engine commands through the
// gateway, and a refusal shows the engine's message and changes nothing
// more.
class TokenView : public QTreeView {
    Q_OBJECT
public:
    TokenView(ToolGateway* gateway, QWidget* parent = nullptr);

    int selectedSet() const { return m_set; }
    int selectedToken() const { return m_token; }

    void addTokenSet();
    void addToken();
    void removeSelected();
    void removeAll();
    void importTokens();
    void exportTokens();

    // The context menu's entries, enabled as the selection allows.
    QMenu* buildContextMenu(QWidget* parent);
    // Runs the entry a context menu returned (recognised by its text).
    void runContextAction(const QAction* action);

    // The value a new token of `set` gets: the smallest one the set does not
    // use, as "b'" plus `bits` binary digits; empty when every value is
    // taken. Only the token count + 1 smallest values are tried: one of them
    // is free.
    static QString freeValue(const QStringList& usedBits, int bits);

signals:
    void tokenSelection(int set);

protected:
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // Reads the set and token indices from the current selection.
    void trackSelection();
    void selectRow(const QModelIndex& index);
    // Sends a command; a refusal shows the engine's message. True when taken.
    bool send(const QString& cmd);
    // Asks for a token file to open (or to save) and sends `command` with it.
    void sendForTokenFile(bool save, const QString& title, const QString& command);
    bool confirm(const QString& question) const;
    // The trigger units and waveform buses that use a set (or one token).
    struct Uses {
        QStringList units;
        QList<int> topBuses;
        QList<QPersistentModelIndex> innerBuses;
    };
    // Finds the uses of one of `sets` (or, with `token` given, of that token
    // of the one set) and asks about them when `ask`; false when the user
    // said No. Changes nothing.
    bool findUses(const QStringList& sets, const QString& token, bool ask, Uses* uses);
    // Runs `deleteCommand`; only when the engine took it are the uses reset
    // (units to "Bin", buses to binary): a refused delete leaves every unit
    // and bus on the set it still has.
    bool deleteAndRelease(const QString& deleteCommand, const Uses& uses);
    void forgetSelection();

    ToolGateway* m_gateway;
    int m_set = -1;
    int m_token = -1;
    QItemSelection m_selection;
    QPersistentModelIndex m_current;
};

} // namespace vemo::toolona
