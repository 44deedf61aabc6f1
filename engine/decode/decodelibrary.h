#pragma once

// libsigrokdecode, once per process: the library is started on first use
// (on the thread that owns the decoder sets: Python's main thread is the
// one that starts it and must stop it) and stopped when the program ends, and every call into it is made under
// one lock (its decoder list and log hook are process-wide, and 0.5 runs
// each decoder stack on threads of its own behind the Python lock, which
// its calls take and give back themselves). The decoders' descriptions are
// read once into plain records, so the window and the verbs never touch
// the library's structures.

#include "onaglobal.h"

#include <QMutex>
#include <QString>
#include <QStringList>
#include <QVector>
#include <atomic>

struct ONA_EXPORT DecoderChannel {
    QString id, name, desc;
};

struct ONA_EXPORT DecoderOption {
    enum Type { Int, Double, Text };
    QString id, desc;
    Type type = Text;
    QString defaultText; // the decoder's default as the verbs write it
    QStringList values;  // the only values it takes; empty: any of its type
};

struct ONA_EXPORT DecoderRow {
    QString id, desc;
    QVector<int> classes;
};

struct ONA_EXPORT DecoderInfo {
    QString id, name, longName, desc;
    QStringList inputs, outputs;
    QVector<DecoderChannel> channels, optChannels;
    QVector<DecoderOption> options;
    QVector<QPair<QString, QString>> classes; // annotation classes: id, description
    // The decoder's annotation rows; a class no row names goes to a last
    // row named after the decoder, so every class has exactly one row.
    QVector<DecoderRow> rows;
    QVector<int> rowOfClass;

    const DecoderOption* option(const QString& optionId) const;
    bool hasChannel(const QString& channelId) const;
    int rowIndex(const QString& rowId) const;
    // Checks an option value against the option's type and choices; the
    // text the decoder is given, or an empty text with `error` set.
    bool checkOption(const QString& optionId, const QString& value, QString* error) const;
};

class ONA_EXPORT DecodeLibrary {
public:
    static DecodeLibrary& inst();

    // Starts the library and reads its decoders, once; false with the
    // reason when it cannot (then every decode reports that reason).
    bool ready(QString* error);
    // Every decoder of the library, by id (empty until ready()).
    const QVector<DecoderInfo>& decoders();
    const DecoderInfo* find(const QString& id);
    // Held around every call into the library.
    QMutex& lock() { return m_lock; }
    // Error lines the library logged since the last take (under lock()).
    QString takeLog();
    // The library is up (false once the program is ending); under lock().
    bool started() const { return m_started; }
    void appendLog(const QString& line);

    ~DecodeLibrary();

private:
    DecodeLibrary() = default;
    void load();
    QMutex m_lock, m_initLock;
    std::atomic<bool> m_loaded{false};
    bool m_started = false;
    QString m_error;
    QVector<DecoderInfo> m_decoders;
    QStringList m_log;
};
