#include "log.h"

#include "globals.h"
#include "paths.h"
#include "platform.h"

#include "XPLMUtilities.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

char g_DRAV_Buffer[kDravLogLineSize];

namespace {
// The log's path, worked out once on the main thread: modules also log from the device
// library's thread, which must not call into the simulator.
char g_LogPath[1024];
std::atomic<bool> g_LogPathKnown{false};
} // namespace

void DRAV_CacheLogPath() {
    g_LogPathKnown.store(false);
    DRAV_BuildPluginPath(kDravLogFile, g_LogPath, sizeof g_LogPath);
    g_LogPathKnown.store(true);
}

void DRAV_WriteToLog(const char* message) {
    if (g_DRAV_DebugEnabled != 1) return;
    char line[kDravLogLineSize];
    int n = snprintf(line, sizeof line, "%s", message ? message : "");
    if (n < 0) return;
    // Keep room for the LF: a long message is cut, never the line end.
    if (n > kDravLogLineSize - 2) n = kDravLogLineSize - 2;
    line[n] = '\n';
    line[n + 1] = '\0';

    char path[sizeof g_LogPath];
    if (g_LogPathKnown.load())
        snprintf(path, sizeof path, "%s", g_LogPath);
    else
        DRAV_BuildPluginPath(kDravLogFile, path, sizeof path);
    // An empty path was refused as too long.
    if (FILE* f = path[0] != '\0' ? DRAV_OpenFile(path, "a") : nullptr) {
        fputs(line, f);
        fclose(f);
    }
    if (g_DRAV_DebugViewEnabled == 1) DRAV_DebuggerOutput(line);
}

void DRAV_WriteToLogf(const char* format, ...) {
    if (g_DRAV_DebugEnabled != 1) return;
    // A buffer of its own, not g_DRAV_Buffer: modules also log from the device library's thread.
    char message[kDravLogLineSize];
    va_list args;
    va_start(args, format);
    vsnprintf(message, sizeof message, format, args);
    va_end(args);
    DRAV_WriteToLog(message);
}

void DRAV_Reportf(const char* format, ...) {
    char line[kDravLogLineSize];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    DRAV_WriteToLog(line);
    char host[kDravLogLineSize + 8];
    snprintf(host, sizeof host, "DRAV: %s\n", line);
    XPLMDebugString(host);
}

void DRAV_LogControlState(const char* label, uint16_t state) {
    char bits[17];
    for (int i = 0; i < 16; ++i)
        bits[i] = (state >> i) & 1 ? '1' : '0';
    bits[16] = '\0';
    DRAV_WriteToLogf("%s = %s", label, bits);
}

void DRAV_LogControlState64(const char* label, uint64_t state) {
    char bits[33];
    for (int i = 0; i < 32; ++i)
        bits[i] = (state >> (31 - i)) & 1 ? '1' : '0';
    bits[32] = '\0';
    DRAV_WriteToLogf("%s = %s", label, bits);
}
