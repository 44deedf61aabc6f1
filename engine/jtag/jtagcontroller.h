#pragma once

// A controller core in RTL, reached through the debug hub: LEDs, switches,
// the user memory port and the user registers (the map is in
// docs/debug-cores.md). It keeps the model's checks and file formats and
// puts the words in the core: switches and control registers are staged
// and committed at once, each memory word waits for the design to take it.

#include "controllerrecords.h"
#include "simcontroller.h"

#include <functional>
#include <memory>

class HubBus;
class JtagSession;

class ONA_EXPORT JtagController : public SimController {
public:
    using SessionSource = std::function<std::shared_ptr<JtagSession>()>;

    // `session` gives the target's connection at each use (the cable
    // settings may have changed since the core was opened).
    JtagController(SessionSource session, const ControllerRecords& records);
    ~JtagController() override;

    bool readLeds(quint32* value, QString* error) const override;
    bool readSwitches(quint32* value, QString* error) const override;
    bool writeSwitches(quint32 value, QString* error) override;
    SimRegisters& registers() const override;

protected:
    bool fetchWords(qint64 first, qint64 count, QVector<quint64>* out, QString* error) const override;
    bool storeWords(const QVector<MemWrite>& writes, QString* error) override;

private:
    class Registers;
    // Runs `op` on the core once its self-description matched the file.
    bool use(const std::function<bool(HubBus&, int core, QString*)>& op, QString* error) const;
    // The first `count` bits of the word at `reg` (LEDs, switches).
    bool readBits(quint16 reg, int count, quint32* value, QString* error) const;

    SessionSource m_session;
    const ControllerRecords m_records;
    std::unique_ptr<Registers> m_registerBank;
};
