#!/usr/bin/env python3
"""Checks that every relative link of the Markdown pages under a folder
resolves: the file or folder exists, and an anchor names a heading of the
page it points to. Prints each broken link and exits 1 when there is one.

    doc_links.py ROOT
"""
import os
import re
import sys

LINK = re.compile(r"\]\(([^)\s]+)\)")
HEADING = re.compile(r"^#{1,6}\s+(.*?)\s*#*\s*$")
FENCE = re.compile(r"^\s*```")


def anchor_of(heading):
    """The anchor a Markdown renderer gives a heading."""
    text = re.sub(r"[`*]", "", heading).strip().lower()
    text = re.sub(r"[^\w\- ]", "", text)
    return text.replace(" ", "-")


def page_lines(path):
    """The lines of a page outside its fenced code blocks."""
    inside = False
    with open(path, encoding="utf-8") as f:
        for line in f:
            if FENCE.match(line):
                inside = not inside
                continue
            if not inside:
                yield line


def anchors(path):
    found = set()
    for line in page_lines(path):
        m = HEADING.match(line)
        if m:
            found.add(anchor_of(m.group(1)))
    return found


def broken_links(root):
    broken = []
    pages = []
    for folder, _, files in os.walk(root):
        pages += [os.path.join(folder, f) for f in files if f.endswith(".md")]
    for page in sorted(pages):
        for line in page_lines(page):
            for target in LINK.findall(line):
                if re.match(r"^[a-z]+:", target):
                    continue
                where, _, anchor = target.partition("#")
                path = os.path.normpath(os.path.join(os.path.dirname(page), where)) if where else page
                what = "%s: %s" % (os.path.relpath(page, root), target)
                if not os.path.exists(path):
                    broken.append(what + " (no such file)")
                elif anchor and path.endswith(".md") and anchor not in anchors(path):
                    broken.append(what + " (no such heading)")
    return broken, len(pages)


def main():
    if len(sys.argv) != 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    broken, count = broken_links(sys.argv[1])
    for b in broken:
        print("broken link: " + b)
    if count == 0:
        print("no Markdown pages under %s" % sys.argv[1])
        return 1
    return 1 if broken else 0


if __name__ == "__main__":
    sys.exit(main())
