// Turns the platform's arrivals and removals into device objects. Runs on the platform's single
// notification thread.
#pragma once

#include "hid_transport.h"

namespace qddev {

class QDDeviceFactory final : public HotplugSink {
  public:
    void UnitArrived(std::unique_ptr<HidConnection> conn) override;
    void UnitRemoved(int32_t location) override;
    void WakeupTimer() override;
};

} // namespace qddev
