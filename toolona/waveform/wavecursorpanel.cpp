#include "waveform/wavecursorpanel.h"

#include "kit/toolgateway.h"
#include "waveform/waveformsignal.h"
#include "waveform/waveformview.h"
#include "waveform/wavemeasure.h"

#include "tracedata.h"
#include "waveformmodel.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <functional>

namespace vemo::toolona {

namespace {

QTableWidget* table(QWidget* parent, const char* name, const QStringList& headers) {
    auto* t = new QTableWidget(0, int(headers.size()), parent);
    t->setObjectName(QLatin1String(name));
    t->setHorizontalHeaderLabels(headers);
    t->verticalHeader()->hide();
    t->horizontalHeader()->setStretchLastSection(true);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    return t;
}

QTableWidgetItem* cell(const QString& text, bool editable = false) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(editable ? item->flags() | Qt::ItemIsEditable : item->flags() & ~Qt::ItemIsEditable);
    return item;
}

} // namespace

WaveCursorPanel::WaveCursorPanel(WaveformView* page) : QWidget(page), m_page(page) {
    setObjectName(QStringLiteral("cursorPanel"));
    setWindowTitle(tr("Cursors"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    auto* head = new QHBoxLayout;
    auto* title = new QLabel(tr("<b>Cursors</b> (Ctrl+M adds one at the pointer, [ and ] jump; "
                                "double-click a name to rename it)"),
                             this);
    head->addWidget(title, 1);
    m_detach = new QPushButton(tr("Detach"), this);
    m_detach->setObjectName(QStringLiteral("detach"));
    auto* close = new QPushButton(tr("Close"), this);
    head->addWidget(m_detach);
    head->addWidget(close);
    layout->addLayout(head);

    auto* split = new QSplitter(Qt::Horizontal, this);
    m_cursors = table(split, "cursors", {tr("Name"), tr("Sample"), tr("Time")});
    m_cursors->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                               QAbstractItemView::SelectedClicked);
    m_pairs = table(split, "pairs", {tr("Pair"), tr("Samples"), tr("Time")});
    auto* right = new QWidget(split);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    m_pairTitle = new QLabel(right);
    m_pairTitle->setObjectName(QStringLiteral("pairTitle"));
    rightLayout->addWidget(m_pairTitle);
    m_measure = table(right, "measure", {tr("Signal"), tr("Edges"), tr("Period"), tr("Frequency"), tr("Duty")});
    rightLayout->addWidget(m_measure);
    split->setStretchFactor(2, 2);
    layout->addWidget(split, 1);

    connect(m_detach, &QPushButton::clicked, this, [this] { setDetached(!m_detached); });
    connect(close, &QPushButton::clicked, this, [this] {
        setDetached(false);
        hide();
    });
    connect(m_cursors, &QTableWidget::itemChanged, this, &WaveCursorPanel::renamed);
    connect(m_pairs, &QTableWidget::itemSelectionChanged, this, &WaveCursorPanel::fillMeasure);
    // Choosing a cursor brings it into view, as "Go to Cursor" does.
    connect(m_cursors, &QTableWidget::cellClicked, this, [this](int row, int) {
        if (m_model && row >= 0 && row < m_model->getNumCurPos())
            m_page->tree()->zoomToPosition(m_model->getCurPos().at(row), true);
    });
    resize(900, 260);
    setMaximumHeight(kAttachedHeight);
}

void WaveCursorPanel::setWaveformModel(WaveformModel* model) {
    if (m_model)
        disconnect(m_model, nullptr, this, nullptr);
    m_model = model;
    if (model)
        connect(model, &WaveformModel::cursorsChanged, this, &WaveCursorPanel::refresh);
    refresh();
}

QString WaveCursorPanel::timeText(const WaveformModel* model, qint64 samples) {
    // A dump's ticks read as time in its timescale, exactly.
    if (model && model->tickFemtoseconds() > 0)
        return WaveMeasure::tickTime(samples, model->tickFemtoseconds());
    if (!model || model->getClockPeriod() < 1)
        return QStringLiteral("-");
    return QStringLiteral("%1 %2").arg(samples * model->getClockPeriod()).arg(model->getClockUnit());
}

void WaveCursorPanel::refresh() {
    if (!isVisible())
        return; // filled when shown
    m_filling = true;
    const QList<QPair<QString, qint64>> cursors =
        m_model && m_model->hasData() ? m_model->cursors() : QList<QPair<QString, qint64>>();
    const bool dump = m_model && !m_model->traceData();
    m_cursors->horizontalHeaderItem(1)->setText(dump ? tr("Tick") : tr("Sample"));
    m_pairs->horizontalHeaderItem(1)->setText(dump ? tr("Ticks") : tr("Samples"));
    m_cursors->setRowCount(int(cursors.size()));
    for (int i = 0; i < cursors.size(); ++i) {
        m_cursors->setItem(i, 0, cell(cursors.at(i).first, true));
        m_cursors->setItem(i, 1, cell(QString::number(cursors.at(i).second)));
        m_cursors->setItem(i, 2, cell(timeText(m_model, cursors.at(i).second)));
    }
    // Keep the pair chosen, by name, across the refill.
    const QString chosen = m_pairs->currentRow() >= 0 && m_pairs->item(m_pairs->currentRow(), 0)
                               ? m_pairs->item(m_pairs->currentRow(), 0)->text()
                               : QString();
    const int n = int(qMin<qsizetype>(cursors.size(), kMaxPairCursors));
    m_pairs->setRowCount(n * (n - 1) / 2);
    int row = 0, keep = -1;
    for (int a = 0; a < n; ++a)
        for (int b = a + 1; b < n; ++b, ++row) {
            const QString pair = QStringLiteral("%1 \u2192 %2").arg(cursors.at(a).first, cursors.at(b).first);
            const qint64 d = cursors.at(b).second - cursors.at(a).second;
            auto* item = cell(pair);
            item->setData(Qt::UserRole, a);
            item->setData(Qt::UserRole + 1, b);
            m_pairs->setItem(row, 0, item);
            m_pairs->setItem(row, 1, cell(QString::number(d)));
            m_pairs->setItem(row, 2, cell(timeText(m_model, d)));
            if (pair == chosen)
                keep = row;
        }
    m_filling = false;
    m_cursors->resizeColumnsToContents();
    m_pairs->resizeColumnsToContents();
    if (m_pairs->rowCount() > 0)
        m_pairs->selectRow(keep >= 0 ? keep : 0);
    fillMeasure();
}

void WaveCursorPanel::fillMeasure() {
    if (m_filling)
        return;
    m_measure->setRowCount(0);
    const int row = m_pairs->currentRow();
    QTableWidgetItem* pairItem = row >= 0 ? m_pairs->item(row, 0) : nullptr;
    if (!m_model || !m_model->hasData() || !m_model->source() || !pairItem) {
        m_pairTitle->setText(tr("Add two cursors to measure between them."));
        return;
    }
    const QList<qint64> samples = m_model->getCurPos();
    const int a = pairItem->data(Qt::UserRole).toInt(), b = pairItem->data(Qt::UserRole + 1).toInt();
    if (a >= samples.size() || b >= samples.size())
        return;
    if (m_model->traceData())
        m_pairTitle->setText(tr("Between %1 (sample %2) and %3 (sample %4)")
                                 .arg(m_model->cursorName(samples.at(a)))
                                 .arg(samples.at(a))
                                 .arg(m_model->cursorName(samples.at(b)))
                                 .arg(samples.at(b)));
    else
        m_pairTitle->setText(tr("Between %1 (%2) and %3 (%4)")
                                 .arg(m_model->cursorName(samples.at(a)), timeText(m_model, samples.at(a)),
                                      m_model->cursorName(samples.at(b)), timeText(m_model, samples.at(b))));
    const WaveformSignal* tree = m_page->tree();
    // The rows as the tree shows them: hidden members and collapsed buses'
    // members left out.
    std::function<void(const QModelIndex&)> walk = [&](const QModelIndex& parent) {
        for (int r = 0; r < m_model->rowCount(parent); ++r) {
            if (tree->isRowHidden(r, parent))
                continue;
            const QModelIndex idx = m_model->index(r, 0, parent);
            const SigTreeData d = WaveformModel::rowData(idx);
            if (d.isDecoderPart() || d.isReal())
                continue; // no edges to measure
            const WaveMeasure m =
                WaveMeasure::measure(*m_model, m_model->channelsOf(idx), samples.at(a), samples.at(b));
            const int at = m_measure->rowCount();
            m_measure->insertRow(at);
            m_measure->setItem(at, 0, cell(d.name));
            m_measure->setItem(at, 1, cell(m.edgesText()));
            QString period = QStringLiteral("-"), frequency = QStringLiteral("-"), duty = QStringLiteral("-");
            if (m.oneBit && m.periods > 0) {
                const double perSamples = double(m.periodSpan) / double(m.periods);
                period = m.sampleSeconds() > 0.0
                             ? WaveMeasure::si(perSamples * m.sampleSeconds(), QStringLiteral("s"))
                             : (m.ticks ? tr("%1 ticks") : tr("%1 samples")).arg(QString::number(perSamples, 'g', 6));
                if (m.frequency() > 0.0)
                    frequency = WaveMeasure::si(m.frequency(), QStringLiteral("Hz"));
                duty = QStringLiteral("%1 %").arg(QString::number(m.periodDuty() * 100.0, 'f', 1));
            }
            m_measure->setItem(at, 2, cell(period));
            m_measure->setItem(at, 3, cell(frequency));
            m_measure->setItem(at, 4, cell(duty));
            if (tree->isExpanded(idx))
                walk(idx);
        }
    };
    walk(QModelIndex());
    m_measure->resizeColumnsToContents();
}

void WaveCursorPanel::renamed(QTableWidgetItem* item) {
    if (m_filling || !m_model || !item || item->column() != 0)
        return;
    const QList<qint64> samples = m_model->getCurPos();
    if (item->row() >= samples.size())
        return;
    const qint64 sample = samples.at(item->row());
    QString why;
    if (!m_model->renameCurPos(sample, item->text(), &why)) {
        if (ToolGateway* g = m_page->gateway())
            g->reportRefusal(tr("The cursor keeps its name: %1.").arg(why));
        m_filling = true;
        item->setText(m_model->cursorName(sample));
        m_filling = false;
        return;
    }
    if (ToolGateway* g = m_page->gateway())
        g->markModified();
    m_page->tree()->repaintWave();
}

void WaveCursorPanel::editName(qint64 sample) {
    const int row = int(m_model ? m_model->getCurPos().indexOf(sample) : -1);
    if (row < 0)
        return;
    show();
    refresh();
    m_cursors->setCurrentCell(row, 0);
    m_cursors->editItem(m_cursors->item(row, 0));
}

void WaveCursorPanel::setDetached(bool detached) {
    if (detached == m_detached)
        return;
    m_detached = detached;
    const bool shown = isVisible() || detached;
    // A window of its own over the page's window, or back in the page.
    setParent(m_page, detached ? Qt::Window | Qt::Tool : Qt::Widget);
    m_detach->setText(detached ? tr("Attach") : tr("Detach"));
    // Below the tree it takes a strip; on its own, what the user gives it.
    setMaximumHeight(detached ? QWIDGETSIZE_MAX : kAttachedHeight);
    if (detached)
        resize(qMax(width(), 900), 400);
    m_page->placeCursorPanel();
    setVisible(shown);
}

void WaveCursorPanel::closeEvent(QCloseEvent* event) {
    // The window's close button puts the table back, hidden.
    if (m_detached) {
        event->ignore();
        setDetached(false);
        hide();
        return;
    }
    QWidget::closeEvent(event);
}

void WaveCursorPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refresh();
}

} // namespace vemo::toolona
