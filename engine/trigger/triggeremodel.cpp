#include "triggeremodel.h"

TriggerEModel::TriggerEModel(QObject* parent)
    : TriggerTable({QStringLiteral("Name"), QStringLiteral("Expression")}, QStringLiteral("Trigger Expression"),
                   parent) {}

int TriggerEModel::getNumChecked() const {
    int n = 0;
    for (int r = 0; r < rowCount(); ++r)
        n += isEnabled(r);
    return n;
}

void TriggerEModel::appendExpression(const QString& name, const QString& expression, bool enabled) {
    auto* nameItem = new QStandardItem(name);
    nameItem->setCheckable(true);
    nameItem->setCheckState(enabled ? Qt::Checked : Qt::Unchecked);
    appendRow({nameItem, new QStandardItem(expression)});
    m_rows.append(TriggerERow());
}

bool TriggerEModel::isEnabled(int row) const {
    return row >= 0 && row < rowCount() && item(row, ColName)->checkState() == Qt::Checked;
}

QStandardItem* TriggerEModel::setEnabled(int row, bool enabled) {
    if (row < 0 || row >= rowCount())
        return nullptr;
    QStandardItem* it = item(row, ColName);
    const Qt::CheckState want = enabled ? Qt::Checked : Qt::Unchecked;
    if (it->checkState() != want)
        it->setCheckState(want);
    return it;
}

int TriggerEModel::recheck(const QStringList& tuNames) {
    m_numError = recheckRows(
        m_rows,
        [&](int r, TriggerERow& info, QString* why) {
            info.prog = TriggerLang::TEProgram();
            return TriggerLang::parseTE(text(r, ColExpression), tuNames, &info.prog, why);
        },
        [this](int r) { return item(r, ColExpression); });
    return m_numError;
}

TriggerLang::TEProgram TriggerEModel::program(int row) const {
    const TriggerERow* info = rowAt(m_rows, row);
    return info ? info->prog : TriggerLang::TEProgram();
}
