#include "globals.h"

int ii_runmodule = 0;
int g_HideSplashTimer = 0;
XPLMWindowID gWindow = nullptr;
char g_debug[256] = "";
int gClicked = 0;
int gXPlaneVersion = 0;
int g_Enable_x737_Support = 0;
int g_Enable_x737_Commands = 0;
XPWidgetID gwidConfigDlgWidget = nullptr;
int gnShowConfigWindow = 0;
int g_InConfigScreen = 0;
XPLMDataRef gIsMetricPressure = nullptr;

std::atomic<int> APX_Disabled{0};
std::atomic<int> NDC_Disabled{0};
XPLMDataRef APX_Disabled_DR = nullptr;
XPLMDataRef NDC_Disabled_DR = nullptr;

int g_DRAV_DebugEnabled = 0;
int g_DRAV_DebugViewEnabled = 0;
int g_DRAV_DebugFunctionAssignments = 0;
int g_DRAV_DebugDeviceInfo = 0;
int g_DRAV_DebugRegisterFunction = 0;
int g_DRAV_DebugGetButtonFunction = 0;
int g_DRAV_DebugHandleInputFunction = 0;
int g_DRAV_DebugSetDisplayFunction = 0;

int g_QKNBReverseFix = 0;
int g_RMKRSXEncoderType = 1;
int g_ShowCustomDatarefs = 0;
int g_QDGTP2AileronReverseFix = 0;
int g_QDGTP2ElevatorReverseFix = 0;
int g_QDGTP2RudderReverseFix = 0;
int g_QDGTP2LandingLightsReverseFix = 0;
float g_ElevatorTrimIncrement = 0.005f;
float g_AileronTrimIncrement = 0.001f;
float g_RudderTrimIncrement = 0.001f;
float g_RotorTrimIncrement = 0.001f;
int g_QDTHQUsePropMinimumOfZero = 0;
int g_QDTHQUseSpeedBrakeArmed = 0;
int g_ComChannelSpacing = 25;
