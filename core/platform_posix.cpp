// The plug-in's system calls on Linux (and other POSIX hosts).
#include "platform.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstring>

FILE* DRAV_OpenFile(const char* path, const char* mode) {
    // POSIX has no text mode: "r" and "rb" are the same.
    return fopen(path, mode);
}

bool DRAV_SyncFile(FILE* f) {
    return fflush(f) == 0 && fsync(fileno(f)) == 0;
}

namespace {

// Syncs the folder holding path, so that a rename into it survives a power cut.
void SyncFolderOf(const char* path) {
    char folder[1024];
    const char* slash = strrchr(path, '/');
    if (!slash) {
        snprintf(folder, sizeof folder, ".");
    } else if (slash == path) {
        snprintf(folder, sizeof folder, "/");
    } else if (snprintf(folder, sizeof folder, "%.*s", static_cast<int>(slash - path), path) >=
               static_cast<int>(sizeof folder)) {
        return;
    }
    const int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

} // namespace

bool DRAV_ReplaceFile(const char* tmp, const char* target) {
    // rename() replaces an existing target atomically.
    if (rename(tmp, target) != 0) return false;
    SyncFolderOf(target);
    return true;
}

void* XPLoadDLL(const char* path) {
    void* handle = dlopen(path, RTLD_NOW | RTLD_GLOBAL);
    if (!handle) {
        if (const char* error = dlerror()) printf("dlerror: %s\n", error);
    }
    return handle;
}

void* XPFindSymbol(void* library, const char* name) {
    if (!library) return nullptr;
    dlerror();
    void* symbol = dlsym(library, name);
    if (!symbol) {
        if (const char* error = dlerror()) printf("dlerror: %s\n", error);
    }
    return symbol;
}

void XPUnloadDLL(void* library) {
    if (library) dlclose(library);
}

void* DRAV_FindProcessSymbol(const char* name) {
    return dlsym(RTLD_DEFAULT, name);
}

const char* DRAV_HostLibraryName() {
    return "XPLM_64.so";
}

void DRAV_DebuggerOutput(const char*) {}
