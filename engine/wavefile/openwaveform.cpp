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
}

} // namespace OpenWaveform
