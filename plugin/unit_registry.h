// The plug-in's side of the attached units: one module per unit, configured from the
// settings file, fed with input from the device library's thread every frame.
#pragma once

// Device library start and stop (enable / disable).
void DRAV_DeviceLibraryInit();
void DRAV_DeviceLibraryTerminate();
// Hands the plug-in's input callback to the device library.
void DRAV_RegisterInputCallback();

// Sizes every model's module list to the number of attached units.
void of_FindDevices();
// Binds every module to its unit and configures it from its settings section.
void of_RegisterUnits();
// Re-registers every unit of one model (device type number).
void of_RegisterUnitsOfType(int device_type);
// Redraws every unit's displays and lamps (model order, unit by unit).
void of_RefreshUnits();
// Blanks every unit's displays and lamps.
void of_QDClear();
// Writes the device report to the log.
void of_LogDeviceInfo();
// Drains the input hand-over ring into the modules; returns how many inputs were handled.
int DRAV_ProcessInput();
// Forgets the lever maxima of every throttle quadrant (new aircraft).
void of_ResetTHQMaxima();
