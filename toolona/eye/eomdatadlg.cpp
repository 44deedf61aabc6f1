#include "eye/eomdatadlg.h"

#include "basgui/dialogseam.h"
#include "eomfiles.h"
#include "widgets/buttonrow.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QSaveFile>
#include <QTableWidget>
#include <QVBoxLayout>

namespace vemo::toolona {

namespace {
constexpr int kFields = 6;
} // namespace

EomDataDlg::EomDataDlg(const QList<QStringList>& rows, QWidget* parent) : QDialog(parent) {
    setWindowFlags((windowFlags() | Qt::WindowCloseButtonHint) & ~Qt::WindowContextHelpButtonHint);
    resize(800, 600);
    // The file's six fields, then what they mean together: the ratio the
    // diagram's colour shows, exact rather than in whole percent.
    m_table = new QTableWidget(int(rows.size()), kFields + 1, this);
    m_table->setHorizontalHeaderLabels({QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("nsamples_cur"),
                                        QStringLiteral("nsamples_pre"), QStringLiteral("nerrors_cur"),
                                        QStringLiteral("nerrors_pre"), tr("error ratio")});
    for (int r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < rows[r].size() && c < kFields; ++c) {
            QString field = rows[r][c];
            field.remove(QLatin1Char(' '));
            m_table->setItem(r, c, new QTableWidgetItem(field));
        }
        m_table->setItem(r, kFields, new QTableWidgetItem(errorRatio(rows[r])));
    }
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectItems);
    m_table->setSortingEnabled(false);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->verticalHeader()->setVisible(true);

    m_export = new QPushButton(tr("&Export..."), this);
    m_export->setEnabled(!rows.isEmpty());
    auto* close = new QPushButton(tr("&Close"), this);
    connect(m_export, &QPushButton::clicked, this, &EomDataDlg::exportRows);
    connect(close, &QPushButton::clicked, this, &EomDataDlg::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
    layout->addLayout(centredButtonRow({m_export, close}));
}

QString EomDataDlg::errorRatio(const QStringList& row) {
    const EomFiles::CsvPoint p = EomFiles::csvPoint(row);
    if (p.fields < kFields || p.samples == 0)
        return QString();
    return QString::number(double(p.errors) / double(p.samples), 'g', 4);
}

void EomDataDlg::exportRows() {
    const QString path = basgui::Dialogs::provider()->getSaveFileName(this, tr("Export Raw Data"), QDir::currentPath(),
                                                                      tr("CSV file (*.csv);;All files (*.*)"));
    if (path.isEmpty())
        return;
    QByteArray out;
    for (int c = 0; c < m_table->columnCount(); ++c)
        out += (c ? "," : "") +
               m_table->horizontalHeaderItem(c)->text().replace(QLatin1Char(' '), QLatin1Char('_')).toUtf8();
    out += '\n';
    for (int r = 0; r < m_table->rowCount(); ++r) {
        for (int c = 0; c < m_table->columnCount(); ++c) {
            const QTableWidgetItem* item = m_table->item(r, c);
            out += (c ? "," : "") + (item ? item->text().toUtf8() : QByteArray());
        }
        out += '\n';
    }
    // Written whole or not at all.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text) || file.write(out) != out.size() || !file.commit())
        basgui::Dialogs::message(QMessageBox::Critical, this, tr("Ondrel Analyzer"),
                                 tr("Cannot write %1: %2").arg(path, file.errorString()), QMessageBox::Ok);
}

} // namespace vemo::toolona
