#include "triggeremodel.h"

TriggerEModel::TriggerEModel(QObject* parent)
    : QStandardItemModel(0, 2, parent), m_title(QStringLiteral("Trigger Expression")) {
    setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Expression")});
}

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
    m_rows.append(RowInfo());
}

int TriggerEModel::rowOf(const QString& name) const { return rowNamed(*this, ColName, name); }

QStringList TriggerEModel::names() const { return columnTexts(*this, ColName); }

QString TriggerEModel::text(int row, int column) const {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return QString();
    return item(row, column)->text();
}

bool TriggerEModel::isEnabled(int row) const {
    return row >= 0 && row < rowCount() && item(row, ColName)->checkState() == Qt::Checked;
}

QStandardItem* TriggerEModel::setText(int row, int column, const QString& text) {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return nullptr;
    QStandardItem* it = item(row, column);
    if (it->text() != text)
        it->setText(text);
    return it;
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
        [&](int r, RowInfo& info, QString* why) {
            info.prog = TriggerLang::TEProgram();
            return TriggerLang::parseTE(text(r, ColExpression), tuNames, &info.prog, why);
        },
        [this](int r) { return item(r, ColExpression); });
    return m_numError;
}

bool TriggerEModel::hasError(int row) const { return rowHasError(m_rows, row); }

QString TriggerEModel::errorText(int row) const { return rowErrorText(m_rows, row); }

TriggerLang::TEProgram TriggerEModel::program(int row) const {
    const RowInfo* info = rowAt(m_rows, row);
    return info ? info->prog : TriggerLang::TEProgram();
}
