#include "jtagcontroller.h"

#include "hubbus.h"
#include "jtagsession.h"
#include "registerradix.h"
#include "simregisters.h"

#include <QDeadlineTimer>

namespace {

enum : quint16 {
    RegId = 0x0000,
    RegHash = 0x0001,
    RegCommand = 0x0010,
    RegStatus = 0x0011,
    RegMemAddress = 0x0012,
    RegLeds = 0x0100,
    RegSwitches = 0x0200,
    RegMemData = 0x0300,
    RegControl = 0x1000,
    RegStatusRegs = 0x2000,
};
enum : quint32 { CmdCommit = 1, CmdMemRead = 2, CmdMemWrite = 4, CmdClearOverrun = 16 };
enum : quint32 { StCommit = 1, StMemory = 2, StOverrun = 4 };
constexpr quint32 kControllerId = 0x0DC00102; // magic, format 1, kind 2
// Status polls a memory word or a commit may take before the design is
// taken to be stopped (held in reset, or its clock off).
constexpr int kMaxPolls = 200;

int wordsOf(int bits) { return (bits + 31) / 32; }

QString hex32(quint32 v) { return QStringLiteral("0x%1").arg(v, 8, 16, QLatin1Char('0')); }

// Waits until none of `busy` is set in the core's status; refuses an overrun.
bool settle(HubBus& bus, int core, quint32 busy, const char* what, QString* error) {
    QVector<quint32> st;
    for (int i = 0; i < kMaxPolls; ++i) {
        if (!bus.read(core, RegStatus, 1, &st, error))
            return false;
        if (st.at(0) & StOverrun) {
            *error = QStringLiteral("the controller core missed a %1: it came while another was in flight")
                         .arg(QLatin1String(what));
            QString ignored;
            bus.write(core, {{RegCommand, CmdClearOverrun}}, &ignored);
            return false;
        }
        if (!(st.at(0) & busy))
            return true;
    }
    *error = QStringLiteral("the design did not take the %1 (is it held in reset, or its clock stopped?)")
                 .arg(QLatin1String(what));
    return false;
}

// Binary digits (most significant first) <-> 32-bit words (least significant first).
QVector<quint32> wordsOfBits(const QString& bits) {
    QVector<quint32> w(wordsOf(int(bits.size())), 0);
    for (int i = 0; i < bits.size(); ++i)
        if (bits.at(bits.size() - 1 - i) == QLatin1Char('1'))
            w[i / 32] |= 1u << (i % 32);
    return w;
}

QString bitsOfWords(const QVector<quint32>& w, int width) {
    QString bits(width, QLatin1Char('0'));
    for (int i = 0; i < width; ++i)
        if (w.value(i / 32) >> (i % 32) & 1u)
            bits[width - 1 - i] = QLatin1Char('1');
    return bits;
}

} // namespace

// The registers of the core: the model's bank with its values committed
// to and read from the core.
class JtagController::Registers : public SimRegisters {
public:
    Registers(const JtagController* owner, const QList<RegisterEntry>& control, const QList<RegisterEntry>& status)
        : SimRegisters(control, status), m_owner(owner) {}

protected:
    bool commitControl(const QVector<int>& changed, QString* error) override {
        QVector<CoreWrite> writes;
        for (const int i : changed) {
            const QVector<quint32> w = wordsOfBits(controlRegs().at(i).bits);
            for (int k = 0; k < w.size(); ++k)
                writes.append({quint16(RegControl + 0x20 * i + k), w.at(k)});
        }
        writes.append({RegCommand, CmdCommit});
        return m_owner->use(
            [&](HubBus& bus, int core, QString* why) {
                return bus.write(core, writes, why) && settle(bus, core, StCommit, "register commit", why);
            },
            error);
    }
    bool statusValue(int index, QString* bits, QString* error) const override {
        const int width = statusRegs().at(index).entry.width;
        QVector<quint32> w;
        if (!m_owner->use(
                [&](HubBus& bus, int core, QString* why) {
                    return bus.read(core, quint16(RegStatusRegs + 0x20 * index), wordsOf(width), &w, why);
                },
                error))
            return false;
        *bits = bitsOfWords(w, width);
        return true;
    }

private:
    const JtagController* m_owner;
};

JtagController::JtagController(SessionSource session, const ControllerRecords& records)
    : SimController(records.leds.defined ? int(records.leds.names.size()) : 0,
                    records.switches.defined ? int(records.switches.names.size()) : 0, records.memory.start,
                    records.memory.defined && records.memory.enabled ? records.memory.depth : 0,
                    records.memory.defined && records.memory.enabled ? records.memory.width : 0)
    , m_session(std::move(session))
    , m_records(records) {
    const auto on = [](const RegisterListData& d) { return d.isDefined() && d.isEnabled(); };
    m_registerBank =
        std::make_unique<Registers>(this, on(records.control) ? records.control.getEntries() : QList<RegisterEntry>(),
                                    on(records.status) ? records.status.getEntries() : QList<RegisterEntry>());
}

JtagController::~JtagController() = default;

SimRegisters& JtagController::registers() const { return *m_registerBank; }

bool JtagController::use(const std::function<bool(HubBus&, int, QString*)>& op, QString* error) const {
    const int core = m_records.coreIndex;
    return m_session()->with(
        [&](HubBus& bus, QString* why) {
            // The core must be the one the file describes, every time: the
            // board may have been loaded with another design meanwhile.
            QVector<quint32> id;
            if (!bus.read(core, RegId, 2, &id, why))
                return false;
            if (id.at(0) != kControllerId) {
                *why = QStringLiteral("core %1 on the debug hub is no controller core (it reads %2)")
                           .arg(core)
                           .arg(hex32(id.at(0)));
                return false;
            }
            if (m_records.coreHash && id.at(1) != m_records.coreHash) {
                *why = QStringLiteral(
                           "the controller core %1 was built from another design (its hash is %2, the "
                           "file's %3)")
                           .arg(core)
                           .arg(hex32(id.at(1)), hex32(m_records.coreHash));
                return false;
            }
            return op(bus, core, why);
        },
        error);
}

bool JtagController::readBits(quint16 reg, int count, quint32* value, QString* error) const {
    *value = 0;
    if (count == 0)
        return true;
    QVector<quint32> w;
    if (!use([&](HubBus& bus, int core, QString* why) { return bus.read(core, reg, 1, &w, why); }, error))
        return false;
    *value = w.at(0) & (count >= 32 ? ~0u : (1u << count) - 1);
    return true;
}

bool JtagController::readLeds(quint32* value, QString* error) const {
    return readBits(RegLeds, ledCount(), value, error);
}

bool JtagController::readSwitches(quint32* value, QString* error) const {
    return readBits(RegSwitches, switchCount(), value, error);
}

bool JtagController::writeSwitches(quint32 value, QString* error) {
    if (switchCount() < 32 && value >> switchCount()) {
        *error = QStringLiteral("0x%1 has bits above the %2 switches of the core").arg(value, 0, 16).arg(switchCount());
        return false;
    }
    return use(
        [&](HubBus& bus, int core, QString* why) {
            return bus.write(core, {{RegSwitches, value}, {RegCommand, CmdCommit}}, why) &&
                   settle(bus, core, StCommit, "switch commit", why);
        },
        error);
}

bool JtagController::fetchWords(qint64 first, qint64 count, QVector<quint64>* out, QString* error) const {
    const int per = wordsOf(memWidth());
    out->clear();
    out->reserve(int(count));
    return use(
        [&](HubBus& bus, int core, QString* why) {
            if (!bus.write(core, {{RegMemAddress, quint32(first)}}, why))
                return false;
            for (qint64 i = 0; i < count; ++i) {
                QVector<quint32> w;
                // Read with increment: the next word's address is set by the core.
                if (!bus.write(core, {{RegCommand, CmdMemRead | 8u}}, why) ||
                    !settle(bus, core, StMemory, "memory read", why) || !bus.read(core, RegMemData, per, &w, why))
                    return false;
                out->append(quint64(w.at(0)) | (per > 1 ? quint64(w.at(1)) << 32 : 0));
            }
            return true;
        },
        error);
}

bool JtagController::storeWords(const QVector<MemWrite>& writes, QString* error) {
    const int per = wordsOf(memWidth());
    return use(
        [&](HubBus& bus, int core, QString* why) {
            for (const MemWrite& m : writes) {
                QVector<CoreWrite> w{{RegMemAddress, m.index}, {RegMemData, quint32(m.value)}};
                if (per > 1)
                    w.append({quint16(RegMemData + 1), quint32(m.value >> 32)});
                w.append({RegCommand, CmdMemWrite});
                if (!bus.write(core, w, why) || !settle(bus, core, StMemory, "memory write", why))
                    return false;
            }
            return true;
        },
        error);
}
