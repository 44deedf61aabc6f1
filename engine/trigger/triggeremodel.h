#pragma once

// Trigger expressions of one analyzer core: column 0 the name with a check
// box (checked = enabled), column 1 the expression over trigger-unit names.

#include "onaglobal.h"
#include "rowcheck.h"
#include "triggerlang.h"

#include <QStandardItemModel>
#include <QVector>

struct TriggerERow : RowCheck {
    TriggerLang::TEProgram prog;
};

class ONA_EXPORT TriggerEModel : public TriggerTable<TriggerERow> {
    Q_OBJECT
public:
    enum Column { ColName = 0, ColExpression = 1 };

    explicit TriggerEModel(QObject* parent = nullptr);

    int getNumChecked() const;

    void appendExpression(const QString& name, const QString& expression, bool enabled);
    bool isEnabled(int row) const;
    QStandardItem* setEnabled(int row, bool enabled);

    // Reparses every row against the trigger-unit names; returns the count
    // of rows that do not parse.
    int recheck(const QStringList& tuNames);
    TriggerLang::TEProgram program(int row) const;
};
