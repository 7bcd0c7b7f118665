#!/bin/sh
# package_test.sh ARCHIVE XPHOST [XPHOST_EXE WINE_PREFIX]
# The release archive installs by unpacking into <X-Plane>/Resources/plugins: each system's
# stand-in loads the plug-in from where it landed (the Windows one under wine when XPHOST_EXE is
# given, and the archive must then hold the Windows half), qdtool runs, and unpacking again over
# an installed copy keeps the user's DRAV.INI.
set -e
archive="$1"; xphost="$2"; xphost_exe="$3"; prefix="$4"
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "package_test: $*"; exit 1; }
command -v unzip > /dev/null || fail "unzip is missing (apt-get install unzip)"

# Everything sits under DRAV/, nothing else, and no DRAV.INI.
unzip -Z1 "$archive" > "$work/list"
if grep -v '^DRAV/' "$work/list"; then fail "entries outside DRAV/"; fi
expected="DRAV/lin_x64/DRAV.xpl DRAV/udev/70-quandel.rules DRAV/tools/qdtool DRAV/DRAV.INI.sample DRAV/INSTALL-linux.txt"
if [ -n "$xphost_exe" ]; then
  expected="$expected DRAV/win_x64/DRAV.xpl DRAV/tools/qdtool.exe DRAV/INSTALL-windows.txt"
fi
for f in $expected; do
  grep -qx "$f" "$work/list" || fail "missing $f"
done
if grep -qix 'DRAV/DRAV.INI' "$work/list"; then fail "the archive must not carry DRAV.INI"; fi

# Unpack into a simulator folder (a space in its name, as users have) and load from there.
root="$work/X-Plane 12"
plugins="$root/Resources/plugins"
mkdir -p "$plugins"
unzip -q "$archive" -d "$plugins"
[ -x "$plugins/DRAV/tools/qdtool" ] || fail "qdtool is not executable"
[ -x "$plugins/DRAV/lin_x64/DRAV.xpl" ] || fail "the Linux plug-in is not executable"
# The shipped binaries, stripped, still export and import what the simulator expects (an
# AddressSanitizer build exports the sanitizer's interface: DRAV_SANITIZED=1 skips the check).
[ "${DRAV_SANITIZED:-0}" = 1 ] || sh "$here/../plugin/check_binary.sh" "$plugins/DRAV/lin_x64/DRAV.xpl" > /dev/null || fail "Linux plug-in binary"

# loaded OUTPUT: the stand-in's output shows the plug-in started and enabled.
loaded() {
  grep -q "Quandel plugin" "$1" && grep -q "XPluginEnable returned 1" "$1" ||
    { cat "$1"; fail "the plug-in did not load and enable ($2)"; }
}
"$xphost" --root "$root" --seconds 1 "$plugins/DRAV/lin_x64/DRAV.xpl" > "$work/linux.txt" 2>&1 ||
  { cat "$work/linux.txt"; fail "xphost failed"; }
loaded "$work/linux.txt" Linux
"$plugins/DRAV/tools/qdtool" list > /dev/null || fail "qdtool list failed"

if [ -n "$xphost_exe" ]; then
  # Windows: the files keep Windows line ends where a user reads them, and the stand-in loads
  # the plug-in under wine from the same unpacked folder (wine's drive Z: is /).
  grep -q "$(printf '\r')" "$plugins/DRAV/INSTALL-windows.txt" || fail "INSTALL-windows.txt has no CRLF line ends"
  sh "$here/../plugin/check_binary_win.sh" "$plugins/DRAV/win_x64/DRAV.xpl" > /dev/null || fail "Windows plug-in binary"
  winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
  sh "$here/../../cmake/wine-prefix.sh" "$prefix"
  sh "$here/../../cmake/wine-run.sh" "$prefix" "$xphost_exe" --root "$(winpath "$root")" --seconds 1 \
    "$(winpath "$plugins/DRAV/win_x64/DRAV.xpl")" > "$work/windows.txt" 2>&1 < /dev/null ||
    { cat "$work/windows.txt"; fail "xphost.exe failed"; }
  loaded "$work/windows.txt" Windows
  sh "$here/../../cmake/wine-run.sh" "$prefix" "$plugins/DRAV/tools/qdtool.exe" list > "$work/qdtool.txt" 2>&1 < /dev/null ||
    { cat "$work/qdtool.txt"; fail "qdtool.exe list failed"; }
fi

# An update over an installed copy keeps the user's settings.
printf '[QDPBX_1]\nFunction1=TAXI_LTS\n' > "$plugins/DRAV/DRAV.INI"
unzip -qo "$archive" -d "$plugins"
grep -q "Function1=TAXI_LTS" "$plugins/DRAV/DRAV.INI" || fail "unpacking again changed DRAV.INI"
echo "package_test: the archive installs by unpacking$([ -n "$xphost_exe" ] && echo ', both plug-ins load')"
