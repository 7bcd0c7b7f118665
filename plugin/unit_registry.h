// The plug-in's side of the attached units: one module per unit, configured from the
// settings file, fed with input from the device library's thread every frame.
#pragma once

// Device library start and stop (enable / disable).
// The device library's unit count of a model (its slot count, low 16 bits); 0 for others.
int DRAV_DeviceLibraryCount(int type);

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
// Redraws every unit's displays and lamps (model order, unit by unit), noting what each reads.
void of_RefreshUnits();
// The same for the units that read a value that changed since it was last read, that handled
// an input or were (re)registered since their last refresh, or that depend on something not
// watched: what the frame after an input runs.
void of_RefreshChangedUnits();
// The refresh loop's half-second pass: the changed units as above, which follows whatever the
// simulator changed meanwhile, and every kFullPassEvery passes every unit (of_RefreshUnits), so
// that what no unit shows any more leaves the watched values.
constexpr int kFullPassEvery = 20;
void of_RefreshPass();
// The refresh check: a refresh of the changed units also refreshes the units it skipped and logs
// a "Refresh check:" line for each that this changed. Read from DRAV_CHECK_REFRESH=1 at enable.
void DRAV_SetRefreshCheck(bool on);
// Units found changed since the check was set.
int DRAV_RefreshCheckMisses();
// Blanks every unit's displays and lamps.
void of_QDClear();
// Writes the device report to the log.
void of_LogDeviceInfo();
// Drains the input hand-over ring into the modules; returns how many inputs were handled.
int DRAV_ProcessInput();
// Registers and refreshes units that were plugged in since the last frame (each frame).
void DRAV_RegisterArrivedUnits();
// Forgets the lever maxima of every throttle quadrant (new aircraft).
void of_ResetTHQMaxima();

// ---- Module lists and unit configuration (unit_registry.cpp) -----------------------------------

#include <cstddef>
#include <cstdint>

#include "devlib/include/qddev.h"
#include "simlink/catalogue.h"

class QD_Abstract_Module;
class QD_Last_Input;
class QDAVX_Module;
class QDAVY_Module;
class QDRSX_Module;
class QDPBX_Module;
class QDTGX_Module;
class QDKNB_Module;
class QDGTP_Module;
class QDGTP2_Module;
class QDAPC_Module;
class QDAPX_Module;
class QDNDC_Module;
class QDTHQ_Module;
class QDECP_Module;
class QDSSM_Module;
class QDANP_Module;
class QDIOB_Module;

// The input hand-over ring between the device library's thread and the input loop.
extern QD_Last_Input g_QD_Last_Input;

// 1 and the module of unit `unit` of model `type`, or -1 (and *out null) when there is none.
int of_get_Device(int type, int unit, QD_Abstract_Module** out);
// Number of modules of a model; 0 for a type without list.
int of_get_DeviceCount(int type);

// Per-model lookups: 1 and the module, or -1; and the list length.
int of_get_QDAVX(int index, QDAVX_Module** out);
int Get_NumQDAVXUnits();
int of_get_QDAVY(int index, QDAVY_Module** out);
int Get_NumQDAVYUnits();
int of_get_QDRSX(int index, QDRSX_Module** out);
int Get_NumQDRSXUnits();
int of_get_QDPBX(int index, QDPBX_Module** out);
int Get_NumQDPBXUnits();
int of_get_QDTGX(int index, QDTGX_Module** out);
int Get_NumQDTGXUnits();
int of_get_QDKNB(int index, QDKNB_Module** out);
int Get_NumQDKNBUnits();
int of_get_QDGTP(int index, QDGTP_Module** out);
int Get_NumQDGTPUnits();
int of_get_QDGTP2(int index, QDGTP2_Module** out);
int Get_NumQDGTP2Units();
int of_get_QDAPC(int index, QDAPC_Module** out);
int Get_NumQDAPCUnits();
int of_get_QDAPX(int index, QDAPX_Module** out);
int Get_NumQDAPXUnits();
int of_get_QDNDC(int index, QDNDC_Module** out);
int Get_NumQDNDCUnits();
int of_get_QDTHQ(int index, QDTHQ_Module** out);
int Get_NumQDTHQUnits();
int of_get_QDECP(int index, QDECP_Module** out);
int Get_NumQDECPUnits();
int of_get_QDSSM(int index, QDSSM_Module** out);
int Get_NumQDSSMUnits();
int of_get_QDANP(int index, QDANP_Module** out);
int Get_NumQDANPUnits();
int of_get_QDIOB(int index, QDIOB_Module** out);
int Get_NumQDIOBUnits();

// Configures one unit from its settings section (nothing when it does not exist).
void RegisterQDModule(int type, int unit);
// Registers units 0 to n-1 of a model; returns n.
int RegisterQDModulesOfType(int type);

// Reads key "Function" + suffix of the unit's section (raw text into value) and returns its
// function; NADA for an unknown or empty text. def is used only when the key is absent.
E_UnitType of_GetAvionicsFunction(int unit, int type, const char* suffix, char* value, size_t value_size,
                                  const char* def);
// The same for a whole key name.
E_UnitType of_GetAvionicsFunctionSpecial(int unit, int type, char* value, size_t value_size, const char* def,
                                         const char* key);
// 1 when value begins with "QDAVX_", "QDAVY_" or "QDRSX_" + 1-based unit number: sets the target
// kind (0, 1, 2) and unit index. Otherwise 0 and both are left alone.
int of_GetAssignValues(const char* value, int* targetKind, int* targetUnit);

// The input callback registered with the device library (device library's thread).
bool InputCallback(tagQDDevHWType type, uint16_t unit, const void* data);
