#pragma once

// The SERDES/PCS singleton: the SERDES block of the open project (on the
// cable's target), the settings the tool shows and the
// Wishbone access.
//
// The settings of every DCU channel are kept here as the bytes of the
// channel's setting registers: a control's value is a field of them, so
// Apply (ona_run_pcs) writes them to the device unchanged, and a device
// read (initSERDES, a Wishbone write, a configuration reload) puts the
// device's bytes back. Resets act on the device at once; the status flags
// are the device's. The keys the tool reads name the current DCU and
// channel ("dcua", "channel").
//
// Every change of a value the tool shows is reported by key: pcsDirty for
// a setting (also "dcua", "channel" and the resets), pcsRead for a status
// flag or a Wishbone read ("read_data").

#include "onaglobal.h"
#include "serdeslayout.h"
#include "serdesmap.h"
#include "targetdevice.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <memory>
#include <utility>

class PCSJTAG;
class QTimer;

class ONA_EXPORT PCSData : public QObject {
    Q_OBJECT
public:
    static PCSData* inst();

    PCSJTAG* getJTAG() const { return m_jtag; }

    // The project's SERDES (an empty layout: none) on `target` (null: the
    // default kind). A new device starts at power-up; the settings are
    // unknown (-1) until initSERDES reads them.
    void setLayout(const SerdesLayout& layout, TargetDevice* target = nullptr);
    // Project closed: no SERDES, the bus closed, continuous reading ended.
    void closeSession() { setLayout(SerdesLayout()); }
    // The same layout on another target (the cable changed kind).
    void setTarget(TargetDevice* target) { setLayout(m_layout, target); }
    const SerdesLayout& layout() const { return m_layout; }

    // Reads the SERDES block's state into the engine and reports every key.
    // Returns false, with the reason in getRunErr() ("ERROR: ..."), when the
    // project has no SERDES description.
    bool initSERDES();
    // The outcome of the last SERDES operation; texts starting "ERROR:"
    // are failures the tool window shows.
    QString getRunErr() const { return m_runErr; }
    // Why the target gave no SERDES device for the project's layout; empty
    // when it did (or there is no SERDES).
    QString deviceFault() const { return m_deviceFault; }

    bool getDCU0CHAN0() const { return m_layout.has(0, 0); }
    bool getDCU0CHAN1() const { return m_layout.has(0, 1); }
    bool getDCU1CHAN0() const { return m_layout.has(1, 0); }
    bool getDCU1CHAN1() const { return m_layout.has(1, 1); }

    // The value of `key` for the current DCU and channel: an option index
    // for a setting (-1: not read yet), the amplitude for "tx_diffamp", 0/1
    // for a reset, the DCU or channel number for "dcua"/"channel" (-1:
    // none), and 0/1 for a status flag (1 while the fault is present).
    int getValue(const QString& key) const;
    bool getStatus(const QString& key) const { return getValue(key) == 1; }
    int currentDcu() const { return m_dcu; }
    int currentChannel() const { return m_channel; }
    // The data byte of the last Wishbone read, two hexadecimal digits.
    QString getWBData() const { return m_wbData; }

    // The verbs. Each checks everything first and changes nothing when it
    // refuses (false, *error says why).
    bool setControl(const QString& key, const QString& option, QString* error);
    bool apply(QString* error);
    bool reloadConfig(QString* error);
    bool openWishbone(QString* error);
    bool isWishboneOpen() const { return m_wbOpen; }
    void closeWishbone() { m_wbOpen = false; }
    // A failed access closes the bus: a script that stops at the failure
    // never leaves it open.
    bool readWishbone(quint32 addr, QString* data, QString* error);
    bool writeWishbone(quint32 addr, quint8 value, QString* error);
    bool exportFile(const QString& path, QString* error) const;
    bool importFile(const QString& path, QString* error);
    // The parser behind importFile, pure for the tests: the setting bytes
    // per channel index (dcu * 2 + channel).
    static bool parseSrv(const QByteArray& text, const QString& name, const SerdesLayout& layout,
                         QHash<int, QByteArray> base, QHash<int, QByteArray>* out, QString* error);
    static constexpr qint64 kMaxSrvSize = 1024 * 1024;

    // What a script run by ona_run_pcs -file may use: commands run, seconds,
    // bytes of one value it builds (strings, lists) and bytes of memory it
    // takes in all. A script that passes one ends with an error naming it.
    struct ScriptLimits {
        qint64 commands = 20000000;
        int seconds = 60;
        qint64 valueBytes = 16 * 1024 * 1024;
        qint64 memoryBytes = qint64(512) * 1024 * 1024;
    };
    static ScriptLimits scriptLimits() { return s_scriptLimits; }
    static void setScriptLimits(const ScriptLimits& limits) { s_scriptLimits = limits; }
    // A running script stops at its next command ("ona_run_pcs -stop"); the
    // window's events are handled while a script runs, so a Stop can reach it.
    void stopScript() { m_stopScript = true; }
    bool takeStopRequest() { return std::exchange(m_stopScript, false); }

    // Continuous reading: while on, the last Wishbone address is read again
    // every interval and reported as "read_data".
    bool isContinuous() const;
    static constexpr int kContinuousMs = 250;

    // Tests only: `key` reads as `value` until the layout changes, and is
    // reported through pcsDirty (or pcsRead for a status key).
    void injectValue(const QString& key, int value);
    void clearInjections() { m_injected.clear(); }
    // Tests only: the next reported Wishbone data is `text`.
    void injectWBData(const QString& text) {
        m_wbData = text;
        emit pcsRead(QStringLiteral("read_data"));
    }

signals:
    void pcsDirty(QString what);
    void pcsRead(QString what);
    // A script file started (true) or ended (false): the window offers Stop meanwhile.
    void scriptRunning(bool running);
    // setLayout opened the SERDES anew (deviceFault() says why not).
    void deviceChanged();

private:
    PCSData();
    ~PCSData() override;

    int chIndex() const { return m_dcu * 2 + m_channel; }
    bool needSerdes(const QString& verb, QString* error) const;
    // Emits pcsDirty for every key whose value differs from `before` (all
    // when `all`), and pcsRead for every status flag that changed.
    QHash<QString, int> snapshot() const;
    void report(const QHash<QString, int>& before, bool all);
    void readDevice();
    void continuousTick();
    void panel(int code);

    PCSJTAG* m_jtag;
    SerdesLayout m_layout;
    std::unique_ptr<SerdesDevice> m_device;
    QString m_deviceFault;             // why the target gave no device for the layout
    QHash<int, QByteArray> m_settings; // channel index -> setting bytes; absent: not read
    QHash<QString, int> m_injected;
    int m_dcu = -1;
    int m_channel = -1;
    bool m_wbOpen = false;
    qint64 m_wbAddr = -1;
    QString m_wbData;
    QTimer* m_contTimer = nullptr;
    QString m_runErr;
    bool m_stopScript = false;
    static ScriptLimits s_scriptLimits;
};
