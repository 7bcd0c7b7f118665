#!/bin/sh
# Prepares a wine prefix for the tests and leaves a wineserver running for it:
#   wine-prefix.sh <prefix> [--no-server]
# - no display driver, so hidden windows get device notifications headless;
# - winebus with its udev bus (the SDL bus alone never shows the emulated units).
# A wineserver started from inside a ctest test hangs ctest, and one started per test costs
# seconds, so one is started here for the plain tests. The HID tests use their own prefix and
# start a wineserver inside the emulated-unit environment instead (--no-server).
set -e
prefix=$1
case "$prefix" in /*) ;; *) prefix="$PWD/$prefix" ;; esac
here=$(dirname "$0")
run="$here/wine-run.sh"
server=/usr/lib/wine/wineserver
[ -x "$server" ] || server=$(command -v wineserver)
mkdir -p "$prefix"
if [ ! -f "$prefix/.drav-ready" ]; then
  WINEPREFIX="$prefix" "$server" -k >/dev/null 2>&1 || true
  sh "$run" "$prefix" wineboot -i </dev/null >/dev/null 2>&1
  sh "$run" "$prefix" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1
  sh "$run" "$prefix" reg add 'HKLM\System\CurrentControlSet\Services\winebus' /v 'Enable SDL' /t REG_DWORD /d 0 /f \
    </dev/null >/dev/null 2>&1
  WINEPREFIX="$prefix" "$server" -w
  touch "$prefix/.drav-ready"
fi
if [ "$2" != "--no-server" ]; then
  # A server already running for this prefix (an earlier run left it) serves as well.
  WINEPREFIX="$prefix" "$server" -p </dev/null >/dev/null 2>&1 || true
  sh "$run" "$prefix" cmd /c exit </dev/null >/dev/null 2>&1
fi
