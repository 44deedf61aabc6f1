#include "waveform/waveformview.h"

#include "shell/toolgateway.h"
#include "waveform/waveformdelegate.h"
#include "waveform/waveformruler.h"
#include "waveform/waveformsignal.h"
#include "widgets/emptystatelabel.h"

#include "waveformmodel.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QScrollBar>

namespace vemo::toolona {

WaveformView::WaveformView(ToolGateway* gateway, QWidget* parent) : QFrame(parent), m_gateway(gateway) {
    m_tree = new WaveformSignal(this);
    m_tree->setObjectName(QStringLiteral("PNBorderTreeView"));
    m_tree->setItemDelegate(new WaveformDelegate(this));
    m_tree->setEditTriggers(QAbstractItemView::AllEditTriggers);
    m_tree->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_tree->setDragEnabled(true);
    m_tree->setAcceptDrops(true);
    m_tree->setDropIndicatorShown(true);
    m_tree->setDragDropMode(QAbstractItemView::InternalMove);

    m_bar = new QScrollBar(Qt::Horizontal, this);
    m_bar->setObjectName(QStringLiteral("PNBorderScrollBar"));
    m_bar->setRange(0, 0);
    m_bar->setSingleStep(1);
    m_bar->setPageStep(0);
    m_bar->setValue(0);
    connect(m_bar, &QScrollBar::valueChanged, this, &WaveformView::updateView);

    m_empty = new EmptyStateLabel(
        tr("Captured signals appear here after a run.\nThis core has no captured data yet."), this);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_empty, 0, 0);
    layout->addWidget(m_tree, 1, 0);
    layout->addWidget(m_bar, 2, 0);

    setMouseTracking(true);
    installEventFilter(this);
    showState();
}

WaveformModel* WaveformView::waveformModel() const { return m_model; }

bool WaveformView::hasCapturedData() const { return m_model && m_model->hasData(); }

void WaveformView::setWaveformModel(WaveformModel* model) {
    if (m_model)
        disconnect(m_model, nullptr, this, nullptr);
    m_model = model;
    m_tree->setWaveformModel(model);
    if (model) {
        connect(model, &WaveformModel::viewChanged, this, &WaveformView::updateViewBar);
        // Tree edits are direct model edits that no engine command reports:
        // each one's change notice marks the project modified.
        connect(model, &QStandardItemModel::itemChanged, this, [this] {
            if (m_gateway)
                m_gateway->markModified();
        });
    }
    updateViewBar();
}

void WaveformView::showState() {
    const bool data = hasCapturedData();
    m_empty->setVisible(!data);
    m_tree->setVisible(data);
    m_bar->setVisible(data);
}

void WaveformView::updateViewBar() {
    showState();
    QSignalBlocker block(m_bar);
    if (!hasCapturedData()) {
        m_bar->setRange(0, 0);
        m_bar->setPageStep(0);
        m_bar->setValue(0);
    } else {
        const int n = m_model->getNumTime();
        const int count = m_model->getViewCount();
        if (count > 0 && count != n) {
            m_bar->setRange(0, n - count);
            m_bar->setPageStep(count);
            m_bar->setValue(m_model->getViewStart());
        } else {
            m_bar->setRange(0, 0);
        }
    }
    m_tree->viewport()->update();
    m_tree->ruler()->viewport()->update();
}

void WaveformView::updateView(int value) {
    if (!hasCapturedData())
        return;
    const int count = m_model->getViewCount() > 0 ? m_model->getViewCount() : m_model->getNumTime();
    // zoomPos centres its sample: the centre of a window starting at value.
    m_model->zoomPos(m_tree->waveWidth(), value + count / 2, false);
}

void WaveformView::refreshHeader() { updateViewBar(); }

void WaveformView::applyAllBusRadix(int radix) {
    if (radix >= 0)
        m_radix = radix;
}

void WaveformView::zoomIn() {
    if (hasCapturedData())
        m_model->zoomIn(m_tree->waveWidth());
}

void WaveformView::zoomOut() {
    if (hasCapturedData())
        m_model->zoomOut(m_tree->waveWidth());
}

void WaveformView::zoomFit() {
    if (hasCapturedData())
        m_model->zoomFit(m_tree->waveWidth());
}

void WaveformView::zoomTrigger() {
    if (hasCapturedData())
        m_model->zoomTrigger(m_tree->waveWidth(), 0);
}

bool WaveformView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == this && event->type() == QEvent::KeyRelease &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
        if (m_gateway)
            m_gateway->openHelpTopic(QStringLiteral("Waveform_View"));
        return true;
    }
    return QFrame::eventFilter(watched, event);
}

}  // namespace vemo::toolona
