#pragma once

#include <QStyledItemDelegate>

class WaveformModel;

namespace vemo::toolona {

class WaveformView;
struct WavePaintParams;

// Paints the signal tree's cells: the value at the data position in the
// data column (a bus as a closed combo box offering its radixes), and the
// trace with its overlays in the waveform column.
class WaveformDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit WaveformDelegate(WaveformView* page);
    // What an analog bus's row adds to the height of a row.
    static constexpr int kAnalogExtraHeight = 40;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

    // The waveform column's content of row `index` over the window and cell
    // of `params`: the trace and every overlay (what paint draws after the
    // background).
    void paintWaveform(QPainter* painter, const WavePaintParams& params, const QModelIndex& index) const;
    // The text the data column shows for row `index` (empty for none): of
    // a decoder's row the state of its decode, of an annotation row the
    // annotation at the data position.
    QString dataText(const QModelIndex& index) const;
    // What a decoder's row shows: the state word (data column), the detail
    // (waveform column: progress, the count, the decoder's error) and the
    // percentage of a decode that runs (-1 otherwise).
    struct DecoderState {
        QString state, detail;
        int percent = -1;
        bool failed = false;
    };
    DecoderState decoderState(const QModelIndex& index) const;
    // The data column's width that shows every value row `index` can take
    // in its present radix or token set whole (0 for a row without data).
    int dataWidthHint(const QModelIndex& index, const QStyleOptionViewItem& option) const;

public slots:
    void doCloseCB();
    void doCommitCB(int index);

private:
    void paintData(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const;
    void paintDecoder(QPainter* painter, const WavePaintParams& params, const QModelIndex& index) const;
    WaveformModel* model() const;

    WaveformView* m_page;
};

} // namespace vemo::toolona
