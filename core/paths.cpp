#include "paths.h"

#include "platform.h"

#include "XPLMUtilities.h"

#include <atomic>
#include <cstdio>

namespace {

constexpr int kPathSize = 1024;

// "<system path>Resources<sep>plugins<sep>" + rest, with rest's '/' turned into the separator.
// False when the path does not fit out.
bool BuildUnderPlugins(const char* rest, char* out, size_t out_size) {
    char system_path[kPathSize] = {};
    XPLMGetSystemPath(system_path);
    system_path[kPathSize - 1] = '\0';
    const char sep = DRAV_PathSeparator();
    char tail[kPathSize];
    snprintf(tail, sizeof tail, "%s", rest);
    for (char* c = tail; *c; ++c)
        if (*c == '/') *c = sep;
    const int n = snprintf(out, out_size, "%sResources%cplugins%c%s", system_path, sep, sep, tail);
    return n >= 0 && static_cast<size_t>(n) < out_size;
}

} // namespace

char DRAV_PathSeparator() {
    const char* sep_text = XPLMGetDirectorySeparator();
    return (sep_text && sep_text[0]) ? sep_text[0] : '/';
}

bool DRAV_BuildPluginPath(const char* file, char* out, size_t out_size) {
    char rest[kPathSize];
    const bool fits = snprintf(rest, sizeof rest, "DRAV/%s", file) < static_cast<int>(sizeof rest) &&
                      BuildUnderPlugins(rest, out, out_size);
    if (fits) return true;
    // A cut path names another file: refuse it, and say so once.
    if (out_size > 0) out[0] = '\0';
    static std::atomic<bool> said{false};
    if (!said.exchange(true))
        XPLMDebugString("DRAV: the plug-in folder's path is too long; settings and log are not used\n");
    return false;
}

void DRAV_HostLibraryPath(char* out, size_t out_size) {
    BuildUnderPlugins(DRAV_HostLibraryName(), out, out_size);
}
