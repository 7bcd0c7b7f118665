// The plug-in's system calls on Windows.
#include "platform.h"

#include <windows.h>

#include <io.h>

#include <cstring>

FILE* DRAV_OpenFile(const char* path, const char* mode) {
    // Binary: text mode writes CRLF and stops reading at byte 0x1A.
    char binary[4];
    snprintf(binary, sizeof binary, "%.1sb", mode);
    return fopen(path, binary);
}

bool DRAV_SyncFile(FILE* f) {
    return fflush(f) == 0 && _commit(_fileno(f)) == 0;
}

bool DRAV_ReplaceFile(const char* tmp, const char* target) {
    // rename() fails when the target exists; this replaces it in one step and returns only
    // once the move is on disk.
    return MoveFileExA(tmp, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

DRAV_FileStamp DRAV_StampFile(const char* path) {
    DRAV_FileStamp stamp;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (path == nullptr || !GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return stamp;
    stamp.exists = true;
    stamp.size = (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    // 100 ns ticks since 1601: only compared, never shown.
    const long long ticks = (static_cast<long long>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                            data.ftLastWriteTime.dwLowDateTime;
    stamp.mtime_ns = ticks * 100;
    return stamp;
}

bool DRAV_MakeFolder(const char* path) {
    if (CreateDirectoryA(path, nullptr)) return true;
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

namespace {

// The system's text for the last error, as dlerror() gives it on POSIX.
void PrintLastError() {
    const DWORD code = GetLastError();
    char text[256] = {};
    if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                        sizeof text, nullptr))
        snprintf(text, sizeof text, "error %lu", static_cast<unsigned long>(code));
    text[strcspn(text, "\r\n")] = '\0';
    printf("dlerror: %s\n", text);
}

} // namespace

void* XPLoadDLL(const char* path) {
    HMODULE module = LoadLibraryA(path);
    if (!module) PrintLastError();
    return reinterpret_cast<void*>(module);
}

void* XPFindSymbol(void* library, const char* name) {
    if (!library) return nullptr;
    FARPROC symbol = GetProcAddress(static_cast<HMODULE>(library), name);
    if (!symbol) PrintLastError();
    return reinterpret_cast<void*>(symbol);
}

void XPUnloadDLL(void* library) {
    if (library) FreeLibrary(static_cast<HMODULE>(library));
}

void* DRAV_FindProcessSymbol(const char* name) {
    // OpenGL 1.1 functions are exports of opengl32.dll; later ones come from the driver.
    HMODULE gl = GetModuleHandleA("opengl32.dll");
    if (!gl) return nullptr;
    if (FARPROC f = GetProcAddress(gl, name)) return reinterpret_cast<void*>(f);
    using GetProc = PROC(WINAPI*)(LPCSTR);
    auto wgl_get_proc =
        reinterpret_cast<GetProc>(reinterpret_cast<void*>(GetProcAddress(gl, "wglGetProcAddress")));
    if (!wgl_get_proc) return nullptr;
    PROC p = wgl_get_proc(name);
    // Some drivers answer 1, 2, 3 or -1 instead of null for what they do not have.
    const auto value = reinterpret_cast<intptr_t>(p);
    if (value >= -1 && value <= 3) return nullptr;
    return reinterpret_cast<void*>(p);
}

const char* DRAV_HostLibraryName() {
    return "XPLM_64.dll";
}

void DRAV_DebuggerOutput(const char* line) {
    OutputDebugStringA(line);
}
