#!/usr/bin/env python3
"""Reads kxm's JSON with a real JSON parser, for the tests.

  check_json.py tree DUMP_JSON TEXT_DUMP   the JSON tree, printed as kxm-dump prints a tree,
                                           must equal the text dump; prints "same" or the first
                                           difference
  check_json.py report CHECK_JSON          one line per report: file, outcome, errors, warnings,
                                           truncated, the codes listed, the stats
"""
import json
import sys


def label_bytes(label):
    # Each code point of a label is one byte of the file's label.
    return bytes(ord(c) for c in label)


def escaped(raw):
    out = []
    for b in raw:
        if b == 0x5C:
            out.append("\\\\")
        elif 0x20 <= b <= 0x7E:
            out.append(chr(b))
        else:
            out.append("\\x%02x" % b)
    return "".join(out)


def tree_lines(nodes):
    lines = []
    stack = [(node, 0) for node in reversed(nodes)]
    while stack:
        node, depth = stack.pop()
        for key in ("label", "offset", "code", "length", "children"):
            if key not in node:
                raise SystemExit("node without %s: %r" % (key, node))
        lines.append("  " * depth + escaped(label_bytes(node["label"])))
        stack.extend((child, depth + 1) for child in reversed(node["children"]))
    return lines


def main():
    if sys.argv[1] == "tree":
        with open(sys.argv[2], encoding="ascii") as f:
            document = json.load(f)
        with open(sys.argv[3], encoding="latin-1") as f:
            dump = f.read().split("\n")[:-1]
        lines = tree_lines(document["tree"])
        for i, (a, b) in enumerate(zip(lines, dump)):
            if a != b:
                print("line %d: json %r, dump %r" % (i + 1, a, b))
                return
        if len(lines) != len(dump):
            print("json has %d nodes, the dump %d" % (len(lines), len(dump)))
            return
        print("same %s %s" % (document["outcome"],
                              document["failure"]["cause"] if document["failure"] else "-"))
    elif sys.argv[1] == "report":
        with open(sys.argv[2], encoding="ascii") as f:
            reports = json.load(f)
        for r in reports:
            issues = r["issues"]
            print(r["file"].rsplit("/", 1)[-1], r["outcome"], issues["numErrors"],
                  issues["numWarnings"], issues["truncated"],
                  ",".join(m["code"] + "@" + str(m["offset"]) for m in issues["messages"]),
                  ",".join("%s=%d" % kv for kv in sorted(r["stats"].items())))


main()
