#!/usr/bin/env python3
"""Fails when a source folder includes a header of a folder above it.

usage: check_layers.py [SOURCE_ROOT]

Each library of tessera and kestrel is a folder, and the folders stand in the order of
LAYERS, lowest first. A file may include headers of its own folder and of folders on
lower layers only; folders on one layer may not include each other. CMake links static
libraries that depend on each other in a circle without a word, so this check is what
keeps the order. Each offending include is printed as file:line.
"""
import os
import re
import sys

# Lowest first. Every folder of a layer may use all folders of the layers below it.
LAYERS = [
    ["tessera/core/common"],
    ["tessera/core/config"],
    ["tessera/core/eq"],
    ["tessera/core/pages"],
    ["tessera/core/document", "tessera/core/link"],
    ["tessera/link"],
    ["tessera/ui", "tessera/cli"],
    ["kestrel/core"],
    ["kestrel/sequence", "kestrel/transport"],
    ["kestrel/ui", "kestrel/cli"],
]
# Besides the file's own folder and the source root, where quoted includes are looked up.
INCLUDE_ROOTS = {"kestrel/": ["kestrel"]}
SOURCE_EXT = (".h", ".hpp", ".cpp", ".cc", ".inl")
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')

RANK = {folder: rank for rank, layer in enumerate(LAYERS) for folder in layer}


def folder_of(rel):
    """The layered folder a path lies in (the longest that contains it), or None."""
    best = None
    for folder in RANK:
        if rel.startswith(folder + "/") and (best is None or len(folder) > len(best)):
            best = folder
    return best


def resolve(root, rel_file, name):
    bases = [os.path.dirname(rel_file), ""]
    for prefix, extra in INCLUDE_ROOTS.items():
        if rel_file.startswith(prefix):
            bases += extra
    for base in bases:
        rel = os.path.normpath(os.path.join(base, name)).replace(os.sep, "/")
        if not rel.startswith("..") and os.path.isfile(os.path.join(root, rel)):
            return rel
    return None


def violations(root):
    found = []
    for top in sorted({folder.split("/")[0] for folder in RANK}):
        for dirpath, dirnames, filenames in os.walk(os.path.join(root, top)):
            dirnames.sort()
            for fn in sorted(filenames):
                if not fn.endswith(SOURCE_EXT):
                    continue
                rel = os.path.relpath(os.path.join(dirpath, fn), root).replace(os.sep, "/")
                here = folder_of(rel)
                if here is None:
                    continue
                with open(os.path.join(root, rel), encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        target = m and resolve(root, rel, m.group(1))
                        there = target and folder_of(target)
                        if there and there != here and RANK[there] >= RANK[here]:
                            found.append(f"{rel}:{number}: {here} includes {target}, which is "
                                         f"not below it ({there})")
    return found


def main(argv):
    root = os.path.abspath(argv[1] if len(argv) > 1 else
                           os.path.join(os.path.dirname(__file__), "..", ".."))
    bad = violations(root)
    for line in bad:
        print(line)
    if bad:
        print(f"check_layers: {len(bad)} includes reach a folder that is not below theirs")
        return 1
    print("check_layers: every include reaches its own folder or one below it")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
