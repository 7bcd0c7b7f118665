// Plug-in-wide state: plain globals that live from load to unload, touched only on the
// simulator's main thread (the panel-disable flags excepted).
#pragma once

#include <atomic>

#include "XPLMDataAccess.h"
#include "XPLMDisplay.h"
#include "XPWidgetDefs.h"

// Lifecycle (plugin.cpp)
extern int ii_runmodule;      // 1 once every unit has been registered
extern int g_HideSplashTimer; // refresh calls since enable; the banner goes at 6
extern XPLMWindowID gWindow;  // banner window, 0 once destroyed
extern char g_debug[256];     // banner text
extern int gClicked;
extern int gXPlaneVersion;
extern int g_Enable_x737_Support;
extern int g_Enable_x737_Commands;
extern XPWidgetID gwidConfigDlgWidget;
extern int gnShowConfigWindow;
extern int g_InConfigScreen;
extern XPLMDataRef gIsMetricPressure;

// Panels taken away by another plug-in (panel_switches.cpp). Set on the simulator's thread,
// read by GetButton on the device library's input thread.
extern std::atomic<int> APX_Disabled;
extern std::atomic<int> NDC_Disabled;
extern XPLMDataRef APX_Disabled_DR;
extern XPLMDataRef NDC_Disabled_DR;

// Section "DEBUG" (settings.cpp)
extern int g_DRAV_DebugEnabled;
extern int g_DRAV_DebugViewEnabled;
extern int g_DRAV_DebugFunctionAssignments;
extern int g_DRAV_DebugDeviceInfo;
extern int g_DRAV_DebugRegisterFunction;
extern int g_DRAV_DebugGetButtonFunction;
extern int g_DRAV_DebugHandleInputFunction;
extern int g_DRAV_DebugSetDisplayFunction;

// Section "CONFIG" (settings.cpp)
extern int g_QKNBReverseFix;
extern int g_RMKRSXEncoderType;
extern int g_ShowCustomDatarefs;
extern int g_QDGTP2AileronReverseFix;
extern int g_QDGTP2ElevatorReverseFix;
extern int g_QDGTP2RudderReverseFix;
extern int g_QDGTP2LandingLightsReverseFix;
extern float g_ElevatorTrimIncrement;
extern float g_AileronTrimIncrement;
extern float g_RudderTrimIncrement;
extern float g_RotorTrimIncrement;
extern int g_QDTHQUsePropMinimumOfZero;
extern int g_QDTHQUseSpeedBrakeArmed;
// 25 (the 25 kHz channels of the legacy frequency datarefs) or 833 (every 8.33 kHz channel)
extern int g_ComChannelSpacing;
