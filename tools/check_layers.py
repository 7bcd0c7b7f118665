#!/usr/bin/env python3
"""Keeps the plug-in's floors in order.

Reads every #include "..." of the plug-in's folders and fails, naming file and line, when one
runs against the order core -> simlink -> modules -> ui -> plugin (each floor may include the
floors below it and itself), when the device library includes any of them, or when two files
of a folder call each other in a circle (a.cpp includes b.h while b.cpp includes a.h).
It also fails on a raw simulator read in modules/ or simlink/ outside the files allowed one:
a unit's refresh reads through the watch readers, or the frame after an input skips it wrongly.
With --doc FILE it also checks that every path the page names in `backticks` exists.

Usage: check_layers.py [--root DIR] [--doc ARCHITECTURE.md]
"""
import argparse
import os
import re
import sys

# Floor of each folder of the plug-in; a file may include its own floor and those below.
FLOORS = {"core": 0, "simlink": 1, "modules": 2, "ui": 3, "plugin": 4}
# Beside the floors: the SDK declarations (anyone may include them) and the device library,
# which knows nothing of the plug-in; the floors from modules up may use its public header.
DEVLIB_FROM_FLOOR = FLOORS["modules"]
SOURCE_ENDINGS = (".h", ".hpp", ".cpp", ".c")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
# Simulator reads that bypass the watch readers; the files that may make them: the readers
# themselves, and the plug-in's own dataref callbacks and power check (read back through the
# dataref or the computed entry).
RAW_READ = re.compile(r"\b(XPLMGetData(?:i|f|d|vi|vf|b)|XPLMGetElapsedTime)\s*\(")
RAW_READ_FOLDERS = ("modules", "simlink")
RAW_READ_ALLOWED = {"simlink/sim_watch.cpp", "simlink/custom_datarefs.cpp"}


def sdk_headers(root):
    names = set()
    for d in ("sdk/include",):
        path = os.path.join(root, d)
        if os.path.isdir(path):
            names.update(os.listdir(path))
    return names


def sources(root, folder):
    top = os.path.join(root, folder)
    for dirpath, _, files in os.walk(top):
        for name in sorted(files):
            if name.endswith(SOURCE_ENDINGS):
                yield os.path.join(dirpath, name)


def resolve(root, including, target, sdk):
    """Folder the include lands in ("core", "sdk", "devlib", ...), or None when unknown."""
    here = os.path.dirname(including)
    if os.path.exists(os.path.join(here, target)):
        return os.path.relpath(os.path.normpath(os.path.join(here, target)), root).split(os.sep)[0]
    if "/" in target and os.path.exists(os.path.join(root, target)):
        return target.split("/")[0]
    if target in sdk:
        return "sdk"
    # Inside the device library, its own include folders are on the path.
    if os.path.relpath(including, root).startswith("devlib" + os.sep) and "/" not in target:
        for dirpath, _, files in os.walk(os.path.join(root, "devlib")):
            if target in files:
                return "devlib"
    return None


def allowed(src_folder, dst_folder):
    if dst_folder in ("sdk", src_folder):
        return True
    if src_folder == "devlib":
        return False
    if dst_folder == "devlib":
        return FLOORS[src_folder] >= DEVLIB_FROM_FLOOR
    if dst_folder in FLOORS:
        return FLOORS[dst_folder] <= FLOORS[src_folder]
    return False


def check_includes(root):
    sdk = sdk_headers(root)
    problems = []
    includes = {}  # relative path -> set of relative include targets (resolved paths)
    for folder in list(FLOORS) + ["devlib"]:
        for path in sources(root, folder):
            rel = os.path.relpath(path, root)
            with open(path, encoding="utf-8", errors="replace") as f:
                for number, line in enumerate(f, 1):
                    m = INCLUDE.match(line)
                    if not m:
                        continue
                    target = m.group(1)
                    dst = resolve(root, path, target, sdk)
                    if dst is None:
                        problems.append(f"{rel}:{number}: include \"{target}\" is not found in its folder, "
                                        f"the tree or sdk/include (name the folder: \"core/log.h\")")
                        continue
                    if not allowed(folder, dst):
                        problems.append(f"{rel}:{number}: {folder}/ must not include {dst}/ (\"{target}\"): "
                                        f"the order is core, simlink, modules, ui, plugin; devlib stands apart")
                    here = os.path.dirname(path)
                    local = os.path.join(here, target)
                    resolved = local if os.path.exists(local) else os.path.join(root, target)
                    includes.setdefault(rel, set()).add(os.path.relpath(os.path.normpath(resolved), root))
    # Two files that call each other: a.cpp uses b.h and b.cpp uses a.h.
    for rel, targets in sorted(includes.items()):
        if not rel.endswith(".cpp"):
            continue
        own_header = rel[:-4] + ".h"
        for header in sorted(targets):
            if not header.endswith(".h") or header == own_header:
                continue
            other = header[:-2] + ".cpp"
            if other != rel and own_header in includes.get(other, set()) and rel < other:
                problems.append(f"{rel}: calls {other} and is called by it ({header} / {own_header}): "
                                f"move what both need into a third file")
    return problems


def check_raw_reads(root):
    problems = []
    for folder in RAW_READ_FOLDERS:
        for path in sources(root, folder):
            rel = os.path.relpath(path, root).replace(os.sep, "/")
            if rel in RAW_READ_ALLOWED:
                continue
            with open(path, encoding="utf-8", errors="replace") as f:
                for number, line in enumerate(f, 1):
                    m = RAW_READ.search(line.split("//", 1)[0])
                    if m:
                        problems.append(f"{rel}:{number}: raw {m.group(1)} call: read through the watch "
                                        f"readers (simlink/sim_watch.h)")
    return problems


def check_doc(root, doc):
    problems = []
    with open(os.path.join(root, doc), encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            for name in re.findall(r"`([^`\s]+)`", line):
                looks_like_path = "/" in name or re.search(r"\.(h|cpp|md|sh|py|scn|txt|cmake)$", name)
                if not looks_like_path or name.startswith(("-", "http")) or "*" in name or "<" in name:
                    continue
                if not os.path.exists(os.path.join(root, name.rstrip("/"))):
                    problems.append(f"{doc}:{number}: names `{name}`, which does not exist")
    return problems


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
    parser.add_argument("--doc", action="append", default=[])
    args = parser.parse_args()
    root = os.path.abspath(args.root)
    problems = check_includes(root) + check_raw_reads(root)
    for doc in args.doc:
        problems += check_doc(root, doc)
    for p in problems:
        print(p)
    if problems:
        print(f"{len(problems)} problem(s) with the floors, the watched reads or the documents")
        return 1
    print("floors in order")
    return 0


if __name__ == "__main__":
    sys.exit(main())
