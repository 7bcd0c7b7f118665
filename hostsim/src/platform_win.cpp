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
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
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

// The file of the module where a thread of this process started; "" when unknown.
std::string ThreadStartModule(DWORD thread_id) {
    using QueryThread = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    static const auto query = reinterpret_cast<QueryThread>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationThread")));
    constexpr int kThreadWin32StartAddress = 9;
    HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, thread_id);
    if (thread == nullptr) return "";
    void* start = nullptr;
    const bool known =
        query != nullptr && query(thread, kThreadWin32StartAddress, &start, sizeof start, nullptr) == 0;
    CloseHandle(thread);
    HMODULE module = nullptr;
    if (!known || !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                          GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                      static_cast<LPCSTR>(start), &module))
        return "";
    return ModuleFile(module);
}

bool FileIdentity(const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
    // No access asked: only the identity is read, whoever has the file open.
    HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool ok = GetFileInformationByHandle(file, info) != 0;
    CloseHandle(file);
    return ok;
}

bool SameFile(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION ia{}, ib{};
    // Not the volume serial: wine gives each drive letter its own, and the build folder (Z:) and
    // a root under C: are the same Unix file system. A hard link never spans volumes, so the
    // file index with the size and write time names the file.
    return FileIdentity(a, &ia) && FileIdentity(b, &ib) && ia.nFileIndexHigh == ib.nFileIndexHigh &&
           ia.nFileIndexLow == ib.nFileIndexLow && ia.nFileSizeHigh == ib.nFileSizeHigh &&
           ia.nFileSizeLow == ib.nFileSizeLow &&
           CompareFileTime(&ia.ftLastWriteTime, &ib.ftLastWriteTime) == 0;
}

bool IsCRuntime(const std::string& module) {
    const size_t cut = module.find_last_of("\\/");
    const char* name = module.c_str() + (cut == std::string::npos ? 0 : cut + 1);
    return _stricmp(name, "msvcrt.dll") == 0 || _stricmp(name, "ucrtbase.dll") == 0;
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
    // A link made by an earlier run is kept: the loaded module's file cannot be deleted by any
    // of its names.
    if (SameFile(link, target)) return true;
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
    if (address == nullptr || !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                                      GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                                  static_cast<LPCSTR>(address), &module))
        return false;
    // Plug-in callbacks are not exported, so no symbol name is known here.
    const std::string file = ModuleFile(module);
    const size_t cut = file.find_last_of("\\/");
    char text[512];
    std::snprintf(text, sizeof(text), "%s+0x%llx",
                  cut == std::string::npos ? file.c_str() : file.c_str() + cut + 1,
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(address) -
                                                  reinterpret_cast<uintptr_t>(module)));
    *where = text;
    return true;
}

int CountThreads() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    char system_dir[MAX_PATH] = {};
    const UINT dir_len = GetSystemDirectoryA(system_dir, sizeof system_dir);
    const DWORD self = GetCurrentProcessId();
    int n = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != self) continue;
        // The system starts threads of its own for services a plug-in used (device
        // notifications, thread pools) and keeps them: those start in a system DLL. Threads the
        // C runtime starts (std::thread) are the program's.
        const std::string module = ThreadStartModule(entry.th32ThreadID);
        const bool system = dir_len > 0 && dir_len < sizeof system_dir &&
                            _strnicmp(module.c_str(), system_dir, dir_len) == 0 && !IsCRuntime(module);
        if (!system) ++n;
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
