#!/usr/bin/env python3
"""Extracts the text ids a text catalogue quotes, with their English texts.

Usage: extract_quoted_texts.py TEXTS.md              -> prints "id<TAB>text" rows found by pattern
       extract_quoted_texts.py TEXTS.md  --check DIR -> compares them with DIR/*.tsv (exit 1 on
                                                        a missing id, a differing English text
                                                        or a missing German twin)

The patterns cover the ways the catalogue quotes a text:
  1000 "&File"            id followed by its quoted text (menus, messages, titles)
  text 5000 ("brenvo.hlp")  id followed by the quoted text in parentheses
  "&OK" (1515)            quoted caption followed by its id in parentheses
  | 2400 | "Save" |       table rows with an id cell and a quoted text cell
Ranges ("Variation 1" ... "Variation 5" (1590..1594), texts 4250..4257 after a list of quoted
items) are expanded when the number of quoted items matches the range. Anything else the
document names without quoting is written by hand in the table (see resources/text/README.md).
"""
import pathlib
import re
import sys

ID = r"([1-5]\d{3})"
Q = r'"((?:[^"\\]|\\.)*)"'

PATTERNS = [
    re.compile(r"(?:text|texts|message|title|tooltip|id)?\s*" + ID + r"\s+" + Q),
    re.compile(ID + r"\s*\(" + Q + r"\)"),
    re.compile(Q + r"\s*\(" + ID + r"(?:\)|,)"),
    re.compile(r"\|\s*" + ID + r"\s*\|\s*" + Q + r"\s*\|"),
]
# Quoted lists followed by an id range: "a", "b", ... (ids 4250..4257) / (2130..2137)
RANGE_LIST = re.compile(r"((?:" + Q + r"\s*(?:,|…)\s*)+" + Q + r")\s*\((?:texts?\s*)?" + ID + r"\s*(?:\.\.|–|-)\s*" + ID + r"\)")
# A numbered series: 1065–1069 "Variation &1" … / "Variation 1" … "Variation 5" (1590..1594):
# the first quoted text holds a number that counts up with the id.
SERIES_BEFORE = re.compile(ID + r"\s*(?:\.\.|–|-)\s*" + ID + r"\s+" + Q + r"\s*…")
SERIES_AFTER = re.compile(Q + r"\s*…\s*" + Q + r"\s*\(" + ID + r"\s*(?:\.\.|–|-)\s*" + ID + r"\)")
# A table row with an id range and a list: | 2407-2415 | "Zoom 25%", "Zoom 33%", ... |
RANGE_ROW = re.compile(r"\|\s*" + ID + r"\s*(?:\.\.|–|-)\s*" + ID + r"\s*\|\s*((?:" + Q + r"\s*,?\s*)+)\|")
# "no limit" (text 5503)
QUOTE_TEXT_ID = re.compile(Q + r"\s*\(texts?\s+" + ID + r"\)")


def count_up(text, first, k):
    """The series text for the k-th id: the first number in the text raised by k."""
    m = re.search(r"\d+", text)
    return text[: m.start()] + str(int(m.group()) + k) + text[m.end():] if m else None


def extract(document: str):
    found = {}

    def add(i, text, line):
        found.setdefault(int(i), (text, line))

    for n, line in enumerate(document.splitlines(), 1):
        for m in SERIES_BEFORE.finditer(line):
            first, last = int(m.group(1)), int(m.group(2))
            for k in range(last - first + 1):
                add(first + k, count_up(m.group(3), first, k), n)
        for m in SERIES_AFTER.finditer(line):
            first, last = int(m.group(3)), int(m.group(4))
            for k in range(last - first + 1):
                add(first + k, count_up(m.group(1), first, k), n)
        for m in RANGE_ROW.finditer(line):
            items = re.findall(Q, m.group(3))
            first, last = int(m.group(1)), int(m.group(2))
            if last - first + 1 == len(items):
                for k, text in enumerate(items):
                    add(first + k, text, n)
        for m in QUOTE_TEXT_ID.finditer(line):
            add(m.group(2), m.group(1), n)
        for m in RANGE_LIST.finditer(line):
            items = re.findall(Q, m.group(1))
            first, last = int(m.group(m.lastindex - 1)), int(m.group(m.lastindex))
            if last - first + 1 == len(items):
                for k, text in enumerate(items):
                    add(first + k, text, n)
        for p in PATTERNS:
            for m in p.finditer(line):
                a, b = m.group(1), m.group(2)
                if a.isdigit() and len(a) == 4:
                    add(a, b, n)
                elif b.isdigit():
                    add(b, a, n)
    return found


def unescape(field):
    """The table's escapes: \\t tab, \\n line break, \\s blank, \\\\ backslash."""
    return re.sub(r"\\([tns\\])", lambda m: {"t": "\t", "n": "\n", "s": " ", "\\": "\\"}[m.group(1)], field)


def main():
    found = extract(pathlib.Path(sys.argv[1]).read_text(encoding="utf-8"))
    if len(sys.argv) > 3 and sys.argv[2] == "--check":
        table = {}
        for f in sorted(pathlib.Path(sys.argv[3]).glob("*.tsv")):
            for row in f.read_text(encoding="utf-8").splitlines():
                if row and not row.startswith("#") and "\t" in row:
                    i, t = row.split("\t", 1)
                    table[int(i)] = unescape(t)
        bad = 0
        for i, (text, line) in sorted(found.items()):
            if i not in table:
                print(f"missing {i} (document line {line}): {text!r}")
                bad += 1
            elif table[i] != text:
                print(f"differs {i} (document line {line}): document {text!r}, table {table[i]!r}")
                bad += 1
            if i + 10000 not in table:
                print(f"no German for {i}")
                bad += 1
        print(f"{len(found)} quoted ids, {bad} problems")
        sys.exit(1 if bad else 0)
    for i, (text, line) in sorted(found.items()):
        print(f"{i}\t{text}\t# line {line}")


if __name__ == "__main__":
    main()
