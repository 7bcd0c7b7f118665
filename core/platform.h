// What differs between the systems the plug-in runs on: files, dynamic loading and the
// debugger output. One implementation per system (platform_posix.cpp, platform_win.cpp);
// nothing else in the plug-in calls the system for these.
#pragma once

#include <cstddef>
#include <cstdio>

// Opens a file in binary mode (no CRLF translation, no stop at 0x1A); mode is "r", "w" or "a".
FILE* DRAV_OpenFile(const char* path, const char* mode);
// Flushes f and asks the system to put it on disk; false on failure.
bool DRAV_SyncFile(FILE* f);
// Replaces target by tmp atomically (the old or the new file survives a crash, never neither),
// then makes the replacement durable; false on failure (tmp is then left for the caller).
bool DRAV_ReplaceFile(const char* tmp, const char* target);
// Dynamic loading. Null when the library or symbol is missing; a failure the system explains
// prints "dlerror: <text>" to standard output (the simulator's console).
void* XPLoadDLL(const char* path);
void* XPFindSymbol(void* library, const char* name);
void XPUnloadDLL(void* library);
// A function the host process already has loaded (OpenGL entry points): dlsym(RTLD_DEFAULT)
// on POSIX; on Windows opengl32.dll's export, else wglGetProcAddress.
void* DRAV_FindProcessSymbol(const char* name);
// File name of the host's plug-in library under Resources/plugins ("XPLM_64.so", "XPLM_64.dll").
const char* DRAV_HostLibraryName();
// Sends one log line to the system debugger (Windows); nothing elsewhere.
void DRAV_DebuggerOutput(const char* line);
