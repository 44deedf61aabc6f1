#pragma once

#include <QMimeData>
#include <QModelIndex>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QRect>
#include <QTreeView>

class QMenu;
class QStandardItem;
#include "waveform/wavepaintparams.h"
#include "waveformmodel.h"

namespace vemo::toolona {

class WaveformRuler;
class WaveformView;

// What a drag or the clipboard carries: the dragged row, or copies of a
// row's three items with their descendants. The copies belong to the mime
// data; a paste inserts clones of them, so the clipboard can be pasted
// again.
class WaveformSignalMimeData : public QMimeData {
    Q_OBJECT
public:
    static QString format() { return QStringLiteral("application/x-ondrel-waveform-row"); }

    explicit WaveformSignalMimeData(const QModelIndex& dragged);
    explicit WaveformSignalMimeData(const QList<QStandardItem*>& copied);
    ~WaveformSignalMimeData() override;

    QModelIndex index() const { return m_index; }
    const QList<QStandardItem*>& items() const { return m_items; }
    // Fresh copies of the carried row, owned by the caller.
    QList<QStandardItem*> cloneItems() const;

    QStringList formats() const override { return {format()}; }
    bool hasFormat(const QString& mime) const override { return mime == format(); }

private:
    QPersistentModelIndex m_index;
    QList<QStandardItem*> m_items;
};

// The signal tree of the waveform page: name, data and waveform columns
// over the engine's WaveformModel, edited in place (drag and drop, cut,
// copy, paste, grouping into a bus, colours). Every structural edit ends
// with the model's itemChanged for the affected row.
class WaveformSignal : public QTreeView {
    Q_OBJECT
public:
    enum PointerMode { PanMode = 0, SelectMode = 1, ZoomMode = 2 };

    explicit WaveformSignal(WaveformView* parent);

    void setWaveformModel(WaveformModel* model);
    WaveformModel* waveformModel() const { return m_model; }
    WaveformView* page() const { return m_page; }
    WaveformRuler* ruler() const { return m_ruler; }

    // Geometry the painter hands over on every waveform-cell paint.
    void setWaveGeometry(int left, int right, double px) {
        m_waveLeft = left;
        m_waveRight = right;
        m_px = px;
    }
    int waveLeft() const { return m_waveLeft; }
    int waveRight() const { return m_waveRight; }
    double pixelsPerSample() const { return m_px; }
    // The waveform column's width in pixels (at least 1).
    int waveWidth() const;

    PointerMode pointerMode() const { return m_mode; }
    // Sets the mode and the pointer shape it shows over the waveform column.
    void setPointerMode(PointerMode mode);
    // The window over the waveform column the painter last drew; not valid
    // before the first paint (no pixels per sample yet).
    WavePaintParams waveParams() const;
    // The sample under viewport x, within the window and the data; -1 before
    // the first paint.
    qint64 sampleAtX(int x) const;
    // The drag anchor and current x (both -1 outside a drag).
    int anchorX() const { return m_bandStart; }
    int currentX() const { return m_bandEnd; }

    // View operations: each does nothing without a capture and repaints.
    void zoomToPosition(qint64 sample, bool setData);
    void zoomToTrigger(int frame);
    void moveLeft();
    void moveRight();
    void repaintWave();

    // Fills `menu` with the entries for a click at viewport x, y (each entry
    // acts when triggered; y -1: the bus entries act on the current row);
    // false when no menu is offered there.
    bool fillContextMenu(QMenu* menu, int x, int y = -1);
    // The sample under the pointer over the waveform column, else the data
    // position.
    qint64 pointerSample() const;
    // The names of the selected signal rows (not buses), in selection order,
    // separated by single blanks: what "Selected signals" exports.
    QString selectedSignalList() const;
    // Gives every bus with a numeric radix the radix 2, 8, 10 or 16: the
    // selected ones, or all at any depth. Token and ENUM buses keep theirs.
    void applyBusRadix(int radix, bool selectedOnly);
    void runBusDialog();
    void runClockDialog();
    void runExportDialog();
    // The zoom band being dragged (start and end x), when in zoom mode.
    bool zoomBand(int* x0, int* x1) const;
    int pointerY() const { return m_pointerY; }
    bool ctrlHeld() const { return m_ctrlHeld; }
    QRect dropIndicatorRect() const { return m_dropRect; }

    // Hides the members of every bus shown through an ENUM set, from `index`
    // down (an invalid index: the whole tree); a bus shown otherwise shows
    // its members again.
    void hideEnumChildren(const QModelIndex& index = QModelIndex());
    // Widens (or narrows) the data column to the widest value any row can
    // show in its radix, from 80 px up to kMaxDataWidth.
    void fitDataColumn();
    static constexpr int kMinDataWidth = 80;
    static constexpr int kMaxDataWidth = 320;
    // Shows the expansion each row's data records.
    void restoreExpansion(const QModelIndex& parent = QModelIndex());

    // The one row the selection stands for (rows whose parent is selected
    // too are left out); false when it stands for more than one.
    bool singleSelection(QModelIndex* target) const;
    // A decoder's row is cut to be pasted elsewhere (it stays until then)
    // and never copied: a decoder has one row. Its annotation rows stay
    // with it.
    bool canCutCopy() const;
    bool canCut() const;
    bool canCopy() const;
    bool canPaste() const;
    bool canGroup() const;
    bool hasOwnColour() const;

    // The name proposed for a new bus: "Bus" and the smallest free number.
    QString proposedBusName() const;
    bool busNameExists(const QString& name) const;

public slots:
    // Shows the annotation rows of each decoder that hold annotations,
    // none of a hidden decoder, and repaints the decoders' state.
    void showDecoderRows();
    void doExpand(const QModelIndex& index);
    void doCollapse(const QModelIndex& index);
    void doCut();
    void doCopy();
    void doPaste();
    // Asks for a name and groups the selected signals into a new bus.
    void doGroup();
    // Groups the selected signals into a new top-level bus named `name`
    // (checked by the caller); returns the bus row, or nullptr.
    QStandardItem* groupInto(const QString& name);
    void doEditColour();
    void doRevertColour();

protected:
    void changeEvent(QEvent* event) override;
    void applySelectionTint();
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Where a drop at `pos` would go (parent and row, the source's own row
    // removal accounted for) and the indicator line; false when refused.
    bool dropTarget(const QPoint& pos, const QModelIndex& source, QModelIndex* parent, int* row,
                    QRect* indicator) const;
    bool acceptsDrag(const QDropEvent* event) const;
    void copyRow(bool cut);
    // The selected rows standing for decoders: each decoder's name once.
    QStringList selectedDecoders() const;
    void sendDecoderCommand(const QString& cmd);
    void notifyChanged(QStandardItem* item);
    // A cursor came, went or moved: the layout the project saves changed.
    void markCursorEdit();
    QList<QModelIndex> selectedRows() const;

    WaveformView* m_page;
    QPointer<WaveformModel> m_model;
    WaveformRuler* m_ruler;
    int m_waveLeft = 0;
    int m_waveRight = 0;
    double m_px = 0.0;
    PointerMode m_mode = SelectMode;
    int m_bandStart = -1;
    int m_bandEnd = -1;
    int m_pointerY = -1;
    bool m_ctrlHeld = false;
    QRect m_dropRect;
    bool m_pressedLeftOfWave = false;
    int m_analogRows = 0;
};

} // namespace vemo::toolona
