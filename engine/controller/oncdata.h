#pragma once

// The controller singleton: the session with the debug logic of the current
// controller core (virtual LEDs and switches, user memory, registers, hard
// IP). The target behind the cable gives one device per controller core,
// kept while the project is open.
//
// LED polling runs on a thread of its own: at the polling speed it reads
// the LEDs, keeps the value (getPollingData) and emits pollingRead, which
// reaches GUI receivers queued. stopLED, closeSession (project close,
// "ona_close_controller") and application shutdown end the thread and wait
// for it.

#include "controllerrecords.h"
#include "onaglobal.h"

#include <QHash>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QWaitCondition>
#include <memory>

class HardIpSet;
class QThread;
class ControllerDevice;
class TargetDevice;

class ONA_EXPORT ONCData : public QObject {
    Q_OBJECT
public:
    static ONCData* inst();

    // The device of controller core `core` becomes the current one (opened
    // on `target` from `records` the first time). An empty name: no current
    // device.
    void selectCore(const QString& core, const ControllerRecords& records, TargetDevice* target = nullptr);
    // Stops polling and forgets every device (project closed).
    void closeSession();
    // The current device, or null when the current core is no controller.
    std::shared_ptr<ControllerDevice> device() const;
    // Why the target refused the current core's device (empty when it did not).
    QString deviceFault() const {
        QMutexLocker lock(&m_mutex);
        return m_deviceFault;
    }
    QString currentCore() const;
    // The hard IP blocks of the current core (null when it is no controller).
    std::shared_ptr<HardIpSet> hardIp() const;
    // The value last read from hard IP instance `name` for `key` (for a
    // per-lane key, of the lane chosen with -pcs_lane); empty when none.
    QString getHardIP(const QString& name, const QString& key) const;

    // The eye monitor (EyeMonitor): busy while a scan runs, the error text
    // of the last scan (empty when it ended well), and its abort.
    bool isBusy() const;
    QString getRunErr() const;
    void stopEOM();

    // Polling. Speed 0 = not polling, 1..5 = slow .. fast (1000, 500, 250,
    // 100, 50 ms between reads).
    void startLED(const QString& instance);
    void stopLED();
    bool isPolling() const;
    QString getPollingData() const;
    void setPollingSpeed(int speed);
    int getPollingSpeed() const;
    static int pollingInterval(int speed);

    // The memory parameters of the next dump or load: word width (bits) and
    // depth (words), copied by the tool from the core's record; 0 = the
    // device's own.
    void setMemWidth(int width) { m_memWidth = width; }
    void setMemDepth(int depth) { m_memDepth = depth; }
    int getMemWidth() const { return m_memWidth; }
    int getMemDepth() const { return m_memDepth; }

    // The register value of the last -read_control or -read_status, as
    // hexadecimal digits (most significant first, no prefix); a read that
    // fails leaves it empty.
    QString getWBData() const;
    void setWBData(const QString& value);

    // Failure injection for tests: the next commands whose text starts with
    // `commandPrefix` ("ona_run_controller -read_led") fail as told, until
    // cleared. Failed: a Tcl error; Empty: success with an empty result;
    // ErrorText: success with "ERROR: injected failure".
    enum Failure { NoFailure, Failed, Empty, ErrorText };
    void injectFailure(const QString& commandPrefix, Failure failure);
    void clearFailures();
    Failure failureFor(const QString& commandText) const;

    // A device-side change the tool shows (the verbs call it): kind
    // ("switch") and its hexadecimal value.
    void notifyChanged(const QString& kind, const QString& value) { emit sigControllerDataChanged(kind, value); }

signals:
    // A controller value changed on the device side: kind ("switch", ...)
    // and its new value text.
    void sigControllerDataChanged(QString kind, QString data);
    // A polled read finished; the text is the value read.
    void pollingRead(QString data);
    // The polling thread ended (stopLED, project close or shutdown), so a
    // panel that started it shows it stopped whoever stopped it.
    void pollingStopped();

private:
    ONCData();
    void pollLoop();

    mutable QMutex m_mutex; // guards everything below that the thread reads
    QWaitCondition m_wake;
    QHash<QString, std::shared_ptr<ControllerDevice>> m_devices;
    TargetDevice* m_target = nullptr; // the target the cached devices came from
    QString m_current;
    std::shared_ptr<ControllerDevice> m_device;
    QString m_deviceFault;
    QHash<QString, std::shared_ptr<HardIpSet>> m_hardIpSets;
    std::shared_ptr<HardIpSet> m_hardIp;
    QThread* m_thread = nullptr;
    bool m_stop = false;
    int m_speed = 0;
    QString m_pollingData;
    QString m_instance;
    int m_memWidth = 0;
    int m_memDepth = 0;
    QList<QPair<QString, Failure>> m_failures;
    QString m_wbData;
};
