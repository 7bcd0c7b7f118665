// Where the plug-in's files are, built from the simulator's system path and separator.
#pragma once

#include <cstddef>

// The host's directory separator (the first character of what the simulator says; '/' when
// it says nothing).
char DRAV_PathSeparator();

// Builds "<system path>Resources/plugins/DRAV/<file>" into out. A path that does not fit is
// refused: out is left empty, the simulator's log says so (once) and the result is false.
bool DRAV_BuildPluginPath(const char* file, char* out, size_t out_size);

// Builds "<system path>Resources/plugins/<host plug-in library>" into out.
void DRAV_HostLibraryPath(char* out, size_t out_size);
