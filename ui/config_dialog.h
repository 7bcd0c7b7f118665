// The Assign Functions dialog.
#pragma once

#include <cstdint>

#include "XPWidgetDefs.h"
#include "dialog_state.h"

// Creates the dialog (width and height in screen units) into gwidConfigDlgWidget.
void CreateConfigDlgWidget(int width, int height);

// What the dialog asks of the unit registry, which sits above it; the plug-in fills these
// when it starts the device library. Until then the dialog sees no units.
struct DialogRegistryHooks {
    int (*unit_count)(int device_type) = nullptr;               // units of a model with a module
    void (*register_unit)(int device_type, int unit) = nullptr; // unit 0-based
    int (*register_units_of_type)(int device_type) = nullptr;
};
void DRAV_SetDialogRegistryHooks(const DialogRegistryHooks& hooks);

inline constexpr int kMaxDetectedUnits = 60;
inline constexpr int kConfigRows = 30;
inline constexpr int kConfigSliders = 4;

struct DetectedUnit {
    int type = 0;
    int unit = 0; // 1-based
};

struct ConfigSlider {
    XPWidgetID caption = nullptr;
    XPWidgetID min_label = nullptr;
    XPWidgetID value_label = nullptr;
    XPWidgetID max_label = nullptr;
    XPWidgetID scroll_bar = nullptr;
    char key[32] = {};
    int percent = 0;
};

// Dialog state, alive while the dialog exists.
extern DetectedUnit gaUnitsDetected[kMaxDetectedUnits];
extern int gnNumUnitsDetected;
extern int gnDevIdxPick;
extern char gaszSelHWUnit[32];
extern XPWidgetID gwidDeviceSelPopup;
// Which file the picks go to: "All aircraft" (DRAV.INI) or "This aircraft: <name>" (its profile).
extern XPWidgetID gwidLayerPopup;
extern int gnLayerPick;              // 0 all aircraft, 1 this aircraft
extern XPWidgetID gwidLayerAircraft; // the aircraft's name under the popup, in the aircraft view
// Per row, in the aircraft view: where the control's function comes from ("acft" or "all").
extern XPWidgetID gawidFnSelOrigin[kConfigRows];
// Empty, or says that the last pick could not be written to DRAV.INI.
extern XPWidgetID gwidSaveStatus;
extern XPWidgetID gawidFnSelCaption[kConfigRows];
extern XPWidgetID gawidFnSelPopup[kConfigRows];
extern char gaszFnSelConfigKey[kConfigRows][32];
extern XPWidgetID gawidSpSelPopup[kConfigRows];
extern char gaszSpSelConfigKey[kConfigRows][32];
extern ConfigSlider gaSlider[kConfigSliders];

int GetDetectedUnitsRefs();
void SetupModuleConfig(int device_type, int unit_number);
void ClearAllConfigWidgets();
void InitFunctionSelectPopup(int row, const char* caption, const char* list, const char* value,
                             const char* key);
void InitSpecialSelectPopup(int row, const char* list, const char* value, const char* key);
void InitSlider(int slider, const char* caption, int minimum, int value, int maximum, int percent,
                const char* key);
int LayerSelectCB(XPWidgetMessage msg, XPWidgetID widget, intptr_t p1, intptr_t p2);
int DeviceSelectCB(XPWidgetMessage msg, XPWidgetID widget, intptr_t p1, intptr_t p2);
int FunctionSelectCB(XPWidgetMessage msg, XPWidgetID widget, intptr_t p1, intptr_t p2);
int SpecialSelectCB(XPWidgetMessage msg, XPWidgetID widget, intptr_t p1, intptr_t p2);
int SliderCB(XPWidgetMessage msg, XPWidgetID widget, intptr_t p1, intptr_t p2);
int ConfigDlgMsgHandler(XPWidgetMessage msg, XPWidgetID widget, intptr_t p1, intptr_t p2);
