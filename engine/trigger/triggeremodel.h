#pragma once

// Trigger expressions of one analyzer core: column 0 the name with a check
// box (checked = enabled), column 1 the expression over trigger-unit names.

#include "onaglobal.h"
#include "rowcheck.h"
#include "triggerlang.h"

#include <QStandardItemModel>
#include <QVector>

class ONA_EXPORT TriggerEModel : public QStandardItemModel {
    Q_OBJECT
public:
    enum Column { ColName = 0, ColExpression = 1 };

    explicit TriggerEModel(QObject* parent = nullptr);

    QString getTitle() const { return m_title; }
    void setTitle(const QString& title) { m_title = title; }
    int getNumError() const { return m_numError; }
    int getNumChecked() const;

    void appendExpression(const QString& name, const QString& expression, bool enabled);
    int rowOf(const QString& name) const;
    QStringList names() const;
    QString text(int row, int column) const;
    bool isEnabled(int row) const;
    QStandardItem* setText(int row, int column, const QString& text);
    QStandardItem* setEnabled(int row, bool enabled);

    // Reparses every row against the trigger-unit names; returns the count
    // of rows that do not parse.
    int recheck(const QStringList& tuNames);
    bool hasError(int row) const;
    QString errorText(int row) const;
    TriggerLang::TEProgram program(int row) const;

private:
    struct RowInfo : RowCheck {
        TriggerLang::TEProgram prog;
    };
    QVector<RowInfo> m_rows;
    QString m_title;
    int m_numError = 0;
};
