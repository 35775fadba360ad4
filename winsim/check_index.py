#!/usr/bin/python3
"""Checks that winsim/README.md still indexes what winsim provides.

    check_index.py WINSIM_DIR BUILD_DIR

- every function declared in include/ ("WINAPI Name(") has a row in the
  index, whose first cell is `Name`, and no row names a function that is no
  longer declared, or names one twice;
- the fault points listed under "## Fault points" are exactly the table of
  src/faults.cpp;
- the numbered entries under "## Known gaps" run 1, 2, ... N, and the closing
  line "Known gaps: N." gives that N;
- every piece of evidence the page cites exists (paths are looked up in
  winsim/, then at the top of the checkout, and a bare file name anywhere in
  it; `*` is a wildcard that must match at least once):
    `Suite.Name`, `Suite.*`, `Suite`, `Prefix/Suite.Name`  a GoogleTest test,
        a suite, or a parameterised instantiation that the build BUILD_DIR
        runs (its ctest list, where every GoogleTest case is a test of its
        own): a test written in a file that no target compiles is no
        evidence; a suite's name ends in "Test"
    scenario(s) `a`, `b` and `c`  installer scenarios tests/scenarios/NAME.scn;
        with "emulator" before it, tests/wine/emulator_scenarios/NAME.scn; a
        remark in brackets may follow a name
    test(s) `name`  a ctest of the build BUILD_DIR
    `dir/`, `dir/file.ext`, `file.ext`  a folder or a project file (.cpp, .h,
        .py, .md, .scn, .sh, .txt, .json, .cmake, .expected)
    `file_probe.expected` line(s) 8, 9–10 and 12  answer lines of the file
        probe's stored answers; in a function's row each names the function
  and the old wording "file probe line N" is refused.

Prints each disagreement and exits 1 when there is any.
"""
import fnmatch
import glob
import os
import re
import sys

PROJECT_FILE = re.compile(r"^[\w.*-]+(/[\w.*-]*)*$")
PROJECT_EXTENSIONS = (".cpp", ".h", ".py", ".md", ".scn", ".sh", ".txt", ".json", ".cmake", ".expected")
# "Prefix/Suite.Name/Param" names one case of a parameterised test.
GTEST_NAME = re.compile(r"^(?:(\w+)/)?([A-Z]\w*Test)(?:\.(\*|\w+))?(?:/\w+)?$")
SCENARIO_LIST = re.compile(r"\b(emulator )?(?:Wine )?scenarios? ((?:`[^`]+`(?: \([^)]*\))?(?:, and |, | and )?)+)")
CTEST_NAME = re.compile(r"\btests? `([a-z]\w*\*?)`")
PROBE_LINES = re.compile(r"`file_probe\.expected` lines? (\d+(?:–\d+)?(?:(?:, | and )\d+(?:–\d+)?)*)")
SKIPPED_FOLDERS = {".git", "build", "out", "corpus"}
# Prefix/Suite.Name/Param, whatever the parameter's name holds.
# add_test([=[NAME]=] ...) or add_test(NAME ...), as CMake writes them.
CTEST_ADD = re.compile(r"add_test\(\s*(?:\[(=*)\[(.*?)\]\1\]|([^\s)]+))")
BUILT_GTEST = re.compile(r"^(?:(\w+)/)?(\w+)\.(\w+)(?:/|$)")


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


def built_tests(build):
    """The names of every test the build BUILD runs, read from the files
    ctest reads (CTestTestfile.cmake, its subdirs() and the test lists that
    GoogleTest's discovery writes and include() brings in). Running ctest
    here would overwrite the log of the ctest run this check is part of."""
    top = os.path.join(build, "CTestTestfile.cmake")
    if not os.path.exists(top):
        sys.exit("winsim index: no tests in %s (not a configured build)" % build)
    names, pending, seen = set(), [top], set()
    while pending:
        path = pending.pop()
        if path in seen or not os.path.exists(path):
            continue
        seen.add(path)
        text = read(path)
        folder = os.path.dirname(path)
        names.update(m.group(2) if m.group(2) is not None else m.group(3) for m in CTEST_ADD.finditer(text))
        pending += [os.path.join(folder, d, "CTestTestfile.cmake") for d in re.findall(r'subdirs\("([^"]+)"\)', text)]
        pending += re.findall(r'include\("([^"]+)"\)', text)
    # A test program not built yet stands in its list as NAME_NOT_BUILT.
    return {name for name in names if not name.endswith("_NOT_BUILT")}


class Checkout:
    """What the evidence can name: the checkout's files, the tests its
    build runs and the file probe's stored answers."""

    def __init__(self, winsim, tests):
        self.winsim = winsim
        self.top = os.path.dirname(winsim)
        self.files = []
        for folder, subfolders, files in os.walk(self.top):
            subfolders[:] = [d for d in subfolders if d not in SKIPPED_FOLDERS]
            self.files += [os.path.relpath(os.path.join(folder, f), self.top) for f in files]
        self.ctests = set(tests)
        self.tests = {m.groups() for m in map(BUILT_GTEST.match, tests) if m}
        probe = os.path.join(self.top, "tests", "wine", "probes", "file_probe.expected")
        self.probe = read(probe).split("\n") if os.path.exists(probe) else []

    def has_path(self, cited):
        """A folder or file, relative to winsim/ or the top, or a bare file
        name anywhere; wildcards must match."""
        for base in (self.winsim, self.top):
            if glob.glob(os.path.join(base, cited)):
                return True
        return "/" not in cited and any(fnmatch.fnmatch(os.path.basename(f), cited) for f in self.files)

    def has_test(self, prefix, suite, name):
        return any(s == suite and prefix in (None, p) and name in (None, "*", n) for p, s, n in self.tests)

    def has_scenario(self, emulator, name):
        folder = ("tests", "wine", "emulator_scenarios") if emulator else ("tests", "scenarios")
        return bool(glob.glob(os.path.join(self.top, *folder, name + ".scn")))

    def has_ctest(self, name):
        return any(fnmatch.fnmatch(test, name) for test in self.ctests)

    def probe_line_problem(self, number, function):
        """Why line NUMBER of the stored probe answers cannot be cited (in
        FUNCTION's row), or None."""
        if not 1 <= number <= len(self.probe):
            return "file_probe.expected has no line %d" % number
        line = self.probe[number - 1]
        if not line or line.startswith("#"):
            return "file_probe.expected line %d is no answer" % number
        if function and function not in line:
            return "file_probe.expected line %d does not name %s: %s" % (number, function, line)
        return None


def read(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        return f.read()


def line_numbers(listing):
    """8, 9–10 and 12: [8, 9, 10, 12]."""
    out = []
    for part in re.split(r", | and ", listing):
        first, _, last = part.partition("–")
        out += range(int(first), int(last or first) + 1)
    return out


def evidence_problems(readme, checkout):
    """Every citation on the page that names nothing of the checkout."""
    problems = []
    for number, line in enumerate(readme.split("\n"), 1):
        row = re.match(r"^\| `(\w+)` \|", line)
        function = row.group(1) if row else None
        where = "README.md:%d: " % number
        scenarios = set()
        for match in SCENARIO_LIST.finditer(line):
            for name in re.findall(r"`([^`]+)`", re.sub(r" \([^)]*\)", "", match.group(2))):
                scenarios.add(name)
                if not checkout.has_scenario(match.group(1), name):
                    problems.append(where + "no %sscenario %s" % (match.group(1) or "installer ", name))
        for name in CTEST_NAME.findall(line):
            scenarios.add(name)
            if not checkout.has_ctest(name):
                problems.append(where + "no ctest %s in the build" % name)
        for match in PROBE_LINES.finditer(line):
            for cited in line_numbers(match.group(1)):
                problem = checkout.probe_line_problem(cited, function)
                if problem:
                    problems.append(where + problem)
        if re.search(r"file probe lines? \d", line):
            problems.append(where + 'cite the probe as "`file_probe.expected` line N"')
        for token in re.findall(r"`([^`]+)`", line):
            test = GTEST_NAME.match(token)
            if test:
                if not checkout.has_test(*test.groups()):
                    problems.append(where + "no test %s in the build's tests" % token)
            elif token not in scenarios and PROJECT_FILE.match(token) and (
                    "/" in token or token.endswith(PROJECT_EXTENSIONS)):
                if not checkout.has_path(token):
                    problems.append(where + "no file %s" % token)
    return problems


def check(root, readme, tests):
    """The disagreements between the page README and the winsim folder ROOT,
    whose build runs the tests named TESTS."""
    faults_cpp = read(os.path.join(root, "src", "faults.cpp"))
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

    return problems + evidence_problems(readme, Checkout(root, tests))


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    root = os.path.abspath(sys.argv[1])
    problems = check(root, read(os.path.join(root, "README.md")), built_tests(sys.argv[2]))
    declared = declared_functions(os.path.join(root, "include"))
    points = fault_points(read(os.path.join(root, "src", "faults.cpp")))
    for problem in problems:
        print("winsim index: " + problem)
    print("winsim index: %d functions, %d fault points, %s" %
          (len(declared), len(points), "in step" if not problems else "%d problem(s)" % len(problems)))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
