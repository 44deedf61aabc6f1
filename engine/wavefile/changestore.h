#pragma once

// The store of a simulator's waveform: per signal the times at which it
// changes and its value after each change, nothing between. A sparse dump
// (a 1 ps timescale over a millisecond) costs its changes, not its ticks.
//
// A signal's changes are a byte stream cut into blocks of kBlock changes;
// the block index holds each block's first time and byte offset, so a
// time is found by a binary search over the index and a walk of at most
// one block. Inside a block a change is a varint of the time since the
// change before it (the block's first: since the block's time, i.e. 0)
// with the value's flags in its low bits, then the value:
//   one bit:  2 flag bits, the four-state code (0 1 x z), nothing after;
//   vector:   1 flag bit (four-state), then the value least significant
//             bit first, 1 bit a bit (two-state) or 2 bits a bit;
//   real:     no flag, 8 bytes of the double.
// Several variables may name one signal (a VCD identifier declared in two
// scopes). Times are the file's ticks (64-bit); values are texts of
// '0' '1' 'x' 'z', most significant bit first, or a real number.
// Immutable once the reader has finished it, so readers share it freely.

#include "onaglobal.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>
#include <cstdint>
#include <vector>

class ONA_EXPORT ChangeStore {
public:
    static constexpr int kBlock = 64;
    // The widest vector the reader accepts.
    static constexpr int kMaxWidth = 65536;

    enum Kind { Bit, Vector, Real };

    struct Scope {
        int parent = -1; // -1: a top scope
        QString type;    // module, task, function, begin, fork...
        QString name;
    };
    struct Var {
        int scope = -1;
        QString kind;      // wire, reg, integer, real, parameter, event...
        QString reference; // the name as declared
        QString range;     // "[7:0]", "[3]" or empty
        QString name;      // scopes, reference (and a bit select) joined by '.'
        int width = 1;
        int signal = -1;
    };
    // One decoded change.
    struct Change {
        qint64 time = 0;
        QByteArray bits; // '0' '1' 'x' 'z', most significant first (Bit, Vector)
        double real = 0; // Real
    };

    // ---- building (the reader) ----
    int addSignal(Kind kind, int width);
    int addScope(const Scope& s);
    void addVar(const Var& v);
    // Appends a change; `time` is at or after the signal's last change.
    // `bits` holds width codes 0..3 (0 1 x z), least significant first.
    void appendBits(int signal, qint64 time, const quint8* codes);
    void appendReal(int signal, qint64 time, double value);
    // A vector's value already packed: two-state, bit i in bit i % 8 of
    // byte i / 8; four-state, code i in bits 2 * (i % 4) of byte i / 4.
    void appendPacked(int signal, qint64 time, bool fourState, const quint8* packed);
    static int packedBytes(int width, bool fourState) { return fourState ? (width + 3) / 4 : (width + 7) / 8; }
    // Appends what another store (of the same signals) holds for `signal`,
    // all of it after this store's last change of it. When the signal's
    // room runs out it grows to `expected` times what it then holds (the
    // reader's guess from the part of the file read), not to twice.
    void appendFrom(int signal, const ChangeStore& part, int partSignal, double expected = 2.0);
    void finish(); // gives back spare capacity, indexes the names

    // ---- reading ----
    int numSignals() const { return int(m_signals.size()); }
    int numVars() const { return m_vars.size(); }
    const Var& var(int i) const { return m_vars.at(i); }
    const QVector<Var>& vars() const { return m_vars; }
    const QVector<Scope>& scopes() const { return m_scopes; }
    // The first variable of that name, -1 when none.
    int varNamed(const QString& name) const;
    Kind kind(int signal) const { return m_signals[size_t(signal)].kind; }
    int width(int signal) const { return m_signals[size_t(signal)].width; }
    qint64 numChanges(int signal) const { return m_signals[size_t(signal)].changes; }
    qint64 totalChanges() const;

    // The first change after `t`; -1 when there is none.
    qint64 nextChange(int signal, qint64 t) const;
    // The last change at or before `t`; -1 when there is none.
    qint64 prevChange(int signal, qint64 t) const;
    // The value at `t` (the last change at or before it); before the first
    // change every bit is x and a real is 0. Several changes at one time:
    // the last one.
    Change valueAt(int signal, qint64 t) const;
    // The changes from `from` to `to` inclusive, in order; false (and the
    // list cut) when there are more than `limit`.
    bool changes(int signal, qint64 from, qint64 to, qint64 limit, QVector<Change>* out) const;
    // The first time at or after `from` (backward: the last at or before
    // it) where the signal reads `pattern` (most significant first, '?'
    // matches any bit, as wide as the signal); -1 when it never does in
    // [0, end]. Only the changes are read.
    qint64 findBits(int signal, const QByteArray& pattern, qint64 from, bool backward, qint64 end) const;
    qint64 findReal(int signal, double value, qint64 from, bool backward, qint64 end) const;

    // The file's timescale: 1, 10 or 100 of `timeUnit` (s ms us ns ps fs).
    int timeMagnitude = 1;
    QString timeUnit = QStringLiteral("s");
    qint64 endTime = 0; // the last time the file named
    bool partial = false;
    QString error; // why it is partial
    QString file;

    // Bytes held for changes, their indexes, names and the tables.
    qint64 storageBytes() const;

    // A walk over a signal's changes in time order, for writers and merges.
    class Cursor {
    public:
        // At the first change of block `block` (0: the signal's first).
        Cursor(const ChangeStore& store, int signal, size_t block = 0);
        bool atEnd() const { return m_index >= m_count; }
        qint64 time() const { return m_time; }
        // The current change's value: codes (least significant first) or
        // real, decoded when first asked (a walk over times skips values).
        const std::vector<quint8>& codes() const {
            if (!m_decoded)
                decodeValue();
            return m_codes;
        }
        double real() const {
            if (!m_decoded)
                decodeValue();
            return m_real;
        }
        // The current value in the store's own packing (see appendPacked).
        bool fourState() const { return m_flags != 0; }
        void next();
        friend class ChangeStore;

    private:
        void decode(bool blockStart);
        void decodeValue() const;
        const ChangeStore* m_store;
        int m_signal;
        size_t m_block = 0;
        qint64 m_index = 0, m_count = 0, m_nextBlock = 0;
        size_t m_pos = 0;
        qint64 m_time = 0;
        size_t m_valuePos = 0;
        quint64 m_flags = 0;
        mutable bool m_decoded = false;
        mutable std::vector<quint8> m_codes;
        mutable double m_real = 0;
    };

private:
    // A block starts a signal's stream and every kBlock changes after, and
    // where a part read apart was appended (appendFrom), so blocks may be
    // shorter.
    struct Block {
        qint64 time;
        quint64 offset;
        qint64 first; // the index of its first change
    };
    struct Signal {
        Kind kind = Bit;
        int width = 1;
        qint64 changes = 0;
        qint64 lastTime = 0;
        std::vector<quint8> bytes;
        std::vector<Block> blocks;
    };
    void startRecord(Signal& s, qint64 time, int flagBits, quint64 flags);
    // The index of the last change at or before t (-1: none) and its time.
    qint64 lastAtOrBefore(int signal, qint64 t, qint64* time) const;
    // The block that holds change `index`.
    size_t blockOf(int signal, qint64 index) const;
    // The search of findBits and findReal; `reads(cursor)` says whether a
    // change leaves the value sought, `initial` whether the time before the
    // first change reads it.
    template <typename Reads>
    qint64 findIn(int signal, qint64 from, bool backward, qint64 end, bool initial, Reads reads) const;

    std::vector<Signal> m_signals;
    QVector<Scope> m_scopes;
    QVector<Var> m_vars;
    QHash<QString, int> m_byName; // the first variable of each name
};

// Text of a change: the bits, or the real written so it reads back the same.
ONA_EXPORT QString changeText(const ChangeStore::Change& c, ChangeStore::Kind kind);
