"""The mechanical operators of mutation-testing tools, applied to C++ text.

Each operator takes the source and its masked copy (source.masked) and yields Sites: the span
of the source it replaces and the text it puts there. The operators read the code as
clang-format writes it: a binary operator has a space on each side, a template's angle brackets
have none.
"""

import collections
import re

from mutations.source import brace_pairs, matching

Site = collections.namedtuple("Site", "operator start end replacement")

KEYWORDS = {"if", "for", "while", "switch", "return", "sizeof", "alignof", "decltype", "catch",
            "static_assert", "throw", "delete", "new", "co_await", "co_return", "noexcept",
            "assert", "alignas", "typeid", "requires", "operator", "defined", "else", "do",
            "case", "template", "static_cast", "reinterpret_cast", "const_cast", "dynamic_cast"}
TYPE_WORDS = {"int", "bool", "char", "double", "float", "void", "unsigned", "long", "short",
              "auto", "const", "signed", "size_t", "wchar_t", "char16_t", "char32_t"}
NAME = r"(?:::)?[A-Za-z_]\w*(?:(?:::|\.|->)~?[A-Za-z_]\w*)*"
INTEGER = re.compile(r"(?<![\w.'])(0[xX][0-9a-fA-F']+|[0-9][0-9']*)([uUlL]*)(?![\w.'])")

BINARY = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "==", "&&": "||", "||": "&&"}
BINARY_OPERATOR = {"<": "boundary", "<=": "boundary", ">": "boundary", ">=": "boundary",
                   "==": "equality", "!=": "equality", "&&": "logical", "||": "logical"}


def binary(text, code):
    """`<` and `<=`, `>` and `>=`, `==` and `!=`, `&&` and `||` turned into each other."""
    for found in re.finditer(r"(?<= )(<=|>=|==|!=|&&|\|\||<|>)(?= )", code):
        symbol = found.group(1)
        yield Site(BINARY_OPERATOR[symbol], found.start(), found.end(), BINARY[symbol])


def _in_array_declarator(code, start):
    """Whether start lies in the brackets of a declaration `Type name[...]`."""
    window = code[max(0, start - 120):start]
    bracket = window.rfind("[")
    if bracket < 0 or "]" in window[bracket:]:
        return False
    before = window[:bracket]
    return bool(re.search(r"[\w>*&]\s+[A-Za-z_]\w*$", before)) and \
        not re.search(r"\b(?:return|case|throw|co_return|else|do)\s+[A-Za-z_]\w*$", before)


def literal(text, code):
    """An integer literal moved by one either way (not an array's declared size)."""
    for found in INTEGER.finditer(code):
        if _in_array_declarator(code, found.start()):
            continue
        digits, suffix = found.group(1).replace("'", ""), found.group(2)
        value = int(digits, 16) if digits[:2] in ("0x", "0X") else int(digits, 8 if digits != "0" and digits[0] == "0" else 10)
        for step in (1, -1):
            if value + step < 0:
                continue
            if digits[:2] in ("0x", "0X"):
                moved = f"{digits[:2]}{value + step:0{len(digits) - 2}X}"
            elif digits != "0" and digits[0] == "0":
                moved = f"0{value + step:o}"
            else:
                moved = str(value + step)
            yield Site("literal", found.start(), found.end(), moved + suffix)


def index(text, code):
    """An index that is a name moved by one: `a[i]` as `a[i + 1]` and `a[i - 1]`."""
    for found in re.finditer(r"(?<=[\w)\]])\[(" + NAME + r")\]", code):
        if _in_array_declarator(code, found.start() + 1):
            continue
        start, end = found.start(1), found.end(1)
        for step in ("+ 1", "- 1"):
            yield Site("index", start, end, f"{text[start:end]} {step}")


def _split(code, start, end):
    """The spans of the comma-separated items between start and end, at the top level."""
    items, depth, begin = [], 0, start
    for i in range(start, end):
        c = code[i]
        if c in "([{":
            depth += 1
        elif c in ")]}":
            depth -= 1
        elif c == "," and depth == 0:
            items.append((begin, i))
            begin = i + 1
    items.append((begin, end))
    spans = []
    for first, last in items:
        while first < last and code[first].isspace():
            first += 1
        while last > first and code[last - 1].isspace():
            last -= 1
        spans.append((first, last))
    if spans and spans[-1][0] == spans[-1][1]:
        spans.pop()  # a trailing comma
    return spans


def _brace_lists(code):
    """The brace-enclosed lists of values: no statement inside, not an enum's body."""
    for start, end in brace_pairs(code).items():
        if ";" in code[start:end]:
            continue
        head = re.split(r"[;{}]", code[max(0, start - 200):start])[-1]
        if re.search(r"\b(?:enum|namespace|class|struct|union)\b", head):
            continue
        items = _split(code, start + 1, end - 1)
        if len(items) >= 2:
            yield start, end, items


def _replace_item(text, span, other, operator):
    first, last = span
    if text[first:last] != text[other[0]:other[1]]:
        return Site(operator, first, last, text[other[0]:other[1]])
    return None


def table(text, code):
    """A value of a table row replaced by the same column's value in the next row (the last row:
    the row before), a value of a constant list by the next one (the last: the one before)."""
    rows_of = {}
    for start, end, items in _brace_lists(code):
        rows_of[start] = (end, items)
    members = set()
    for start, (end, items) in rows_of.items():
        rows = [rows_of[first] for first, _ in items if first in rows_of]
        if len(rows) != len(items) or len({len(row[1]) for row in rows}) != 1:
            continue
        members.update(first for first, _ in items)
        for k, (_, row) in enumerate(rows):
            neighbour = rows[k + 1 if k + 1 < len(rows) else k - 1][1]
            for column, span in enumerate(row):
                site = _replace_item(text, span, neighbour[column], "table")
                if site:
                    yield site
    for start, (end, items) in rows_of.items():
        if start in members or any(first in rows_of for first, _ in items):
            continue
        if any("=" in code[first:last] for first, last in items):
            continue
        for k, span in enumerate(items):
            site = _replace_item(text, span, items[k + 1 if k + 1 < len(items) else k - 1], "table")
            if site:
                yield site


def call(text, code):
    """A statement that is only a call, removed."""
    pattern = re.compile(r"(?<=[;{}])(\s*)(" + NAME + r")\s*(?:<(?:[\w:*&<>]|, )*>)?\(")
    for found in pattern.finditer(code):
        name = found.group(2).split("::")[-1].split(".")[-1].split("->")[-1]
        if found.group(2) in KEYWORDS or name in KEYWORDS or "\n" not in found.group(1):
            continue
        end = matching(code, found.end() - 1)
        if end is None:
            continue
        after = re.match(r"\s*;", code[end:])
        if after:
            yield Site("call", found.start(2), end + after.end(), ";")


def _argument_kind(code, first, last):
    item = code[first:last]
    if re.fullmatch(r"true|false", item):
        return "bool"
    if re.fullmatch(NAME, item):
        words = re.split(r"::|\.|->", item)
        return None if words[-1] in TYPE_WORDS or words[-1].endswith("_t") else "name"
    if INTEGER.fullmatch(item):
        return "integer"
    if re.fullmatch(r'(?:L|u8|u|U)?"\s*"', item):
        return "string"
    if re.fullmatch(r"(?:L|u8|u|U)?'\s*'", item):
        return "character"
    return None


def swap(text, code):
    """Two neighbouring arguments of a call that look of the same type (two names, two integers,
    two strings) swapped."""
    for found in re.finditer(r"(" + NAME + r")\s*\(", code):
        if found.group(1).split("::")[-1] in KEYWORDS:
            continue
        end = matching(code, found.end() - 1)
        if end is None:
            continue
        items = _split(code, found.end(), end - 1)
        for left, right in zip(items, items[1:]):
            kind = _argument_kind(code, *left)
            if kind and kind == _argument_kind(code, *right) and text[left[0]:left[1]] != text[right[0]:right[1]]:
                swapped = text[right[0]:right[1]] + text[left[1]:right[0]] + text[left[0]:left[1]]
                yield Site("swap", left[0], right[1], swapped)


TRAILER = re.compile(r"\)\s*(?:(?:const|noexcept|override|final|mutable)\s*)*(?:->\s*([\w:<>, ]+?)\s*)?$")
CONDITIONS = {"if", "for", "while", "switch", "catch"}


def _opening(code, close):
    """The offset of the parenthesis that the one at close closes."""
    depth = 0
    for i in range(close, -1, -1):
        depth += {")": 1, "(": -1}.get(code[i], 0)
        if depth == 0:
            return i
    return None


def _function_returns_bool(code, brace):
    """Whether the block that opens at brace is the body of a function or lambda returning bool;
    None when it is no function's body."""
    head = code[max(0, brace - 400):brace]
    trailer = TRAILER.search(head)
    if not trailer:
        return None
    opening = _opening(code, brace - len(head) + trailer.start())
    if opening is None:
        return None
    before = code[max(0, opening - 200):opening].rstrip()
    if re.search(r"\b(?:" + "|".join(CONDITIONS) + r")$", before):
        return None
    if trailer.group(1) is not None:
        return trailer.group(1).strip() == "bool"
    return bool(re.search(r"\bbool\s+[\w:~]+$", before))


def _enclosing_bool(code, position, braces):
    """Whether the innermost function or lambda around position returns bool (None: unknown)."""
    for brace, end in reversed(braces):
        if brace < position < end:
            returns = _function_returns_bool(code, brace)
            if returns is not None:
                return returns
    return None


def _top_level(expression):
    """The expression without what its brackets hold."""
    kept, depth = [], 0
    for c in expression:
        if c in ")]}":
            depth -= 1
        if depth == 0:
            kept.append(c)
        if c in "([{":
            depth += 1
    return "".join(kept)


def _looks_boolean(expression):
    top = _top_level(expression)
    if "?" in top:
        return False
    return top.startswith("!") or bool(re.search(r"(?<= )(?:==|!=|<=|>=|<|>|&&|\|\|)(?= )", top))


def _statement_end(code, start):
    """The offset of the semicolon that ends the statement going on at start."""
    depth = 0
    for i in range(start, len(code)):
        c = code[i]
        if c in "([{":
            depth += 1
        elif c in ")]}":
            depth -= 1
            if depth < 0:
                return None
        elif c == ";" and depth == 0:
            return i
    return None


def boolean(text, code):
    """A boolean result inverted: `return true` and `return false` turned into each other,
    `return x` into `return !x` where x is a boolean."""
    braces = sorted(brace_pairs(code).items())
    for found in re.finditer(r"\breturn\s+(?=[^\s;])", code):
        start = found.end()
        end = _statement_end(code, start)
        if end is None:
            continue
        expression = code[start:end]
        if expression.strip() in ("true", "false"):
            yield Site("boolean", start, end, "false" if expression.strip() == "true" else "true")
        elif _looks_boolean(expression) or _enclosing_bool(code, start, braces):
            inner = text[start:end]
            simple = re.fullmatch(NAME + r"(?:\([^()]*\))?", expression)
            yield Site("boolean", start, end, f"!{inner}" if simple else f"!({inner})")


OPERATORS = [binary, literal, index, table, call, swap, boolean]


def sites(text, code):
    for operator in OPERATORS:
        yield from operator(text, code)
