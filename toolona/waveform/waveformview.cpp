#include "waveform/waveformview.h"

#include "shell/toolgateway.h"
#include "widgets/emptystatelabel.h"

#include "waveformmodel.h"

#include <QKeyEvent>
#include <QVBoxLayout>

namespace vemo::toolona {

WaveformView::WaveformView(ToolGateway* gateway, QWidget* parent) : QWidget(parent), m_gateway(gateway) {
    setMouseTracking(true);
    auto* layout = new QVBoxLayout(this);
    m_empty = new EmptyStateLabel(
        tr("Captured signals appear here after a run.\nThis core has no captured data yet."), this);
    layout->addWidget(m_empty);
    installEventFilter(this);
}

void WaveformView::setWaveformModel(WaveformModel* model) {
    m_model = model;
    refreshHeader();
}

WaveformModel* WaveformView::waveformModel() const { return m_model; }

bool WaveformView::hasCapturedData() const {
    return m_model && m_model->hasData();
}

void WaveformView::refreshHeader() {
    const bool data = hasCapturedData();
    m_empty->setText(data ? tr("%1 samples captured. The waveform viewer shows them in a later version.")
                                .arg(m_model->getNumTime())
                          : tr("Captured signals appear here after a run.\nThis core has no captured data yet."));
}

void WaveformView::applyAllBusRadix(int radix) {
    if (radix >= 0)
        m_radix = radix;
}

int WaveformView::waveformColumnWidth() const {
    // The waveform column spans the page until the signal tree gives it a
    // column of its own.
    return qMax(1, width());
}

void WaveformView::zoomIn() {
    if (!hasCapturedData())
        return;
    m_model->zoomIn(waveformColumnWidth());
    refreshHeader();
}

void WaveformView::zoomOut() {
    if (!hasCapturedData())
        return;
    m_model->zoomOut(waveformColumnWidth());
    refreshHeader();
}

void WaveformView::zoomFit() {
    if (!hasCapturedData())
        return;
    m_model->zoomFit(waveformColumnWidth());
    refreshHeader();
}

void WaveformView::zoomTrigger() {
    if (!hasCapturedData())
        return;
    m_model->zoomTrigger(waveformColumnWidth(), 0);
    refreshHeader();
}

bool WaveformView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == this && event->type() == QEvent::KeyRelease &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
        if (m_gateway)
            m_gateway->openHelpTopic(QStringLiteral("Waveform_View"));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace vemo::toolona
