#pragma once

// What the waveform's readers (the painter, find, next edge, the
// measurements, the exports) ask of a waveform, whether it is a capture
// (positions are samples) or a simulator's dump (positions are ticks): a
// set of one-bit channels, each with a four-state value at every position
// from firstPosition() to lastPosition().
//
// A change of a channel is a position whose value differs from the value
// at the position before it; the first position is never one. Queries on
// a set of channels answer for any of them. Every query costs what the
// source holds between its ends (changes, or words of samples), never the
// positions in between, so a painter may ask once per pixel column.

#include "onaglobal.h"

#include <QByteArray>
#include <QString>
#include <QVector>

class ONA_EXPORT WaveSource {
public:
    // The four-state value of a channel at a position.
    enum Code { Zero = 0, One = 1, Unknown = 2, HighZ = 3 };
    // Code to text and back: "01xz".
    static char codeChar(int code) { return "01xz"[code & 3]; }

    virtual ~WaveSource();

    virtual int channelCount() const = 0;
    virtual QString channelName(int channel) const = 0;

    // Both included; lastPosition() < firstPosition() when it holds nothing.
    virtual qint64 firstPosition() const = 0;
    virtual qint64 lastPosition() const = 0;

    // A Code; 0 outside first..last or for a channel it does not have.
    virtual int codeAt(int channel, qint64 at) const = 0;
    // The codes of several channels as text, first channel leftmost.
    virtual QString bitsAt(const QVector<int>& channels, qint64 at) const;

    // The first change after `from`; -1 when there is none.
    virtual qint64 changeAfter(int channel, qint64 from) const = 0;
    virtual qint64 changeAfter(const QVector<int>& channels, qint64 from) const;
    // The last change at or before `at`; -1 when there is none.
    virtual qint64 changeAtOrBefore(int channel, qint64 at) const = 0;
    virtual qint64 changeAtOrBefore(const QVector<int>& channels, qint64 at) const;
    // Whether first..last (both included, clamped to the source) holds a
    // change.
    virtual bool changeWithin(int channel, qint64 first, qint64 last) const;
    virtual bool changeWithin(const QVector<int>& channels, qint64 first, qint64 last) const;

    // The first position at or after `from` (the last at or before it when
    // `backward`) where the channels read `pattern`: one character a
    // channel, first channel first, '0' '1' 'x' 'z' or '?' for any value.
    // -1 when none does, or when the pattern does not fit the channels.
    // Quiet stretches are stepped over change by change.
    virtual qint64 find(const QVector<int>& channels, const QByteArray& pattern, qint64 from, bool backward) const;

    // Whether `pattern` is a pattern for `channels` of this source.
    bool fits(const QVector<int>& channels, const QByteArray& pattern) const;

protected:
    WaveSource() = default;
    WaveSource(const WaveSource&) = default;
    WaveSource& operator=(const WaveSource&) = default;
};
