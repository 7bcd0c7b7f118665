// Windows programs under wine among emulated units: wine's HID stack (winebus over udev and
// hidraw) sees the units only when the wineserver starts inside this process's environment, after
// the units it should see at once were plugged.
#pragma once

#include <vector>

namespace qdtest {

inline constexpr char kWine64[] = "/usr/lib/wine/wine64";

// Points wine at the prefix (prepared by cmake/wine-prefix.sh <prefix> --no-server), quiet and
// headless, and starts a fresh wineserver for it in here: one from elsewhere would show no unit.
void StartWineServer(const char* prefix);
// Ends the wineserver and every wine process of the prefix.
void StopWineServer();
// Runs a program with no standard streams and waits for it: wine's services inherit them and
// would keep the caller's output (a test runner's pipe) open until they end. Its exit status, or
// -1 when it did not exit.
int RunQuiet(std::vector<const char*> argv);

} // namespace qdtest
