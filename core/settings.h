// DRAV.INI: the plug-in's only persistent state. Every read and write opens and
// closes the file; only the simulator's main thread calls these.
#pragma once

#include <cstddef>
#include <cstdio>

// Name of the settings file in the plug-in's folder.
inline constexpr const char* kDravIniFile = "DRAV.INI";

// Reads one line of at most size - 1 characters; CR, LF, CRLF and LFCR each end a line.
// Returns buf, or nullptr at end of file when nothing was read.
char* QDXP_fgets_multiplatform(char* buf, int size, FILE* file);

// Copies the value of key in [section] (or def) into out, truncated to out_size.
void XP_ReadIniPref(const char* file, const char* section, const char* key, char* out, size_t out_size,
                    const char* def);

template <size_t N>
inline void XP_ReadIniPref(const char* file, const char* section, const char* key, char (&out)[N],
                           const char* def) {
    XP_ReadIniPref(file, section, key, out, N, def);
}

// Sets key in [section] to value, creating the file, section or key as needed; an empty
// value removes the key. The file is replaced atomically. False, with a line in the
// simulator's log, when the file could not be written (it is then unchanged).
bool XP_WriteIniPref(const char* file, const char* section, const char* key, const char* value);

// Leading integer / decimal number of a setting's text; 0 when it does not begin with one.
int DRAV_ParseIniInt(const char* text);
float DRAV_ParseIniFloat(const char* text);

// Reads the "DEBUG" section into the globals of globals.h ("CONFIG": profile.h).
void DRAV_ReadDebugSettings();
