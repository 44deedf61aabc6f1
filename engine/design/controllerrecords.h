#pragma once

// The controller records of a controller core, as the debug-logic file
// (.onl, "controller" object) describes them: one record per controller
// page. A record that the file leaves out is not defined; a defined record
// can still be switched off with "enabled": false. See docs/formats.md.

#include "bitwords.h"
#include "hardipdata.h"
#include "onaglobal.h"

#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// Shared shape of the LED and switch records: the signal names (entry 0 =
// bit 0) and the instance name of the block that holds them.
class ONA_EXPORT VirtualIOData {
public:
    virtual ~VirtualIOData();
    bool isDefined() const { return defined; }
    bool isEnabled() const { return enabled; }
    const QStringList& getNames() const { return names; }
    const QString& getInstance() const { return instance; }

    bool defined = false;
    bool enabled = false;
    QStringList names;
    QString instance;
};

class ONA_EXPORT VirtualLEDData : public VirtualIOData {};

class ONA_EXPORT VirtualSwitchData : public VirtualIOData {};

// The user memory: an address range of the user design, word addressed.
class ONA_EXPORT UserRegisterData {
public:
    virtual ~UserRegisterData();
    bool isDefined() const { return defined; }
    bool isEnabled() const { return enabled; }
    const QString& getStartAddress() const { return startAddress; }
    const QString& getEndAddress() const { return endAddress; }
    // The two memory parameters the tool copies into ONCData before a dump
    // or load: the word width in bits and the depth in words.
    int getMemWidth() const { return width; }
    int getMemDepth() const { return depth; }

    bool defined = false;
    bool enabled = false;
    QString startAddress; // as written in the file, "0x" allowed
    QString endAddress;
    quint32 start = 0;
    quint32 end = 0;
    int width = 0;
    int depth = 0;
};

// One user register of a control or status block. How the simulated
// device drives a status register (docs/formats.md): not at all (reads 0),
// a free-running counter, a slice of a control register, or a constant.
struct RegisterEntry {
    QString name;            // the key of the register commands
    QString address;         // as shown ("0x10")
    int width = 1;           // bits
    int radix = 3;           // declared radix, index into OnaData::radix_list
    QStringList signalNames; // most significant first; "base[msb:lsb]" or a bit name
    enum Source { None, Counter, Control, Constant };
    Source source = None;
    int every = 100;  // Counter: milliseconds per step
    QString control;  // Control: the control register read
    int lsb = 0;      // Control: its first bit shown
    QString constant; // Constant: hexadecimal digits
};

// A block of user registers at consecutive addresses, in file order.
class ONA_EXPORT RegisterListData {
public:
    virtual ~RegisterListData();
    bool isDefined() const { return defined; }
    bool isEnabled() const { return enabled; }
    const QString& getStartAddress() const { return startAddress; }
    const QString& getEndAddress() const { return endAddress; }
    const QList<RegisterEntry>& getEntries() const { return entries; }

    bool defined = false;
    bool enabled = false;
    QString startAddress;
    QString endAddress;
    QList<RegisterEntry> entries;
};

class ONA_EXPORT ControlRegisterData : public RegisterListData {};

class ONA_EXPORT StatusRegisterData : public RegisterListData {};

struct ControllerRecords {
    VirtualLEDData leds;
    VirtualSwitchData switches;
    UserRegisterData memory;
    ControlRegisterData control;
    StatusRegisterData status;
    QList<HardIpData> hardIp;
    // The core's place in the debug-logic file and the hash of its entry,
    // by which a core in RTL is found and checked.
    int coreIndex = -1;
    quint32 coreHash = 0;
};

namespace ControllerFile {

constexpr int kMaxNames = 256; // LEDs, switches, registers, hard IP
constexpr int kMaxMemWidth = 64;
constexpr int kMaxMemDepth = 1 << 20; // words
constexpr int kMaxRegisterWidth = 1024;

// Reads the "controller" object of a core. `path` prefixes error texts
// ("demo.onl: cores[2].controller.leds.names[3]: ...").
ONA_EXPORT bool parse(const QJsonObject& o, const QString& path, ControllerRecords* out, QString* error);

using ::parseHex32;
using ::parseHex64;

} // namespace ControllerFile
