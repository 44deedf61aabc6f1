#pragma once

#include "kit/navigablepage.h"

#include <QFrame>
#include <QModelIndex>
#include <QPointer>

class DecoderSet;
struct DecoderEntry;
struct SigTreeData;
class QAction;
class QLabel;
class QLineEdit;
class QScrollBar;
class QToolBar;
class WaveformModel;

namespace vemo::toolona {

class EmptyStateLabel;
class ToolGateway;
class WaveCursorPanel;
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
    // Shows every bus with a numeric radix in radix index `index` (0 Bin,
    // 1 Oct, 2 Dec, 3 Hex, 4 Signed, 5 ASCII); another index changes nothing.
    void applyAllBusRadix(int index);
    // The radix (a SigTreeData::Radix) last applied to all buses.
    int busRadix() const { return m_radix; }
    // Runs the export dialog for the selected signals of the tree.
    void runExportDialog();
    ToolGateway* gateway() const { return m_gateway; }

    WaveformSignal* tree() const { return m_tree; }
    // What the page says while it shows nothing.
    void setEmptyText(const QString& text);
    // The protocol decoders of the model's core (null: none), shown as rows
    // of the tree; the entry a decoder row stands for (null: none).
    DecoderSet* decoders() const;
    const DecoderEntry* decoderEntry(const SigTreeData& row) const;
    // "Add Decoder…": the one action of the tool bar and the tree's menu.
    QAction* addDecoderAction() const { return m_addDecoder; }
    // Opens the dialog that adds a decoder; what it returned (QDialog::Accepted or not).
    int addDecoder();
    // The page's tool bar: "Add Decoder…" and the window's zoom actions.
    QToolBar* toolBar() const { return m_toolBar; }
    QScrollBar* timeBar() const { return m_bar; }

    // Finding things. The row searched is the tree's current row (or the
    // first selected one); its name, or empty when there is none.
    QModelIndex searchRow() const;
    // Moves the data position to the next (previous) change of the row
    // after (before) it and scrolls to show it (of a decoder's row: the
    // start of its next annotation); false, saying so in the status line,
    // when there is none or no row is chosen.
    bool gotoEdge(bool forward);
    // Searches the row for `value` (in the row's radix, or a token name;
    // 0x, 0o, 0b choose Hex, Oct, Bin; x digits do not matter) from the
    // sample after (before) the data position, through "ona_find". On a
    // hit the data position moves there; returns the sample or -1.
    qint64 findValue(const QString& value, bool backward);
    // The same for the annotation texts of the decoder whose row (or
    // annotation row) is chosen, through "ona_find -decoder".
    qint64 findAnnotation(const QString& text, bool backward);
    // The find bar: a value field with previous and next.
    void showFindBar();
    QWidget* findBar() const { return m_findBar; }
    QLineEdit* findEdit() const { return m_findEdit; }
    // The status line under the tree: the measurement between the data
    // position and the nearest cursor, or the last message.
    QLabel* statusLine() const { return m_status; }
    void updateMeasurement();

    // Cursors: add one at a sample (named C1, C2 ...), or move the data
    // position to the next (previous) cursor after (before) it and show it;
    // false, saying so in the status line, when there is none.
    bool addCursorAt(qint64 sample);
    bool jumpToCursor(bool forward);
    // The cursor table below the tree (or in a window of its own).
    WaveCursorPanel* cursorPanel() const { return m_cursorPanel; }
    void showCursorPanel(bool shown);
    // Puts the panel back below the tree when it is not detached.
    void placeCursorPanel();

    bool canNavigate() const override { return hasCapturedData(); }
    void zoomIn() override;
    void zoomOut() override;
    void zoomFit() override;
    void zoomTrigger() override;
    bool gotoChange(bool forward) override { return gotoEdge(forward); }
    void showFind() override { showFindBar(); }

public slots:
    // The scroll bar moved to `value`: the first visible sample.
    void updateView(int value);
    // The model's window changed: re-range the scroll bar and repaint.
    void updateViewBar();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Puts the window's zoom actions on the tool bar once the page is in a window.
    void takeWindowActions();
    bool gotoAnnotation(const SigTreeData& row, bool forward);
    void showState();
    void showStatus(const QString& text);
    qint64 moveToFound(const QString& cmd, const QString& missing);
    // The data position to `sample`, scrolled into view.
    void moveDataTo(qint64 sample);
    qint64 barScale() const;
    // The full name of the variable a row of a simulator's dump shows;
    // empty for a capture's row.
    QString dumpVariable(const QModelIndex& row) const;

    ToolGateway* m_gateway;
    QPointer<WaveformModel> m_model; // the engine deletes it with its project
    WaveformSignal* m_tree = nullptr;
    QToolBar* m_toolBar = nullptr;
    QAction* m_addDecoder = nullptr;
    bool m_windowActions = false;
    QScrollBar* m_bar = nullptr;
    EmptyStateLabel* m_empty = nullptr;
    QLabel* m_status = nullptr;
    QWidget* m_findBar = nullptr;
    QLineEdit* m_findEdit = nullptr;
    WaveCursorPanel* m_cursorPanel = nullptr;
    int m_radix = 16;
};

} // namespace vemo::toolona
