#include "waveform/waveformnavigator.h"

#include "waveform/waveformsignal.h"
#include "waveform/waveformview.h"

#include "waveformmodel.h"

#include <QScrollBar>

namespace vemo::toolona {

void WaveformNavigator::navigate(QWidget* target, int action) {
    auto* tree = qobject_cast<WaveformSignal*>(target);
    if (!tree)
        return;
    WaveformModel* model = tree->waveformModel();
    switch (action) {
        case ZoomIn:
            tree->page()->zoomIn();
            break;
        case ZoomOut:
            tree->page()->zoomOut();
            break;
        case MoveUp:
            tree->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
            break;
        case MoveDown:
            tree->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
            break;
        case MoveLeft:
            if (model)
                model->moveLeft(tree->waveWidth());
            break;
        case MoveRight:
            if (model)
                model->moveRight(tree->waveWidth());
            break;
        default:
            break;
    }
}

} // namespace vemo::toolona
