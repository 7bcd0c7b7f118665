// What the refresh after an input reads again.
//
// Every value a unit's refresh shows, read from the simulator or from the plug-in's own state,
// goes through the readers below. While a unit is refreshed (a WatchRecording alive) they note
// what it read in the unit's WatchSet and keep the value read in one compact table. The refresh
// after an input then reads each noted value once (DRAV_WatchPoll) and redraws only the units
// that read one that changed, that handled the input, or that depend on something no reader
// sees. Outside a recording the readers only read.
//
// Main thread only.
#pragma once

#include <atomic>
#include <cstdint>

#include "XPLMDataAccess.h"

// The watched values a unit's last refresh read, as bits of table entries.
class WatchSet {
  public:
    static constexpr int kEntries = 512;

    void Clear() {
        summary = 0;
        for (uint64_t& w : words)
            w = 0;
        always = false;
    }
    void Add(int id) {
        summary |= uint64_t{1} << (id & 63);
        words[id >> 6] |= uint64_t{1} << (id & 63);
    }
    bool Intersects(const WatchSet& other) const {
        // The summary answers most questions without the words (the input frame asks it of
        // every unit).
        if ((summary & other.summary) == 0) return false;
        uint64_t any = 0;
        for (int i = 0; i < kWords; ++i)
            any |= words[i] & other.words[i];
        return any != 0;
    }
    bool Empty() const { return summary == 0; }
    // Bit (id % 64) of every id added: two sets whose summaries share no bit do not intersect.
    uint64_t Summary() const { return summary; }

  private:
    static constexpr int kWords = kEntries / 64;
    uint64_t summary = 0; // bit (id % 64) of every id added

  public:
    // The refresh read something no reader watches (time, another unit's state, a table that
    // was full): redraw after every input.
    bool always = false;

  private:
    uint64_t words[kWords] = {};
};

// ---- Readers ---------------------------------------------------------------------------------

int DRAV_ReadInt(XPLMDataRef ref);
float DRAV_ReadFloat(XPLMDataRef ref);
// count elements from offset into out; returns what XPLMGetDatavi/vf return. Slices of at most
// 16 elements starting below 32768 are watched; others mark the reader to be redrawn always.
int DRAV_ReadInts(XPLMDataRef ref, int* out, int offset, int count);
int DRAV_ReadFloats(XPLMDataRef ref, float* out, int offset, int count);
// A plug-in variable a refresh shows; atomics are read relaxed.
int DRAV_ReadWatched(const int& value);
int DRAV_ReadWatched(const std::atomic<int>& value);
float DRAV_ReadWatched(const float& value);
// A value computed from several others (a yes/no such as "the avionics have power"): fn(arg)
// is called again by the poll. The caller passes what it computed now. arg fits 16 bits (else
// the reader is redrawn always).
using WatchedFunction = int (*)(int arg);
void DRAV_NoteComputed(WatchedFunction fn, int arg, int value);
// The plug-in's own datarefs whose getters read everything through the readers: reading one
// notes what its getter read instead of the dataref itself, so the poll reads those inputs once
// however many lamps show values made from them. At most 64; forgotten all together.
void DRAV_WatchThrough(XPLMDataRef ref);
void DRAV_ForgetWatchThrough();
// Elapsed simulator time; whoever shows something depending on it is redrawn after every input.
float DRAV_ReadElapsedTime();
// The unit being refreshed depends on something no reader sees (another unit's state).
void DRAV_RefreshAlways();

// ---- Recording and polling -------------------------------------------------------------------

// While alive, the readers note into set (cleared first). Recordings nest: an inner one
// (a unit refreshed from another's refresh) notes into its own set only.
class WatchRecording {
  public:
    explicit WatchRecording(WatchSet& set);
    ~WatchRecording();
    WatchRecording(const WatchRecording&) = delete;
    WatchRecording& operator=(const WatchRecording&) = delete;

  private:
    WatchSet* previous;
};

// While alive, the readers do not note (a computed value reads its inputs under it).
class WatchPause {
  public:
    WatchPause();
    ~WatchPause();
    WatchPause(const WatchPause&) = delete;
    WatchPause& operator=(const WatchPause&) = delete;

  private:
    WatchSet* previous;
};

// Forgets every watched value: a pass that refreshes every unit records them all again, so the
// table holds only what is shown now. Every WatchSet recorded before is void after it.
void DRAV_WatchReset();
// Reads every watched value once; the entries whose value differs from the one last read.
const WatchSet& DRAV_WatchPoll();
// Entries in the table (for tests and benchmarks).
int DRAV_WatchCount();
