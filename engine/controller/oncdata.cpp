#include "oncdata.h"

#include "bitwords.h"
#include "eyemonitor.h"
#include "hardipdevice.h"
#include "targetdevice.h"

#include <QCoreApplication>
#include <QMutexLocker>
#include <QThread>

namespace {

void stopAtExit() { ONCData::inst()->stopLED(); }

} // namespace

ONCData* ONCData::inst() {
    static ONCData* data = new ONCData; // lives as long as the process
    return data;
}

ONCData::ONCData() {
    // The polling thread must not outlive the application object.
    qAddPostRoutine(stopAtExit);
}

void ONCData::selectCore(const QString& core, const ControllerRecords& records, TargetDevice* target) {
    QMutexLocker lock(&m_mutex);
    m_current = core;
    if (core.isEmpty()) {
        m_deviceFault.clear();
        m_device.reset();
        m_hardIp.reset();
        return;
    }
    m_deviceFault.clear();
    // Another target (the cable settings chose it) opens every core anew.
    if (target != m_target) {
        m_devices.clear();
        m_hardIpSets.clear();
        m_target = target;
    }
    auto& dev = m_devices[core];
    if (!dev) {
        if (target)
            dev = target->openController(records, &m_deviceFault);
        else
            m_deviceFault = QStringLiteral("no target is connected");
    }
    m_device = dev;
    auto& hardIp = m_hardIpSets[core];
    if (!hardIp && target)
        hardIp = std::make_shared<HardIpSet>(records.hardIp, *target);
    m_hardIp = hardIp;
}

void ONCData::closeSession() {
    stopLED();
    EyeMonitor::inst()->reset();
    QMutexLocker lock(&m_mutex);
    m_devices.clear();
    m_device.reset();
    m_deviceFault.clear();
    m_hardIpSets.clear();
    m_hardIp.reset();
    m_current.clear();
    m_pollingData.clear();
    m_memWidth = m_memDepth = 0;
    m_wbData.clear();
}

QString ONCData::getWBData() const {
    QMutexLocker lock(&m_mutex);
    return m_wbData;
}

void ONCData::setWBData(const QString& value) {
    QMutexLocker lock(&m_mutex);
    m_wbData = value;
}

std::shared_ptr<ControllerDevice> ONCData::device() const {
    QMutexLocker lock(&m_mutex);
    return m_device;
}

std::shared_ptr<HardIpSet> ONCData::hardIp() const {
    QMutexLocker lock(&m_mutex);
    return m_hardIp;
}

QString ONCData::getHardIP(const QString& name, const QString& key) const {
    const std::shared_ptr<HardIpSet> set = hardIp();
    return set ? set->value(name, key) : QString();
}

QString ONCData::currentCore() const {
    QMutexLocker lock(&m_mutex);
    return m_current;
}

int ONCData::pollingInterval(int speed) {
    static const int ms[] = {1000, 500, 250, 100, 50};
    return ms[qBound(1, speed, 5) - 1];
}

void ONCData::startLED(const QString& instance) {
    QMutexLocker lock(&m_mutex);
    m_instance = instance;
    if (m_thread)
        return;
    m_stop = false;
    m_thread = QThread::create([this] { pollLoop(); });
    m_thread->setObjectName(QStringLiteral("ona-led-polling"));
    m_thread->start();
}

void ONCData::stopLED() {
    QThread* thread;
    {
        QMutexLocker lock(&m_mutex);
        thread = m_thread;
        m_thread = nullptr;
        m_stop = true;
        m_wake.wakeAll();
    }
    if (thread) {
        thread->wait();
        delete thread;
        emit pollingStopped();
    }
}

bool ONCData::isPolling() const {
    QMutexLocker lock(&m_mutex);
    return m_thread != nullptr;
}

QString ONCData::getPollingData() const {
    QMutexLocker lock(&m_mutex);
    return m_pollingData;
}

void ONCData::setPollingSpeed(int speed) {
    QMutexLocker lock(&m_mutex);
    m_speed = qBound(0, speed, 5);
    m_wake.wakeAll();
}

int ONCData::getPollingSpeed() const {
    QMutexLocker lock(&m_mutex);
    return m_speed;
}

void ONCData::pollLoop() {
    QMutexLocker lock(&m_mutex);
    while (!m_stop) {
        if (m_speed == 0) {
            m_wake.wait(&m_mutex);
            continue;
        }
        // A speed change or stop wakes the wait early.
        const int speed = m_speed;
        if (m_wake.wait(&m_mutex, pollingInterval(speed)) || m_stop || m_speed == 0)
            continue;
        const std::shared_ptr<ControllerDevice> dev = m_device;
        if (!dev || dev->ledCount() == 0)
            continue;
        lock.unlock();
        quint32 leds = 0;
        QString why;
        // A read that fails keeps the last value shown.
        const bool read = dev->readLeds(&leds, &why);
        const QString value = hexDigits(leds, dev->ledCount());
        lock.relock();
        if (m_stop)
            break;
        if (!read)
            continue;
        m_pollingData = value;
        lock.unlock();
        emit pollingRead(value);
        lock.relock();
    }
}

void ONCData::injectFailure(const QString& commandPrefix, Failure failure) {
    QMutexLocker lock(&m_mutex);
    m_failures.append({commandPrefix, failure});
}

void ONCData::clearFailures() {
    QMutexLocker lock(&m_mutex);
    m_failures.clear();
}

ONCData::Failure ONCData::failureFor(const QString& commandText) const {
    QMutexLocker lock(&m_mutex);
    for (const auto& f : m_failures)
        if (commandText.startsWith(f.first))
            return f.second;
    return NoFailure;
}

bool ONCData::isBusy() const { return EyeMonitor::inst()->isBusy(); }

QString ONCData::getRunErr() const { return EyeMonitor::inst()->getRunErr(); }

void ONCData::stopEOM() { EyeMonitor::inst()->stopEOM(); }
