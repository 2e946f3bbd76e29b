#!/usr/bin/env python3
"""Checks the include order of the source folders.

Each folder under src/ may include headers of its own folder and of the
folders before it in LAYERS, never of a folder after it; Qt headers appear
only in src/app. The network device reaches the serial folder through the
device interface only (NARROW), so the line devices and the network device
never include each other; only the ports folder, which opens both, knows
both. The tuning rooms (identify, record, rules, session) may include each
other only as TUNING_ROOMS says. Inside src/app every file lies in one of APP_FOLDERS: the
shared folders (widgets, then chart) come first, each window folder may
include them and itself but no other window folder, and only the main
window's folder, which opens the windows and wires them, includes them all.
Prints every violation and exits 1 when there is one.

    check_layers.py SRC_DIR
"""
import pathlib
import re
import sys

LAYERS = ["base", "master", "serial", "network", "ports", "config", "plot", "files", "poll", "link", "identify",
          "record", "rules", "session", "app"]
QT_ONLY_IN = "app"

# (folder, folder below it): the only headers of the lower folder it may include.
NARROW = {
    ("network", "serial"): {"SerialDevice.h", "SerialTypes.h"},
}

# The tuning rooms among themselves: the rooms each may include besides its
# own. The fit knows no rule and no session; the record and the rules know
# the models but not each other; the session uses all three.
TUNING_ROOMS = {
    "identify": set(),
    "record": {"identify"},
    "rules": {"identify"},
    "session": {"identify", "record", "rules"},
}

# What each folder of the Qt layer may include of the Qt layer ("*": all).
APP_SHARED = ["widgets", "chart"]
APP_WINDOWS = ["config", "trend", "link", "tuning"]
APP_FOLDERS = {
    "widgets": {"widgets"},
    "chart": {"widgets", "chart"},
    **{window: set(APP_SHARED) | {window} for window in APP_WINDOWS},
    "main": {"*"},
}
APP_INCLUDE = re.compile(r'^\s*#\s*include\s*"app/([^"]*)"')

PROJECT_INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"/]+)/([^"]*)"')
SYSTEM_INCLUDE = re.compile(r'^\s*#\s*include\s*<([^>]*)>')
QT_HEADER = re.compile(r'^(Q[A-Z]\w*|Qt\w*/.*|q\w+\.h)$')


def app_violations(app: pathlib.Path, path: pathlib.Path, where: str, line: str):
    """The Qt layer's own rule for one line of a file under src/app."""
    folder = path.relative_to(app).parts[0]
    m = APP_INCLUDE.match(line)
    if not m:
        return []
    target = m.group(1).split("/")
    if len(target) < 2 or target[0] not in APP_FOLDERS:
        return [f"{where}: includes app/{m.group(1)}, which is in no folder of the Qt layer"]
    allowed = APP_FOLDERS[folder]
    if "*" in allowed or target[0] in allowed:
        return []
    return [f"{where}: app/{folder} includes app/{target[0]}, which it may not use"]


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
            if folder.name == QT_ONLY_IN and (path.parent.parent != folder or path.parent.name not in APP_FOLDERS):
                found.append(f"{path}: file outside the Qt layer's folders {sorted(APP_FOLDERS)}")
                continue
            for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
                where = f"{path}:{number}"
                if folder.name == QT_ONLY_IN:
                    found += app_violations(folder, path, where, line)
                m = PROJECT_INCLUDE.match(line)
                if m:
                    target = m.group(1)
                    if target not in rank:
                        found.append(f"{where}: includes unknown folder '{target}'")
                    elif rank[target] > rank[folder.name]:
                        found.append(f"{where}: {folder.name} includes {target}, which comes after it")
                    elif (folder.name in TUNING_ROOMS and target in TUNING_ROOMS and target != folder.name
                          and target not in TUNING_ROOMS[folder.name]):
                        allowed = ", ".join(sorted(TUNING_ROOMS[folder.name])) or "none"
                        found.append(f"{where}: {folder.name} includes {target}; of the tuning rooms it may use "
                                     f"only {allowed}")
                    elif (folder.name, target) in NARROW and m.group(2) not in NARROW[(folder.name, target)]:
                        allowed = ", ".join(sorted(NARROW[(folder.name, target)]))
                        found.append(f"{where}: {folder.name} includes {target}/{m.group(2)}; "
                                     f"of {target} it may use only {allowed}")
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
