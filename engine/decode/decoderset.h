#pragma once

// The protocol decoders of one analyzer core and what they decoded of its
// capture. An entry names a decoder of the library, maps its channels to
// capture channels (a one-bit signal or a bus bit) or stacks it on another
// entry, and sets options. Decoding runs on a worker thread of the set,
// one decoder stack at a time, fed in chunks; a new capture, a new clock
// or an edit starts it again under a new generation, after the old worker
// has been told to stop and has ended, so old and new results never mix.
// Results are immutable once published: the window reads them while the
// next decode runs.

#include "decodelibrary.h"
#include "onaglobal.h"

#include <QColor>
#include <QHash>
#include <QMap>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>
#include <atomic>
#include <memory>
#include <thread>

class TraceData;
class WaveformModel;

struct ONA_EXPORT DecoderEntry {
    QString name;                    // the row's name, unique in its core
    QString decoder;                 // the library's id ("uart")
    QString stack;                   // the entry it takes its input from; empty: the capture
    QMap<QString, QString> channels; // decoder channel id -> capture channel name
    QMap<QString, QString> options;  // option id -> value; a missing option is the decoder's default
    QColor colour;                   // invalid: the page's default
    bool hidden = false;
    bool operator==(const DecoderEntry& o) const;
    bool operator!=(const DecoderEntry& o) const { return !(*this == o); }
};

struct ONA_EXPORT Annotation {
    qint64 start = 0, end = 0; // samples, end exclusive as the library gives it
    int cls = 0;               // annotation class of the decoder
    QStringList texts;         // longest first
};

// One entry's annotations, per annotation row of its decoder, each row by
// start sample, with the largest end so far beside it so the first
// annotation reaching a sample is found by bisection.
struct ONA_EXPORT DecodeResult {
    QVector<QVector<Annotation>> rows;
    QVector<QVector<qint64>> maxEnd;
    // The first annotation of `row` that ends after `sample` (rows[row].size() when none).
    int firstEndingAfter(int row, qint64 sample) const;
    // The first annotation of `row` starting at or after `sample`.
    int firstStartingAt(int row, qint64 sample) const;
    qint64 count() const;
};

class ONA_EXPORT DecoderSet : public QObject {
    Q_OBJECT
public:
    enum State { Idle, Running, Done, Failed };
    struct Status {
        State state = Idle;
        QString error;
    };
    static constexpr int kMaxEntries = 32;
    static constexpr qint64 kMaxAnnotations = 4 * 1024 * 1024; // per entry
    static constexpr qint64 kChunk = 1 << 16;                  // samples per send

    // `channels` are the capture channels of the core, by name.
    DecoderSet(WaveformModel* model, const QStringList& channels, QObject* parent = nullptr);
    ~DecoderSet() override;

    const QVector<DecoderEntry>& entries() const { return m_entries; }
    int indexOf(const QString& name) const;
    QStringList names() const;
    const QStringList& channelNames() const { return m_channels; }

    // Edits; each checks everything first and changes nothing when it
    // refuses. add() names the entry after its decoder when it has no
    // name and, for a decoder with a baud rate the user did not give,
    // guesses one from the capture (baudGuess).
    bool add(DecoderEntry entry, QString* name, QString* error);
    bool replace(const QString& name, const DecoderEntry& entry, QString* error);
    // Removes the entry and those stacked on it, top first; their names.
    bool remove(const QString& name, QStringList* removed, QString* error);
    // Moves the entry to `position` (0 first) among the entries; an entry
    // stays after the one it is stacked on. The decoders' rows in the tree
    // change places in the same order.
    bool move(const QString& name, int position, QString* error);
    QString moveFault(const QString& name, int position) const;
    // Entries as saved: kept even when the library cannot decode them
    // (their rows show why), so saving again loses nothing.
    void restore(const QVector<DecoderEntry>& entries);
    // Why `entry` cannot be decoded (empty: it can), for the set as it is.
    QString check(const DecoderEntry& entry, const QString& replacing = QString()) const;

    // Starts a decode when the capture or its clock differ from what the
    // last one decoded.
    void sync();
    // Waits for the running decode (timeout in ms, -1 for ever); true when none runs.
    bool wait(int timeoutMs = -1);
    bool busy() const { return m_running.load(); }
    quint64 generation() const { return m_generation; }
    // Of the running decode: samples fed and to feed, over all stacks.
    qint64 progressDone() const { return m_done.load(); }
    qint64 progressTotal() const { return m_total.load(); }
    Status status(const QString& name) const;
    std::shared_ptr<const DecodeResult> result(const QString& name) const;

    // Samples per second of the capture's clock; 0 when it has none.
    static quint64 sampleRate(int period, const QString& unit);
    // A baud rate from the shortest pulse on a channel: the rate over the
    // shortest run between two changes; 0 when there are not two changes.
    static qint64 baudGuess(const TraceData& trace, int channel, quint64 rate);

signals:
    void entriesChanged();
    void decodeStarted();
    void decodeProgress();
    void decodeFinished();

private:
    struct Run;
    // The entries as rows of the model's tree.
    void showRows();
    void restart();
    void stopWorker();
    void work(std::shared_ptr<Run> run);
    void publish(const Run& run, const QString& name, const Status& status, std::shared_ptr<const DecodeResult> result);

    WaveformModel* m_model;
    QStringList m_channels;
    QVector<DecoderEntry> m_entries;

    // What the last decode was started on.
    std::shared_ptr<const TraceData> m_trace;
    quint64 m_rate = 0;

    mutable QMutex m_mutex; // guards the two tables below
    QHash<QString, Status> m_status;
    QHash<QString, std::shared_ptr<const DecodeResult>> m_results;

    std::atomic<quint64> m_generation{0};
    std::atomic<bool> m_running{false};
    std::atomic<qint64> m_done{0}, m_total{0};
    std::shared_ptr<std::atomic<bool>> m_cancel;
    std::thread m_worker;
};
