#pragma once

// Trigger units of one analyzer core: one row per unit, columns
// 0 name, 1 signals, 2 operator, 3 radix, 4 value. Rows come from the
// debug-logic file; commands change their texts, never their number.

#include "onaglobal.h"
#include "rowcheck.h"
#include "triggerlang.h"

#include <QStandardItemModel>
#include <QStringList>
#include <QVector>

struct TriggerURow : RowCheck {
    QStringList refs;
    int width = 1;
    int serial = 0;
    TriggerLang::TUCondition cond;
};

class ONA_EXPORT TriggerUModel : public TriggerTable<TriggerURow> {
    Q_OBJECT
public:
    enum Column { ColName = 0, ColSignals = 1, ColOperator = 2, ColRadix = 3, ColValue = 4 };

    explicit TriggerUModel(QObject* parent = nullptr);

    // Position of the row's radix in radix_list, -1 for a token set.
    int indexOfRadixByRow(int row) const;
    QString valueOfRadixByRow(int row) const;
    // Serial bits of a serial unit (1 or more), 0 for a parallel one.
    int getSerialBit(int row) const;
    // Bits the value compares: the signals' total width, or the serial word.
    int getNumSignal(int row) const;

    void appendUnit(const QString& name, const QStringList& signalRefs, int width, int serial, const QString& op,
                    const QString& radix, const QString& value);
    int numUnits() const { return rowCount(); }
    QStringList signalRefs(int row) const;

    // Recompiles every row against the token sets and returns the count of
    // rows that do not parse.
    int recheck(const TriggerLang::TokenLookup& tokens);
    // The compiled condition of a row without error.
    TriggerLang::TUCondition condition(int row) const;
    TriggerLang::TUSpec unitSpec(int row) const;
};
