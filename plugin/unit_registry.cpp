// The plug-in's side of the attached units: one module per unit, grouped by model, configured
// from the unit's section of DRAV.INI, fed with input from the device library's thread through a
// fixed ring, refreshed and cleared from the flight loops.
#include "unit_registry.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "avionic_devlib_port.h"
#include "core/globals.h"
#include "core/hot_path.h"
#include "core/log.h"
#include "core/profile.h"
#include "core/settings.h"
#include "devlib/include/qddev.h"
#include "simlink/avionic.h"
#include "simlink/catalogue.h"
#include "simlink/custom_datarefs.h"
#include "simlink/fly_subsystem.h"

#include "modules/module_base.h"
#include "modules/panels.h"

#include "modules/autopilot.h"
#include "modules/avionics.h"
#include "modules/engine.h"
#include "modules/gear_trim.h"
#include "ui/config_dialog.h"

QD_Last_Input g_QD_Last_Input;

namespace {

// Settings section formats (1-based unit number) and report names, by device type.
const char* const kDeviceININames[QDDEV_TYPE_LIMIT] = {
    "NONE",     "QDAVX_%d", "QDPBX_%d", "QDTGX_%d", "QDGTP_%d",  "QDRSX_%d", "QDAPC_%d",
    "QDKNB_%d", "QDAVY_%d", "QDTHQ_%d", "QDTXP_%d", "QDGTP2_%d", "QDAPX_%d", "QDNDC_%d",
    "QDECP_%d", "QDCDU_%d", "QDPWR_%d", "QDSSM_%d", "QDANP_%d",  "QDIOB_%d",
};

constexpr int kValueSize = 128;
constexpr int kSectionSize = 32;
// Room for a copy of the largest module (the refresh check).
constexpr size_t kCheckCopyBytes =
    std::max({sizeof(QDAVX_Module), sizeof(QDAVY_Module), sizeof(QDRSX_Module), sizeof(QDPBX_Module),
              sizeof(QDTGX_Module), sizeof(QDKNB_Module), sizeof(QDANP_Module), sizeof(QDIOB_Module),
              sizeof(QDGTP_Module), sizeof(QDGTP2_Module), sizeof(QDAPC_Module), sizeof(QDAPX_Module),
              sizeof(QDNDC_Module), sizeof(QDTHQ_Module), sizeof(QDECP_Module), sizeof(QDSSM_Module)});

// ---- Module lists --------------------------------------------------------------------------------

// Resizing is guarded against lookups from the device library's input thread by
// DRAV_InputStateMutex. The main thread holds it only to move already-built arrays into place,
// so the input thread never waits long and never allocates.

class ModuleListBase {
  public:
    virtual int Size() const = 0;
    virtual QD_Abstract_Module* At(int index) = 0;
    // Sizes the list to count, keeping the modules (and their state) of surviving units.
    virtual void Resize(int count) = 0;
    // Bytes of one module object, for the refresh check's copy.
    virtual size_t ModuleBytes() const = 0;

  protected:
    ~ModuleListBase() = default;
};

// False once any module list was resized: the roster below points at the old modules.
bool g_RosterValid = false;

template <class Module> class ModuleList final : public ModuleListBase {
    static_assert(sizeof(Module) <= kCheckCopyBytes);

  public:
    int Size() const override { return static_cast<int>(items.size()); }
    DRAV_HOT QD_Abstract_Module* At(int index) override { return Get(index); }
    size_t ModuleBytes() const override { return sizeof(Module); }
    Module* Get(int index) {
        return (index >= 0 && index < static_cast<int>(items.size())) ? &items[static_cast<size_t>(index)]
                                                                      : nullptr;
    }

    void Resize(int count) override {
        if (count < 0) count = 0;
        if (count == Size()) return;
        std::vector<Module> next(static_cast<size_t>(count)); // allocated outside the lock
        {
            std::lock_guard<std::mutex> lock(DRAV_InputStateMutex());
            // Copied under the lock: the input thread may be updating previous control states.
            const size_t keep = next.size() < items.size() ? next.size() : items.size();
            for (size_t i = 0; i < keep; ++i)
                next[i] = items[i];
            items.swap(next);
        }
        g_RosterValid = false; // the modules moved
        // The old array is freed here, outside the lock.
    }

  private:
    std::vector<Module> items;
};

ModuleList<QDAVX_Module> g_QDAVX;
ModuleList<QDAVY_Module> g_QDAVY;
ModuleList<QDRSX_Module> g_QDRSX;
ModuleList<QDPBX_Module> g_QDPBX;
ModuleList<QDTGX_Module> g_QDTGX;
ModuleList<QDKNB_Module> g_QDKNB;
ModuleList<QDANP_Module> g_QDANP;
ModuleList<QDIOB_Module> g_QDIOB;
ModuleList<QDGTP_Module> g_QDGTP;
ModuleList<QDGTP2_Module> g_QDGTP2;
ModuleList<QDAPC_Module> g_QDAPC;
ModuleList<QDAPX_Module> g_QDAPX;
ModuleList<QDNDC_Module> g_QDNDC;
ModuleList<QDTHQ_Module> g_QDTHQ;
ModuleList<QDECP_Module> g_QDECP;
ModuleList<QDSSM_Module> g_QDSSM;

DRAV_HOT ModuleListBase* ListOf(int type) {
    switch (type) {
    case QDHW_AVX:
        return &g_QDAVX;
    case QDHW_AVY:
        return &g_QDAVY;
    case QDHW_RSX:
        return &g_QDRSX;
    case QDHW_PBX:
        return &g_QDPBX;
    case QDHW_TGX:
        return &g_QDTGX;
    case QDHW_KNB:
        return &g_QDKNB;
    case QDHW_ANP:
        return &g_QDANP;
    case QDHW_IOB:
        return &g_QDIOB;
    case QDHW_GTP:
        return &g_QDGTP;
    case QDHW_GTP2:
        return &g_QDGTP2;
    case QDHW_APC:
        return &g_QDAPC;
    case QDHW_APX:
        return &g_QDAPX;
    case QDHW_NDC:
        return &g_QDNDC;
    case QDHW_THQ:
        return &g_QDTHQ;
    case QDHW_ECP:
        return &g_QDECP;
    case QDHW_SSM:
        return &g_QDSSM;
    default:
        return nullptr;
    }
}

// ---- Reading a unit's section --------------------------------------------------------------------

void SectionName(int type, int unit, char (&out)[kSectionSize]) {
    std::snprintf(out, sizeof out, kDeviceININames[type], unit + 1);
}

// A unit's keys come from the aircraft's profile first, then DRAV.INI (core/profile.h).
void ReadIni(const char* section, const char* key, char* out, size_t out_size, const char* def) {
    DRAV_ReadLayeredPref(section, key, out, out_size, def);
}

// Key "Function" + suffix; also gives the assignment target named by the value (-1, -1: none).
struct Assignment {
    E_UnitType function = NADA;
    int targetUnit = -1;
    int targetKind = -1;
};

Assignment ReadAssignment(int type, int unit, const char* suffix, const char* def) {
    Assignment a;
    char value[kValueSize];
    a.function = of_GetAvionicsFunction(unit, type, suffix, value, sizeof value, def);
    of_GetAssignValues(value, &a.targetKind, &a.targetUnit);
    return a;
}

void ReadSetting(int type, int unit, const char* key, char (&value)[kValueSize], const char* def) {
    char section[kSectionSize];
    SectionName(type, unit, section);
    ReadIni(section, key, value, sizeof value, def);
}

// Assigns keys "Function<c>" for the characters of keys, each to control <c>.
void AssignKeys(QD_Abstract_Module& m, int type, int unit, const char* keys, const char* const* defaults,
                bool withTarget) {
    for (int i = 0; keys[i] != '\0'; ++i) {
        const char suffix[2] = {keys[i], '\0'};
        const Assignment a = ReadAssignment(type, unit, suffix, defaults ? defaults[i] : "");
        if (withTarget)
            m.AssignFunction(keys[i], a.function, a.targetUnit, a.targetKind);
        else
            m.AssignFunction(keys[i], a.function, -1, -1);
    }
}

// Assigns two-digit keys "Function01".."Function<last>" (first..last) to control number minus
// offset; withTarget as above.
void AssignNumberedKeys(QD_Abstract_Module& m, int type, int unit, int first, int last, const char* format,
                        int controlOffset, const char* const* defaults, bool withTarget) {
    for (int n = first; n <= last; ++n) {
        char suffix[8];
        std::snprintf(suffix, sizeof suffix, format, n);
        const Assignment a = ReadAssignment(type, unit, suffix, defaults ? defaults[n - first] : "");
        const char control = static_cast<char>(n - controlOffset);
        if (withTarget)
            m.AssignFunction(control, a.function, a.targetUnit, a.targetKind);
        else
            m.AssignFunction(control, a.function, -1, -1);
    }
}

// Pages "Function1".."Function8"; the current page moves round to the first assigned one.
void ReadAvionicPositions(QD_Abstract_AvionicDevice& m, int type, int unit) {
    for (int i = 0; i < QD_Abstract_AvionicDevice::kPositions; ++i) {
        char suffix[2] = {static_cast<char>('1' + i), '\0'};
        char value[kValueSize];
        m.functions[i] = of_GetAvionicsFunction(unit, type, suffix, value, sizeof value, "");
    }
    int current = (m.current >= 0 && m.current < QD_Abstract_AvionicDevice::kPositions) ? m.current : 0;
    int found = 0;
    for (int step = 0; step < QD_Abstract_AvionicDevice::kPositions; ++step) {
        const int at = (current + step) % QD_Abstract_AvionicDevice::kPositions;
        if (m.functions[at] != NADA) {
            found = at;
            break;
        }
    }
    m.current = found;
    m.AssignAvionic(m.functions[m.current]);
}

const char* const kAPCDigitDefaults[] = {"AP_LNAV",         "AP_HDG_HOLD", "AP_AUTOTHROTTLE",
                                         "AP_IAS_MACH_SEL", "AP_ALT_HOLD", "AP_APPR_HOLD",
                                         "AP_BC_HOLD",      "AP_MASTER",   "AP_DISENGAGE"};
const char* const kAPCLetterDefaults[] = {"AP_NAV_COURSE_ADJ", "AP_HEADING_ADJ", "AP_SPEED_ADJ",
                                          "AP_VERT_SPEED_ADJ", "AP_ALTITUDE_ADJ"};
} // namespace

// The device library's unit count of a model (its slot count, low 16 bits).
int DRAV_DeviceLibraryCount(int type) {
    switch (type) {
    case QDHW_AVX:
        return QDAVX_GetNumDevices();
    case QDHW_AVY:
        return QDAVY_GetNumDevices();
    case QDHW_PBX:
        return QDPBX_GetNumDevices();
    case QDHW_TGX:
        return QDTGX_GetNumDevices();
    case QDHW_GTP:
        return QDGTP_GetNumDevices();
    case QDHW_GTP2:
        return QDGTP2_GetNumDevices();
    case QDHW_APC:
        return QDAPC_GetNumDevices();
    case QDHW_RSX:
        return QDRSX_GetNumDevices();
    case QDHW_KNB:
        return QDKNB_GetNumDevices();
    case QDHW_THQ:
        return QDTHQ_GetNumDevices();
    case QDHW_APX:
        return QDAPX_GetNumDevices();
    case QDHW_NDC:
        return QDNDC_GetNumDevices();
    case QDHW_ECP:
        return QDECP_GetNumDevices();
    case QDHW_ANP:
        return QDANP_GetNumDevices();
    case QDHW_SSM:
        return QDSSM_GetNumDevices();
    case QDHW_IOB:
        return QDIOB_GetNumDevices();
    default:
        return 0;
    }
}

namespace {
const char* const kSSMDefaults[] = {"ENG_1_START",
                                    "NADA",
                                    "ENG_1_AUTO_IGNITE_ON",
                                    "ENG_1_IGNITER",
                                    "ENG_ALL_MAGNETO_LEFT",
                                    "ENG_ALL_MAGNETO",
                                    "ENG_ALL_MAGNETO_RIGHT",
                                    "ENG_2_START",
                                    "NADA",
                                    "ENG_2_AUTO_IGNITE_ON",
                                    "ENG_2_IGNITER"};
const char* const kGTPDefaults[] = {"ELEV_TRIM", "LANDING_GEAR", "FLAPS_UP_DOWN"};
const char* const kGTP2Defaults[] = {"AILERON_TRIM",  "ELEV_TRIM",      "RUDDER_TRIM",   "LANDING_GEAR",
                                     "FLAPS_UP_DOWN", "FUEL_FEED_LEFT", "FUEL_FEED_ALL", "FUEL_FEED_RIGHT"};

void RegisterPanelIOB(QDIOB_Module& m, int unit) {
    const int type = QDHW_IOB;
    if (!g_InConfigScreen) m.Register(static_cast<unsigned short>(unit));
    char key[40];
    char number[4];
    char value[kValueSize];
    for (int n = 1; n <= QDIOB_Module::kInputs; ++n) {
        std::snprintf(number, sizeof number, "%02d", n);
        std::snprintf(key, sizeof key, "InputFunction%s", number);
        int targetUnit = -1;
        int targetKind = -1;
        E_UnitType f = of_GetAvionicsFunctionSpecial(unit, type, value, sizeof value, "", key);
        of_GetAssignValues(value, &targetKind, &targetUnit);
        m.AssignInputFunction(number, f, targetUnit, targetKind);

        std::snprintf(key, sizeof key, "InputOffStateFunction%s", number);
        targetUnit = targetKind = -1;
        f = of_GetAvionicsFunctionSpecial(unit, type, value, sizeof value, "", key);
        of_GetAssignValues(value, &targetKind, &targetUnit);
        m.AssignOffStateFunction(number, f, targetUnit, targetKind);

        std::snprintf(key, sizeof key, "InputSwitchTypeFunction%02d", n);
        ReadSetting(type, unit, key, value, "0");
        m.SetSwitchType(n - 1, QDIOB_Module::SwitchTypeNameToValue(value));
    }
    for (int n = 1; n <= QDIOB_Module::kOutputs; ++n) {
        std::snprintf(number, sizeof number, "%02d", n);
        std::snprintf(key, sizeof key, "OutputFunction%s", number);
        int targetUnit = -1;
        int targetKind = -1;
        const E_UnitType f = of_GetAvionicsFunctionSpecial(unit, type, value, sizeof value, "", key);
        of_GetAssignValues(value, &targetKind, &targetUnit);
        m.AssignOutputFunction(number, f, targetUnit, targetKind);
    }
    m.SetDisplay();
}

void RegisterPanelANP(QDANP_Module& m, int unit) {
    const int type = QDHW_ANP;
    m.Register(static_cast<unsigned short>(unit));
    AssignKeys(m, type, unit, "123456", nullptr, true);
    for (int n = 1; n <= QDANP_Module::kButtons; ++n) {
        char key[16];
        char value[kValueSize];
        std::snprintf(key, sizeof key, "Colour%d", n);
        ReadSetting(type, unit, key, value, "BLACK");
        m.colours[n - 1] = static_cast<unsigned char>(ColourNameToValue(value));
    }
    m.SetDisplay();
}

// ---- Module-function targets and brightness for the simulator link --------------------------------

DRAV_HOT AvionicsUnit* FindAvionicsUnit(int targetKind, int targetUnit) {
    switch (targetKind) {
    case TARGET_QDAVX:
        return g_QDAVX.Get(targetUnit);
    case TARGET_QDAVY:
        return g_QDAVY.Get(targetUnit);
    case TARGET_QDRSX:
        return g_QDRSX.Get(targetUnit);
    default:
        return nullptr;
    }
}

DevlibBrightnessPort g_BrightnessPort;

// Drains one queued event into its unit's module; the unit may have gone meanwhile.
DRAV_HOT void HandleQueued(const QD_Last_Input::Entry& entry, void* context) {
    QD_Abstract_Module* module = nullptr;
    if (of_get_Device(entry.type, entry.unit, &module) == 1) {
        module->HandleInput(entry.button, entry.extra);
        module->MarkStale();
    }
    ++*static_cast<int*>(context);
}

// Models in type order, for refresh, clear and the device report: fn(type, index, list).
template <class Fn> void ForEachUnit(Fn fn) {
    for (int type = 1; type < QDDEV_TYPE_LIMIT; ++type) {
        ModuleListBase* list = ListOf(type);
        if (list == nullptr) continue;
        for (int i = 0; i < list->Size(); ++i)
            fn(type, i, *list);
    }
}

template <class Fn> void ForEachModule(Fn fn) {
    ForEachUnit([&fn](int, int index, ModuleListBase& list) { fn(*list.At(index)); });
}

} // namespace

// ---- Lookups ------------------------------------------------------------------------------------------

int of_get_Device(int type, int unit, QD_Abstract_Module** out) {
    if (out != nullptr) *out = nullptr;
    ModuleListBase* list = (type >= 0 && type < QDDEV_TYPE_LIMIT) ? ListOf(type) : nullptr;
    QD_Abstract_Module* module = list != nullptr ? list->At(unit) : nullptr;
    if (module == nullptr) return -1;
    if (out != nullptr) *out = module;
    return 1;
}

int of_get_DeviceCount(int type) {
    ModuleListBase* list = (type >= 0 && type < QDDEV_TYPE_LIMIT) ? ListOf(type) : nullptr;
    return list != nullptr ? list->Size() : 0;
}

#define DRAV_MODEL_ACCESSORS(CODE, LIST)                                                                     \
    int of_get_##CODE(int index, CODE##_Module** out) {                                                      \
        CODE##_Module* m = LIST.Get(index);                                                                  \
        if (out != nullptr) *out = m;                                                                        \
        return m != nullptr ? 1 : -1;                                                                        \
    }                                                                                                        \
    int Get_Num##CODE##Units() {                                                                             \
        return LIST.Size();                                                                                  \
    }

DRAV_MODEL_ACCESSORS(QDAVX, g_QDAVX)
DRAV_MODEL_ACCESSORS(QDAVY, g_QDAVY)
DRAV_MODEL_ACCESSORS(QDRSX, g_QDRSX)
DRAV_MODEL_ACCESSORS(QDPBX, g_QDPBX)
DRAV_MODEL_ACCESSORS(QDTGX, g_QDTGX)
DRAV_MODEL_ACCESSORS(QDKNB, g_QDKNB)
DRAV_MODEL_ACCESSORS(QDANP, g_QDANP)
DRAV_MODEL_ACCESSORS(QDIOB, g_QDIOB)
DRAV_MODEL_ACCESSORS(QDGTP, g_QDGTP)
DRAV_MODEL_ACCESSORS(QDGTP2, g_QDGTP2)
DRAV_MODEL_ACCESSORS(QDAPC, g_QDAPC)
DRAV_MODEL_ACCESSORS(QDAPX, g_QDAPX)
DRAV_MODEL_ACCESSORS(QDNDC, g_QDNDC)
DRAV_MODEL_ACCESSORS(QDTHQ, g_QDTHQ)
DRAV_MODEL_ACCESSORS(QDECP, g_QDECP)
DRAV_MODEL_ACCESSORS(QDSSM, g_QDSSM)
#undef DRAV_MODEL_ACCESSORS

void of_FindDevices() {
    static const int kOrder[] = {QDHW_AVX, QDHW_AVY, QDHW_PBX, QDHW_TGX, QDHW_GTP, QDHW_GTP2,
                                 QDHW_APC, QDHW_RSX, QDHW_KNB, QDHW_THQ, QDHW_APX, QDHW_NDC,
                                 QDHW_ECP, QDHW_ANP, QDHW_SSM, QDHW_IOB};
    for (int type : kOrder) {
        if (ModuleListBase* list = ListOf(type)) list->Resize(DRAV_DeviceLibraryCount(type) & 0xFFFF);
    }
}

// ---- Settings -----------------------------------------------------------------------------------------

E_UnitType of_GetAvionicsFunction(int unit, int type, const char* suffix, char* value, size_t value_size,
                                  const char* def) {
    char key[40];
    std::snprintf(key, sizeof key, "Function%s", suffix);
    return of_GetAvionicsFunctionSpecial(unit, type, value, value_size, def, key);
}

E_UnitType of_GetAvionicsFunctionSpecial(int unit, int type, char* value, size_t value_size, const char* def,
                                         const char* key) {
    if (value == nullptr || value_size == 0) return NADA;
    value[0] = '\0';
    if (type <= 0 || type >= QDDEV_TYPE_LIMIT) return NADA;
    char section[kSectionSize];
    SectionName(type, unit, section);
    ReadIni(section, key, value, value_size, def);
    return of_switch_table(value);
}

int of_GetAssignValues(const char* value, int* targetKind, int* targetUnit) {
    static const char* const kPrefixes[] = {"QDAVX_", "QDAVY_", "QDRSX_"};
    if (value == nullptr) return 0;
    for (int kind = 0; kind < 3; ++kind) {
        const size_t len = std::strlen(kPrefixes[kind]);
        if (std::strncmp(value, kPrefixes[kind], len) != 0) continue;
        *targetKind = kind;
        *targetUnit = std::atoi(value + len) - 1;
        return 1;
    }
    return 0;
}

// ---- Registration ---------------------------------------------------------------------------------------

void RegisterQDModule(int type, int unit) {
    QD_Abstract_Module* found = nullptr;
    if (of_get_Device(type, unit, &found) != 1) return;
    const unsigned short u = static_cast<unsigned short>(unit);
    char value[kValueSize];
    // Every key of the unit from one version of the files.
    const DRAV_SettingsSnapshot snapshot;

    switch (type) {
    case QDHW_AVX:
    case QDHW_AVY: {
        QD_Abstract_AvionicDevice& m = type == QDHW_AVX
                                           ? static_cast<QD_Abstract_AvionicDevice&>(*g_QDAVX.Get(unit))
                                           : static_cast<QD_Abstract_AvionicDevice&>(*g_QDAVY.Get(unit));
        m.Register(u);
        ReadAvionicPositions(m, type, unit);
        m.SetDisplay();
        break;
    }
    case QDHW_RSX: {
        QDRSX_Module& m = *g_QDRSX.Get(unit);
        m.Register(u);
        for (char key : {'L', 'R'}) {
            const char suffix[2] = {key, '\0'};
            int targetKind = TARGET_QDRSX; // the unit's own buttons act on itself by default
            int targetUnit = unit;
            const E_UnitType f = of_GetAvionicsFunction(unit, type, suffix, value, sizeof value, "");
            of_GetAssignValues(value, &targetKind, &targetUnit);
            m.AssignFunction(key, f, targetUnit, targetKind);
        }
        ReadAvionicPositions(m, type, unit);
        m.SetDisplay();
        break;
    }
    case QDHW_PBX: {
        QDPBX_Module& m = *g_QDPBX.Get(unit);
        m.Register(u);
        AssignKeys(m, type, unit, "12345678", nullptr, true);
        m.SetDisplay();
        break;
    }
    case QDHW_TGX: {
        QDTGX_Module& m = *g_QDTGX.Get(unit);
        // Bindings first: registration pushes the switch positions through them.
        AssignKeys(m, type, unit, "12345678", nullptr, true);
        m.Register(u);
        m.SetDisplay();
        break;
    }
    case QDHW_KNB: {
        QDKNB_Module& m = *g_QDKNB.Get(unit);
        m.Register(u);
        AssignKeys(m, type, unit, "12345678ABCD", nullptr, true);
        m.SetDisplay();
        break;
    }
    case QDHW_ANP:
        RegisterPanelANP(*g_QDANP.Get(unit), unit);
        break;
    case QDHW_IOB:
        RegisterPanelIOB(*g_QDIOB.Get(unit), unit);
        break;
    case QDHW_GTP: {
        QDGTP_Module& m = *g_QDGTP.Get(unit);
        AssignKeys(m, type, unit, "WLS", kGTPDefaults, false);
        ReadSetting(type, unit, "WHEEL_GAIN", value, "1");
        m.SetWheelGain(DRAV_ParseIniInt(value));
        m.Register(u);
        m.SetDisplay();
        break;
    }
    case QDHW_GTP2: {
        QDGTP2_Module& m = *g_QDGTP2.Get(unit);
        AssignKeys(m, type, unit, "GHIJKLMN", kGTP2Defaults, false);
        static const char* const kGainKeys[] = {"WHEEL1_GAIN", "WHEEL2_GAIN", "WHEEL3_GAIN"};
        for (int w = 0; w < 3; ++w) {
            ReadSetting(type, unit, kGainKeys[w], value, "1");
            m.SetWheelGain(w, DRAV_ParseIniInt(value));
        }
        m.Register(u);
        m.SetDisplay();
        break;
    }
    case QDHW_APC: {
        QDAPC_Module& m = *g_QDAPC.Get(unit);
        m.Register(u);
        AssignKeys(m, type, unit, "123456789", kAPCDigitDefaults, true);
        AssignKeys(m, type, unit, "ABCDE", kAPCLetterDefaults, false);
        m.SetDisplay();
        break;
    }
    case QDHW_APX: {
        QDAPX_Module& m = *g_QDAPX.Get(unit);
        const bool x737 = g_Enable_x737_Support != 0;
        m.Register(u);
        AssignNumberedKeys(m, type, unit, 1, 24, "%02d", 1, x737 ? kAPXx737Defaults : kAPXDefaults, true);
        AssignNumberedKeys(m, type, unit, 25, 30, "%d", 0, x737 ? kAPXx737KnobDefaults : kAPXKnobDefaults,
                           false);
        m.SetDisplay();
        break;
    }
    case QDHW_NDC: {
        QDNDC_Module& m = *g_QDNDC.Get(unit);
        AssignNumberedKeys(m, type, unit, 1, 27, "%02d", 1, kNDCDefaults, true);
        AssignNumberedKeys(m, type, unit, 28, 29, "%d", 0, kNDCKnobDefaults, false);
        m.Register(u);
        break;
    }
    case QDHW_THQ: {
        QDTHQ_Module& m = *g_QDTHQ.Get(unit);
        m.Register(u);
        AssignKeys(m, type, unit, "ABCDEF", nullptr, false);
        char beta[kValueSize];
        char power[kValueSize];
        ReadSetting(type, unit, "THROTTLE_REVERSE", value, "-1.0");
        ReadSetting(type, unit, "THROTTLE_BETA", beta, "-1.0");
        ReadSetting(type, unit, "REVERSER_POWER", power, "1.0");
        m.SetReverserPoints(DRAV_ParseIniFloat(value), DRAV_ParseIniFloat(beta), DRAV_ParseIniFloat(power));
        ReadSetting(type, unit, "FLAP_NULL_ZONE", value, "1.0");
        m.SetFlapNullZone(DRAV_ParseIniFloat(value));
        m.SetDisplay();
        break;
    }
    case QDHW_ECP: {
        QDECP_Module& m = *g_QDECP.Get(unit);
        AssignNumberedKeys(m, type, unit, 1, 20, "%02d", 1, kECPDefaults, true);
        m.Register(u);
        break;
    }
    case QDHW_SSM: {
        QDSSM_Module& m = *g_QDSSM.Get(unit);
        AssignNumberedKeys(m, type, unit, 1, 11, "%02d", 1, kSSMDefaults, true);
        m.Register(u);
        break;
    }
    default:
        break;
    }
}

int RegisterQDModulesOfType(int type) {
    const DRAV_SettingsSnapshot snapshot;
    const int count = of_get_DeviceCount(type);
    for (int unit = 0; unit < count; ++unit)
        RegisterQDModule(type, unit);
    return count;
}

void of_RegisterUnitsOfType(int device_type) {
    RegisterQDModulesOfType(device_type);
}

void of_RegisterUnits() {
    const DRAV_SettingsSnapshot snapshot;
    static const int kOrder[] = {QDHW_AVX, QDHW_AVY, QDHW_RSX, QDHW_GTP, QDHW_GTP2, QDHW_APC,
                                 QDHW_TGX, QDHW_PBX, QDHW_KNB, QDHW_THQ, QDHW_APX,  QDHW_NDC,
                                 QDHW_ECP, QDHW_ANP, QDHW_SSM, QDHW_IOB};
    for (int type : kOrder) {
        // The dialog's re-registration leaves the autopilot panels as they are.
        if (g_InConfigScreen && (type == QDHW_APC || type == QDHW_APX)) continue;
        RegisterQDModulesOfType(type);
    }
}

namespace {

// Every unit in refresh order, for the frame after an input: a short array instead of a walk over
// every model's list, with a copy of what decides whether a unit is redrawn, so that the units
// that are not are never looked at. Rebuilt after a list was resized.
struct RosterEntry {
    QD_Abstract_Module* module;
    int16_t type;
    int16_t index;
    bool stale;       // the unit's own flag as of the last look
    bool always;      // watched.always
    uint64_t summary; // watched.Summary()
};
constexpr int kRosterCapacity = 640; // more than every model's slots together
RosterEntry g_Roster[kRosterCapacity];
int g_RosterSize = 0;

void CopyFlags(RosterEntry& e) {
    const QD_Abstract_Module& m = *e.module;
    e.stale = m.stale;
    e.always = m.watched.always;
    e.summary = m.watched.Summary();
}

void BuildRoster() {
    g_RosterSize = 0;
    ForEachUnit([](int type, int index, ModuleListBase& list) {
        if (g_RosterSize < kRosterCapacity)
            g_Roster[g_RosterSize++] = RosterEntry{
                list.At(index), static_cast<int16_t>(type), static_cast<int16_t>(index), true, false, 0};
    });
    for (int i = 0; i < g_RosterSize; ++i)
        CopyFlags(g_Roster[i]);
    // The flags were just read from every unit: the marks before are in them.
    g_StaleMarks.Forget();
    g_RosterValid = true;
}

// Brings the roster's stale flags up to date with the units marked since the last look.
DRAV_HOT void TakeStaleMarks() {
    StaleMarks& marks = g_StaleMarks;
    if (marks.overflow) {
        for (int i = 0; i < g_RosterSize; ++i)
            g_Roster[i].stale = g_Roster[i].module->stale;
    } else {
        for (int k = 0; k < marks.count; ++k)
            for (int i = 0; i < g_RosterSize; ++i)
                if (g_Roster[i].module == marks.units[k]) g_Roster[i].stale = true;
    }
    marks.Forget();
}

// Refreshes one unit, noting what it reads.
DRAV_HOT void RefreshRecorded(RosterEntry& e) {
    QD_Abstract_Module& m = *e.module;
    {
        WatchRecording recording(m.watched);
        m.stale = false;
        m.Refresh();
    }
    CopyFlags(e);
}

// The refresh check (DRAV_CHECK_REFRESH=1): a refresh of the changed units also refreshes every
// unit it skipped, and a unit that this changes was skipped wrongly. A refresh of a unit that is
// up to date changes nothing in it, not even what it notes as read.
bool g_CheckRefresh = false;
int g_CheckMisses = 0;
constexpr int kCheckLinesLogged = 50; // a unit missed at every input would flood the log
alignas(std::max_align_t) unsigned char g_CheckCopy[kCheckCopyBytes];

void CheckSkipped(RosterEntry& e) {
    const QD_Abstract_Module& m = *e.module;
    const size_t bytes = ListOf(e.type)->ModuleBytes();
    bool changed = false;
    {
        // The input thread writes the previous control states: they must hold still meanwhile.
        std::lock_guard<std::mutex> lock(DRAV_InputStateMutex());
        std::memcpy(g_CheckCopy, static_cast<const void*>(&m), bytes);
        RefreshRecorded(e);
        changed = std::memcmp(g_CheckCopy, static_cast<const void*>(&m), bytes) != 0;
    }
    if (!changed) return;
    ++g_CheckMisses;
    if (g_CheckMisses > kCheckLinesLogged) return;
    DRAV_Reportf("Refresh check: %s unit %d was skipped but its refresh changed it",
                 QDHWType2Text(static_cast<tagQDDevHWType>(e.type)), e.index + 1);
    if (g_CheckMisses == kCheckLinesLogged)
        DRAV_Reportf("Refresh check: further misses are counted, not logged");
}

} // namespace

void DRAV_SetRefreshCheck(bool on) {
    g_CheckRefresh = on;
    g_CheckMisses = 0;
    if (on) DRAV_Reportf("the refresh after an input is checked against a full refresh");
}

int DRAV_RefreshCheckMisses() {
    return g_CheckMisses;
}

namespace {
// The refresh loop's passes since the last full one.
int g_PassesSinceFull = 0;
} // namespace

DRAV_HOT void of_RefreshUnits() {
    g_PassesSinceFull = 0;
    DRAV_BeginPowerSnapshot();
    // Every unit records what it reads afresh, so the table holds only what is shown now.
    DRAV_WatchReset();
    if (!g_RosterValid) BuildRoster();
    // Every unit is refreshed now: what was marked before is done with. A mark made by a refresh
    // stays for the next look.
    g_StaleMarks.Forget();
    for (int i = 0; i < g_RosterSize; ++i)
        RefreshRecorded(g_Roster[i]);
    DRAV_EndPowerSnapshot();
}

DRAV_HOT void of_RefreshChangedUnits() {
    DRAV_BeginPowerSnapshot();
    const WatchSet& changed = DRAV_WatchPoll();
    if (!g_RosterValid) BuildRoster();
    const uint64_t summary = changed.Summary();
    const bool check = g_CheckRefresh;
    for (int i = 0; i < g_RosterSize; ++i) {
        // The input's marks, and any a refresh before this unit's made.
        if (g_StaleMarks.count != 0 || g_StaleMarks.overflow) TakeStaleMarks();
        RosterEntry& e = g_Roster[i];
        if (e.stale || e.always || ((e.summary & summary) != 0 && e.module->watched.Intersects(changed)))
            RefreshRecorded(e);
        else if (check)
            CheckSkipped(e);
    }
    DRAV_EndPowerSnapshot();
}

DRAV_HOT void of_RefreshPass() {
    if (++g_PassesSinceFull < kFullPassEvery)
        of_RefreshChangedUnits();
    else
        of_RefreshUnits();
}

void of_QDClear() {
    ForEachModule([](QD_Abstract_Module& m) {
        m.Clear();
        m.MarkStale();
    });
}

void of_ResetTHQMaxima() {
    for (int i = 0; i < g_QDTHQ.Size(); ++i)
        g_QDTHQ.Get(i)->ResetMaxima();
}

void of_LogDeviceInfo() {
    DRAV_WriteToLog("Device Information:");
    char profile[kDravLogLineSize];
    DRAV_DescribeProfile(profile, sizeof profile);
    DRAV_WriteToLogf("Settings profile: %s", profile);
    for (int type = 1; type < QDDEV_TYPE_LIMIT; ++type) {
        const int count = of_get_DeviceCount(type);
        if (count == 0) continue;
        const char* name = QDHWType2Text(static_cast<tagQDDevHWType>(type));
        DRAV_WriteToLogf("Number of %s Devices = %d", name, count);
        for (int unit = 0; unit < count; ++unit) {
            QDDevInfo info{};
            QDDev_GetDeviceInfo(static_cast<tagQDDevHWType>(type), static_cast<uint16_t>(unit), &info);
            DRAV_WriteToLogf("Device = %s Unit %d", name, unit + 1);
            DRAV_WriteToLogf("Firmware Version = %.4X", info.version);
        }
    }
}

// ---- Input ------------------------------------------------------------------------------------------

bool InputCallback(tagQDDevHWType type, uint16_t unit, const void* data) {
    if (data == nullptr) return true;
    std::lock_guard<std::mutex> lock(DRAV_InputStateMutex());
    QD_Abstract_Module* module = nullptr;
    if (of_get_Device(type, unit, &module) != 1) return true;
    // Every control that changed in this report is one event; the module says -1 when none is
    // left. Bounded by the largest model's control count, should a module never say -1.
    constexpr int kMaxChangesPerReport = 64;
    module->BeginReport();
    for (int i = 0; i < kMaxChangesPerReport; ++i) {
        int extra = 0;
        const int button = type == QDHW_IOB ? static_cast<QDIOB_Module*>(module)->GetInputButton(data, &extra)
                                            : module->GetButton(data, &extra);
        if (button == -1) break;
        g_QD_Last_Input.SetQueue(type, unit, button, extra);
    }
    module->EndReport();
    return true;
}

DRAV_HOT int DRAV_ProcessInput() {
    int handled = 0;
    g_QD_Last_Input.Process(HandleQueued, &handled);
    return handled;
}

// ---- Units plugged in while flying ------------------------------------------------------------------

namespace {

// The connect callback runs on the device library's notification thread: it only marks the
// unit. The simulator's thread registers it at the next frame (DRAV_RegisterArrivedUnits).
constexpr int kMaxArrivalSlots = 32; // the largest slot capacity of any model
std::atomic<uint32_t> g_ArrivedUnits[QDDEV_TYPE_LIMIT];
std::atomic<bool> g_UnitsArrived{false};

bool ConnectCallback(tagQDDevHWType type, uint16_t unit, tagEventToken token) {
    if (token == QDEVT_Attached && type > 0 && type < QDDEV_TYPE_LIMIT && unit < kMaxArrivalSlots) {
        g_ArrivedUnits[type].fetch_or(1u << unit);
        g_UnitsArrived.store(true, std::memory_order_release);
    }
    return true;
}

} // namespace

DRAV_HOT void DRAV_RegisterArrivedUnits() {
    if (!g_UnitsArrived.load(std::memory_order_acquire)) return;
    g_UnitsArrived.store(false);
    of_FindDevices();
    for (int type = 1; type < QDDEV_TYPE_LIMIT; ++type) {
        const uint32_t arrived = g_ArrivedUnits[type].exchange(0);
        // Before the first registration the next refresh registers every unit anyway.
        if (arrived == 0 || ii_runmodule == 0) continue;
        for (int unit = 0; unit < kMaxArrivalSlots; ++unit) {
            if (!(arrived & (1u << unit))) continue;
            QD_Abstract_Module* module = nullptr;
            if (of_get_Device(type, unit, &module) != 1) continue;
            RegisterQDModule(type, unit);
            module->Refresh();
        }
    }
}

// ---- Device library start and stop ------------------------------------------------------------------

void DRAV_DeviceLibraryInit() {
    const char* check = std::getenv("DRAV_CHECK_REFRESH");
    DRAV_SetRefreshCheck(check != nullptr && std::strcmp(check, "1") == 0);
    QDDev_Init(nullptr);
    DRAV_SetBrightnessPort(&g_BrightnessPort);
    DRAV_SetAvionicsUnitLookup(FindAvionicsUnit);
    DialogRegistryHooks hooks;
    hooks.unit_count = of_get_DeviceCount;
    hooks.register_unit = RegisterQDModule;
    hooks.register_units_of_type = RegisterQDModulesOfType;
    DRAV_SetDialogRegistryHooks(hooks);
}

void DRAV_DeviceLibraryTerminate() {
    QDDev_Terminate();
}

void DRAV_RegisterInputCallback() {
    QDDev_RegisterInputCallback(InputCallback);
    QDDev_RegisterConnectCallback(ConnectCallback);
}
