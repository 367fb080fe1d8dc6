#!/usr/bin/env python3
"""Checks that every source file includes only headers of its own folder and
of the folders whose libraries its folder's targets link (directly or through
them), as the folders' CMakeLists.txt say; and that the core uses no Qt,
libvips or exiv2.
Exits 1 and names each offending line otherwise."""
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
FOLDERS = ["base", "generate", "settings", "web", "run", "metadata", "thumbnail", "cli", "ui", "app"]
CORE = {"base", "generate", "settings", "web", "run"}

target_re = re.compile(r"add_(?:library|executable)\(\s*([\w-]+)")
link_re = re.compile(r"target_link_libraries\(\s*([\w-]+)([^)]*)\)", re.S)
include_re = re.compile(r'^\s*#\s*include\s*[<"]([^>"]+)[>"]', re.M)

folder_of_target = {}
links = {}  # folder -> library targets its targets link
for folder in FOLDERS:
    cmake = ROOT / folder / "CMakeLists.txt"
    if not cmake.exists():
        continue
    text = cmake.read_text()
    for target in target_re.findall(text):
        folder_of_target[target] = folder
    links[folder] = {name for _, args in link_re.findall(text) for name in args.split()}


def reachable(folder, seen=None):
    seen = set() if seen is None else seen
    for target in links.get(folder, ()):
        below = folder_of_target.get(target)
        if below and below != folder and below not in seen:
            seen.add(below)
            reachable(below, seen)
    return seen


errors = []
for folder in links:
    allowed = reachable(folder) | {folder}
    for source in sorted((ROOT / folder).rglob("*")):
        if source.suffix not in {".h", ".cpp", ".in"}:
            continue
        for number, line in enumerate(source.read_text(errors="replace").splitlines(), 1):
            match = include_re.match(line)
            if not match:
                continue
            header = match.group(1)
            top = header.split("/")[0]
            where = f"{source.relative_to(ROOT)}:{number}: {header}"
            if top in links and top not in allowed:
                errors.append(f"{where} (folder {top} is not linked by {folder})")
            if folder in CORE and (re.match(r"Q[A-Z]|Qt", header) or top in {"vips", "exiv2"}):
                errors.append(f"{where} (the core stays free of Qt, libvips and exiv2)")

for error in errors:
    print(error)
print(f"layers: {len(links)} folders checked, {len(errors)} problems")
sys.exit(1 if errors else 0)
