#!/usr/bin/python3
"""Checks that winsim/README.md still indexes what winsim provides.

    check_index.py [WINSIM_DIR]

- every function declared in include/ ("WINAPI Name(") has a row in the
  index, whose first cell is `Name`, and no row names a function that is no
  longer declared, or names one twice;
- the fault points listed under "## Fault points" are exactly the table of
  src/faults.cpp;
- the numbered entries under "## Known gaps" run 1, 2, ... N, and the closing
  line "Known gaps: N." gives that N.

Prints each disagreement and exits 1 when there is any.
"""
import os
import re
import sys


def declared_functions(include_dir):
    names = set()
    for folder, _, files in os.walk(include_dir):
        for file in files:
            if file.endswith(".h"):
                with open(os.path.join(folder, file), encoding="utf-8") as f:
                    names.update(re.findall(r"\bWINAPI\s+(\w+)\s*\(", f.read()))
    return names


def section(text, title):
    """The text under the "## title" heading, up to the next such heading."""
    match = re.search(r"^## " + re.escape(title) + r"\s*$(.*?)(?=^## |\Z)", text, re.M | re.S)
    return match.group(1) if match else None


def index_rows(functions_text):
    """The function named in the first cell of every table row."""
    rows = re.findall(r"^\| `(\w+)` \|", functions_text, re.M)
    return rows


def fault_points(faults_cpp):
    table = re.search(r"kFaultPoints\[\] = \{(.*?)\};", faults_cpp, re.S)
    return re.findall(r'"([^"]+)"', table.group(1)) if table else []


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__)))
    with open(os.path.join(root, "README.md"), encoding="utf-8") as f:
        readme = f.read()
    with open(os.path.join(root, "src", "faults.cpp"), encoding="utf-8") as f:
        faults_cpp = f.read()
    problems = []

    declared = declared_functions(os.path.join(root, "include"))
    functions = section(readme, "Functions")
    if functions is None:
        problems.append('no section "## Functions"')
        functions = ""
    rows = index_rows(functions)
    for name in sorted(declared - set(rows)):
        problems.append("declared in include/ but without a row in the index: %s" % name)
    for name in sorted(set(rows) - declared):
        problems.append("a row in the index for a function include/ does not declare: %s" % name)
    for name in sorted({name for name in rows if rows.count(name) > 1}):
        problems.append("more than one row in the index for: %s" % name)

    points = fault_points(faults_cpp)
    if not points:
        problems.append("no kFaultPoints table in src/faults.cpp")
    # The names are the section's last paragraph.
    paragraphs = [p for p in (section(readme, "Fault points") or "").split("\n\n") if p.strip()]
    listed = re.findall(r"`([\w.]+)`", paragraphs[-1]) if paragraphs else []
    if sorted(set(listed)) != sorted(points):
        problems.append("fault points listed %s, the table has %s" % (sorted(set(listed)), sorted(points)))

    gaps = section(readme, "Known gaps")
    if gaps is None:
        problems.append('no section "## Known gaps"')
    else:
        numbers = [int(n) for n in re.findall(r"^(\d+)\. \*\*", gaps, re.M)]
        if numbers != list(range(1, len(numbers) + 1)):
            problems.append("known gaps are not numbered 1 to N in order: %s" % numbers)
        stated = re.findall(r"^Known gaps: (\d+)\.\s*$", gaps, re.M)
        if len(stated) != 1:
            problems.append('no single closing line "Known gaps: N."')
        elif int(stated[0]) != len(numbers):
            problems.append("the closing line says %s known gaps, the section lists %d" % (stated[0], len(numbers)))
        elif not gaps.rstrip().endswith("Known gaps: %s." % stated[0]):
            problems.append('"Known gaps: N." is not the last line')

    for problem in problems:
        print("winsim index: " + problem)
    print("winsim index: %d functions, %d fault points, %s" %
          (len(declared), len(points), "in step" if not problems else "%d problem(s)" % len(problems)))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
