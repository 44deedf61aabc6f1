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

class ONA_EXPORT TriggerUModel : public QStandardItemModel {
    Q_OBJECT
public:
    enum Column { ColName = 0, ColSignals = 1, ColOperator = 2, ColRadix = 3, ColValue = 4 };

    explicit TriggerUModel(QObject* parent = nullptr);

    QString getTitle() const { return m_title; }
    void setTitle(const QString& title) { m_title = title; }
    int getNumError() const { return m_numError; }

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
    int rowOf(const QString& name) const; // exact match, -1 when absent
    QStringList names() const;
    QString text(int row, int column) const;
    QStringList signalRefs(int row) const;
    // Sets one cell; returns the item, or nullptr when the row is bad.
    QStandardItem* setText(int row, int column, const QString& text);

    // Recompiles every row against the token sets and returns the count of
    // rows that do not parse.
    int recheck(const TriggerLang::TokenLookup& tokens);
    bool hasError(int row) const;
    QString errorText(int row) const;
    // The compiled condition of a row without error.
    TriggerLang::TUCondition condition(int row) const;
    TriggerLang::TUSpec unitSpec(int row) const;

private:
    struct RowInfo : RowCheck {
        QStringList refs;
        int width = 1;
        int serial = 0;
        TriggerLang::TUCondition cond;
    };
    QVector<RowInfo> m_rows;
    QString m_title;
    int m_numError = 0;
};
