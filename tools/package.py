#!/usr/bin/env python3
"""Builds the release archive: one zip that unpacks into <X-Plane>/Resources/plugins as DRAV/,
with the plug-in for each system in the simulator's fat-plug-in layout (lin_x64/, win_x64/),
qdtool for each, the udev rule, a sample settings file and the installation notes. It holds no
DRAV.INI, so unpacking over an installed version keeps the user's settings.

  package.py OUT.zip SOURCE_DIR --linux DRAV.xpl QDTOOL [--windows DRAV.xpl QDTOOL.EXE]

Binaries go in without their debug information. A zip, because both systems open one without
extra tools; entries carry Unix modes so that unzip on Linux keeps the programs executable.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import zipfile

# Fixed entry times: the same inputs give the same archive.
ENTRY_TIME = (2020, 1, 1, 0, 0, 0)


def stripped(tool, binary, workdir, name):
    """A copy of binary without debug information (the binary itself when no strip is found)."""
    out = os.path.join(workdir, name)
    shutil.copyfile(binary, out)
    if shutil.which(tool):
        subprocess.run([tool, "--strip-debug", out], check=True)
    else:
        print(f"package: {tool} not found, {name} keeps its debug information", file=sys.stderr)
    return out


def crlf(path, workdir, name):
    """A copy of a text file with Windows line ends, for the notes a Windows user opens."""
    out = os.path.join(workdir, name)
    with open(path, "rb") as f:
        text = f.read().replace(b"\r\n", b"\n")
    with open(out, "wb") as f:
        f.write(text.replace(b"\n", b"\r\n"))
    return out


def add(archive, source, entry, mode):
    info = zipfile.ZipInfo("DRAV/" + entry, ENTRY_TIME)
    info.compress_type = zipfile.ZIP_DEFLATED
    info.create_system = 3  # Unix: external_attr holds the file mode
    info.external_attr = (0o100000 | mode) << 16
    with open(source, "rb") as f:
        archive.writestr(info, f.read())


def main():
    parser = argparse.ArgumentParser(description="Builds the DRAV release archive.")
    parser.add_argument("out")
    parser.add_argument("source_dir")
    parser.add_argument("--linux", nargs=2, metavar=("XPL", "QDTOOL"), required=True)
    parser.add_argument("--windows", nargs=2, metavar=("XPL", "QDTOOL_EXE"))
    args = parser.parse_args()
    src = args.source_dir

    with tempfile.TemporaryDirectory() as work:
        files = [  # (source, entry in DRAV/, mode)
            (stripped("strip", args.linux[0], work, "lin.xpl"), "lin_x64/DRAV.xpl", 0o755),
            (stripped("strip", args.linux[1], work, "qdtool"), "tools/qdtool", 0o755),
            (os.path.join(src, "udev/70-quandel.rules"), "udev/70-quandel.rules", 0o644),
            (os.path.join(src, "examples/DRAV.INI"), "DRAV.INI.sample", 0o644),
            (os.path.join(src, "examples/INSTALL-linux.txt"), "INSTALL-linux.txt", 0o644),
        ]
        if args.windows:
            win_strip = "x86_64-w64-mingw32-strip"
            files += [
                (stripped(win_strip, args.windows[0], work, "win.xpl"), "win_x64/DRAV.xpl", 0o755),
                (stripped(win_strip, args.windows[1], work, "qdtool.exe"), "tools/qdtool.exe", 0o755),
                (crlf(os.path.join(src, "examples/INSTALL-windows.txt"), work, "INSTALL-windows.txt"),
                 "INSTALL-windows.txt", 0o644),
            ]
        os.makedirs(os.path.dirname(os.path.abspath(args.out)), exist_ok=True)
        tmp = args.out + ".part"
        with zipfile.ZipFile(tmp, "w") as archive:
            for source, entry, mode in files:
                add(archive, source, entry, mode)
        os.replace(tmp, args.out)
    print(f"Package: {args.out}")


if __name__ == "__main__":
    main()
