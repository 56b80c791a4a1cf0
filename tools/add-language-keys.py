#!/usr/bin/env python3
"""Adds KEY=TEXT lines to a section of both language files, each in its own
encoding (Default.ini ASCII/UTF-8, Chinese.ini GBK) and with CRLF endings.

Usage: tools/add-language-keys.py SECTION KEY 'English text' 'Chinese text' [KEY ...]
A key already in the section is replaced. A missing section is added at the end.
"""
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent / "resources" / "Language"


def add(path, encoding, section, pairs):
    text = path.read_bytes().decode(encoding)
    lines = text.split("\r\n")
    header = "[" + section + "]"
    if header not in lines:
        if lines and lines[-1] == "":
            lines.pop()
        lines += ["", header, ""]
    start = lines.index(header) + 1
    end = start
    while end < len(lines) and not lines[end].startswith("["):
        end += 1
    body = lines[start:end]
    for key, value in pairs:
        body = [l for l in body if l.split("=", 1)[0] != key]
        # After the section's last entry, before the blank lines and the
        # comment that lead to the next section.
        insert_at = 0
        for i, l in enumerate(body):
            if "=" in l and not l.startswith(("//", ";")):
                insert_at = i + 1
        body.insert(insert_at, key + "=" + value)
    lines[start:end] = body
    path.write_bytes("\r\n".join(lines).encode(encoding))


def main():
    args = sys.argv[1:]
    if len(args) < 4 or (len(args) - 1) % 3:
        sys.exit(__doc__)
    section = args[0]
    triples = [args[i:i + 3] for i in range(1, len(args), 3)]
    add(ROOT / "Default.ini", "utf-8", section, [(k, e) for k, e, _ in triples])
    add(ROOT / "Chinese.ini", "gbk", section, [(k, c) for k, _, c in triples])


if __name__ == "__main__":
    main()
