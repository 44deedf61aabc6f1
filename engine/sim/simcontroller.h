#pragma once

// The simulated controller device: the debug logic of one controller core
// as the engine talks to it without a cable. The simulated user design
// drives its LEDs from its switches and a free-running counter (each LED is
// its switch, the lower half of them XOR a counter that ticks every 250 ms),
// so polling shows movement and a switch write shows at once. The user
// memory is word addressed, `depth` words of `width` bits from `start`.
//
// Every operation is thread-safe (the polling thread reads the LEDs while
// the GUI thread writes switches) and checks everything before it changes
// anything. Memory files are $readmemh text (docs/formats.md).

#include "bitwords.h"
#include "onaglobal.h"
#include "simregisters.h"
#include "targetdevice.h"

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <QVector>
#include <functional>
#include <memory>

class ONA_EXPORT SimController : public ControllerDevice {
public:
    SimController(int ledCount, int switchCount, quint32 memStart, int memDepth, int memWidth);

    // Replaces the clock that drives the counters (LEDs and registers;
    // milliseconds since any fixed point); tests use it to freeze or step
    // them.
    void setClock(std::function<qint64()> msNow);

    // The user registers (none until set): control and status blocks that
    // are defined and enabled. Replaces what was there.
    void setRegisters(const ControlRegisterData& control, const StatusRegisterData& status);
    SimRegisters& registers() const override { return *m_registers; }

    int ledCount() const override { return m_leds; }
    int switchCount() const override { return m_switches; }
    bool readLeds(quint32* value, QString* error) const override;
    bool readSwitches(quint32* value, QString* error) const override;
    // Refuses a value with bits above the switch count.
    bool writeSwitches(quint32 value, QString* error) override;

    bool hasMemory() const override { return m_depth > 0; }
    quint32 memStart() const override { return m_start; }
    int memDepth() const override { return m_depth; }
    int memWidth() const override { return m_width; }
    bool readWord(quint64 address, quint64* value, QString* error) const override;
    bool writeWord(quint64 address, quint64 value, QString* error) override;
    bool fill(quint64 value, QString* error) override;

    // Dumps `range` words (-1: to the end) from word `offset` of the memory
    // (0 = the start address) as $readmemh text, written atomically. `width`
    // is the word width written (0: the memory's); it may not exceed it.
    bool dump(const QString& path, qint64 offset, qint64 range, int width, QString* error) const override;
    // Loads a $readmemh file; its addresses are memory word indexes, moved
    // by `offset`; with `range` >= 0, words outside [offset, offset + range)
    // are refused. Every line is checked first: any fault refuses the whole
    // file, naming its line, and the memory stays as it was.
    bool load(const QString& path, qint64 offset, qint64 range, int width, QString* error) override;

    struct MemWrite {
        quint32 index;
        quint64 value;
    };
    // The parser behind load(): `text` of the file named `name`, for a memory
    // of `depth` words of `width` bits; words land in [lo, hi). Pure, so the
    // fuzzer and the tests reach it directly.
    static bool parseMemText(const QByteArray& text, const QString& name, int width, qint64 depth, qint64 offset,
                             qint64 lo, qint64 hi, QVector<MemWrite>* writes, QString* error);
    static constexpr qint64 kMaxMemFileSize = 64 * 1024 * 1024;

    // Hexadecimal digits of `value`, upper case, zero-padded to the digits
    // of `bits` bits (at least one digit).
    static QString hexDigits(quint64 value, int bits) { return ::hexDigits(value, bits); }

protected:
    // Where the words live: the model's own store here; a controller core
    // reached over a cable overrides them and keeps every check and file
    // format above. Indexes are memory words from 0.
    virtual bool fetchWords(qint64 first, qint64 count, QVector<quint64>* out, QString* error) const;
    virtual bool storeWords(const QVector<MemWrite>& writes, QString* error);

private:
    // Checks a dump or load window against the memory; a negative range
    // means "to the end" and a width of 0 or less the memory's own.
    bool fileWindow(qint64 offset, qint64* range, int* width, QString* error) const;
    quint32 counter() const;
    bool checkAddress(quint64 address, QString* error) const;

    const int m_leds;
    const int m_switches;
    const quint32 m_start;
    const int m_depth;
    const int m_width;
    mutable QMutex m_mutex;
    quint32 m_switchValue = 0;
    QVector<quint64> m_memory;
    std::function<qint64()> m_clock;
    std::unique_ptr<SimRegisters> m_registers = std::make_unique<SimRegisters>();
};
