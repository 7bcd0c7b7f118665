#include "sim_watch.h"

#include <cstring>

#include "XPLMProcessing.h"
#include "core/hot_path.h"

namespace {

enum Kind : uint8_t {
    KIND_INT,
    KIND_FLOAT,
    KIND_INTS,
    KIND_FLOATS,
    KIND_MEM_INT,
    KIND_MEM_ATOMIC,
    KIND_MEM_FLOAT,
    KIND_COMPUTED
};

constexpr int kMaxWatchedArray = 16;
constexpr int kArraySlots = 64;
// The hash grows with the table, a power of two at most half full: a small table (an aircraft's
// few dozen values) keeps its slots in a few cache lines, which the refresh after an input probes
// once per value its unit reads.
constexpr int kHashSlots = 2 * WatchSet::kEntries;
constexpr int kMinHashSlots = 128;

// One watched value: what to read and the value last read. Arrays keep theirs in a slot of
// arrayValues. Sixteen bytes: the poll after every input walks these in order.
struct Entry {
    const void* source; // dataref handle, variable address or function
    int16_t arg;        // array offset or the function's argument
    uint8_t kind;
    uint8_t count;  // array elements
    uint32_t value; // a single value's bits; an array's slot
};
static_assert(sizeof(Entry) == 16);

struct Table {
    Entry entries[WatchSet::kEntries];
    uint32_t arrayValues[kArraySlots][kMaxWatchedArray];
    uint16_t hash[kHashSlots]; // entry index + 1; 0 is free; the first hashSlots are in use
    int hashSlots = kMinHashSlots;
    int count = 0;
    int arrays = 0;
    WatchSet changed;
};

Table g_table;
WatchSet* g_recording = nullptr;

// The see-through datarefs, an open-addressed set (a read is looked up in it while recording).
constexpr int kThroughSlots = 128;
const void* g_through[kThroughSlots];
int g_throughCount = 0;

size_t ThroughSlot(const void* ref) {
    return static_cast<size_t>((reinterpret_cast<uintptr_t>(ref) * 0x9E3779B97F4A7C15ull) >> 57);
}

bool IsThrough(const void* ref) {
    if (g_throughCount == 0) return false;
    for (size_t i = ThroughSlot(ref);; i = (i + 1) & (kThroughSlots - 1)) {
        if (g_through[i] == nullptr) return false;
        if (g_through[i] == ref) return true;
    }
}

uint32_t Bits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

uint32_t Bits(int i) {
    return static_cast<uint32_t>(i);
}

size_t HashOf(const void* source, int16_t arg, uint8_t kind, uint8_t count) {
    uint64_t h = reinterpret_cast<uintptr_t>(source);
    h ^= (static_cast<uint64_t>(static_cast<uint16_t>(arg)) << 16) ^ (uint64_t{kind} << 8) ^ count;
    h *= 0x9E3779B97F4A7C15ull;
    return static_cast<size_t>(h >> 40) & static_cast<size_t>(g_table.hashSlots - 1);
}

size_t NextSlot(size_t i) {
    return (i + 1) & static_cast<size_t>(g_table.hashSlots - 1);
}

// Doubles the hash once it is half full and puts every entry in again.
void GrowHashWhenHalfFull() {
    if (g_table.count * 2 <= g_table.hashSlots || g_table.hashSlots == kHashSlots) return;
    g_table.hashSlots *= 2;
    std::memset(g_table.hash, 0, sizeof(uint16_t) * static_cast<size_t>(g_table.hashSlots));
    for (int id = 0; id < g_table.count; ++id) {
        const Entry& e = g_table.entries[id];
        size_t i = HashOf(e.source, e.arg, e.kind, e.count);
        while (g_table.hash[i] != 0)
            i = NextSlot(i);
        g_table.hash[i] = static_cast<uint16_t>(id + 1);
    }
}

// The entry for this value, added when new (*added set); -1 when the table (or the array pool)
// is full.
DRAV_HOT int Find(const void* source, int16_t arg, uint8_t kind, uint8_t count, bool* added) {
    *added = false;
    for (size_t i = HashOf(source, arg, kind, count);; i = NextSlot(i)) {
        const int id = g_table.hash[i] - 1;
        if (id < 0) {
            const bool array = kind == KIND_INTS || kind == KIND_FLOATS;
            if (g_table.count == WatchSet::kEntries || (array && g_table.arrays == kArraySlots)) return -1;
            const int next = g_table.count++;
            g_table.entries[next] =
                Entry{source, arg, kind, count, array ? static_cast<uint32_t>(g_table.arrays++) : 0u};
            g_table.hash[i] = static_cast<uint16_t>(next + 1);
            GrowHashWhenHalfFull();
            *added = true;
            return next;
        }
        const Entry& e = g_table.entries[id];
        if (e.source == source && e.arg == arg && e.kind == kind && e.count == count) return id;
    }
}

// Notes a single value for the unit being recorded. An entry already known keeps the value it
// holds (last polled, or first read in this pass): should this read differ, the next poll finds
// the change for every unit that reads the value, not only for this one.
DRAV_HOT void Note(const void* source, int arg, uint8_t kind, uint32_t value) {
    if (g_recording == nullptr || source == nullptr) return;
    if ((kind == KIND_INT || kind == KIND_FLOAT) && IsThrough(source)) return;
    bool added = false;
    const int id =
        arg == static_cast<int16_t>(arg) ? Find(source, static_cast<int16_t>(arg), kind, 1, &added) : -1;
    if (id < 0) {
        g_recording->always = true;
        return;
    }
    if (added) g_table.entries[id].value = value;
    g_recording->Add(id);
}

template <class T>
DRAV_HOT void NoteArray(const void* source, int offset, uint8_t kind, const T* values, int count) {
    if (g_recording == nullptr || source == nullptr || count <= 0) return;
    bool added = false;
    const int id = count <= kMaxWatchedArray && offset == static_cast<int16_t>(offset)
                       ? Find(source, static_cast<int16_t>(offset), kind, static_cast<uint8_t>(count), &added)
                       : -1;
    if (id < 0) {
        g_recording->always = true;
        return;
    }
    if (added)
        std::memcpy(g_table.arrayValues[g_table.entries[id].value], values,
                    sizeof(T) * static_cast<size_t>(count));
    g_recording->Add(id);
}

// Reads an entry again; true when it changed (the entry then holds the new value).
bool ReadAgain(Entry& e) {
    uint32_t now = 0;
    switch (e.kind) {
    case KIND_INT:
        now = Bits(XPLMGetDatai(static_cast<XPLMDataRef>(const_cast<void*>(e.source))));
        break;
    case KIND_FLOAT:
        now = Bits(XPLMGetDataf(static_cast<XPLMDataRef>(const_cast<void*>(e.source))));
        break;
    case KIND_INTS:
    case KIND_FLOATS: {
        uint32_t values[kMaxWatchedArray] = {};
        const auto ref = static_cast<XPLMDataRef>(const_cast<void*>(e.source));
        if (e.kind == KIND_INTS)
            XPLMGetDatavi(ref, reinterpret_cast<int*>(values), e.arg, e.count);
        else
            XPLMGetDatavf(ref, reinterpret_cast<float*>(values), e.arg, e.count);
        uint32_t* kept = g_table.arrayValues[e.value];
        const size_t bytes = sizeof(uint32_t) * e.count;
        if (std::memcmp(kept, values, bytes) == 0) return false;
        std::memcpy(kept, values, bytes);
        return true;
    }
    case KIND_MEM_INT:
        now = Bits(*static_cast<const int*>(e.source));
        break;
    case KIND_MEM_ATOMIC:
        now = Bits(static_cast<const std::atomic<int>*>(e.source)->load(std::memory_order_relaxed));
        break;
    case KIND_MEM_FLOAT:
        now = Bits(*static_cast<const float*>(e.source));
        break;
    case KIND_COMPUTED:
        now = Bits(reinterpret_cast<WatchedFunction>(const_cast<void*>(e.source))(e.arg));
        break;
    default:
        return false;
    }
    if (now == e.value) return false;
    e.value = now;
    return true;
}

} // namespace

DRAV_HOT int DRAV_ReadInt(XPLMDataRef ref) {
    const int v = XPLMGetDatai(ref);
    Note(ref, 0, KIND_INT, Bits(v));
    return v;
}

DRAV_HOT float DRAV_ReadFloat(XPLMDataRef ref) {
    const float v = XPLMGetDataf(ref);
    Note(ref, 0, KIND_FLOAT, Bits(v));
    return v;
}

DRAV_HOT int DRAV_ReadInts(XPLMDataRef ref, int* out, int offset, int count) {
    const int n = XPLMGetDatavi(ref, out, offset, count);
    if (out != nullptr) NoteArray(ref, offset, KIND_INTS, out, count);
    return n;
}

DRAV_HOT int DRAV_ReadFloats(XPLMDataRef ref, float* out, int offset, int count) {
    const int n = XPLMGetDatavf(ref, out, offset, count);
    if (out != nullptr) NoteArray(ref, offset, KIND_FLOATS, out, count);
    return n;
}

DRAV_HOT int DRAV_ReadWatched(const int& value) {
    const int v = value;
    Note(&value, 0, KIND_MEM_INT, Bits(v));
    return v;
}

DRAV_HOT int DRAV_ReadWatched(const std::atomic<int>& value) {
    const int v = value.load(std::memory_order_relaxed);
    Note(&value, 0, KIND_MEM_ATOMIC, Bits(v));
    return v;
}

DRAV_HOT float DRAV_ReadWatched(const float& value) {
    const float v = value;
    Note(&value, 0, KIND_MEM_FLOAT, Bits(v));
    return v;
}

DRAV_HOT void DRAV_NoteComputed(WatchedFunction fn, int arg, int value) {
    Note(reinterpret_cast<const void*>(fn), arg, KIND_COMPUTED, Bits(value));
}

void DRAV_WatchThrough(XPLMDataRef ref) {
    // Half full at most, so that a probe always ends at a free slot.
    if (ref == nullptr || g_throughCount >= kThroughSlots / 2 || IsThrough(ref)) return;
    size_t i = ThroughSlot(ref);
    while (g_through[i] != nullptr)
        i = (i + 1) & (kThroughSlots - 1);
    g_through[i] = ref;
    ++g_throughCount;
}

void DRAV_ForgetWatchThrough() {
    for (const void*& slot : g_through)
        slot = nullptr;
    g_throughCount = 0;
}

float DRAV_ReadElapsedTime() {
    DRAV_RefreshAlways();
    return XPLMGetElapsedTime();
}

void DRAV_RefreshAlways() {
    if (g_recording != nullptr) g_recording->always = true;
}

DRAV_HOT WatchRecording::WatchRecording(WatchSet& set) : previous(g_recording) {
    set.Clear();
    g_recording = &set;
}

DRAV_HOT WatchRecording::~WatchRecording() {
    g_recording = previous;
}

WatchPause::WatchPause() : previous(g_recording) {
    g_recording = nullptr;
}

WatchPause::~WatchPause() {
    g_recording = previous;
}

void DRAV_WatchReset() {
    std::memset(g_table.hash, 0, sizeof(uint16_t) * static_cast<size_t>(g_table.hashSlots));
    g_table.hashSlots = kMinHashSlots;
    g_table.count = 0;
    g_table.arrays = 0;
}

DRAV_HOT const WatchSet& DRAV_WatchPoll() {
    // Computed values read their inputs directly; nothing read here is noted.
    WatchPause pause;
    g_table.changed.Clear();
    for (int id = 0; id < g_table.count; ++id)
        if (ReadAgain(g_table.entries[id])) g_table.changed.Add(id);
    return g_table.changed;
}

int DRAV_WatchCount() {
    return g_table.count;
}
