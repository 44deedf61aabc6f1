#pragma once

#include "shell/navigablepage.h"

#include <QFrame>
#include <QPointer>

class QScrollBar;
class WaveformModel;

namespace vemo::toolona {

class EmptyStateLabel;
class ToolGateway;
class WaveformSignal;

// The "LA Waveform" page: the captured trace of the active analyzer core as
// a tree of signals and buses (name, value at the data position, waveform)
// over a time ruler, with a scroll bar that moves through time. The tree
// edits the engine's WaveformModel in place; the window hears every edit
// through the model's itemChanged and marks the project modified.
class WaveformView : public QFrame, public NavigablePage {
    Q_OBJECT
public:
    explicit WaveformView(ToolGateway* gateway, QWidget* parent = nullptr);

    // Hands the core's waveform model to the page (null: none).
    void setWaveformModel(WaveformModel* model);
    WaveformModel* waveformModel() const;
    // Drops the link (project closing).
    void clearModel() { setWaveformModel(nullptr); }
    // True when the linked model holds captured samples.
    bool hasCapturedData() const;
    // Shows the model's present state again (after a run or a zoom).
    void refreshHeader();
    // Shows every bus in radix index `radix` (0 Bin .. 3 Hex).
    void applyAllBusRadix(int radix);
    int busRadix() const { return m_radix; }

    WaveformSignal* tree() const { return m_tree; }
    QScrollBar* timeBar() const { return m_bar; }

    bool canNavigate() const override { return hasCapturedData(); }
    void zoomIn() override;
    void zoomOut() override;
    void zoomFit() override;
    void zoomTrigger() override;

public slots:
    // The scroll bar moved to `value`: the first visible sample.
    void updateView(int value);
    // The model's window changed: re-range the scroll bar and repaint.
    void updateViewBar();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showState();

    ToolGateway* m_gateway;
    QPointer<WaveformModel> m_model;   // the engine deletes it with its project
    WaveformSignal* m_tree = nullptr;
    QScrollBar* m_bar = nullptr;
    EmptyStateLabel* m_empty = nullptr;
    int m_radix = 3;
};

}  // namespace vemo::toolona
