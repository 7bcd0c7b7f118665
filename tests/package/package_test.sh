#!/bin/sh
# package_test.sh SOURCE_DIR DRAV.xpl QDTOOL XPHOST
# The release archive installs by unpacking into <X-Plane>/Resources/plugins: the simulator
# stand-in loads the unpacked plug-in from there, qdtool runs, and unpacking again over an
# installed copy keeps the user's DRAV.INI.
set -e
src="$1"; xpl="$2"; qdtool="$3"; xphost="$4"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "package_test: $*"; exit 1; }

sh "$src/tools/package.sh" "$work/DRAV-linux-x64.tar.gz" "$xpl" "$qdtool" "$src"

# Everything sits under DRAV/, nothing else.
tar -tzf "$work/DRAV-linux-x64.tar.gz" > "$work/list"
if grep -v '^DRAV/' "$work/list"; then fail "entries outside DRAV/"; fi
for f in DRAV/lin_x64/DRAV.xpl DRAV/udev/70-quandel.rules DRAV/tools/qdtool DRAV/DRAV.INI.sample DRAV/INSTALL.txt; do
  grep -qx "$f" "$work/list" || fail "missing $f"
done
if grep -qx 'DRAV/DRAV.INI' "$work/list"; then fail "the archive must not carry DRAV.INI"; fi

# Unpack into a simulator folder and load the plug-in from where it landed.
plugins="$work/X-Plane 12/Resources/plugins"
mkdir -p "$plugins"
tar -xzf "$work/DRAV-linux-x64.tar.gz" -C "$plugins"
[ -x "$plugins/DRAV/tools/qdtool" ] || fail "qdtool is not executable"
"$xphost" --root "$work/X-Plane 12" --seconds 1 "$plugins/DRAV/lin_x64/DRAV.xpl" > "$work/run.txt" 2>&1 ||
  { cat "$work/run.txt"; fail "xphost failed"; }
grep -q "Quandel plugin" "$work/run.txt" || { cat "$work/run.txt"; fail "the plug-in did not load"; }
grep -q "XPluginEnable returned 1" "$work/run.txt" || { cat "$work/run.txt"; fail "the plug-in did not enable"; }
"$plugins/DRAV/tools/qdtool" list > /dev/null || fail "qdtool list failed"

# An update over an installed copy keeps the user's settings.
printf '[QDPBX_1]\nFunction1=TAXI_LTS\n' > "$plugins/DRAV/DRAV.INI"
tar -xzf "$work/DRAV-linux-x64.tar.gz" -C "$plugins"
grep -q "Function1=TAXI_LTS" "$plugins/DRAV/DRAV.INI" || fail "unpacking again changed DRAV.INI"
echo "package_test: the archive installs by unpacking"
