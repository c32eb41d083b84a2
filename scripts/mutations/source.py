"""The source files that generated mutants go into, their areas, and the text that is off limits.

`masked` gives a copy of a C++ source of the same length in which comments, string and character
literals, preprocessor lines and static_asserts are blanked out (line breaks kept), so that the
operators search code only and every offset in it is an offset in the source.
"""

import os
import re

# A file's area is that of the longest folder that holds it; the area is its tests' label.
AREAS = {
    "platform/os": "os",
    "platform/host": "host",
    "platform/genapi": "genapi",
    "platform/boardsim": "boardsim",
    "platform/grabcontrol": "board",
    "driver/foundation": "foundation",
    "driver/frameworkuser": "frameworkuser",
    "driver/frameworkuser/genicam": "genicam",
    "driver/frameworkuser/serial": "serial",
    "driver/resources": "genicam",
    "driver/board": "board",
    "driver/firmware": "firmware",
    "driver/firmware/stapl": "stapl",
    "driver/ieee1532": "ieee1532",
}
SUFFIXES = (".cpp", ".h")
# Folders whose code the tests of other labels drive too: the STAPL tests run the firmware side's
# player, the firmware tests the simulated JTAG chain, the board's tests the system layers, the
# kernel requests that serve under a board system and the type tables that the board reads.
ALSO_TESTED_BY = {
    "driver/firmware": ["stapl"],
    "driver/frameworkuser/devicesystem": ["board"],
    "driver/frameworkuser/protocol": ["board"],
    "driver/frameworkuser/system": ["board"],
    "driver/frameworkuser/transport": ["board"],
    "platform/boardsim/jtag": ["firmware", "stapl", "ieee1532"],
}


def _nearest(table, path):
    """The value of the longest folder of the table that holds path."""
    folder = os.path.dirname(path)
    while folder:
        if folder in table:
            return table[folder]
        folder = os.path.dirname(folder)
    return None


def area_of(path):
    return _nearest(AREAS, path)


def tests_of(path):
    """The ctest arguments that select the tests of a file's area and of the labels whose tests
    also drive it."""
    labels = dict.fromkeys([area_of(path)] + (_nearest(ALSO_TESTED_BY, path) or []))
    return "-L " + "|".join(f"^{label}$" for label in labels)


def source_files(root):
    """Every C++ source of driver/ and platform/ with an area, sorted, relative to root."""
    found = []
    for top in ("driver", "platform"):
        for folder, dirs, files in os.walk(os.path.join(root, top)):
            dirs.sort()
            for name in sorted(files):
                path = os.path.relpath(os.path.join(folder, name), root)
                if name.endswith(SUFFIXES) and area_of(path):
                    found.append(path)
    return sorted(found)


def _blank(chars, start, end):
    for i in range(start, end):
        if chars[i] != "\n":
            chars[i] = " "


def _is_word(char):
    return char.isalnum() or char == "_"


def _is_raw(text, i):
    """Whether the quote at i opens a raw string literal."""
    for prefix in ("u8R", "uR", "UR", "LR", "R"):
        start = i - len(prefix)
        if start >= 0 and text[start:i] == prefix and (start == 0 or not _is_word(text[start - 1])):
            return True
    return False


def _literal_end(text, i):
    """The end of the string or character literal whose quote is at i."""
    quote = text[i]
    if quote == '"' and _is_raw(text, i):
        delimiter = text[i + 1:text.index("(", i)]
        return text.index(")" + delimiter + '"', i) + len(delimiter) + 2
    j = i + 1
    while text[j] != quote:
        j += 2 if text[j] == "\\" else 1
    return j + 1


def _is_digit_separator(text, i):
    """A quote inside a number (1'000'000) opens no literal."""
    return bool(re.search(r"(?<![\w'])(?:0[xX])?[0-9][0-9a-fA-F']*$", text[max(0, i - 40):i])
                and re.match(r"[0-9a-fA-F]", text[i + 1:i + 2]))


def _mask_comments_and_literals(text, chars):
    i, n = 0, len(text)
    line_start = True
    while i < n:
        c = text[i]
        if line_start and c == "#":
            end = i
            while True:
                end = text.find("\n", end)
                if end < 0:
                    end = n
                    break
                if text[end - 1] != "\\":
                    break
                end += 1
            _blank(chars, i, end)
            i = end
            continue
        if c == "\n":
            line_start = True
            i += 1
            continue
        if not c.isspace():
            line_start = False
        if text.startswith("//", i):
            end = text.find("\n", i)
            end = n if end < 0 else end
            _blank(chars, i, end)
            i = end
        elif text.startswith("/*", i):
            end = text.index("*/", i) + 2
            _blank(chars, i, end)
            i = end
        elif c in "\"'" and not _is_digit_separator(text, i):
            end = _literal_end(text, i)
            # The quotes stay, so that an argument that is a literal is still seen as one.
            _blank(chars, i + 1, end - 1)
            i = end
        else:
            i += 1


def matching(text, open_at):
    """The offset just past the bracket that closes the one at open_at."""
    pairs = {"(": ")", "[": "]", "{": "}"}
    stack = []
    for i in range(open_at, len(text)):
        c = text[i]
        if c in pairs:
            stack.append(pairs[c])
        elif c in ")]}":
            if not stack or stack.pop() != c:
                return None
            if not stack:
                return i + 1
    return None


def brace_pairs(code):
    """Each opening brace's offset mapped to the offset just past its closing brace."""
    pairs, stack = {}, []
    for i, c in enumerate(code):
        if c == "{":
            stack.append(i)
        elif c == "}" and stack:
            pairs[stack.pop()] = i + 1
    return pairs


def masked(text):
    chars = list(text)
    _mask_comments_and_literals(text, chars)
    code = "".join(chars)
    for found in re.finditer(r"\bstatic_assert\s*\(", code):
        end = matching(code, found.end() - 1)
        if end is not None:
            _blank(chars, found.start(), end)
    return "".join(chars)
