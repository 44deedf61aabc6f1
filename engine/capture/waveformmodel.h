#pragma once

// The captured trace of one analyzer core as the waveform viewer sees it:
// a three-column tree (0 name, 1 SigTreeData, 2 waveform) of signals and
// buses over a TraceData store, plus the view state (visible window, data
// and ruler positions, cursors) and the zoom and move operations. Every
// operation clamps to the data: no position ever lies outside
// [0, getNumTime()), and an empty capture makes every operation a no-op.

#include "onaglobal.h"
#include "tracedata.h"
#include "wavesource.h"

#include <QColor>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QMetaType>
#include <QStandardItemModel>
#include <memory>

class ChangeStore;

struct ONA_EXPORT SigTreeData {
    // A bus's radix: 2, 8, 10, 16, signed decimal (two's complement) or
    // ASCII (a character per byte, a dot for a byte that does not print).
    enum Radix : int { Bin = 2, Oct = 8, Dec = 10, Hex = 16, Signed = -10, Ascii = 256 };

    SigTreeData() = default;
    // `width` is the bus width (1 for a signal); `hidden` marks a row the
    // viewer hides (a member of a bus shown through an ENUM set).
    SigTreeData(const QString& name, int signalIndex, int width, bool expanded, bool hidden,
                const QColor& colour = QColor());

    QString name;
    int signalIndex = -1; // channel in the store; negative for a bus
    int width = 1;
    bool expanded = false;
    bool hidden = false;
    QColor colour;       // invalid: the default waveform colour
    QString radixName;   // token or ENUM set; empty for a numeric radix
    int radix = 16;      // a Radix; 0 when radixName applies
    bool analog = false; // a bus drawn as a line graph of its value
    bool group = false;  // a dump's scope: a parent row with no value of its own
    // A protocol decoder's row names its decoder; annotationRow is -1 for
    // the decoder's own row, else the annotation row of its decoder that a
    // child row shows. Such rows hold no channel.
    QString decoder;
    int annotationRow = -1;
    // A dump's real variable (its index in the dump), drawn as a graph of
    // its value; -1 for any other row.
    int realVar = -1;

    bool isBus() const { return signalIndex < 0 && decoder.isEmpty() && realVar < 0; }
    bool isReal() const { return realVar >= 0; }
    bool isDecoder() const { return !decoder.isEmpty() && annotationRow < 0; }
    bool isAnnotation() const { return !decoder.isEmpty() && annotationRow >= 0; }
    bool isDecoderPart() const { return !decoder.isEmpty(); }
    // Shown in one of the radixes, not through a token or ENUM set.
    bool hasNumericRadix() const { return radix != 0 && radixName.isEmpty(); }
    bool operator==(const SigTreeData& o) const;
};
Q_DECLARE_METATYPE(SigTreeData)

class ONA_EXPORT WaveformModel : public QStandardItemModel {
    Q_OBJECT
public:
    explicit WaveformModel(QObject* parent = nullptr);

    // Takes a finished capture. `signalWidths` are the core's signals (name,
    // width) in order: a signal wider than one bit becomes a bus of its bits,
    // most significant first. The tree the user arranged is kept when the
    // capture has the same channels.
    void setTrace(std::shared_ptr<const TraceData> trace, const QList<QPair<QString, int>>& signalWidths);
    void clearTrace();
    // The counterpart for any source: a simulator's dump (a ChangeSource)
    // gets a row per variable under its scopes (collapsible parent rows),
    // a vector as a bus of its bits, positions in the dump's ticks; a
    // capture's trace is taken as setTrace takes it, with `signalWidths`.
    void setSource(std::shared_ptr<const WaveSource> source, const QList<QPair<QString, int>>& signalWidths = {});
    std::shared_ptr<const TraceData> traceData() const { return m_trace; }
    // What the page reads: the capture's trace itself.
    std::shared_ptr<const WaveSource> source() const { return m_source; }
    // The enumerations the debug-logic file gives signals (signal name ->
    // set name): the default tree shows such a signal as a bus read
    // through its set, even a one-bit signal.
    void setSignalEnums(const QHash<QString, QString>& enums) { m_enums = enums; }
    QHash<QString, QString> signalEnums() const { return m_enums; }

    bool hasData() const { return m_source && m_source->lastPosition() >= m_source->firstPosition(); }
    qint64 getNumTime() const { return hasData() ? m_source->lastPosition() + 1 : 0; }
    int getData(int signal, qint64 sample) const { return m_source ? m_source->codeAt(signal, sample) : 0; }
    // The bits of a row (a signal or a bus, depth first, first leaf leftmost).
    QString getBits(const QModelIndex& index, qint64 sample) const;
    QVector<int> channelsOf(const QModelIndex& index) const;

    int getNumTriggerFrame() const;
    int getTriggerFrame(int frame) const; // first sample of the frame
    int getNumTriggerPos() const;
    int getTriggerPos(int i) const;
    bool hasTimestamp() const { return hasData() && m_trace && !m_trace->frameTimes.isEmpty(); }
    qint64 getTimestamp(qint64 sample) const { return m_trace ? m_trace->getTimestamp(sample) : sample; }

    // View state, in samples.
    qint64 getViewStart() const { return m_viewStart; }
    qint64 getViewEnd() const { return m_viewCount > 0 ? m_viewStart + m_viewCount - 1 : 0; }
    qint64 getViewCount() const { return m_viewCount; }
    qint64 getDataPos() const { return m_dataPos; }
    qint64 getRulerPos() const { return m_rulerPos; }
    // The measuring ruler is shown from setRulerPos until clearRuler; sample
    // 0 is a place like any other for it.
    bool hasRuler() const { return hasData() && m_rulerShown; }
    void setDataPos(qint64 sample);
    void setRulerPos(qint64 sample);
    void clearRuler() {
        m_rulerPos = 0;
        m_rulerShown = false;
    }
    int getClockPeriod() const { return m_clockPeriod; }
    void setClockPeriod(int period) { m_clockPeriod = period; }
    QString getClockUnit() const { return m_clockUnit; }
    void setClockUnit(const QString& unit) { m_clockUnit = unit; }
    // A dump's tick in femtoseconds (its timescale, exact); 0 for a capture
    // or a timescale it does not know.
    qint64 tickFemtoseconds() const { return m_tickFs; }
    // Caps the pan drag threshold (pixels per sample at the last zoom).
    double getPanLimit() const { return m_panLimit; }

    // Cursors, kept sorted and unique.
    QList<qint64> getCurPos() const { return m_cursors; }
    int getNumCurPos() const { return m_cursors.size(); }
    // An empty name: the next free "Cn"; a name in use is refused.
    bool addCurPos(qint64 sample, const QString& name = QString());
    // -1 removes the cursor nearest the data position.
    bool removeCurPos(qint64 sample);
    bool existCurPos(qint64 sample) const { return m_cursors.contains(sample); }
    void clearCurPos();

    // Zoom and move; `width` is the waveform column's width in pixels.
    void zoomIn(int width);
    void zoomOut(int width);
    void zoomFit(int width);
    void zoomTrigger(int width, int frame);
    void zoomPos(int width, qint64 sample, bool setData);
    void zoomBox(int width, qint64 centre, qint64 span);
    void moveLeft(int width);
    void moveRight(int width);
    void moveLeftEnd(int width);
    void moveRightEnd(int width);

    // The core's protocol decoders as rows of the tree (their set keeps
    // this in step): a top-level row each, with one child per annotation
    // row of its decoder. A decoder without a row gets one at the end, the
    // rows of a decoder no longer listed go; where a row stands is the
    // user's, kept by the layout.
    struct DecoderRows {
        QString name;
        QStringList rows; // the annotation rows' descriptions; empty until the library is asked
        bool operator==(const DecoderRows& o) const { return name == o.name && rows == o.rows; }
    };
    void setDecoders(const QVector<DecoderRows>& decoders);
    const QVector<DecoderRows>& decoders() const { return m_decoders; }
    // A decoder renamed: its row keeps its place and expansion.
    void renameDecoder(const QString& from, const QString& to);
    // The decoders' rows take the places decoder rows hold, in the order
    // setDecoders gave (after the decoders were reordered).
    void orderDecoderRows();
    QModelIndex decoderRow(const QString& name) const;
    // The signal or bus row called `name`, depth first; never a decoder's.
    QModelIndex rowNamed(const QString& name) const;

    // Tree edits of the viewer: move a row (returns it at its new place, or
    // nullptr when the move is not possible), insert a copied row (items 0..2
    // with their children; parent nullptr and row -1: top level, at the end).
    // A decoder's row moves only among the top-level rows and is never
    // pasted (a decoder has one row); its annotation rows stay with it.
    QStandardItem* dropItem(const QModelIndex& source, const QModelIndex& parent, int row);
    QStandardItem* pasteItems(const QList<QStandardItem*>& items, QStandardItem* parent, int row);
    // Builds the three items of a row.
    static QList<QStandardItem*> makeRow(const SigTreeData& data);
    static QList<QStandardItem*> makeDecoderRow(const DecoderRows& decoder, bool expanded);
    static SigTreeData rowData(const QModelIndex& index);
    void setRowData(const QModelIndex& index, const SigTreeData& data);

    // Text of a bit string in a SigTreeData::Radix (any width); empty for
    // another radix.
    static QString radixText(const QString& bits, int radix);
    // The radixes in the order the menus offer them, with their words:
    // "Bin", "Oct", "Dec", "Hex", "Signed", "ASCII".
    static const QList<QPair<int, QString>>& radixWords();
    static QString radixWord(int radix);         // empty for none
    static int radixOfWord(const QString& word); // 0 for none
    // The bits of `width` that `value` reads as in radix Signed (a decimal
    // number, in range) or Ascii (one printable character per byte, the
    // first byte taking the leading width % 8 bits); false with the reason.
    static bool parseRadixValue(const QString& value, int radix, int width, QString* bits, QString* error);

    // Named cursors, kept sorted by sample with one cursor per sample.
    // A new one is named "C" and the smallest free number.
    QString cursorName(qint64 sample) const;
    qint64 cursorNamed(const QString& name) const; // -1 for none
    QList<QPair<QString, qint64>> cursors() const; // (name, sample) in sample order
    // A name is 1 to 64 printable characters, unique among the cursors.
    bool renameCurPos(qint64 sample, const QString& name, QString* error);
    // Moves a cursor, keeping its name; false when `to` holds one already.
    bool moveCurPos(qint64 from, qint64 to);
    // The first cursor after `sample` (before it when !forward); -1 for none.
    qint64 nextCurPos(qint64 sample, bool forward) const;

    // Tree layout (names, nesting, colours, radixes, expansion) for the
    // analyzer file; restoreLayout ignores rows naming unknown channels.
    QJsonObject layout() const;
    void restoreLayout(const QJsonObject& layout);

signals:
    void viewChanged();
    // A cursor came, went, moved or was renamed.
    void cursorsChanged();

private:
    void buildDefaultTree(const QList<QPair<QString, int>>& signalWidths);
    void buildDumpTree();
    void clockFromTimescale(const ChangeStore& store);
    void startView(bool hadCursors);
    void setWindow(qint64 start, qint64 count, int width);
    qint64 minCount(int width) const;
    void refreshBusWidths(QStandardItem* parent);
    void collectChannels(QStandardItem* item, QVector<int>* out) const;
    QString freeCursorName() const;
    void restoreCursors(const QJsonArray& cursors);
    void syncDecoderRows();
    void setAnnotationRows(QStandardItem* decoderRow, const DecoderRows& decoder);
    int decoderIndex(const QString& name) const;

    std::shared_ptr<const TraceData> m_trace;
    std::shared_ptr<const WaveSource> m_source; // m_trace for a capture
    qint64 m_viewStart = 0, m_viewCount = 0, m_dataPos = 0, m_rulerPos = 0;
    bool m_rulerShown = false;
    int m_clockPeriod = 0;
    qint64 m_tickFs = 0;
    QString m_clockUnit = QStringLiteral("ns");
    double m_panLimit = 5.0;
    QList<qint64> m_cursors;
    QStringList m_cursorNames; // m_cursorNames[i] names m_cursors[i]
    QHash<QString, QString> m_enums;
    QVector<DecoderRows> m_decoders;
};
