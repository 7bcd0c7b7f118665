// One displayable, tunable simulator value: a radio frequency, a transponder code, a course,
// an autopilot target, the altimeter setting, a lighting level, a selector position, a trim,
// or the hardware's own display brightness. The object keeps the value as ready-made display
// text, converts between that text and the simulator's dataref, and knows how one encoder
// step changes each kind of value.
#pragma once

#include "simlink/catalogue.h"
#include "simlink/fly_subsystem.h"

#include "XPLMDataAccess.h"

// Text format of a value (the numbers are what the binding table stores).
enum class EDisplayType : int {
    DISP_INT = 0,        // " %d"
    DISP_INT3 = 1,       // " %03d"
    DISP_INT4 = 2,       // "%04d"
    DISP_INT5 = 3,       // "%05d"
    DISP_FREQ = 4,       // "%03d.%02d" of a value in 10 kHz units
    DISP_SPEED = 5,      // knots "  %03d" or, with the mode switch on, mach "  %1.02f"
    DISP_TENTHS = 6,     // a ratio shown in tenths
    DISP_RANGE = 7,      // map range 10 << n
    DISP_BARO = 8,       // inches of mercury, or hectopascal when the simulator shows metric
    DISP_BRIGHTNESS = 9, // the hardware's display brightness, not a simulator value
    DISP_RAW = 12,       // the text is left alone
    DISP_FREQ_833 = 13,  // "%03d.%03d" of a COM value in kHz (118005 is 118.005 MHz)
};

inline constexpr int kAvionicTextSize = 10;

class Avionic {
  public:
    // Configures the object (label, format, function, dataref looked up by name; an empty or
    // unknown name leaves it without a dataref) and refreshes the text. Returns this object.
    Avionic* Register(const char* label_text, EDisplayType format, E_UnitType unit_type,
                      const char* dataref_name);

    E_UnitType GetUnitType() const { return unitType; }

    // The simulator value as float: 0.0 without a dataref.
    float InternalGet() const;
    // Writes v (truncated for an int dataref); nothing without a dataref.
    void InternalSet(float v);

    // Reads the simulator value and rewrites text in the object's format.
    void GetFly();
    // Parses text in the object's format and writes the result to the simulator (the display
    // brightness format drives the units instead).
    void SetFly();
    // Exchanges the texts of the two values and writes both back: this one first, then other.
    void FlipFlop(Avionic* other);
    // Applies encoder steps (signed counts since the last call) from a unit of hardware type
    // hw_type (tagQDDevHWType number) to the value and refreshes the text.
    void Tune(short coarseSteps, short fineSteps, int hw_type);

    // Always NUL-terminated; formats never write past the field.
    char text[kAvionicTextSize] = {};
    char label[kAvionicTextSize] = {};
    XPLMDataRef dataRef = nullptr;
    E_UnitType unitType = static_cast<E_UnitType>(0);
    // Second on/off dataref (mach flag of the speed target, step flag of the altitude knob);
    // registered by the binding table only where the function uses it.
    DATAREF_SWITCH modeSwitch;
    EDisplayType displayType = EDisplayType::DISP_INT;
    bool isFloat = false;

  private:
    // What text was last formatted from: GetFly formats again only when one of them changed
    // (refreshing sixteen units after every input must stay cheap).
    struct Formatted {
        bool valid = false;
        EDisplayType format = EDisplayType::DISP_INT;
        float raw = 0.0f;
        int variant = 0; // mode switch or metric flag, for the formats that have one
        char text[kAvionicTextSize] = {};
    } formatted;
    // Computes the tuned value by the function's rule; returns false when nothing is to be
    // written to the simulator.
    bool TunedValue(float v, short coarseSteps, short fineSteps, int hw_type, float* out);
    void TuneBrightness(short fineSteps);
    bool ModeSwitchOn();
    // Writes text from the simulator value v in the object's format.
    void FormatText(float v, int variant);
};

// Digit-field arithmetic: only the digitCount digits from decimal position lowDigit change
// (steps * stepSize, wrapped or clamped to min..max); digits below and above stay, no carry.
int ModDecimalValue(int value, int lowDigit, int digitCount, int min, int max, bool wrap, int steps,
                    int stepSize);

// The one static value object of a value function (1 to 82, and the selector and trim functions
// of the switch range that are bound as values); PREV and NEXT give the COM1_DUAL object;
// nullptr for any other function. The binding table hands these out; every unit showing the
// function shares the object.
Avionic* DRAV_AvionicFor(E_UnitType unit_type);

// 8.33 kHz COM tuning: the next channel name steps away from khz (wrapping within its MHz).
// A value that is not a channel name first moves to the nearest one, and that takes one step
// (ties go the way of the turn). The MHz digits never change.
int DRAV_Com833Fine(int khz, int steps);
// Whole MHz within 118 to 136 with wrap-around; an off-channel value moves to the nearest name.
int DRAV_Com833Coarse(int khz, int steps);

// Display brightness level shared by every unit (1 to 15 once tuned).
extern int ii_brightlevel;

// Brightness of the attached units, reached through the device library once the unit registry
// exists. Until one is installed there are no units: nothing is read and nothing is sent.
class AvionicBrightnessPort {
  public:
    virtual ~AvionicBrightnessPort() = default;
    // Number of attached units of a model (tagQDDevHWType number).
    virtual int UnitCount(int hw_type) = 0;
    // Brightness of one unit; false when it cannot be read.
    virtual bool GetBrightness(int hw_type, int unit, unsigned int* level) = 0;
    virtual void SetBrightness(int hw_type, int unit, int level) = 0;
};

// Installs the port (nullptr goes back to "no units"). The port must outlive its use. Until
// the first level is set through it, brightness steps start from the units' own level.
void DRAV_SetBrightnessPort(AvionicBrightnessPort* port);
