#!/usr/bin/env python3
"""Writes the application header of the own node maps' names: one constant per feature (its
control type, the address of its value register, with the type of its answer) and per enumeration
entry (its value); and the simulated board's table of each map's control types with whether each
is read-only, so that the board serves what the maps hold without a list of its own.

featureconstants.py OUTPUT TYPES_OUTPUT QTYPES_H XML...

Names that qtypes.h defines already are checked against it instead: their values by the
preprocessor, their answers' types here."""
import re
import sys
import xml.etree.ElementTree as ET

NS = "{http://www.genicam.org/GenApi/Version_1_1}"
VALUE_NODES = {"Integer", "Float", "Boolean", "Enumeration", "String", "Command"}
REGISTERS = {"IntReg", "MaskedIntReg", "FloatReg", "StringReg", "Register", "StructReg"}
# What an inquiry of a feature's control type answers, by the feature's node kind; None: nothing
# (a command).
ANSWERS = {"Integer": "integer", "Enumeration": "integer", "Boolean": "integer",
           "IntReg": "integer", "MaskedIntReg": "integer", "Float": "double", "FloatReg": "double",
           "String": "text", "StringReg": "text", "Command": None}


def text(node, tag):
    child = node.find(NS + tag)
    return child.text.strip() if child is not None and child.text else None


def read_map(path, features, entries):
    root = ET.parse(path).getroot()
    nodes = {node.get("Name"): node for node in root}
    listed = [text_node.text.strip() for category in root.iter(NS + "Category")
              for text_node in category.findall(NS + "pFeature")]
    for name in listed:
        node = nodes.get(name)
        if node is None or node.tag[len(NS):] == "Category":
            continue
        kind = node.tag[len(NS):]
        register = node if kind in REGISTERS else nodes.get(text(node, "pValue") or "")
        if register is None or text(register, "Address") is None:
            sys.exit(f"{path}: feature {name} names no register")
        if kind not in ANSWERS:
            sys.exit(f"{path}: feature {name} is a {kind}, whose answer has no type here")
        add(features, name, (int(text(register, "Address"), 0), ANSWERS[kind]), path)
        if kind == "Enumeration":
            for entry in node.findall(NS + "EnumEntry"):
                add(entries, entry.get("Name"), int(text(entry, "Value"), 0), path)


def map_types(path):
    """The control types that a map reads or writes through its port: the registers its value
    nodes name, and the registers that are features of their own (not invisible)."""
    root = ET.parse(path).getroot()
    named = {text(node, "pValue") for node in root if node.tag[len(NS):] in VALUE_NODES}
    types = {}
    for node in root:
        if node.tag[len(NS):] not in REGISTERS:
            continue
        if node.get("Name") not in named and text(node, "Visibility") == "Invisible":
            continue
        add(types, int(text(node, "Address"), 0), text(node, "AccessMode") == "RO", path)
    return root.get("ModelName"), types


def types_table(maps):
    lines = ["// The control types of the own node maps, in order, and whether each is read-only.",
             "// Generated from the node maps' XML; do not edit.",
             "#pragma once", "", "#include <cstdint>", "", "namespace boardsim {", "",
             "struct NodeMapType {", "  uint64_t type;", "  bool readOnly;", "};", ""]
    for path in maps:
        model, types = map_types(path)
        lines.append(f"inline constexpr NodeMapType k{model}Types[] = {{")
        for value, read_only in sorted(types.items()):
            lines.append(f"    {{{value}, {'true' if read_only else 'false'}}},")
        lines += ["};", ""]
    lines += ["}  // namespace boardsim", ""]
    return lines


def add(table, name, value, path):
    if table.get(name, value) != value:
        sys.exit(f"{path}: {name} is {value} here and {table[name]} elsewhere")
    table[name] = value


def answer_note(answer):
    return f"answer: {answer}" if answer else "a command, no answer"


def feature_lines(features, known):
    """A define per feature; a feature that qtypes.h names is checked against it."""
    lines, checks = [], []
    for name, (value, answer) in sorted(features.items()):
        if name not in known:
            lines.append(f"#define {name} INT64_C({value})  // {answer_note(answer)}")
            continue
        if known[name] != answer:
            sys.exit(f'qtypes.h: the comment of {name} should begin with "{answer_note(answer)}"')
        checks.append((name, value))
    return lines, checks


def main():
    output, types_output, qtypes, maps = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
    with open(qtypes, encoding="utf-8") as file:
        known = {name: answer or None for name, answer in
                 re.findall(r"^#define (\w+).*?(?://\s*answer: (\w+).*)?$", file.read(), re.M)}
    features, entries = {}, {}
    for path in maps:
        read_map(path, features, entries)
    lines = ["// The names of the own node maps' features (their control types) and enumeration",
             "// entries (their values). Generated from the node maps' XML; do not edit.",
             "// A feature's comment names the type of what QsysInquire or QdigInquire answer",
             "// for it, as qtypes.h does for its own: integer, double or text.",
             "#pragma once", "", '#include "qtypes.h"', "", "// Features."]
    defined, checks = feature_lines(features, known)
    lines += defined + ["", "// Enumeration entries."]
    for name, value in sorted(entries.items()):
        if name in known:
            checks.append((name, value))
        else:
            lines.append(f"#define {name} INT64_C({value})")
    lines += ["", "// Names that qtypes.h defines: the node maps agree with it."]
    for name, value in checks:
        lines += [f"#if {name} != {value}",
                  f'#error "qtypes.h differs from the node maps on {name} ({value})"', "#endif"]
    lines.append("")
    with open(output, "w", encoding="utf-8") as file:
        file.write("\n".join(lines))
    with open(types_output, "w", encoding="utf-8") as file:
        file.write("\n".join(types_table(maps)))


if __name__ == "__main__":
    main()
