#include "module_base.h"

#include <bit>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "core/hot_path.h"
#include "core/log.h"

#include "simlink/avionic.h"
#include "simlink/simlink_table.h"

std::mutex& DRAV_InputStateMutex() {
    static std::mutex mutex;
    return mutex;
}

StaleMarks g_StaleMarks;

DRAV_HOT void QD_Abstract_Module::MarkStale() {
    stale = true;
    StaleMarks& marks = g_StaleMarks;
    if (marks.count < StaleMarks::kCapacity)
        marks.units[marks.count++] = this;
    else
        marks.overflow = true;
}

void QD_Abstract_Module::Register(unsigned short unit_index) {
    unit = unit_index;
    MarkStale();
    Clear();
}

void QD_Abstract_Module::BindSwitch(Fly_subsystem& binding, E_UnitType function, int targetUnit,
                                    int targetKind) {
    // Start from an unbound switch: a function the table does not bind must not leave the
    // previous assignment behind.
    binding = Fly_subsystem();
    of_SimLink(function, nullptr, binding, targetUnit < 0 ? unit : targetUnit,
               targetKind < 0 ? TARGET_QDRSX : targetKind);
}

void QD_Abstract_Module::BindAvionic(Avionic** place, E_UnitType function) {
    // The binding table wants a switch binding to fill as well; a value binding leaves it unused.
    Fly_subsystem scratch;
    if (place == nullptr) return;
    *place = nullptr; // a switch function leaves the place empty rather than keeping the old value
    of_SimLink(function, place, scratch, -1, TARGET_QDRSX);
}

DRAV_HOT bool DRAV_TextChanged(char* kept, size_t kept_size, const char* now) {
    if (kept_size == 0) return false;
    if (now == nullptr) now = "";
    // Compare what would be kept, so an over-long text is not resent on every pass. One loop
    // over a few characters: every pass checks every display's text.
    const size_t limit = kept_size - 1;
    size_t i = 0;
    while (i < limit && now[i] != '\0' && kept[i] == now[i])
        ++i;
    if ((i == limit || now[i] == '\0') && kept[i] == '\0') return false;
    for (; i < limit && now[i] != '\0'; ++i)
        kept[i] = now[i];
    kept[i] = '\0';
    return true;
}

DRAV_HOT void DRAV_JoinText(char* out, size_t out_size, const char* prefix, const char* text) {
    if (out_size == 0) return;
    size_t n = 0;
    for (const char* part : {prefix, text})
        for (const char* c = part; c != nullptr && *c != '\0' && n < out_size - 1; ++c)
            out[n++] = *c;
    out[n] = '\0';
}

void DRAV_BlankText(char* out, size_t out_size, int width) {
    if (out_size == 0) return;
    size_t n = width < 0 ? 0 : static_cast<size_t>(width);
    if (n > out_size - 1) n = out_size - 1;
    std::memset(out, ' ', n);
    out[n] = '\0';
}

DRAV_HOT void DRAV_RefreshBound(Fly_subsystem* bindings, uint64_t bound) {
    for (; bound != 0; bound &= bound - 1)
        bindings[std::countr_zero(bound)].GetFly();
}

DRAV_HOT uint64_t DRAV_BoundOn(const Fly_subsystem* bindings, uint64_t bound) {
    uint64_t on = 0;
    for (; bound != 0; bound &= bound - 1) {
        const int i = std::countr_zero(bound);
        if (bindings[i].GetOnOff() == 1) on |= uint64_t{1} << i;
    }
    return on;
}

bool QD_Last_Input::SetQueue(int type, int unit, int button, int extra) {
    // Only this (producer) side raises the count, so a count below capacity stays below it
    // until our own increment.
    if (count.load(std::memory_order_acquire) >= kCapacity) {
        dropped.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    entries[writeIndex] = Entry{type, unit, button, extra};
    writeIndex = (writeIndex + 1) % kCapacity;
    count.fetch_add(1, std::memory_order_release);
    return true;
}

DRAV_HOT bool QD_Last_Input::Process(Handler handler, void* context) {
    bool handled = false;
    // The slot is copied out before the count drops: only then may the producer reuse it.
    while (count.load(std::memory_order_acquire) > 0) {
        const Entry entry = entries[readIndex];
        readIndex = (readIndex + 1) % kCapacity;
        count.fetch_sub(1, std::memory_order_release);
        if (handler != nullptr) handler(entry, context);
        handled = true;
    }
    return handled;
}
