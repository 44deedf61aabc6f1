#include "triggerumodel.h"

namespace {
const char* const kRadix[] = {"Bin", "Oct", "Dec", "Hex"};
}

TriggerUModel::TriggerUModel(QObject* parent)
    : QStandardItemModel(0, 5, parent), m_title(QStringLiteral("Trigger Unit")) {
    setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Signals"), QStringLiteral("Operator"),
                               QStringLiteral("Radix"), QStringLiteral("Value")});
}

int TriggerUModel::indexOfRadixByRow(int row) const {
    const QString r = text(row, ColRadix);
    for (int i = 0; i < 4; ++i)
        if (r == QLatin1String(kRadix[i]))
            return i;
    return -1;
}

QString TriggerUModel::valueOfRadixByRow(int row) const { return text(row, ColRadix); }

int TriggerUModel::getSerialBit(int row) const { return row >= 0 && row < m_rows.size() ? m_rows.at(row).serial : 0; }

int TriggerUModel::getNumSignal(int row) const { return row >= 0 && row < m_rows.size() ? m_rows.at(row).width : 0; }

void TriggerUModel::appendUnit(const QString& name, const QStringList& signalRefs, int width, int serial,
                               const QString& op, const QString& radix, const QString& value) {
    RowInfo info;
    info.refs = signalRefs;
    info.width = width;
    info.serial = serial;
    m_rows.append(info);
    QString sigText = signalRefs.join(QStringLiteral(", "));
    if (serial > 0)
        sigText += QStringLiteral(" (serial %1)").arg(serial);
    auto* signalItem = new QStandardItem(sigText);
    signalItem->setEditable(false);
    appendRow({new QStandardItem(name), signalItem, new QStandardItem(op), new QStandardItem(radix),
               new QStandardItem(value)});
}

int TriggerUModel::rowOf(const QString& name) const { return rowNamed(*this, ColName, name); }

QStringList TriggerUModel::names() const { return columnTexts(*this, ColName); }

QString TriggerUModel::text(int row, int column) const {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return QString();
    const QStandardItem* it = item(row, column);
    return it ? it->text() : QString();
}

QStringList TriggerUModel::signalRefs(int row) const {
    return row >= 0 && row < m_rows.size() ? m_rows.at(row).refs : QStringList();
}

QStandardItem* TriggerUModel::setText(int row, int column, const QString& text) {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return nullptr;
    QStandardItem* it = item(row, column);
    if (it->text() != text)
        it->setText(text);
    return it;
}

TriggerLang::TUSpec TriggerUModel::unitSpec(int row) const {
    TriggerLang::TUSpec s;
    s.width = getNumSignal(row);
    s.serial = getSerialBit(row);
    s.op = text(row, ColOperator);
    s.radix = text(row, ColRadix);
    s.value = text(row, ColValue);
    return s;
}

int TriggerUModel::recheck(const TriggerLang::TokenLookup& tokens) {
    m_numError = recheckRows(
        m_rows,
        [&](int r, RowInfo& info, QString* why) {
            info.cond = TriggerLang::TUCondition();
            return TriggerLang::compileTU(unitSpec(r), tokens, &info.cond, why);
        },
        [this](int r) { return item(r, ColValue); });
    return m_numError;
}

bool TriggerUModel::hasError(int row) const { return rowHasError(m_rows, row); }

QString TriggerUModel::errorText(int row) const { return rowErrorText(m_rows, row); }

TriggerLang::TUCondition TriggerUModel::condition(int row) const {
    const RowInfo* info = rowAt(m_rows, row);
    return info ? info->cond : TriggerLang::TUCondition();
}
