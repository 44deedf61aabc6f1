#pragma once

// The kinds of target the engine knows, by name. The cable settings name
// the kind a project talks to (CableSettings::device; empty: the first kind
// registered). The top of the engine registers the simulated device when it
// starts; a test or a plug-in adds its own the same way.

#include "onaglobal.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class TargetDevice;

class ONA_EXPORT DeviceRegistry {
public:
    using Factory = std::function<std::unique_ptr<TargetDevice>()>;

    // Registers a kind; registering a name again replaces it.
    static void add(const QString& kind, Factory factory);
    static void remove(const QString& kind);
    static QStringList kinds();
    // The device of a kind (empty: the first registered), made on first use
    // and kept; null when there is no such kind. GUI thread.
    static TargetDevice* device(const QString& kind);
    // The device of a kind if it was made, else null.
    static TargetDevice* existing(const QString& kind);
    // Every registered kind checks a simulation entry of the design file.
    static bool checkSignalSource(const QJsonObject& entry, int width, QString* error);
};
