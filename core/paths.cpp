#include "paths.h"

#include "platform.h"

#include "XPLMUtilities.h"

#include <cstdio>

namespace {

constexpr int kPathSize = 1024;

// "<system path>Resources<sep>plugins<sep>" + rest, with rest's '/' turned into the separator.
void BuildUnderPlugins(const char* rest, char* out, size_t out_size) {
    char system_path[kPathSize] = {};
    XPLMGetSystemPath(system_path);
    system_path[kPathSize - 1] = '\0';
    const char sep = DRAV_PathSeparator();
    char tail[kPathSize];
    snprintf(tail, sizeof tail, "%s", rest);
    for (char* c = tail; *c; ++c)
        if (*c == '/') *c = sep;
    snprintf(out, out_size, "%sResources%cplugins%c%s", system_path, sep, sep, tail);
}

} // namespace

char DRAV_PathSeparator() {
    const char* sep_text = XPLMGetDirectorySeparator();
    return (sep_text && sep_text[0]) ? sep_text[0] : '/';
}

void DRAV_BuildPluginPath(const char* file, char* out, size_t out_size) {
    char rest[kPathSize];
    snprintf(rest, sizeof rest, "DRAV/%s", file);
    BuildUnderPlugins(rest, out, out_size);
}

void DRAV_HostLibraryPath(char* out, size_t out_size) {
    BuildUnderPlugins(DRAV_HostLibraryName(), out, out_size);
}
