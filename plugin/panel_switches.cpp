#include "panel_switches.h"

#include "core/globals.h"
#include "core/log.h"
#include "ui/dialog_state.h"

#include "XPLMDataAccess.h"

int GetAPXDisabledCallback(void*) {
    return APX_Disabled;
}

void SetAPXDisabledCallback(void*, int value) {
    APX_Disabled = value;
    DRAV_WriteToLog(value ? "APX has been disabled by another plugin."
                          : "APX has been enabled by another plugin.");
    // The dialog's pages depend on the flag.
    DRAV_CloseConfigDialog();
}

int GetNDCDisabledCallback(void*) {
    return NDC_Disabled;
}

void SetNDCDisabledCallback(void*, int value) {
    NDC_Disabled = value;
    DRAV_WriteToLog(value ? "NDC has been disabled by another plugin."
                          : "NDC has been enabled by another plugin.");
    DRAV_CloseConfigDialog();
}

namespace {

XPLMDataRef RegisterIntSwitch(const char* name, XPLMGetDatai_f get, XPLMSetDatai_f set) {
    return XPLMRegisterDataAccessor(name, xplmType_Int, 1, get, set, nullptr, nullptr, nullptr, nullptr,
                                    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
}

} // namespace

void DRAV_RegisterPanelSwitches() {
    APX_Disabled_DR =
        RegisterIntSwitch("tamsworth/drav/apx_disabled", GetAPXDisabledCallback, SetAPXDisabledCallback);
    NDC_Disabled_DR =
        RegisterIntSwitch("tamsworth/drav/ndc_disabled", GetNDCDisabledCallback, SetNDCDisabledCallback);
}

void DRAV_UnregisterPanelSwitches() {
    if (APX_Disabled_DR) XPLMUnregisterDataAccessor(APX_Disabled_DR);
    if (NDC_Disabled_DR) XPLMUnregisterDataAccessor(NDC_Disabled_DR);
    APX_Disabled_DR = nullptr;
    NDC_Disabled_DR = nullptr;
}
