// of_SimLink: looks a function up in the binding table and makes the binding it gives.
#include "simlink_table.h"

#include "XPLMUtilities.h"
#include "avionic.h"
#include "core/globals.h"
#include "fly_subsystem.h"
#include "simlink_table_rows.h"

#include <cstring>

using namespace simlink_table;

namespace {

// The COM frequency datarefs in 10 kHz units and their 8.33-capable counterparts in kHz.
struct Com833Pair {
    const char* legacy;
    const char* khz;
};
constexpr Com833Pair kCom833Pairs[] = {
    {"sim/cockpit/radios/com1_freq_hz", "sim/cockpit2/radios/actuators/com1_frequency_hz_833"},
    {"sim/cockpit/radios/com1_stdby_freq_hz", "sim/cockpit2/radios/actuators/com1_standby_frequency_hz_833"},
    {"sim/cockpit/radios/com2_freq_hz", "sim/cockpit2/radios/actuators/com2_frequency_hz_833"},
    {"sim/cockpit/radios/com2_stdby_freq_hz", "sim/cockpit2/radios/actuators/com2_standby_frequency_hz_833"},
};

// With 8.33 kHz spacing chosen, the kHz dataref that replaces a COM row's dataref; null when the
// row is no COM value or the simulator lacks any of the four (it predates 8.33 kHz radios: the
// radios keep the 25 kHz datarefs, and the simulator's log says so once).
const char* Com833DataRef(const char* dataRef) {
    if (g_ComChannelSpacing != 833 || dataRef == nullptr) return nullptr;
    const Com833Pair* pair = nullptr;
    for (const Com833Pair& p : kCom833Pairs)
        if (std::strcmp(p.legacy, dataRef) == 0) pair = &p;
    if (pair == nullptr) return nullptr;
    bool available = true;
    for (const Com833Pair& p : kCom833Pairs)
        if (XPLMFindDataRef(p.khz) == nullptr) available = false;
    if (available) return pair->khz;
    static bool told = false;
    if (!told) {
        told = true;
        XPLMDebugString("DRAV: ComChannelSpacing=833 but this simulator has no 8.33 kHz COM datarefs; "
                        "COM radios tune in 25 kHz steps\n");
    }
    return nullptr;
}

void BindValue(const ValueRow& row, Avionic** place, bool x737) {
    // Every value function owns one static object; PREV and NEXT share the COM1 dual one.
    Avionic* value = DRAV_AvionicFor(row.function);
    if (value == nullptr) return;
    const bool useX737 = x737 && row.x737DataRef != nullptr;
    const char* dataRef = useX737 ? row.x737DataRef : row.dataRef;
    const char* modeSwitch = useX737 ? row.x737ModeSwitch : row.modeSwitch;
    auto format = static_cast<EDisplayType>(row.format);
    if (const char* khz = Com833DataRef(dataRef)) {
        dataRef = khz;
        format = EDisplayType::DISP_FREQ_833;
    }
    *place = value->Register(row.label, format, row.function, dataRef);
    // Without a mode switch in this column an earlier registration stays as it was.
    if (modeSwitch != nullptr) value->modeSwitch.Register(1.0f, 0.0f, kEqual, modeSwitch, kInt, 0, 1);
}

void BindSwitch(const SwitchRow& row, Fly_subsystem& binding) {
    if (row.form == kFormDF)
        binding.Register_DF(row.function, row.off, row.on, row.compare, row.dataRef, row.type, row.offset,
                            row.count);
    else
        binding.Register_D(row.function, static_cast<int>(row.off), static_cast<int>(row.on), row.compare,
                           row.dataRef, row.type, row.offset, row.count);
}

void BindCommand(const CommandRow& row, Fly_subsystem& binding) {
    switch (row.form) {
    case kFormC:
        binding.Register_C(row.function, row.commandType, row.identifier0, row.momentary);
        break;
    case kFormC2:
        binding.Register_C2(row.function, row.commandType, row.identifier0, row.identifier1, row.momentary);
        break;
    case kFormCD:
        binding.Register_CD(row.function, row.identifier0);
        break;
    }
}

bool FindSwitch(const SwitchRow* rows, int count, E_UnitType function, bool x737, Fly_subsystem& binding) {
    for (int i = 0; i < count; ++i) {
        if (rows[i].function == function && Applies(rows[i].column, x737)) {
            BindSwitch(rows[i], binding);
            return true;
        }
    }
    return false;
}

bool BindSeries(E_UnitType function, Fly_subsystem& binding) {
    for (int i = 0; i < kSeriesRowCount; ++i) {
        const SeriesRow& row = kSeriesRows[i];
        const int element = function - row.first;
        if (element >= 0 && element < row.number) {
            binding.Register_D(function, static_cast<int>(row.off), static_cast<int>(row.on), kEqual,
                               row.dataRef, row.type, element, 1);
            return true;
        }
    }
    return false;
}

bool BindFamily(E_UnitType function, Fly_subsystem& binding) {
    for (int i = 0; i < kFamilyRowCount; ++i) {
        const FamilyRow& row = kFamilyRows[i];
        const int off = static_cast<int>(row.off);
        const int on = static_cast<int>(row.on);
        if (function == row.all) {
            binding.Register_D(function, off, on, kEqual, row.dataRef, row.type, 0, row.allCount);
            return true;
        }
        const int engine = function - row.engine1;
        if (row.engines > 0 && engine >= 0 && engine < row.engines) {
            binding.Register_D(function, off, on, kEqual, row.dataRef, row.type, engine, 1);
            return true;
        }
    }
    return false;
}

// Bindings that combine forms.
bool BindSpecial(E_UnitType function, bool x737, Fly_subsystem& binding) {
    if (function == XPDR_IDENT) {
        // The key fires on each event but a release; the lamp follows the ident dataref.
        binding.Register_D(XPDR_IDENT, 0, 1, kEqual, "sim/cockpit/radios/transponder_id", kInt, 0, 1);
        binding.Register_C(XPDR_IDENT, kKey, xplm_key_tranID, 0);
        binding.SetMultioption(1);
        return true;
    }
    if (function == AP_APPR_HOLD && !x737) {
        // On while both lateral and vertical navigation are on; switching writes both.
        binding.Register_D2(AP_APPR_HOLD, 1, kEqual, "drav/autopilot/hnav", 1, kEqual, "drav/autopilot/vnav");
        return true;
    }
    return false;
}

} // namespace

void of_SimLink(E_UnitType function, Avionic** place, Fly_subsystem& binding, int targetUnit,
                int targetKind) {
    const int id = function;
    if (id < 0) return;
    if (id <= kLastValueFunction && place == nullptr) {
        // A button assigned a value function makes the target avionics unit show that value.
        binding.Register_AF(function, targetUnit, targetKind);
        return;
    }
    // Levers are bound by the throttle quadrant's axes; the end marker binds nothing.
    if (id > kLastSwitchFunction) return;

    if (function == NADA) {
        *place = nullptr;
        return;
    }
    if (function == NAV1_NAV2_TOGGLE || function == COM1_COM2_TOGGLE || function == FUNC_INST ||
        function == FUNC_AP) {
        binding.Register_AF(function, targetUnit, targetKind);
        return;
    }

    const bool x737 = g_Enable_x737_Support != 0;
    for (int i = 0; i < kValueRowCount; ++i) {
        if (kValueRows[i].function == function) {
            // A value above the value range asked for as a switch has nowhere to go: it stays
            // unbound rather than writing through a missing place.
            if (place != nullptr) BindValue(kValueRows[i], place, x737);
            return;
        }
    }
    if (BindSpecial(function, x737, binding)) return;
    for (int i = 0; i < kCommandRowCount; ++i) {
        if (kCommandRows[i].function == function && Applies(kCommandRows[i].column, x737)) {
            BindCommand(kCommandRows[i], binding);
            return;
        }
    }
    if (FindSwitch(kAutopilotRows, kAutopilotRowCount, function, x737, binding)) return;
    if (FindSwitch(kPlainRows, kPlainRowCount, function, x737, binding)) return;
    if (FindSwitch(kSelectorRows, kSelectorRowCount, function, x737, binding)) return;
    if (BindSeries(function, binding)) return;
    BindFamily(function, binding);
}
