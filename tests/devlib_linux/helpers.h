// The transport's test sinks over the hidraw connection.
#pragma once

#include "hidraw_transport.h"
#include "testbed.h"
#include "transport_sinks.h"

namespace qdtest {

using RecordingHotplug = RecordingHotplugOf<qddev::HidrawConnection>;

} // namespace qdtest
