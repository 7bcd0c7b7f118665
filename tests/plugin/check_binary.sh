#!/bin/sh
# The plug-in binary exports exactly the five entry points, leaves the SDK to the host
# and does not need the host's C++ runtime.
set -eu
xpl="$1"
exports=$(nm -D --defined-only "$xpl" | awk '{print $3}' | sort | tr '\n' ' ')
expected="XPluginDisable XPluginEnable XPluginReceiveMessage XPluginStart XPluginStop "
if [ "$exports" != "$expected" ]; then
  echo "unexpected exports: $exports"
  exit 1
fi
# What the plug-in itself needs, not what those need in turn (a sanitizer runtime needs the
# C++ runtime, but the host loads that runtime before any plug-in).
if objdump -p "$xpl" | awk '$1 == "NEEDED" {print $2}' | grep -E 'libstdc\+\+|libgcc_s'; then
  echo "depends on the C++ runtime"
  exit 1
fi
nm -D --undefined-only "$xpl" | grep -q ' XPLMFindDataRef$' || { echo "SDK not left to the host"; exit 1; }
echo "exports and dependencies ok"
