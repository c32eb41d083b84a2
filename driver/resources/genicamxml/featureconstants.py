#!/usr/bin/env python3
"""Writes the application header of the own node maps' names: one constant per feature (its
control type, the address of its value register) and per enumeration entry (its value).

featureconstants.py OUTPUT QTYPES_H XML...

Names that qtypes.h defines already are checked against it at compile time instead."""
import re
import sys
import xml.etree.ElementTree as ET

NS = "{http://www.genicam.org/GenApi/Version_1_1}"
VALUE_NODES = {"Integer", "Float", "Boolean", "Enumeration", "String", "Command"}
REGISTERS = {"IntReg", "MaskedIntReg", "FloatReg", "StringReg", "Register", "StructReg"}


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
        add(features, name, int(text(register, "Address"), 0), path)
        if kind == "Enumeration":
            for entry in node.findall(NS + "EnumEntry"):
                add(entries, entry.get("Name"), int(text(entry, "Value"), 0), path)


def add(table, name, value, path):
    if table.get(name, value) != value:
        sys.exit(f"{path}: {name} is {value} here and {table[name]} elsewhere")
    table[name] = value


def main():
    output, qtypes, maps = sys.argv[1], sys.argv[2], sys.argv[3:]
    with open(qtypes, encoding="utf-8") as file:
        known = set(re.findall(r"^(?:inline constexpr QINT64|#define) (\w+)", file.read(), re.M))
    features, entries = {}, {}
    for path in maps:
        read_map(path, features, entries)
    lines = ["// The names of the own node maps' features (their control types) and enumeration",
             "// entries (their values). Generated from the node maps' XML; do not edit.",
             "#pragma once", "", '#include "qtypes.h"', ""]
    for table in (features, entries):
        for name, value in sorted(table.items()):
            if name in known:
                lines.append(f"static_assert({name} == {value});")
            else:
                lines.append(f"inline constexpr QINT64 {name} = {value};")
        lines.append("")
    with open(output, "w", encoding="utf-8") as file:
        file.write("\n".join(lines))


if __name__ == "__main__":
    main()
