// The stand-in's system calls on Linux and other POSIX systems.
#include "platform.h"

#include "xplm_sdk.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <time.h>
#include <unistd.h>

namespace hostsim::platform {

const char* Separator() {
    return "/";
}

bool IsSeparator(char c) {
    return c == '/';
}

std::string NativePath(const std::string& path) {
    return path;
}

std::string AbsolutePath(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? resolved : path;
}

void* OpenLibrary(const std::string& path, std::string* error) {
    dlerror();
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* why = dlerror();
        if (error != nullptr) *error = std::string("dlerror: ") + (why != nullptr ? why : "unknown");
    }
    return handle;
}

void* LibrarySymbol(void* library, const char* name) {
    return dlsym(library, name);
}

void CloseLibrary(void* library) {
    dlclose(library);
}

std::string SelfPath() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&XPLMFindSymbol), &info) == 0 || info.dli_fname == nullptr) return "";
    return AbsolutePath(info.dli_fname);
}

void* SelfSymbol(const char* name) {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&XPLMFindSymbol), &info) == 0 || info.dli_fname == nullptr)
        return nullptr;
    void* self = dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
    if (self == nullptr) return nullptr;
    void* sym = dlsym(self, name);
    dlclose(self); // drops the reference RTLD_NOLOAD took
    return sym;
}

bool LinkSelf(const std::string& plugins, std::string* error) {
    const std::string target = SelfPath();
    if (target.empty()) {
        if (error != nullptr) *error = "cannot find the stand-in library on disk";
        return false;
    }
    // The library plays both of the simulator's libraries.
    for (const char* name : {"XPLM_64.so", "XPWidgets_64.so"}) {
        const std::string link = plugins + "/" + name;
        unlink(link.c_str());
        if (symlink(target.c_str(), link.c_str()) != 0) {
            if (error != nullptr) *error = "cannot link " + link + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

bool DescribeAddress(const void* address, std::string* symbol, std::string* where) {
    Dl_info dl{};
    if (address == nullptr || dladdr(address, &dl) == 0) return false;
    if (dl.dli_sname != nullptr && dl.dli_saddr == address) *symbol = dl.dli_sname;
    if (dl.dli_fname != nullptr) {
        const char* slash = std::strrchr(dl.dli_fname, '/');
        char text[512];
        std::snprintf(text, sizeof(text), "%s+0x%zx", slash != nullptr ? slash + 1 : dl.dli_fname,
                      reinterpret_cast<uintptr_t>(address) - reinterpret_cast<uintptr_t>(dl.dli_fbase));
        *where = text;
    }
    return true;
}

int CountThreads() {
    DIR* dir = opendir("/proc/self/task");
    if (dir == nullptr) return 0;
    int n = 0;
    while (const dirent* e = readdir(dir)) {
        if (e->d_name[0] != '.') ++n;
    }
    closedir(dir);
    return n;
}

int64_t ThreadCpuNs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

} // namespace hostsim::platform
