#pragma once

// The user control and status registers of a simulated controller device.
// Control registers hold what was written (0 at first); status registers
// follow the simulated design: a free-running counter, a slice of a control
// register (a flag that a control bit sets) or a constant, as the
// debug-logic file says (docs/formats.md). Registers of any width.
//
// Register files (dump and load) are text: one register a line, its name and
// its value in hexadecimal, "#" starts a comment. A load checks every line
// first and refuses the whole file, naming the line, so the registers never
// end up half loaded.

#include "controllerrecords.h"
#include "onaglobal.h"
#include "targetdevice.h"

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QString>
#include <QVector>
#include <functional>

class ONA_EXPORT SimRegisters : public RegisterBank {
public:
    SimRegisters() = default;
    SimRegisters(const QList<RegisterEntry>& control, const QList<RegisterEntry>& status);
    SimRegisters(const SimRegisters&) = delete;
    SimRegisters& operator=(const SimRegisters&) = delete;

    // Milliseconds since any fixed point; drives the counters.
    void setClock(std::function<qint64()> msNow);

    bool hasControl(const QString& name) const override { return m_controlIndex.contains(name); }
    bool hasStatus(const QString& name) const override { return m_statusIndex.contains(name); }

    // The value as hexadecimal digits (upper case, ceil(width / 4) of them).
    bool readControl(const QString& name, QString* hex, QString* error) const override;
    bool readStatus(const QString& name, QString* hex, QString* error) const override;
    // `text` is the value in the register's declared radix, or marked with
    // its own: b'1010, o'12, d'10, h'A. A value of 2^width or more is refused.
    bool writeControl(const QString& name, const QString& text, QString* error) override;
    // Inverts a 1-bit control register.
    bool toggleControl(const QString& name, QString* error) override;

    bool dumpControl(const QString& path, QString* error) const override { return dump(path, false, error); }
    bool dumpStatus(const QString& path, QString* error) const override { return dump(path, true, error); }
    bool loadControl(const QString& path, QString* error) override;

    // The parser behind loadControl: `text` of the file `name`, for
    // registers of the given widths. Gives (register, binary value) pairs.
    static bool parseRegisterText(const QByteArray& text, const QString& name, const QHash<QString, int>& widths,
                                  QVector<QPair<QString, QString>>* values, QString* error);
    static constexpr qint64 kMaxFileSize = 4 * 1024 * 1024;

protected:
    struct Reg {
        RegisterEntry entry;
        QString bits; // control registers: binary digits, `width` of them
    };
    // A change of control registers reaches the device here (the model
    // keeps them itself); `changed` holds their indexes, the mutex is held,
    // and false undoes the change. A register bank over a cable overrides
    // this and statusValue, and keeps every check and file format.
    virtual bool commitControl(const QVector<int>& changed, QString* error) {
        Q_UNUSED(changed);
        Q_UNUSED(error);
        return true;
    }
    // Binary digits of status register `index` now; the mutex is held.
    virtual bool statusValue(int index, QString* bits, QString* error) const {
        Q_UNUSED(error);
        *bits = statusBits(m_status.at(index));
        return true;
    }
    const QVector<Reg>& controlRegs() const { return m_control; }
    const QVector<Reg>& statusRegs() const { return m_status; }

private:
    bool dump(const QString& path, bool status, QString* error) const;
    // Binary digits of a status register now; the mutex is held.
    QString statusBits(const Reg& r) const;

    QVector<Reg> m_control;
    QVector<Reg> m_status;
    QHash<QString, int> m_controlIndex;
    QHash<QString, int> m_statusIndex;
    mutable QMutex m_mutex;
    std::function<qint64()> m_clock;
};
