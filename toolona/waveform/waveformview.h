#pragma once

#include "shell/navigablepage.h"

#include <QPointer>
#include <QWidget>

class WaveformModel;

namespace vemo::toolona {

class EmptyStateLabel;
class ToolGateway;

// The "LA Waveform" page: the captured samples of the active analyzer core.
// The signal tree and painting come with the waveform viewer; until then
// the page says whether there is a capture to show.
class WaveformView : public QWidget, public NavigablePage {
    Q_OBJECT
public:
    explicit WaveformView(ToolGateway* gateway, QWidget* parent = nullptr);

    // Links the page to the core's waveform model (null: none) and re-ranges
    // its scroll bar.
    void setWaveformModel(WaveformModel* model);
    WaveformModel* waveformModel() const;
    // Drops the link (project closing).
    void clearModel() { setWaveformModel(nullptr); }
    // True when the linked model holds captured samples.
    bool hasCapturedData() const;
    // Refreshes the signal tree header (after a run or a zoom).
    void refreshHeader();
    // Shows every bus in radix index `radix` (0 Bin .. 3 Hex).
    void applyAllBusRadix(int radix);
    int busRadix() const { return m_radix; }

    // Zoom of the window's zoom actions, on the waveform column; nothing
    // without a capture.
    bool canNavigate() const override { return hasCapturedData(); }
    void zoomIn() override;
    void zoomOut() override;
    void zoomFit() override;
    void zoomTrigger() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int waveformColumnWidth() const;

    ToolGateway* m_gateway;
    QPointer<WaveformModel> m_model;   // the engine deletes it with its project
    EmptyStateLabel* m_empty = nullptr;
    int m_radix = 3;
};

}  // namespace vemo::toolona
