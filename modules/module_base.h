// Base classes of the hardware modules: one module object per attached unit turns the unit's
// control snapshots into control events, acts on the simulator through the simulator link and
// redraws the unit's displays and lamps.
//
// Modules live by value in growable arrays: they are default-constructible and copyable, own no
// heap memory, and have no virtual destructor (nobody deletes one through a base pointer).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "core/globals.h"
#include "simlink/catalogue.h"
#include "simlink/fly_subsystem.h"
#include "simlink/sim_watch.h"

class Avionic;
class QD_Abstract_Module;

// The units marked stale since the registry last took this list (main thread), so that the frame
// after an input finds them without looking into every unit. When more were marked than it holds
// it says so, and every unit is asked.
struct StaleMarks {
    static constexpr int kCapacity = 32;
    QD_Abstract_Module* units[kCapacity];
    int count = 0;
    bool overflow = false;
    void Forget() {
        count = 0;
        overflow = false;
    }
};
extern StaleMarks g_StaleMarks;

class QD_Abstract_Module {
  public:
    // Binds the object to a unit and blanks the unit. Models that override it call this first,
    // then read the unit's present control state into their previous-state fields.
    virtual void Register(unsigned short unit_index);
    // Sends the unit only the display texts and lamp bytes that changed.
    virtual void SetDisplay() = 0;
    // Compares the unit's control-value record with the previous state and reports the first
    // changed control (its value through *value), or -1. Runs on the device library's thread
    // and writes only previous-control-state fields. Between BeginReport and EndReport it is
    // called again with the same record until it says -1, so it reports each change once.
    virtual int GetButton(const void* data, int* value) = 0;
    // Blanks displays and lamps and forgets what was sent, so that everything is sent again.
    virtual void Clear() = 0;
    // Acts on one control event.
    virtual void HandleInput(int control, int value) = 0;
    // Reads the bound simulator values, then SetDisplay().
    virtual void Refresh() = 0;
    // Binds the control named by key to function; targetUnit/targetKind name the avionics unit a
    // module-function acts on (-1, -1: none, meaning this unit and QD-RSX).
    virtual void AssignFunction(char key, E_UnitType function, int targetUnit, int targetKind) = 0;
    // The function bound to key, NADA for an unbound or unknown key.
    virtual E_UnitType GetFunction(char key) = 0;

    // What the last refresh read, and whether the unit must be refreshed whatever the watched
    // values do (new, cleared, or its own state changed since): the refresh after an input
    // redraws only the units for which either says so. The registry keeps a copy of both per
    // unit; MarkStale also lists the unit in g_StaleMarks, which is how that copy learns of it.
    bool stale = true;
    WatchSet watched;
    void MarkStale();

    unsigned short unit = 0;

    // The input callback drains one report: every control that changed in it is reported.
    void BeginReport() {
        draining = true;
        reportedOnce = 0;
    }
    void EndReport() { draining = false; }

  protected:
    QD_Abstract_Module() = default;
    QD_Abstract_Module(const QD_Abstract_Module&) = default;
    QD_Abstract_Module& operator=(const QD_Abstract_Module&) = default;
    ~QD_Abstract_Module() = default;

    // Binds a switch function through the binding table; -1 targets become this unit / QD-RSX.
    void BindSwitch(Fly_subsystem& binding, E_UnitType function, int targetUnit, int targetKind);
    // Binds a value function into *place (null when the function is not a value).
    static void BindAvionic(Avionic** place, E_UnitType function);

    // For controls read from the record alone (encoder steps, held rockers), which no previous
    // state marks as seen: true the first time slot is asked about while a report is drained,
    // and always outside a drain.
    bool FirstInReport(int slot) {
        if (!draining) return true;
        const uint32_t bit = uint32_t{1} << slot;
        if ((reportedOnce & bit) != 0) return false;
        reportedOnce |= bit;
        return true;
    }

  private:
    bool draining = false;
    uint32_t reportedOnce = 0;
};

// Base of the three radio/avionics models; also what a module-function binding on another unit
// drives (AvionicsUnit), so the registry can hand these out to the simulator link directly.
class QD_Abstract_AvionicDevice : public QD_Abstract_Module, public AvionicsUnit {
  public:
    static constexpr int kPositions = 8;

    // The function of the value now shown, 0 if none.
    E_UnitType GetAvionicType() override = 0;
    // Makes function the value shown and tuned.
    void AssignAvionic(E_UnitType function) override = 0;
    void SetDisplay() override = 0;

    // Pages read from "Function1" to "Function8"; NADA is an empty page.
    E_UnitType functions[kPositions] = {};
    // Index of the page now shown.
    int current = 0;

  protected:
    QD_Abstract_AvionicDevice() = default;
    QD_Abstract_AvionicDevice(const QD_Abstract_AvionicDevice&) = default;
    QD_Abstract_AvionicDevice& operator=(const QD_Abstract_AvionicDevice&) = default;
    ~QD_Abstract_AvionicDevice() = default;
};

// Held by the input callback while it looks a module up and runs its GetButton (device library's
// thread), and on the main thread while module arrays move or a Register stores the previous
// control state: those are the only places the two threads meet on a module. Held briefly only.
std::mutex& DRAV_InputStateMutex();
// Runs store under that lock: previous control state set on the main thread (Register, Clear)
// while input may be arriving.
template <class Store> void DRAV_StoreInputState(Store&& store) {
    std::lock_guard<std::mutex> lock(DRAV_InputStateMutex());
    store();
}

// ---- Per-operation debug log switches (section "DEBUG") --------------------------------------

inline bool DRAV_DebugRegister() {
    return g_DRAV_DebugRegisterFunction != 0;
}
inline bool DRAV_DebugGetButton() {
    return g_DRAV_DebugGetButtonFunction != 0;
}
inline bool DRAV_DebugHandleInput() {
    return g_DRAV_DebugHandleInputFunction != 0;
}
inline bool DRAV_DebugSetDisplay() {
    return g_DRAV_DebugSetDisplayFunction != 0;
}

// ---- Change-only output helpers --------------------------------------------------------------

// True when now differs from the kept copy; the copy then takes now (bounded, terminated).
bool DRAV_TextChanged(char* kept, size_t kept_size, const char* now);
template <size_t N> inline bool DRAV_TextChanged(char (&kept)[N], const char* now) {
    return DRAV_TextChanged(kept, N, now);
}
// prefix + text into out (bounded, terminated): snprintf("%s%s") without its cost, for the
// refresh pass that runs over every unit after every input.
void DRAV_JoinText(char* out, size_t out_size, const char* prefix, const char* text);
// Fills out with width blanks (clipped to out_size - 1) and terminates it.
void DRAV_BlankText(char* out, size_t out_size, int width);

// ---- Bound bindings -------------------------------------------------------------------------

// Bit i set: entry i of a binding array has a function. Modules with long, mostly unassigned
// arrays keep this when functions are assigned, so that the refresh after every input reads and
// scans only the bound entries instead of touching every one.
template <size_t N> uint64_t DRAV_BoundMask(const Fly_subsystem (&bindings)[N]) {
    static_assert(N <= 64, "one bit per entry");
    uint64_t mask = 0;
    for (size_t i = 0; i < N; ++i)
        if (bindings[i].GetUnitType() != NADA) mask |= uint64_t{1} << i;
    return mask;
}
// GetFly of every bound entry.
void DRAV_RefreshBound(Fly_subsystem* bindings, uint64_t bound);
// The bound entries that are on, as bits.
uint64_t DRAV_BoundOn(const Fly_subsystem* bindings, uint64_t bound);

// ---- Input hand-over ring --------------------------------------------------------------------

// Carries control events from the device library's thread (the single producer) to the
// simulator's main thread (the single consumer). Fixed size, no allocation, no lock: an entry
// is complete before the pending count is raised.
class QD_Last_Input {
  public:
    static constexpr int kCapacity = 128;

    struct Entry {
        int32_t type;   // tagQDDevHWType
        int32_t unit;   // unit index
        int32_t button; // control number
        int32_t extra;  // value
    };
    // Called for every drained entry, in arrival order.
    using Handler = void (*)(const Entry& entry, void* context);

    // Appends one entry; false (and the entry is dropped) while the ring is full, so a burst of
    // input can never overwrite events not yet handled.
    bool SetQueue(int type, int unit, int button, int extra);
    // Hands every pending entry to handler; true when at least one was taken.
    bool Process(Handler handler, void* context);
    // Entries waiting to be drained.
    int Pending() const { return count.load(std::memory_order_acquire); }
    // Entries refused because the ring was full (since construction).
    uint32_t Dropped() const { return dropped.load(std::memory_order_relaxed); }

  private:
    Entry entries[kCapacity] = {};
    int readIndex = 0;
    int writeIndex = 0;
    std::atomic<int> count{0};
    std::atomic<uint32_t> dropped{0};
};
