// The stand-in's system calls on Windows (and under wine, where "/" is drive Z:).
#include "platform.h"

#include "xplm_sdk.h"

#include <windows.h>

#include <tlhelp32.h>

#include <cstdio>
#include <cstring>

namespace hostsim::platform {

namespace {

// The module holding the stand-in: XPLM_64.dll.
HMODULE SelfModule() {
    HMODULE self = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCSTR>(&XPLMFindSymbol), &self))
        return nullptr;
    return self;
}

std::string LastErrorText() {
    const DWORD code = GetLastError();
    char text[256] = {};
    if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                        sizeof text, nullptr))
        std::snprintf(text, sizeof text, "error %lu", static_cast<unsigned long>(code));
    text[std::strcspn(text, "\r\n")] = '\0';
    return text;
}

std::string ModuleFile(HMODULE module) {
    char path[MAX_PATH * 2] = {};
    const DWORD n = GetModuleFileNameA(module, path, sizeof path);
    return (n > 0 && n < sizeof path) ? std::string(path, n) : std::string();
}

} // namespace

const char* Separator() {
    return "\\";
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

std::string NativePath(const std::string& path) {
    std::string out = path;
    // wine maps the Unix root to drive Z:, so a Linux process can name the folder too.
    if (out.size() >= 1 && out[0] == '/' && (out.size() == 1 || out[1] != '/')) out = "Z:" + out;
    for (char& c : out) {
        if (c == '/') c = '\\';
    }
    return out;
}

std::string AbsolutePath(const std::string& path) {
    char full[MAX_PATH * 2];
    const DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    return (n > 0 && n < sizeof full) ? std::string(full, n) : path;
}

void* OpenLibrary(const std::string& path, std::string* error) {
    // No message box for a missing import: the load just fails, as in the simulator's log.
    const UINT old_mode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryA(path.c_str());
    if (module == nullptr && error != nullptr) *error = "dlerror: " + LastErrorText();
    SetErrorMode(old_mode);
    return reinterpret_cast<void*>(module);
}

void* LibrarySymbol(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void CloseLibrary(void* library) {
    FreeLibrary(static_cast<HMODULE>(library));
}

std::string SelfPath() {
    HMODULE self = SelfModule();
    return self != nullptr ? ModuleFile(self) : std::string();
}

void* SelfSymbol(const char* name) {
    HMODULE self = SelfModule();
    return self != nullptr ? reinterpret_cast<void*>(GetProcAddress(self, name)) : nullptr;
}

bool LinkSelf(const std::string& plugins, std::string* error) {
    const std::string target = SelfPath();
    if (target.empty()) {
        if (error != nullptr) *error = "cannot find the stand-in library on disk";
        return false;
    }
    // The plug-in's late binding loads this path: a hard link is the same file, so the loader
    // hands back the module already loaded. Widgets come through XPWidgets_64.dll's imports by
    // name and need no file here.
    const std::string link = plugins + "\\XPLM_64.dll";
    DeleteFileA(link.c_str());
    if (CreateHardLinkA(link.c_str(), target.c_str(), nullptr)) return true;
    // Another volume: a copy still loads, but real Windows would then load a second instance
    // with a state of its own (wine may do the same).
    if (CopyFileA(target.c_str(), link.c_str(), FALSE)) return true;
    if (error != nullptr) *error = "cannot link " + link + ": " + LastErrorText();
    return false;
}

bool DescribeAddress(const void* address, std::string*, std::string* where) {
    HMODULE module = nullptr;
    if (address == nullptr ||
        !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCSTR>(address), &module))
        return false;
    // Plug-in callbacks are not exported, so no symbol name is known here.
    const std::string file = ModuleFile(module);
    const size_t cut = file.find_last_of("\\/");
    char text[512];
    std::snprintf(text, sizeof(text), "%s+0x%llx", cut == std::string::npos ? file.c_str() : file.c_str() + cut + 1,
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(address) -
                                                  reinterpret_cast<uintptr_t>(module)));
    *where = text;
    return true;
}

int CountThreads() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    const DWORD self = GetCurrentProcessId();
    int n = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == self) ++n;
    }
    CloseHandle(snapshot);
    return n;
}

int64_t ThreadCpuNs() {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return 0;
    auto ticks = [](const FILETIME& t) {
        return static_cast<int64_t>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
    };
    return (ticks(kernel) + ticks(user)) * 100; // 100 ns units
}

} // namespace hostsim::platform
