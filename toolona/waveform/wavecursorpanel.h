#pragma once

// The waveform page's cursor table: the named cursors (a name is edited in
// place), the difference between every pair of them in samples and in
// time, and for the pair chosen the measurement of every row the tree
// shows between the two places (edges, period, frequency, duty). The page
// owns it below the tree; Detach makes it a window of its own, closing
// that window puts it back.

#include <QPointer>
#include <QWidget>

class QLabel;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;
class WaveformModel;

namespace vemo::toolona {

class WaveformView;

class WaveCursorPanel : public QWidget {
    Q_OBJECT
public:
    explicit WaveCursorPanel(WaveformView* page);

    void setWaveformModel(WaveformModel* model);
    // Fills the three tables again from the model.
    void refresh();

    QTableWidget* cursorTable() const { return m_cursors; }
    QTableWidget* pairTable() const { return m_pairs; }
    QTableWidget* measureTable() const { return m_measure; }
    QPushButton* detachButton() const { return m_detach; }
    bool isDetached() const { return m_detached; }
    void setDetached(bool detached);
    // Starts editing the name of the cursor at `sample`.
    void editName(qint64 sample);

    // The text of a span of `samples` in the model's clock ("1234560 ns"),
    // or "-" without a clock period.
    static QString timeText(const WaveformModel* model, qint64 samples);
    // At most this many cursors have their pairs listed.
    static constexpr int kMaxPairCursors = 64;
    // The most height it takes below the tree.
    static constexpr int kAttachedHeight = 240;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void renamed(QTableWidgetItem* item);
    void fillMeasure();

    WaveformView* m_page;
    QPointer<WaveformModel> m_model;
    QLabel* m_pairTitle;
    QTableWidget* m_cursors;
    QTableWidget* m_pairs;
    QTableWidget* m_measure;
    QPushButton* m_detach;
    bool m_detached = false;
    bool m_filling = false;
};

} // namespace vemo::toolona
