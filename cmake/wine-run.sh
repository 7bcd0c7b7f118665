#!/bin/sh
# Runs a Windows program under wine, headless, in the build's own prefix:
#   wine-run.sh <prefix> program.exe [args...]
# The prefix is made on first use (see wine-prefix.sh for the settings the HID tests need).
prefix=$1
shift
case "$prefix" in /*) ;; *) prefix="$PWD/$prefix" ;; esac
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
unset DISPLAY WAYLAND_DISPLAY
exec "${DRAV_WINE64:-/usr/lib/wine/wine64}" "$@"
