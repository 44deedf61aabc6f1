#include "eye/eomdatadlg.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace vemo::toolona {

EomDataDlg::EomDataDlg(const QList<QStringList>& rows, QWidget* parent) : QDialog(parent) {
    setWindowFlags((windowFlags() | Qt::WindowCloseButtonHint) & ~Qt::WindowContextHelpButtonHint);
    resize(800, 600);
    m_table = new QTableWidget(int(rows.size()), 6, this);
    m_table->setHorizontalHeaderLabels({QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("nsamples_cur"),
                                        QStringLiteral("nsamples_pre"), QStringLiteral("nerrors_cur"),
                                        QStringLiteral("nerrors_pre")});
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < rows[r].size() && c < 6; ++c) {
            QString field = rows[r][c];
            field.remove(QLatin1Char(' '));
            m_table->setItem(r, c, new QTableWidgetItem(field));
        }
    m_table->setSelectionBehavior(QAbstractItemView::SelectItems);
    m_table->setSortingEnabled(false);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->verticalHeader()->setVisible(true);

    auto* close = new QPushButton(tr("&Close"), this);
    connect(close, &QPushButton::clicked, this, &EomDataDlg::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
    layout->addLayout(buttons);
}

} // namespace vemo::toolona
