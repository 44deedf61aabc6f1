#pragma once

// An analyzer core in RTL, reached through the debug hub: the trigger setup
// compiled into its registers, the run polled over JTAG, the windows read
// back from its sample memory with their time stamps.

#include "analyzerconfig.h"

#include <memory>

// Reads the core's self-description, checks it against `expectedHash` (the
// hash of the core's entry in the debug-logic file; 0: not checked) and
// compiles `load` for it. Null with the reason when the core cannot take it.
ONA_EXPORT std::unique_ptr<AnalyzerDevice> openJtagAnalyzer(HubBus* bus, int core, quint32 expectedHash,
                                                            const AnalyzerLoad& load, QString* error);
