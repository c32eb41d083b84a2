"""The hand-written faults of faults.txt: stanzas of `key: value` lines, separated by blank
lines; `#` starts a comment line. In original and replacement, `\\n` stands for a line break,
`\\t` for a tab and `\\\\` for a backslash."""

import os
import sys

from mutations.runner import CONFIGURE, NotApplicable

KEYS = {"id", "layer", "file", "original", "replacement", "tests", "build", "description", "equivalent"}
REQUIRED = {"id", "layer", "file", "original", "replacement", "tests", "description"}


class Fault:
    def __init__(self, fields):
        self.id = fields["id"]
        self.layer = fields["layer"]
        self.file = fields["file"]
        self.original = unescape(fields["original"])
        self.replacement = unescape(fields["replacement"])
        self.tests = fields["tests"]
        self.build = fields.get("build", "asan")
        self.description = fields["description"]
        self.equivalent = fields.get("equivalent")

    def apply(self, text):
        count = text.count(self.original)
        if count != 1:
            raise NotApplicable(f"original text found {count} times")
        return text.replace(self.original, self.replacement)


def unescape(text):
    out, i = [], 0
    while i < len(text):
        if text[i] == "\\" and i + 1 < len(text) and text[i + 1] in "nt\\":
            out.append({"n": "\n", "t": "\t", "\\": "\\"}[text[i + 1]])
            i += 2
        else:
            out.append(text[i])
            i += 1
    return "".join(out)


def _stanzas(path):
    stanzas, current = [], {}
    with open(path, encoding="utf-8") as handle:
        lines = handle.read().splitlines() + [""]
    for number, line in enumerate(lines, 1):
        if line.startswith("#"):
            continue
        if not line.strip():
            if current:
                stanzas.append(current)
                current = {}
            continue
        key, sep, value = line.partition(":")
        if not sep or key not in KEYS or key in current:
            sys.exit(f"{path}:{number}: expected one of {sorted(KEYS)} once per fault, then ':'")
        current[key] = value.removeprefix(" ")
    return stanzas


def parse(path):
    faults, ids = [], set()
    for fields in _stanzas(path):
        missing = REQUIRED - fields.keys()
        if missing:
            sys.exit(f"{path}: fault {fields.get('id', '?')} lacks {sorted(missing)}")
        if fields["id"] in ids:
            sys.exit(f"{path}: fault {fields['id']} given twice")
        ids.add(fields["id"])
        if fields.get("build", "asan") not in CONFIGURE:
            sys.exit(f"{path}: fault {fields['id']}: build is asan or tsan")
        faults.append(Fault(fields))
    return faults


def occurrences(fault, root):
    path = os.path.join(root, fault.file)
    if not os.path.exists(path):
        return 0
    with open(path, encoding="utf-8") as handle:
        return handle.read().count(fault.original)
