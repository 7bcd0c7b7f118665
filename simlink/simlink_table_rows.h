// Row layouts of the function binding table, shared by the files that hold the rows.
#pragma once

#include "catalogue.h"

namespace simlink_table {

// Which column of the table a row belongs to: both, the default only, or x737 support only.
enum Column { kBoth, kDefault, kX737 };

// Dataref switch compare modes and data types, as the switches take them.
enum { kEqual = 0, kGreater = 1, kAtLeast = 2 };
enum { kInt = 0, kFloat = 1, kIntArray = 2, kFloatArray = 3 };

// Value binding: label, display format and dataref of the function's own Avionic, with the
// optional mode switch (on 1, off 0, equal, int). A non-null x737 dataref gives the function an
// x737 form, with its own (possibly absent) mode switch.
struct ValueRow {
    E_UnitType function;
    const char* label;
    int format;
    const char* dataRef;
    const char* modeSwitch;
    const char* x737DataRef;
    const char* x737ModeSwitch;
};

// Single dataref switch: Register_D (integer values) or Register_DF (float values).
enum Form { kFormD, kFormDF };
struct SwitchRow {
    E_UnitType function;
    Column column;
    Form form;
    float off;
    float on;
    int compare;
    const char* dataRef;
    int type;
    int offset;
    int count;
};

// A numbered series of single-element switches on one array dataref: function first + i reads
// and writes element i (i = 0 .. number - 1).
struct SeriesRow {
    E_UnitType first;
    int number;
    float off;
    float on;
    const char* dataRef;
    int type;
};

// An engine (or battery) family: ENG_1 to ENG_n on element n - 1 each, and the ALL form on
// elements 0 to allCount - 1. engines is 0 when only the ALL form is bound.
struct FamilyRow {
    E_UnitType engine1;
    int engines;
    E_UnitType all;
    int allCount;
    float off;
    float on;
    const char* dataRef;
    int type;
};

// Command bindings.
enum CommandForm { kFormC, kFormC2, kFormCD };
enum { kKey = 0, kButton = 1 };
struct CommandRow {
    E_UnitType function;
    Column column;
    CommandForm form;
    int commandType;
    int identifier0; // the single command, or the command of state 0
    int identifier1; // the command of state 1 (pairs only)
    int momentary;
};

template <typename Row, int N> constexpr int Count(const Row (&)[N]) {
    return N;
}

extern const ValueRow kValueRows[];
extern const int kValueRowCount;
extern const SwitchRow kAutopilotRows[];
extern const int kAutopilotRowCount;
extern const SwitchRow kPlainRows[];
extern const int kPlainRowCount;
extern const SwitchRow kSelectorRows[];
extern const int kSelectorRowCount;
extern const SeriesRow kSeriesRows[];
extern const int kSeriesRowCount;
extern const FamilyRow kFamilyRows[];
extern const int kFamilyRowCount;
extern const CommandRow kCommandRows[];
extern const int kCommandRowCount;

// Does the row's column apply to the current x737 choice?
constexpr bool Applies(Column column, bool x737) {
    return column == kBoth || (column == kX737) == x737;
}

} // namespace simlink_table
