// Units are not wired up yet: the device library and the modules arrive separately.
// Until then the plug-in runs with no units, exactly as with nothing plugged in.
#include "unit_registry.h"

void DRAV_DeviceLibraryInit() {}
void DRAV_DeviceLibraryTerminate() {}
void DRAV_RegisterInputCallback() {}
void of_FindDevices() {}
void of_RegisterUnits() {}
void of_RegisterUnitsOfType(int) {}
void of_RefreshUnits() {}
void of_QDClear() {}
void of_LogDeviceInfo() {}
int DRAV_ProcessInput() { return 0; }
void of_ResetTHQMaxima() {}
