#include "controller/userregistersignaldlg.h"

#include "controller/controlregisterwidget.h"

#include "onadata.h"
#include "registerradix.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

namespace vemo::toolona {

QStringList UserRegisterSignalDlg::bitNames(const QStringList& signalNames) {
    QStringList out;
    for (const QString& name : signalNames) {
        const int open = int(name.lastIndexOf(QLatin1Char('[')));
        const int close = int(name.lastIndexOf(QLatin1Char(']')));
        if (open >= 1 && close == name.size() - 1) {
            const QStringList parts = name.mid(open + 1, close - open - 1).split(QLatin1Char(':'), Qt::SkipEmptyParts);
            if (parts.size() == 2) {
                const int a = parts.at(0).trimmed().toInt();
                const int b = parts.at(1).trimmed().toInt();
                if (a >= 0 && b >= 0) {
                    const QString base = name.left(open);
                    for (int bit = qMax(a, b); bit >= qMin(a, b); --bit)
                        out << QStringLiteral("%1:%2").arg(base).arg(bit);
                    continue;
                }
            }
        }
        out << name;
    }
    return out;
}

QStringList UserRegisterSignalDlg::bitValues(const QStringList& bits, const QString& binary) {
    if (bits.size() == 1)
        return {binary};
    QStringList out;
    for (int i = 0; i < bits.size(); ++i) {
        // The last bit name takes the last digit.
        const int digit = int(binary.size()) - (int(bits.size()) - i);
        out << (digit >= 0 ? QString(binary.at(digit)) : QString());
    }
    return out;
}

UserRegisterSignalDlg::UserRegisterSignalDlg(const QModelIndex& index, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowCloseButtonHint), m_index(index) {
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    resize(500, 350);
    const bool control = qobject_cast<ControlRegisterWidget*>(parent) != nullptr;
    setWindowTitle(control ? tr("Control Signals") : tr("Status Signals"));
    auto* layout = new QVBoxLayout(this);
    m_table = new QTableWidget(this);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->verticalHeader()->hide();
    layout->addWidget(m_table);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::close);
    layout->addWidget(buttons);

    const QStringList headers = control ? QStringList{tr("Control Signals"), tr("Rd Value"), tr("Wr Value")}
                                        : QStringList{tr("Status Signals"), tr("Rd Value")};
    m_table->setColumnCount(int(headers.size()));
    m_table->setHorizontalHeaderLabels(headers);
    if (!index.isValid())
        return;
    const auto cell = [&](int column) { return index.siblingAtColumn(column); };
    const int width = cell(UserRegisterWidget::WidthColumn).data().toString().toInt();
    const QStringList bits = bitNames(
        cell(UserRegisterWidget::SignalsColumn).data().toString().split(QStringLiteral(", "), Qt::SkipEmptyParts));
    QList<QStringList> columns;
    for (int column : control ? QList<int>{UserRegisterWidget::RdColumn, UserRegisterWidget::WrColumn}
                              : QList<int>{UserRegisterWidget::RdColumn}) {
        const QModelIndex value = cell(column);
        const QString binary = RegisterRadix::convert(value.data().toString(), width,
                                                      value.data(UserRegisterWidget::RadixRole).toInt(),
                                                      RegisterRadix::Bin);
        columns << bitValues(bits, binary);
    }
    m_table->setRowCount(int(bits.size()));
    for (int row = 0; row < bits.size(); ++row) {
        m_table->setItem(row, 0, new QTableWidgetItem(bits.at(row)));
        for (int c = 0; c < columns.size(); ++c)
            m_table->setItem(row, c + 1, new QTableWidgetItem(columns.at(c).value(row)));
    }
    m_table->resizeColumnsToContents();
}

} // namespace vemo::toolona
