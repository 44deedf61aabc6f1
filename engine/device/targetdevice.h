#pragma once

// What the engine asks of a target: the debug logic behind the cable. The
// simulated device is one kind; a kind is registered by name with
// DeviceRegistry and the cable settings choose it. A target may be slow and
// may fail, so every operation that reaches it can refuse with a text, and
// the analyzer side is driven from the acquisition thread, never the GUI
// thread.

#include "onaglobal.h"
#include "triggerlang.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>
#include <memory>

class TraceData;
struct CableSettings;
struct ControllerRecords;
struct HardIpBlock;
struct HardIpData;
struct HardIpKey;
struct SerdesLayout;

// One trigger unit, compiled to words (least significant word first).
struct CaptureUnit {
    TriggerLang::Op op = TriggerLang::Op::Eq;
    int width = 1;
    int serial = 0;
    QVector<QPair<int, int>> sources;   // (signal, bit), most significant first
    QVector<quint64> value, care, high; // care: bits that are not don't-care
};

// What one analyzer core is loaded with before it is armed: its signals,
// the trigger units, the enabled expressions and the run options.
struct AnalyzerLoad {
    QString coreName;
    // The core's place in the debug-logic file (the hub serves the cores in
    // that order) and the hash of its entry there, which a core in RTL reports.
    int coreIndex = -1;
    quint32 coreHash = 0;
    QList<QPair<QString, int>> signalWidths; // in channel order
    QStringList channelNames;                // one per sampled bit
    // The design file's simulation entries by signal name: a device that
    // simulates the design drives its signals from them; hardware has none.
    QJsonObject simulation;
    QVector<CaptureUnit> units;
    QStringList unitNames;
    QVector<TriggerLang::TEProgram> expressions; // enabled ones
    QStringList expressionNames;
    bool teAnd = false;
    int finalCount = 1;
    int samples = 1;
    int frames = 1;
    int position = 0;
    bool por = false; // connected at power-on reset: may trigger before the pre-trigger fill
    // A simulated target arms the core at this sample of the design's time
    // (since its reset); hardware is armed when the run starts.
    qint64 startTime = 0;
};

// One loaded analyzer core on the target.
class ONA_EXPORT AnalyzerDevice {
public:
    enum State { Waiting, Recording, Done };
    virtual ~AnalyzerDevice() = default;

    // Arms the core with what it was loaded with.
    virtual bool arm(QString* error) = 0;
    // Lets the core run and reads its status: a simulated core runs up to
    // `budget` samples of device time, hardware answers one status poll.
    virtual bool poll(int budget, QString* error) = 0;
    // A manual trigger: the frame being waited for starts now and ends the run.
    virtual void manualTrigger() = 0;
    virtual void stop() = 0;

    // Status and counters as of the last poll.
    virtual State state() const = 0;
    virtual int frames() const = 0;    // frames captured
    virtual qint64 stored() const = 0; // samples stored, over all frames
    // Samples of device time the core has waited for its trigger since it
    // was (re)armed; a long wait lets the thread pace its polls.
    virtual qint64 waited() const = 0;

    // The samples of a finished core (Done): its store, cut to what was stored.
    virtual std::shared_ptr<TraceData> readSamples(QString* error) = 0;
};

// A word-addressed memory on the target: a controller core's user memory,
// a hard IP block's window. Files are $readmemh text (docs/formats.md).
class ONA_EXPORT MemorySpace {
public:
    virtual ~MemorySpace() = default;
    virtual bool hasMemory() const = 0;
    virtual quint32 memStart() const = 0;
    virtual int memDepth() const = 0;
    virtual int memWidth() const = 0;
    virtual bool readWord(quint64 address, quint64* value, QString* error) const = 0;
    virtual bool writeWord(quint64 address, quint64 value, QString* error) = 0;
    virtual bool fill(quint64 value, QString* error) = 0;
    // `range` words (-1: to the end) from word `offset`; `width` 0: the memory's.
    virtual bool dump(const QString& path, qint64 offset, qint64 range, int width, QString* error) const = 0;
    virtual bool load(const QString& path, qint64 offset, qint64 range, int width, QString* error) = 0;
};

// The user control and status registers of a controller core. Values are
// hexadecimal digits; a written text is in the register's radix or marked
// with its own (b'1010, h'A).
class ONA_EXPORT RegisterBank {
public:
    virtual ~RegisterBank() = default;
    virtual bool hasControl(const QString& name) const = 0;
    virtual bool hasStatus(const QString& name) const = 0;
    virtual bool readControl(const QString& name, QString* hex, QString* error) const = 0;
    virtual bool readStatus(const QString& name, QString* hex, QString* error) const = 0;
    virtual bool writeControl(const QString& name, const QString& text, QString* error) = 0;
    virtual bool toggleControl(const QString& name, QString* error) = 0;
    virtual bool dumpControl(const QString& path, QString* error) const = 0;
    virtual bool dumpStatus(const QString& path, QString* error) const = 0;
    virtual bool loadControl(const QString& path, QString* error) = 0;
};

// The debug logic of one controller core: LEDs, switches, the user memory
// and the user registers. Thread-safe: the polling thread reads the LEDs
// while the GUI thread writes.
class ONA_EXPORT ControllerDevice : public MemorySpace {
public:
    virtual int ledCount() const = 0;
    virtual int switchCount() const = 0;
    virtual bool readLeds(quint32* value, QString* error) const = 0;
    virtual bool readSwitches(quint32* value, QString* error) const = 0;
    // Refuses a value with bits above the switch count.
    virtual bool writeSwitches(quint32 value, QString* error) = 0;
    virtual RegisterBank& registers() const = 0;
};

// One hard IP block instance: its registers by key (per lane), the lane's
// bit-error tester and the block's address space.
class ONA_EXPORT HardIpDevice {
public:
    virtual ~HardIpDevice() = default;
    // A register write; the value was checked against its key.
    virtual void write(const HardIpKey& key, int lane, const QString& value) = 0;
    // What the block reports for a key now.
    virtual QString read(const HardIpKey& key, int lane) const = 0;
    virtual void ibertRestart(int lane) = 0;
    virtual void ibertInject(int lane) = 0;
    virtual quint64 ibertCount(int lane) = 0;
    virtual MemorySpace& memory() = 0;
    virtual const MemorySpace& memory() const = 0;
};

// The SERDES block of older devices (SerdesMap): bytes over the Wishbone
// bus, and the settings, resets and status of each DCU channel.
class ONA_EXPORT SerdesDevice {
public:
    virtual ~SerdesDevice() = default;
    // Power-up state (also the configuration SRAM reload).
    virtual void reload() = 0;
    virtual bool readByte(quint32 addr, quint8* value, QString* why) const = 0;
    virtual bool writeByte(quint32 addr, quint8 value, QString* why) = 0;
    // The setting bytes of a channel.
    virtual QByteArray settings(int dcu, int ch) const = 0;
    virtual bool setSettings(int dcu, int ch, const QByteArray& bytes, QString* why) = 0;
    virtual bool reset(int dcu, int ch, const QString& key) const = 0;
    virtual bool setReset(int dcu, int ch, const QString& key, bool on, QString* why) = 0;
    virtual bool status(int dcu, int ch, const QString& key) const = 0;
};

// A kind of target behind the cable.
class ONA_EXPORT TargetDevice {
public:
    virtual ~TargetDevice() = default;

    // The cable settings the target is reached with, given before each use.
    virtual void setCable(const CableSettings& cable) { Q_UNUSED(cable); }
    // Lets go of what the target holds for the cable (the project closed or
    // its cable changed); the next use starts again.
    virtual void release() {}

    // Port names of the USB cables that answer ("EzUSB-0"); the ports of the
    // cable type chosen come first.
    virtual QStringList usbPorts(const CableSettings& cable) const = 0;
    // True when a parallel-port cable answers at `address`.
    virtual bool parallelPortAnswers(int address) const = 0;
    // Empty when the cable is connected, else the "ERROR: ..." text a run on
    // it fails with.
    virtual QString cableFault(const CableSettings& cable) const = 0;

    // Checks one simulation entry of the design file (a signal of `width`
    // bits); a kind that simulates nothing accepts every entry.
    virtual bool checkSignalSource(const QJsonObject& entry, int width, QString* error) const = 0;

    // Loads an analyzer core. Null with the reason when the target cannot.
    virtual std::unique_ptr<AnalyzerDevice> openAnalyzer(const AnalyzerLoad& load, QString* error) = 0;
    // The debug logic of a controller core as its records describe it.
    virtual std::shared_ptr<ControllerDevice> openController(const ControllerRecords& records, QString* error) = 0;
    // One hard IP instance; `block` is null for an address space only.
    virtual std::unique_ptr<HardIpDevice> openHardIp(const HardIpData& data, const HardIpBlock* block,
                                                     QString* error) = 0;
    // The SERDES block of a design with the channels of `layout`.
    virtual std::unique_ptr<SerdesDevice> openSerdes(const SerdesLayout& layout, QString* error) = 0;
};
