#pragma once

// What an analyzer core in RTL is (its self-description, read over the hub)
// and what it is loaded with: a trigger setup compiled into the core's
// configuration registers. What the core's parameters cannot hold is
// refused with a message that names the limit. The register map is in
// docs/debug-cores.md.

#include "hubbus.h"
#include "targetdevice.h"

struct AnalyzerCoreInfo {
    quint32 hash = 0;
    int sampleWidth = 0;
    int depthMin = 0, depthMax = 0;
    int capacity = 0; // samples of the segmented memory; 0: one window of depthMax
    int maxTriggers = 1;
    int finalCounterMax = 1;
    int units = 0, expressions = 0, terms = 0, steps = 0;
    int wordsPerSampleLog2 = 0; // log2 of the bus words one sample takes
    int memoryDepth = 0;
    QVector<int> unitWidth;
    QVector<bool> unitSerial;
};

namespace AnalyzerConfig {

// Registers of the core (bus addresses).
enum : quint16 {
    RegCommand = 0x0010,
    RegSamples = 0x0011,
    RegTriggers = 0x0012,
    RegPosition = 0x0013,
    RegAnd = 0x0014,
    RegFinal = 0x0015,
    RegPage = 0x0016,
    RegStatus = 0x0018,
    RegFrames = 0x0019,
    RegStored = 0x001A,
    RegArmTime = 0x001B, // and 0x001C: the time stamp of the run's first sample
    RegRecords = 0x6000,
    RegMemory = 0x8000,
};
enum : quint32 { CmdArm = 1, CmdStop = 2, CmdManual = 4 };
enum : quint32 {
    StRunning = 1,
    StRecording = 2,
    StDone = 4,
    StStopped = 8,
    StAborted = 16,
    StBusy = 256,
};

// Reads and checks the self-description of analyzer core `core`.
ONA_EXPORT bool readInfo(HubBus* bus, int core, AnalyzerCoreInfo* info, QString* error);

// The register writes that load `load` into a core described by `info`
// (everything but the arm), or false with the limit that refuses it.
ONA_EXPORT bool compile(const AnalyzerLoad& load, const AnalyzerCoreInfo& info, QVector<CoreWrite>* writes,
                        QString* error);

} // namespace AnalyzerConfig
