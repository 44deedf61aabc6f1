#include "deviceregistry.h"

#include "targetdevice.h"

#include <QList>
#include <QMutex>

namespace {

struct Kind {
    QString name;
    DeviceRegistry::Factory factory;
    std::shared_ptr<TargetDevice> device;
};

QMutex& lock() {
    static QMutex m;
    return m;
}

QList<Kind>& table() {
    static QList<Kind> kinds;
    return kinds;
}

} // namespace

void DeviceRegistry::add(const QString& kind, Factory factory) {
    QMutexLocker l(&lock());
    for (Kind& k : table())
        if (k.name == kind) {
            k.factory = std::move(factory);
            k.device.reset();
            return;
        }
    table().append({kind, std::move(factory), nullptr});
}

void DeviceRegistry::remove(const QString& kind) {
    QMutexLocker l(&lock());
    table().removeIf([&](const Kind& k) { return k.name == kind; });
}

QStringList DeviceRegistry::kinds() {
    QMutexLocker l(&lock());
    QStringList names;
    for (const Kind& k : table())
        names << k.name;
    return names;
}

TargetDevice* DeviceRegistry::device(const QString& kind) {
    QMutexLocker l(&lock());
    for (Kind& k : table()) {
        if (!kind.isEmpty() && k.name != kind)
            continue;
        if (!k.device)
            k.device = k.factory();
        return k.device.get();
    }
    return nullptr;
}

TargetDevice* DeviceRegistry::existing(const QString& kind) {
    QMutexLocker l(&lock());
    for (Kind& k : table())
        if (kind.isEmpty() || k.name == kind)
            return k.device.get();
    return nullptr;
}

bool DeviceRegistry::checkSignalSource(const QJsonObject& entry, int width, QString* error) {
    for (const QString& name : kinds()) {
        TargetDevice* d = device(name);
        if (d && !d->checkSignalSource(entry, width, error))
            return false;
    }
    return true;
}
