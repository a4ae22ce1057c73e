#!/usr/bin/env python3
"""Writes out the files a guide spells out, so that a test can build them as
a reader would. A fenced block preceded by a line
    <!-- guide-file: NAME -->
is the content of NAME.

    guide_files.py GUIDE.md OUTPUT_DIR
"""
import os
import re
import sys

MARK = re.compile(r"^<!-- guide-file: ([A-Za-z0-9_.\-/]+) -->$")


def files_of(text):
    lines = text.splitlines()
    found = {}
    i = 0
    while i < len(lines):
        m = MARK.match(lines[i].strip())
        i += 1
        if not m:
            continue
        if i >= len(lines) or not lines[i].startswith("```"):
            raise ValueError("%s: no fenced block after its mark" % m.group(1))
        end = i + 1
        while end < len(lines) and not lines[end].startswith("```"):
            end += 1
        if end == len(lines):
            raise ValueError("%s: the block is not closed" % m.group(1))
        if m.group(1) in found:
            raise ValueError("%s: spelled out twice" % m.group(1))
        found[m.group(1)] = "\n".join(lines[i + 1:end]) + "\n"
        i = end + 1
    return found


def main():
    if len(sys.argv) != 3:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    try:
        with open(sys.argv[1], encoding="utf-8") as f:
            found = files_of(f.read())
    except (OSError, ValueError) as e:
        print("guide_files: %s" % e, file=sys.stderr)
        return 1
    if not found:
        print("guide_files: %s spells out no files" % sys.argv[1], file=sys.stderr)
        return 1
    for name, content in found.items():
        path = os.path.join(sys.argv[2], name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w", encoding="utf-8") as f:
            f.write(content)
        print("wrote %s" % path)
    return 0


if __name__ == "__main__":
    sys.exit(main())
