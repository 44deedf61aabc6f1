#pragma once

// A simulator's waveform against a capture: the simulation is resampled at
// the capture's samples (each rising edge of a clock, or every `period`
// ticks), shifted by an offset in samples, and each paired signal's
// differing spans are listed. The walk goes from change to change of both
// sides, so its cost follows the changes, never the ticks or the samples.
//
// A simulation sample on a clock is what a flip-flop on that clock takes:
// each value just before the edge. On a period, sample j is the value at
// tick j * period. Capture sample i is compared with simulation sample
// i + offset. x and z in the simulation differ from any 0 or 1.

#include "onaglobal.h"

#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

class ChangeStore;
class TraceData;

namespace SimCompare {

// The most spans listed per signal: a longer list is a script's mistake.
constexpr int kMaxLimit = 100000;
// The most rising edges a clock may have (8 bytes each are held).
constexpr qint64 kMaxEdges = qint64(1) << 26;
// An offset beyond this is no capture's and no simulation's.
constexpr qint64 kMaxOffset = qint64(1) << 40;

// A signal of the capture: a one-bit channel, or the channels "NAME[i]"
// as one bus, most significant first.
struct CaptureSignal {
    QString name;
    QVector<int> channels;
};
// The signals a capture's channel names stand for: every bus first (by
// the first of its channels), then every channel on its own.
ONA_EXPORT QVector<CaptureSignal> captureSignals(const TraceData& trace);

// One pairing, as a user may edit it: a simulation variable (a full name,
// a unique last component, or a bit select "name[3]") and a capture signal.
struct Mapping {
    QString simName;
    QString capName;
};

struct Options {
    QVector<Mapping> map; // empty: paired by name
    QString clock;        // a one-bit variable; empty: `period` applies
    qint64 period = 0;    // ticks
    bool haveOffset = false;
    qint64 offset = 0; // simulation sample of capture sample 0
    int limit = 10;    // spans listed per signal
};

struct Span {
    qint64 start = 0, end = 0; // capture samples, inclusive
    QString capValue, simValue;
};

struct PairResult {
    QString capName, simName;
    qint64 count = 0; // every differing span, listed or not
    QVector<Span> spans;
};

struct Result {
    qint64 offset = 0;
    bool aligned = false; // the offset came from the trigger
    qint64 triggerSample = -1, simSample = -1, simTime = -1;
    qint64 first = 0, last = -1; // capture samples compared
    QVector<PairResult> pairs;
    QStringList unpaired; // capture signals without a variable (named pairing)
};

// The simulation's variables paired with the capture's signals by name:
// the full name, else the last component when one signal has it, a bus to
// a variable of its width; a pair given in `map` instead when it is not
// empty. False with the reason on a name that is unknown, ambiguous or of
// another width.
ONA_EXPORT bool pairs(const ChangeStore& sim, const TraceData& trace, const QVector<Mapping>& map,
                      QVector<Mapping>* out, QStringList* unpaired, QString* error);

// False with the reason (and `result` untouched) on anything it cannot do.
ONA_EXPORT bool compare(const ChangeStore& sim, const TraceData& trace, const Options& options, Result* result,
                        QString* error);

} // namespace SimCompare
