#pragma once

#include "basgui/basenavigator.h"

namespace vemo::toolona {

// The host's keyboard navigation on the signal tree: zoom in and out, the
// tree's vertical scroll bar one step up or down, and the time window moved
// left or right.
class WaveformNavigator : public basgui::BaseNavigator {
    Q_OBJECT
public:
    explicit WaveformNavigator(QObject* parent = nullptr) : BaseNavigator(parent) {}

    void navigate(QWidget* target, int action) override;
};

} // namespace vemo::toolona
