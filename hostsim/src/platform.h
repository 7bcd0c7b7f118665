// What differs between the systems the stand-in runs on: loading libraries, finding itself on
// disk, the host library's links in a root folder, paths, threads and CPU time. One
// implementation per system (platform_posix.cpp, platform_win.cpp).
#pragma once

#include <cstdint>
#include <string>

namespace hostsim::platform {

// The simulator's directory separator ("/" or "\\"), as XPLMGetDirectorySeparator reports it.
const char* Separator();
// True for either separator the system accepts in paths.
bool IsSeparator(char c);
// A path the system's calls accept: on Windows a Unix-style absolute path ("/tmp/x") becomes
// wine's "Z:\tmp\x" and slashes turn into backslashes; elsewhere unchanged.
std::string NativePath(const std::string& path);
// The absolute form of an existing folder (links resolved where the system has them); the path
// itself when that fails.
std::string AbsolutePath(const std::string& path);

// Dynamic loading. OpenLibrary fails a library with an unresolved import, as the simulator does,
// and explains why in *error ("dlerror: ...").
void* OpenLibrary(const std::string& path, std::string* error);
void* LibrarySymbol(void* library, const char* name);
void CloseLibrary(void* library);

// This library's file on disk, and one of its own exports by name (null when absent).
std::string SelfPath();
void* SelfSymbol(const char* name);
// Makes <plugins>/XPLM_64.<ext> (and what else the system's plug-ins load by path) name this
// very library, so that a plug-in loading it gets this instance.
bool LinkSelf(const std::string& plugins, std::string* error);

// The symbol name (when known) and "file+0xoffset" of a code address; false when no loaded
// module holds it.
bool DescribeAddress(const void* address, std::string* symbol, std::string* where);

// Threads of this process right now that its own code started (on Windows not those the
// system keeps for its services); 0 when they cannot be counted.
int CountThreads();
// CPU time the calling thread has used, in nanoseconds.
int64_t ThreadCpuNs();

} // namespace hostsim::platform
