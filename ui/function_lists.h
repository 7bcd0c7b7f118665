// The lists of functions the Assign Functions dialog offers for each kind of control. A list is
// one text: every item followed by ";", the first item "No Selection".
#pragma once

#include <cstddef>

// Units whose per-unit items the button list can carry: the dialog never lists more units.
inline constexpr int kMaxListUnits = 60;

// Capacity that holds the longest list (the button list with x737 items and the per-unit items
// of kMaxListUnits avionics units), terminator included. Checked against the tables at compile
// time in function_lists.cpp.
inline constexpr size_t kFunctionListSize = 48 * 1024;

// Appends item and ";" when both fit with the terminator; a list never ends cut inside an item.
// Returns the list's length afterwards.
int AppendListSel(char* list, size_t size, const char* item);

// Each clears list, builds its items and returns the length of the text.
// With the per-unit items of the attached units (defined with the dialog: it asks the registry).
int GetButtonFunctionList(char* list, size_t size);
int GetToggleFunctionList(char* list, size_t size);
int GetAvionicFunctionList(int device_type, char* list, size_t size);
int GetThrottleFunctionList(char* list, size_t size);
int GetANPFunctionList(char* list, size_t size);

// The per-unit part of the button list, given the unit counts (the plain builder asks the registry).
int GetButtonFunctionListFor(char* list, size_t size, int rsx_units, int avx_units, int avy_units);
