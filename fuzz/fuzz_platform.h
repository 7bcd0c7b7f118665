// A platform for the fuzz targets: one unit of every supported model, present at QDDev_Init.
// Feature reads are answered with zeros, queued reports are checked and dropped, and input is
// handed to the library exactly as a transport does.
#pragma once

#include "hid_transport.h"
#include "qddev.h"

#include <cstddef>
#include <cstdint>

namespace fuzz {

// Installs the platform and starts the library (once per process).
void StartLibrary();
// Number of units, and the model of unit n.
int UnitCount();
tagQDDevHWType UnitType(int n);
// Delivers one input report to unit n (report[0] = report ID).
void Deliver(int n, const uint8_t* report, size_t len);

} // namespace fuzz
