#!/usr/bin/env python3
"""Runs the installer scenarios under Wine with the real Windows build.

    run_installer_scenarios.py WIN32_BUILD_DIR [--show] [SCENARIO...]

With --show, what the user saw is printed for every scenario.

Each scenario (tests/scenarios/*.scn) gets a fresh copy of a prepared 32-bit
prefix. The machine is written straight into the prefix's registry files
while no Wine process runs (fast even where Wine itself is slow), then the
UI robot starts InstallQTonal.exe, answers every box as the scenario says and
writes down what it saw. The transcript must equal the scenario's.
Prints one line per scenario and a closing line "N passed, M failed".
"""
import os
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wineprefix  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
SCENARIOS = os.path.join(HERE, "..", "scenarios")
DEADLINE_MS = 240000


def read_scenario(path):
    lines = []
    with open(path, encoding="latin-1") as f:
        for number, text in enumerate(f, 1):
            text = text.rstrip("\r\n")
            if text and not text.startswith("#"):
                lines.append((number, text.split("\t")))
    return lines


def prepare(lines, prefix):
    """Applies the machine lines; returns (robot script, expected transcript)."""
    script, expected = [], []
    for number, f in lines:
        verb = f[0]
        if verb == "version" and len(f) == 2:
            prefix.set_version("InstallQTonal.exe", f[1])
        elif verb == "reg" and len(f) == 5 and f[3] == "sz":
            prefix.set_string(f[1], f[2], f[4])
        elif verb == "regkey" and len(f) == 2:
            prefix.create_key(f[1])
        elif verb == "box" and len(f) == 5:
            script.append("box\t" + f[4])
            expected.append("\t".join(f))
        elif verb == "exit" and len(f) == 2:
            expected.append("\t".join(f))
        else:
            raise ValueError("line %d not understood: %s" % (number, "\t".join(f)))
    return script, expected


def show(name, transcript):
    """Prints a transcript as the user saw it."""
    print("=== %s: what the user saw" % name)
    for line in transcript:
        f = line.split("\t")
        if f[0] == "box" and len(f) == 5:
            print("  [%s]  (%s)" % (f[1], f[3]))
            for text_line in f[2].split("\\n"):
                print("    " + text_line)
            print("  -> the user answers %s" % f[4])
        elif f[0] == "exit":
            print("  the program ended with exit code %s" % f[1])
        else:
            print("  " + " | ".join(f))


def run_one(path, build, template, work, show_transcript=False):
    name = os.path.basename(path)[:-4]
    prefix = wineprefix.Prefix.copy_of(template, os.path.join(work, "prefix-" + name))
    script, expected = prepare(read_scenario(path), prefix)
    prefix.install_programs([os.path.join(build, "installer", "InstallQTonal.exe"),
                             os.path.join(build, "tests", "wine", "robot", "robot.exe")])
    transcript = prefix.run_robot(script, "InstallQTonal.exe", DEADLINE_MS)
    ok = transcript == expected
    if show_transcript:
        show(name, transcript)
    if not ok:
        print("--- %s: expected" % name)
        print("\n".join("    " + line for line in expected))
        print("--- %s: seen under Wine" % name)
        print("\n".join("    " + line for line in transcript))
    else:
        shutil.rmtree(prefix.path, ignore_errors=True)
    return name, ok


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    build = os.path.abspath(sys.argv[1])
    args = sys.argv[2:]
    show_transcript = "--show" in args
    args = [a for a in args if a != "--show"]
    paths = args or sorted(
        os.path.join(SCENARIOS, n) for n in os.listdir(SCENARIOS) if n.endswith(".scn"))
    work = os.path.join(build, "wine-scenarios")
    os.makedirs(work, exist_ok=True)
    template = wineprefix.template()
    passed = failed = 0
    with wineprefix.Display():
        for path in paths:
            name, ok = run_one(path, build, template, work, show_transcript)
            print("%s %s" % ("PASS" if ok else "FAIL", name), flush=True)
            passed += ok
            failed += not ok
    print("%d passed, %d failed" % (passed, failed))
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
