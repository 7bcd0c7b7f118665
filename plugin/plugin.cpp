// The plug-in's entry points, flight loops, menu, banner window and messages.
#include "core/globals.h"
#include "core/hot_path.h"
#include "core/log.h"
#include "core/profile.h"
#include "core/settings.h"
#include "panel_switches.h"
#include "simlink/custom_datarefs.h"
#include "ui/config_dialog.h"
#include "ui/dialog_state.h"
#include "unit_registry.h"

#include "XPLMDataAccess.h"
#include "XPLMDisplay.h"
#include "XPLMGraphics.h"
#include "XPLMMenus.h"
#include "XPLMPlugin.h"
#include "XPLMProcessing.h"
#include "XPLMUtilities.h"

#include <cstdint>
#include <cstdio>

#define DRAV_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr const char* kPluginName = "DRAV";
constexpr const char* kPluginSignature = "tamsworth.projects.drav";
constexpr const char* kPluginDescription = "Quandel plugin 2.63 (KT).";
constexpr const char* kRefInspectorSignature = "xplanesdk.examples.RefInspector";
constexpr int kMsgRefInspectorAddDataRef = 0x01000000;
constexpr int kMsgX737SupportOn = static_cast<int>(0x8888888E);
constexpr int kMsgX737SupportOff = static_cast<int>(0x8888888F);
constexpr int kDeviceTypeAPX = 12;
constexpr int kBannerHideAt = 6;

DRAV_HOT float DoButtons_FlightLoopCallback(float, float, int, void*) {
    // A unit plugged in while flying works at once, with its settings.
    DRAV_RegisterArrivedUnits();
    // Displays and lamps follow an input in the same frame: every value shown is read again,
    // and the units showing one that changed are redrawn.
    if (DRAV_ProcessInput() > 0) of_RefreshChangedUnits();
    return -1.0f;
}

// The settings of the user's aircraft: its profile over DRAV.INI.
void SelectAircraftSettings() {
    DRAV_SelectAircraftProfile();
    DRAV_ReadConfigSettings();
}

DRAV_HOT float Refresh_FlightLoopCallback(float, float, int, void*) {
    // DRAV.INI or the profile edited while flying: every unit again, from the new content.
    if (DRAV_TakeSettingsChange() && ii_runmodule != 0) {
        DRAV_WriteToLog("Settings changed on disk: registering every unit again.");
        DRAV_ReselectProfile();
        DRAV_ReadConfigSettings();
        ii_runmodule = 0;
    }
    if (ii_runmodule == 0) {
        of_RegisterUnits();
        ii_runmodule = 1;
        snprintf(g_debug, sizeof g_debug, "%s", kPluginDescription);
    } else {
        // What the simulator changed since the last pass; every unit now and then.
        of_RefreshPass();
    }
    if (g_HideSplashTimer == kBannerHideAt) {
        if (gWindow) {
            XPLMDestroyWindow(gWindow);
            gWindow = nullptr;
        }
    } else if (g_HideSplashTimer < kBannerHideAt) {
        ++g_HideSplashTimer;
    }
    return 0.5f;
}

float DRAV_RegisterDataRefsWith_RI_LoopCB(float, float, int, void*) {
    if (g_ShowCustomDatarefs) DRAV_RegisterCustomDatarefsWithRefInspector();
    const XPLMPluginID inspector = XPLMFindPluginBySignature(kRefInspectorSignature);
    if (inspector != XPLM_NO_PLUGIN_ID) {
        XPLMSendMessageToPlugin(inspector, kMsgRefInspectorAddDataRef,
                                const_cast<char*>("tamsworth/drav/apx_disabled"));
        XPLMSendMessageToPlugin(inspector, kMsgRefInspectorAddDataRef,
                                const_cast<char*>("tamsworth/drav/ndc_disabled"));
    }
    return 0.0f;
}

void DRAV_DrawWindowCallback(XPLMWindowID window, void*) {
    int left = 0, top = 0, right = 0, bottom = 0;
    XPLMGetWindowGeometry(window, &left, &top, &right, &bottom);
    XPLMDrawTranslucentDarkBox(left, top, right, bottom);
    float white[3] = {1.0f, 1.0f, 1.0f};
    XPLMDrawString(white, left + 5, top - 20, gClicked ? "" : g_debug, nullptr, xplmFont_Basic);
}

void DRAV_HandleKeyCallback(XPLMWindowID, char, XPLMKeyFlags, char, void*, int) {}

int DRAV_HandleMouseClickCallback(XPLMWindowID, int, int, XPLMMouseStatus status, void*) {
    if (status == xplm_MouseDown || status == xplm_MouseUp) gClicked = gClicked ? 0 : 1;
    return 1;
}

void ConfigMenuHandler(void*, void* item_ref) {
    if (reinterpret_cast<intptr_t>(item_ref) != 1 || gnShowConfigWindow) return;
    of_FindDevices();
    g_InConfigScreen = 1;
    of_RegisterUnits();
    g_InConfigScreen = 0;
    CreateConfigDlgWidget(650, 650);
    // Only a dialog that was really created counts as shown; otherwise the menu stays usable.
    gnShowConfigWindow = gwidConfigDlgWidget ? 1 : 0;
}

void CreateQuandelPluginsMenu() {
    const XPLMMenuID plugins = XPLMFindPluginsMenu();
    const int item = XPLMAppendMenuItem(plugins, "Quandel", nullptr, 0);
    const XPLMMenuID menu = XPLMCreateMenu("Quandel", plugins, item, ConfigMenuHandler, nullptr);
    XPLMAppendMenuItem(menu, "Assign Functions", reinterpret_cast<void*>(intptr_t{1}), 0);
}

void SetX737Support(int on) {
    g_Enable_x737_Support = on;
    g_Enable_x737_Commands = on;
    if (on) Find_x737_Commands();
    DRAV_CloseConfigDialog();
    // The autopilot panels take the x737 defaults (or lose them).
    of_RegisterUnitsOfType(kDeviceTypeAPX);
}

} // namespace

DRAV_EXPORT int XPluginStart(char* out_name, char* out_signature, char* out_description) {
    int xplane_version = 0, xplm_version = 0;
    XPLMHostApplicationID host = 0;
    XPLMGetVersions(&xplane_version, &xplm_version, &host);
    gXPlaneVersion = xplane_version;

    // The host's buffers hold 256 bytes.
    snprintf(out_name, 256, "%s", kPluginName);
    snprintf(out_signature, 256, "%s", kPluginSignature);
    snprintf(out_description, 256, "%s", kPluginDescription);

    CreateQuandelPluginsMenu();
    SetupDRAVDataRefs();
    gIsMetricPressure = XPLMFindDataRef("sim/physics/metric_press");
    DRAV_RegisterPanelSwitches();

    DRAV_CacheLogPath();
    DRAV_ReadDebugSettings();
    DRAV_WriteToLog("+++ LOGGING STARTED +++");
    DRAV_WriteToLog(kPluginDescription);
    DRAV_ReadConfigSettings();

    gWindow = XPLMCreateWindow(600, 730, 1000, 680, 1, DRAV_DrawWindowCallback, DRAV_HandleKeyCallback,
                               DRAV_HandleMouseClickCallback, nullptr);
    return 1;
}

DRAV_EXPORT void XPluginStop(void) {
    DRAV_WriteToLog("--- LOGGING STOPPED ---");
    if (gWindow) {
        XPLMDestroyWindow(gWindow);
        gWindow = nullptr;
    }
    DRAV_UnregisterPanelSwitches();
}

DRAV_EXPORT int XPluginEnable(void) {
    DRAV_DeviceLibraryInit();
    SelectAircraftSettings();
    DRAV_StartSettingsWatch();
    of_FindDevices();
    g_HideSplashTimer = 0;
    DRAV_RegisterInputCallback();
    if (g_DRAV_DebugDeviceInfo) of_LogDeviceInfo();

    XPLMRegisterFlightLoopCallback(Refresh_FlightLoopCallback, 0.5f, nullptr);
    XPLMRegisterFlightLoopCallback(DoButtons_FlightLoopCallback, -1.0f, nullptr);
    XPLMRegisterFlightLoopCallback(DRAV_RegisterDataRefsWith_RI_LoopCB, 1.0f, nullptr);

    Find_SSM_Commands();
    if (ii_runmodule == 1) of_RefreshUnits();
    return 1;
}

DRAV_EXPORT void XPluginDisable(void) {
    XPLMUnregisterFlightLoopCallback(Refresh_FlightLoopCallback, nullptr);
    XPLMUnregisterFlightLoopCallback(DoButtons_FlightLoopCallback, nullptr);
    XPLMUnregisterFlightLoopCallback(DRAV_RegisterDataRefsWith_RI_LoopCB, nullptr);
    DRAV_StopSettingsWatch();
    // The simulator must not call the dialog's widget callbacks once we are disabled.
    DRAV_CloseConfigDialog();
    of_QDClear();
    DRAV_DeviceLibraryTerminate();
}

DRAV_EXPORT void XPluginReceiveMessage(XPLMPluginID from, int message, void* param) {
    if (message == kMsgX737SupportOn) {
        SetX737Support(1);
    } else if (message == kMsgX737SupportOff) {
        SetX737Support(0);
    } else if (from == XPLM_PLUGIN_XPLANE && message == XPLM_MSG_PLANE_LOADED &&
               reinterpret_cast<intptr_t>(param) == 0) {
        // The user's aircraft: its settings, and the next refresh registers every unit again.
        // The dialog names the aircraft it writes for, so it closes.
        DRAV_CloseConfigDialog();
        SelectAircraftSettings();
        ii_runmodule = 0;
        of_ResetTHQMaxima();
    }
}
