#pragma once

// The analyzer cores of the simulated device: each signal is driven by its
// simulation entry (SimDriver), the trigger units and expressions are
// evaluated sample by sample, and the frames are stored as they are sampled.

#include "targetdevice.h"

#include <memory>

// Null with the reason when a signal's simulation entry is bad.
std::unique_ptr<AnalyzerDevice> openSimAnalyzer(const AnalyzerLoad& load, QString* error);
