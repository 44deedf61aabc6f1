#pragma once

// The protocol decoders of the page's core, under the signal tree and in
// its columns: per decoder a row with its name and the state of its decode
// (progress, the decoder's error), then one row per annotation row of its
// decoder that holds annotations, drawn over the model's window like a
// bus (annotationpainter.h). Its context menu adds a decoder ("Add
// Decoder..."), and colours, hides, moves and removes one, each as one
// command through the gateway.

#include "decoderset.h"

#include <QPointer>
#include <QVector>
#include <QWidget>

class WaveformModel;

namespace vemo::toolona {

class ToolGateway;
class WaveformSignal;

class DecoderPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 24;
    static constexpr int kMaxShownRows = 12;

    DecoderPanel(ToolGateway* gateway, WaveformSignal* tree, QWidget* parent = nullptr);

    // The decoders of the core whose model this is (none: the panel hides).
    void setModel(WaveformModel* model);
    DecoderSet* decoders() const { return m_decoders; }

    struct Line {
        int entry = -1;   // index among the decoders
        int row = -1;     // annotation row of its decoder; -1 for the decoder's own row
        QString label;    // name column
        QString state;    // data column of the decoder's row: decoding, done, error, hidden
        QString detail;   // its waveform column: progress, the count, or the decoder's message
        int percent = -1; // of a decode that runs
    };
    const QVector<Line>& lines() const { return m_lines; }
    int lineAt(int y) const { return y / kRowHeight; }
    // The decoder row's context menu entries at line `line` (-1: none).
    void fillMenu(class QMenu* menu, int line);
    // The decoder the find bar searches (chosen by a click on its rows);
    // empty: the tree's row is searched.
    QString searchDecoder() const { return m_search; }
    void setSearchDecoder(const QString& name);
    // Opens the dialog that adds a decoder; what it returned (QDialog::Accepted or not).
    int addDecoder();

public slots:
    void rebuild();

protected:
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    QSize sizeHint() const override;

private:
    void send(const QString& cmd);

    ToolGateway* m_gateway;
    WaveformSignal* m_tree;
    QPointer<WaveformModel> m_model;
    QPointer<DecoderSet> m_decoders;
    QVector<Line> m_lines;
    QString m_search;
};

} // namespace vemo::toolona
