#include "openwaveform.h"

#include <mutex>

namespace {

std::mutex& lock() {
    static std::mutex m;
    return m;
}

std::shared_ptr<const ChangeStore>& slot() {
    static std::shared_ptr<const ChangeStore> s;
    return s;
}

OpenWaveform::LoadProgress& progressSlot() {
    static OpenWaveform::LoadProgress p;
    return p;
}

} // namespace

namespace OpenWaveform {

std::shared_ptr<const ChangeStore> current() {
    std::lock_guard<std::mutex> g(lock());
    return slot();
}

void set(std::shared_ptr<const ChangeStore> store) {
    std::shared_ptr<const ChangeStore> old;
    {
        std::lock_guard<std::mutex> g(lock());
        old = std::move(slot());
        slot() = std::move(store);
    }
    // The old store is freed outside the lock (a large one takes a while).
    old.reset();
    emit notifier()->changed();
}

OpenWaveformNotifier* notifier() {
    static OpenWaveformNotifier n;
    return &n;
}

void setLoadProgress(LoadProgress progress) {
    std::lock_guard<std::mutex> g(lock());
    progressSlot() = std::move(progress);
}

LoadProgress loadProgress() {
    std::lock_guard<std::mutex> g(lock());
    return progressSlot();
}

} // namespace OpenWaveform
