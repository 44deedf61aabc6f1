#include "waveform/waveformview.h"

#include "shell/onagui.h"
#include "widgets/emptystatelabel.h"

#include "basgui/basehelp.h"

#include <QKeyEvent>
#include <QVBoxLayout>

namespace vemo::toolona {

WaveformView::WaveformView(QWidget* parent) : QWidget(parent) {
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

bool WaveformView::hasCapturedData() const {
    // The engine has no waveform store yet (getWDModel() is always null), so
    // there is never captured data; the store's sample count answers this
    // once it exists.
    return false;
}

void WaveformView::refreshHeader() {
    m_empty->setVisible(!hasCapturedData());
}

void WaveformView::applyAllBusRadix(int radix) {
    if (radix >= 0)
        m_radix = radix;
}

bool WaveformView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == this && event->type() == QEvent::KeyRelease &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
        if (auto* help = OnaGUI::helpInstance())
            help->openViewHelpUrl(QStringLiteral("Waveform_View"));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace vemo::toolona
