// Lets tests run the library over a platform of their own instead of the built-in HID service.
#pragma once

#include "hid_transport.h"

#include <memory>

namespace qddev {

using HidPlatformFactory = std::unique_ptr<HidPlatform> (*)();

// The next QDDev_Init creates its platform with this function; null restores CreateHidPlatform.
void SetHidPlatformFactory(HidPlatformFactory factory);

} // namespace qddev
