// Scenario files for the virtual cockpit: a line-based script that plugs emulated units, works
// their controls, sets simulator values, waits, sends simulator messages and checks what the
// units show and what the simulator saw. The format is described in tools/cockpit/README.md.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cockpit {

// A unit in a scenario: its model (device type number) and its number among the units of that
// model in plug order, written "RSX" (= "RSX.1") or "RSX.2".
struct UnitRef {
    int type = 0;
    int number = 1;
    bool operator==(const UnitRef&) const = default;
};

// Short model names as scenarios write them ("RSX", "GTP2"), by device type; "" for unsupported.
const char* ModelName(int type);
// Accepts "RSX", "QD-RSX" and "QDRSX" in any case; 0 when no supported model has that name.
int ModelByName(const std::string& name);
std::string UnitName(const UnitRef& unit); // "RSX.1"

// A comma or space separated list of models ("RSX,PBX,PBX"), "all" (one of every supported model)
// or "none". Repeated models give units 1, 2, ... of that model.
bool ParseUnitList(const std::string& list, std::vector<UnitRef>* units, std::string* error);

enum class Op {
    Plug,
    Unplug,
    Turn,     // a = encoder, b = steps
    Press,    // a = switch
    Release,  // a = switch
    Toggle,   // a = switch
    Lever,    // a = lever, b = position
    Selector, // a = selector, b = value
    Set,      // name (with index a when >= 0), text = value(s)
    WaitFrames,
    WaitSeconds,
    Message, // a = message number, param, from_sim
    Show,
    Aircraft,      // name = the .acf path: the simulator loads that aircraft
    Copy,          // name = file, text = where under the plug-in's folder (a settings edit on disk)
    ExpectDisplay, // unit, name = display, text, exact
    ExpectLamp,    // unit, a = lamp, on
    ExpectLamps,   // unit, lamps = the exact set of lit lamps
    ExpectColour,  // unit, a = lamp, lamps = {r, g, b}
    ExpectDataref, // name, a = index or -1, text = value(s)
    ExpectCommand, // name
    ExpectKey,     // a = key number
    ExpectButton,  // a = button number
};

struct Step {
    int line = 0;
    std::string source; // the line as written, without its comment
    Op op = Op::Show;
    UnitRef unit;
    int a = -1;
    int b = 0;
    double seconds = 0;
    intptr_t param = 0;
    bool from_sim = true; // message sender: the simulator, or another plug-in
    bool on = false;
    bool exact = false; // display text given in quotes: compare as it stands
    std::string name;
    std::string text;
    std::vector<int> lamps;

    bool IsExpectation() const { return op >= Op::ExpectDisplay; }
};

struct Scenario {
    std::string path;
    bool has_units = false; // a "units" line was given
    std::vector<UnitRef> units;
    std::string settings_file; // from "settings FILE", resolved against the scenario's folder
    bool has_settings_text = false;
    std::string settings_text; // from a "settings" ... "end" block
    std::vector<Step> steps;
};

// Numbers separated by commas, as dataref values are written; false on anything else.
bool ParseNumberList(const std::string& text, std::vector<double>* out);

// Parses a scenario. path is used for messages and to resolve "settings FILE". On a bad line
// returns false with "path:line: reason" in *error.
bool ParseScenario(const std::string& text, const std::string& path, Scenario* out, std::string* error);
bool LoadScenario(const std::string& path, Scenario* out, std::string* error);

} // namespace cockpit
