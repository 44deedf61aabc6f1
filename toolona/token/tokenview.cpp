#include "token/tokenview.h"

#include "kit/tclcommand.h"
#include "kit/toolgateway.h"

#include "basgui/dialogseam.h"
#include "onadata.h"
#include "tokenmodel.h"
#include "waveformmodel.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QSet>
#include <QStandardItem>

namespace vemo::toolona {

namespace {

const QString kUser = QStringLiteral("user");
const QString kCaption = QStringLiteral("Ondrel Analyzer");

TokenModel* tokens() { return OnaData::inst()->getTokenModel(); }

// A binary value without its leading zeros, so that values of different
// widths compare as numbers.
QString significant(const QString& bits) {
    int i = 0;
    while (i < bits.size() && bits.at(i) == QLatin1Char('0'))
        ++i;
    return bits.mid(i);
}

QString cancelHint() { return QStringLiteral("\nSelect \"Yes\" to continue, \"No\" to cancel."); }

} // namespace

TokenView::TokenView(ToolGateway* gateway, QWidget* parent) : QTreeView(parent), m_gateway(gateway) {
    QStandardItemModel* model = tokens()->getUserModel();
    setModel(model);
    // A reset (an import) or a removal can take the selected rows without a
    // selection change being announced.
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        trackSelection();
        expandAll();
    });
    connect(model, &QAbstractItemModel::rowsRemoved, this, &TokenView::trackSelection);
}

void TokenView::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    QTreeView::selectionChanged(selected, deselected);
    trackSelection();
}

void TokenView::trackSelection() {
    m_selection = selectionModel() ? selectionModel()->selection() : QItemSelection();
    const QModelIndexList indexes = m_selection.indexes();
    if (indexes.isEmpty()) {
        m_current = QPersistentModelIndex();
        m_set = m_token = -1;
    } else {
        m_current = indexes.first();
        if (m_current.parent().isValid()) {
            m_set = m_current.parent().row();
            m_token = m_current.row();
        } else {
            m_set = m_current.row();
            m_token = -1;
        }
    }
    emit tokenSelection(m_set);
}

void TokenView::forgetSelection() {
    clearSelection();
    m_selection.clear();
    m_current = QPersistentModelIndex();
    m_set = m_token = -1;
    emit tokenSelection(m_set);
}

void TokenView::selectRow(const QModelIndex& index) {
    if (!index.isValid())
        return;
    if (index.parent().isValid())
        expand(index.parent());
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(index);
}

bool TokenView::send(const QString& cmd) {
    QString result;
    if (m_gateway && m_gateway->tclEval(cmd, &result))
        return true;
    basgui::Dialogs::message(QMessageBox::Critical, this, kCaption,
                             result.isEmpty() ? QStringLiteral("The command was refused: %1").arg(cmd) : result);
    return false;
}

bool TokenView::confirm(const QString& question) const {
    return basgui::Dialogs::message(QMessageBox::Warning, const_cast<TokenView*>(this), QStringLiteral("Warning"),
                                    question, QMessageBox::Yes | QMessageBox::No,
                                    QMessageBox::NoButton) == QMessageBox::Yes;
}

QString TokenView::freeValue(const QStringList& usedBits, int bits) {
    if (bits < 1)
        return QString();
    QSet<QString> used;
    for (const QString& b : usedBits)
        used.insert(significant(b));
    // n tokens take at most n values, so one of 0 .. n is free unless the
    // set has fewer values than that.
    for (int v = 0; v <= usedBits.size(); ++v) {
        if (bits < 31 && v >= (1 << bits))
            break;
        const QString candidate = QString::number(v, 2);
        if (!used.contains(v == 0 ? QString() : candidate))
            return QStringLiteral("b'") + candidate.rightJustified(bits, QLatin1Char('0'));
    }
    return QString();
}

void TokenView::addTokenSet() {
    TokenModel* t = tokens();
    int n = t->numTokenSet(kUser);
    QString name = QStringLiteral("TOKEN_SET_%1").arg(n);
    while (!t->getTokenSet(name, kUser).isEmpty())
        name = QStringLiteral("TOKEN_SET_%1").arg(++n);
    if (!send(tclCommand(QStringLiteral("ona_add_tokenset -tokenset %1"), tclWord(name))))
        return;
    const QList<QStandardItem*> set = t->getTokenSet(name, kUser);
    if (!set.isEmpty())
        selectRow(set.at(0)->index());
}

void TokenView::addToken() {
    TokenModel* t = tokens();
    const QList<QStandardItem*> set = t->getTokenSet(m_set, kUser);
    if (set.size() < 2)
        return;
    const QString setName = set.at(0)->text();
    const int bits = set.at(1)->text().toInt();
    const int count = set.at(0)->rowCount();
    int n = count;
    QString name = QStringLiteral("TOKEN_%1").arg(n);
    while (!t->getToken(setName, name, kUser).isEmpty())
        name = QStringLiteral("TOKEN_%1").arg(++n);
    QStringList used;
    for (int j = 0; j < count; ++j)
        used << set.at(0)->child(j, 2)->text().mid(2);
    const QString value = freeValue(used, bits);
    QString holder;
    // A full set gets no new token, and says nothing.
    if (value.isEmpty() || t->isTokenValExist(set, value, holder))
        return;
    // name=value is one word: quoted as a whole when the name needs it (the
    // value is binary digits).
    const QString pair = name + QLatin1Char('=') + value;
    const QString word = isTclPlainWord(name) ? pair : QLatin1Char('"') + tclQuoted(pair) + QLatin1Char('"');
    if (!send(tclCommand(QStringLiteral("ona_add_token %1 %2"), tclWord(setName), word)))
        return;
    const QList<QStandardItem*> token = t->getToken(setName, name, kUser);
    if (!token.isEmpty())
        selectRow(token.at(0)->index());
}

bool TokenView::findUses(const QStringList& sets, const QString& token, bool ask, Uses* uses) {
    OnaData* d = OnaData::inst();
    QString question;
    QStringList& units = uses->units;
    for (int i = 0;; ++i) {
        const QString radix = d->getTURadix(i);
        if (radix.isEmpty())
            break;
        if (!sets.contains(radix) || (!token.isNull() && d->getTUValue(i) != token))
            continue;
        units << d->getTUName(i);
        if (question.isEmpty())
            question =
                token.isNull()
                    ? QStringLiteral("The Token Set \"%1\" is used in Trigger Unit \"%2\"").arg(radix, units.last())
                    : QStringLiteral("The Token \"%1\" in Token Set \"%2\" is used in Trigger Unit \"%3\" ")
                          .arg(token, radix, units.last());
    }
    // Every bus of the waveform, nested ones too: a bus further down (or
    // inside a group) may use the set as well.
    QList<int>& topBuses = uses->topBuses;
    QList<QPersistentModelIndex>& innerBuses = uses->innerBuses;
    WaveformModel* wave = d->getWDModel();
    if (token.isNull() && wave) {
        std::function<void(const QModelIndex&)> walk = [&](const QModelIndex& parent) {
            for (int r = 0; r < wave->rowCount(parent); ++r) {
                const QModelIndex idx = wave->index(r, 0, parent);
                const SigTreeData row = WaveformModel::rowData(idx);
                if (row.isBus() && row.radix == 0 && sets.contains(row.radixName)) {
                    innerBuses << idx;
                    if (question.isEmpty())
                        question = QStringLiteral("The Token Set \"%1\" is used in Waveform Signal \"%2\"")
                                       .arg(row.radixName, row.name);
                }
                walk(idx);
            }
        };
        for (int j = 0; j < wave->rowCount(); ++j) {
            const QString radix = d->getWaveformRadix(j);
            if (sets.contains(radix)) {
                topBuses << j;
                if (question.isEmpty())
                    question = QStringLiteral("The Token Set \"%1\" is used in Waveform Signal \"%2\"")
                                   .arg(radix, d->getWaveformSignal(j));
            }
            walk(wave->index(j, 0));
        }
    }
    // One Yes confirms every use.
    return !(ask && !question.isEmpty() && !confirm(question + cancelHint()));
}

bool TokenView::deleteAndRelease(const QString& deleteCommand, const Uses& uses) {
    if (!send(deleteCommand))
        return false;
    // The engine's delete has released the units already; the command says
    // so to a host that records the session.
    for (const QString& unit : uses.units)
        send(tclCommand(QStringLiteral("ona_set_tu -name %1 -radix \"Bin\""), tclWord(unit)));
    OnaData* d = OnaData::inst();
    WaveformModel* wave = d->getWDModel();
    for (int j : uses.topBuses)
        d->resetWaveformRadix(j);
    for (const QPersistentModelIndex& idx : uses.innerBuses) {
        if (!idx.isValid())
            continue;
        SigTreeData row = WaveformModel::rowData(idx);
        row.radix = 2;
        row.radixName.clear();
        wave->setRowData(idx, row);
    }
    return true;
}

void TokenView::removeSelected() {
    if (!m_current.isValid() || m_set < 0)
        return;
    const QModelIndex current = m_current;
    if (current.parent().isValid()) {
        const QString set = current.parent().siblingAtColumn(0).data().toString();
        const QString token = current.siblingAtColumn(0).data().toString();
        Uses uses;
        if (!findUses({set}, token, true, &uses) ||
            !deleteAndRelease(tclCommand(QStringLiteral("ona_del_token %1 %2"), tclWord(set), tclWord(token)), uses))
            return;
    } else {
        const QString set = current.siblingAtColumn(0).data().toString();
        Uses uses;
        if (!findUses({set}, QString(), true, &uses) ||
            !deleteAndRelease(tclCommand(QStringLiteral("ona_del_tokenset %1"), tclWord(set)), uses))
            return;
    }
    forgetSelection();
}

void TokenView::removeAll() {
    if (!confirm(QStringLiteral("All the token data will be deleted") + cancelHint()))
        return;
    QStringList sets;
    for (const TokenSetData& s : tokens()->sets(kUser))
        sets << s.name;
    // The one answer above stands for every use.
    Uses uses;
    if (!findUses(sets, QString(), false, &uses) || !deleteAndRelease(QStringLiteral("ona_del_tokenset -all"), uses))
        return;
    forgetSelection();
}

void TokenView::sendForTokenFile(bool save, const QString& title, const QString& command) {
    const QString dir = OnaData::inst()->getCurrentDirectory();
    const QString filter = QStringLiteral("Ondrel Token File (*.ont);;All Files (*)");
    const QString file = save ? basgui::Dialogs::provider()->getSaveFileName(this, title, dir, filter)
                              : basgui::Dialogs::provider()->getOpenFileName(this, title, dir, filter);
    if (!file.isEmpty())
        send(tclCommand(command, tclQuoted(file)));
}

void TokenView::importTokens() {
    sendForTokenFile(false, QStringLiteral("Import Tokens"), QStringLiteral("ona_import_tokenset \"%1\""));
}

void TokenView::exportTokens() {
    sendForTokenFile(true, QStringLiteral("Export Tokens"), QStringLiteral("ona_export_tokenset \"%1\""));
}

QMenu* TokenView::buildContextMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    menu->addAction(QStringLiteral("Add Token Set"));
    menu->addAction(QStringLiteral("Add Token"))->setEnabled(m_set >= 0);
    menu->addSeparator();
    menu->addAction(QStringLiteral("Remove All"))->setEnabled(tokens()->numTokenSet(kUser) > 0);
    menu->addAction(QStringLiteral("Remove"))->setEnabled(m_set >= 0);
    menu->addSeparator();
    menu->addAction(QStringLiteral("Import"));
    menu->addAction(QStringLiteral("Export"));
    return menu;
}

void TokenView::runContextAction(const QAction* action) {
    if (!action || !action->isEnabled())
        return;
    const QString text = action->text();
    // Longer entries first: "Add Token Set" also starts with "Add Token".
    if (text.startsWith(QLatin1String("Add Token Set")))
        addTokenSet();
    else if (text.startsWith(QLatin1String("Add Token")))
        addToken();
    else if (text.startsWith(QLatin1String("Remove All")))
        removeAll();
    else if (text.startsWith(QLatin1String("Remove")))
        removeSelected();
    else if (text.startsWith(QLatin1String("Import")))
        importTokens();
    else if (text.startsWith(QLatin1String("Export")))
        exportTokens();
}

void TokenView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = buildContextMenu(this);
    const QAction* chosen = menu->exec(event->globalPos());
    runContextAction(chosen);
    delete menu;
}

} // namespace vemo::toolona
