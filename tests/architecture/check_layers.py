#!/usr/bin/env python3
"""Checks the include order of the source folders.

Each folder under src/ may include headers of its own folder and of the
folders before it in LAYERS, never of a folder after it; Qt headers appear
only in src/app. Prints every violation and exits 1 when there is one.

    check_layers.py SRC_DIR
"""
import pathlib
import re
import sys

LAYERS = ["base", "master", "serial", "config", "plot", "files", "poll", "link", "tuning", "app"]
QT_ONLY_IN = "app"

PROJECT_INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"/]+)/[^"]*"')
SYSTEM_INCLUDE = re.compile(r'^\s*#\s*include\s*<([^>]*)>')
QT_HEADER = re.compile(r'^(Q[A-Z]\w*|Qt\w*/.*|q\w+\.h)$')


def violations(src: pathlib.Path):
    rank = {name: i for i, name in enumerate(LAYERS)}
    found = []
    folders = sorted(p for p in src.iterdir() if p.is_dir())
    for folder in folders:
        if folder.name not in rank:
            found.append(f"{folder}: folder not in the written order {LAYERS}")
            continue
        for path in sorted(folder.rglob("*")):
            if path.suffix not in (".h", ".hpp", ".cpp", ".cc"):
                continue
            for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
                where = f"{path}:{number}"
                m = PROJECT_INCLUDE.match(line)
                if m:
                    target = m.group(1)
                    if target not in rank:
                        found.append(f"{where}: includes unknown folder '{target}'")
                    elif rank[target] > rank[folder.name]:
                        found.append(f"{where}: {folder.name} includes {target}, which comes after it")
                m = SYSTEM_INCLUDE.match(line)
                if m and folder.name != QT_ONLY_IN and QT_HEADER.match(m.group(1)):
                    found.append(f"{where}: Qt header <{m.group(1)}> outside src/{QT_ONLY_IN}")
    return found


def main() -> int:
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    src = pathlib.Path(sys.argv[1])
    found = violations(src)
    for line in found:
        print(line)
    print(f"include order {' < '.join(LAYERS)}: {len(found)} violation(s)")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
