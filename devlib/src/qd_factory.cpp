#include "qd_factory.h"

#include "qd_models.h"

#include <cstdio>

namespace qddev {

void QDDeviceFactory::UnitArrived(std::unique_ptr<HidConnection> conn) {
    if (!conn) return;
    const HidInfo& info = conn->Info();
    std::printf("Addition:\n");
    std::printf("Vendor: '%s' (0x%08X)\n", info.manufacturer, static_cast<unsigned>(info.vendor_id));
    std::printf("Product: '%s' (0x%08X)\n", info.product, static_cast<unsigned>(info.product_id));
    std::printf("Location: %x.\n", static_cast<unsigned>(info.location));
    std::printf("Version No: %x.\n", static_cast<unsigned>(info.version));
    std::printf("OutputReportSize: %d\n", static_cast<int>(info.output_report_len));
    std::fflush(stdout);

    if (info.vendor_id != QDDEV_VENDOR_ID) return;
    const tagQDDevHWType type = TypeForProductId(info.product_id);
    if (type == QDHW_None) return; // unknown, or a model without support
    // Only this thread adds devices, so a free slot seen here is still free at Register.
    if (!QDDevice::HasFreeSlot(type)) return;

    std::shared_ptr<QDDevice> device = CreateDeviceForType(type, std::move(conn));
    if (!device) return;
    device->Open();
    if (!QDDevice::Register(device)) {
        QDDevice::Destroy(std::move(device));
        return;
    }
    const int index = device->GetDeviceIndex();
    if (index >= 0) DispatchConnect(type, static_cast<uint16_t>(index), QDEVT_Attached);
    device->StartInput();
}

void QDDeviceFactory::UnitRemoved(int32_t location) {
    std::shared_ptr<QDDevice> device = QDDevice::GetDeviceByLocation(location);
    if (!device) return;
    const int index = device->GetDeviceIndex();
    if (index >= 0) DispatchConnect(device->GetDeviceType(), static_cast<uint16_t>(index), QDEVT_Removed);
    QDDevice::Destroy(std::move(device));
}

void QDDeviceFactory::WakeupTimer() {
    DispatchWakeup();
}

} // namespace qddev
