#!/bin/sh
# package.sh OUT.tar.gz DRAV.xpl QDTOOL SOURCE_DIR
# Builds the release archive: it unpacks into <X-Plane>/Resources/plugins as DRAV/ with the
# plug-in, the udev rule, qdtool, a sample settings file and the installation notes. It holds no
# DRAV.INI, so unpacking over an installed version keeps the user's settings.
set -e
out="$1"; xpl="$2"; qdtool="$3"; src="$4"
if [ -z "$src" ]; then
  echo "usage: $0 OUT.tar.gz DRAV.xpl QDTOOL SOURCE_DIR" >&2
  exit 2
fi
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/DRAV/lin_x64" "$stage/DRAV/udev" "$stage/DRAV/tools"
cp "$xpl" "$stage/DRAV/lin_x64/DRAV.xpl"
cp "$src/udev/70-quandel.rules" "$stage/DRAV/udev/"
cp "$qdtool" "$stage/DRAV/tools/qdtool"
cp "$src/examples/DRAV.INI" "$stage/DRAV/DRAV.INI.sample"
cp "$src/examples/INSTALL-linux.txt" "$stage/DRAV/INSTALL.txt"
chmod 755 "$stage/DRAV/lin_x64/DRAV.xpl" "$stage/DRAV/tools/qdtool"
chmod 644 "$stage/DRAV/udev/70-quandel.rules" "$stage/DRAV/DRAV.INI.sample" "$stage/DRAV/INSTALL.txt"
mkdir -p "$(dirname "$out")"
tar -C "$stage" --owner=0 --group=0 -czf "$out" DRAV
echo "Package: $out"
