#include "triggerumodel.h"

namespace {
const char* const kRadix[] = {"Bin", "Oct", "Dec", "Hex"};
}

TriggerUModel::TriggerUModel(QObject* parent)
    : TriggerTable({QStringLiteral("Name"), QStringLiteral("Signals"), QStringLiteral("Operator"),
                    QStringLiteral("Radix"), QStringLiteral("Value")},
                   QStringLiteral("Trigger Unit"), parent) {}

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
    TriggerURow info;
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

QStringList TriggerUModel::signalRefs(int row) const {
    return row >= 0 && row < m_rows.size() ? m_rows.at(row).refs : QStringList();
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
        [&](int r, TriggerURow& info, QString* why) {
            info.cond = TriggerLang::TUCondition();
            return TriggerLang::compileTU(unitSpec(r), tokens, &info.cond, why);
        },
        [this](int r) { return item(r, ColValue); });
    return m_numError;
}

TriggerLang::TUCondition TriggerUModel::condition(int row) const {
    const TriggerURow* info = rowAt(m_rows, row);
    return info ? info->cond : TriggerLang::TUCondition();
}
