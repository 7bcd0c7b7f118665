#!/bin/sh
# The Windows plug-in exports exactly the five entry points and imports only system DLLs and
# the simulator's two: the C and C++ runtimes are linked in.
set -eu
xpl="$1"
objdump="${OBJDUMP:-x86_64-w64-mingw32-objdump}"
dump=$("$objdump" -p "$xpl")
exports=$(printf '%s\n' "$dump" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' | sort | tr '\n' ' ')
expected="XPluginDisable XPluginEnable XPluginReceiveMessage XPluginStart XPluginStop "
if [ "$exports" != "$expected" ]; then
  echo "unexpected exports: $exports"
  exit 1
fi
imports=$(printf '%s\n' "$dump" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'a-z' 'A-Z' | sort | tr '\n' ' ')
allowed="XPLM_64.DLL XPWIDGETS_64.DLL KERNEL32.DLL USER32.DLL SETUPAPI.DLL HID.DLL MSVCRT.DLL OPENGL32.DLL"
for dll in $imports; do
  case " $allowed " in
  *" $dll "*) ;;
  *)
    echo "unexpected import: $dll (imports: $imports)"
    exit 1
    ;;
  esac
done
for dll in XPLM_64.DLL XPWIDGETS_64.DLL; do
  case " $imports" in
  *" $dll "*) ;;
  *)
    echo "does not import $dll: $imports"
    exit 1
    ;;
  esac
done
# The SDK is left to the host: a function our code calls comes from XPLM_64.dll.
printf '%s\n' "$dump" | sed -n '/DLL Name: XPLM_64.dll/,/DLL Name:/p' | grep -q 'XPLMFindDataRef$' ||
  { echo "SDK not left to the host"; exit 1; }
echo "exports and imports ok"
