#pragma once

// The simulator's waveform the user opened (ona_open_waveform), beside and
// apart from the analyzer project: one at a time, shared by whoever reads
// it (the verbs, the waveform page). A store is immutable once set.

#include "changestore.h"
#include "onaglobal.h"

#include <memory>

namespace OpenWaveform {

// Null while none is open.
ONA_EXPORT std::shared_ptr<const ChangeStore> current();
ONA_EXPORT void set(std::shared_ptr<const ChangeStore> store);

} // namespace OpenWaveform
