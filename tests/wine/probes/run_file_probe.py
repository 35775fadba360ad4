#!/usr/bin/python3
"""What Wine does with read-only copies, hidden and system destinations,
folder creation and WinExec, compared with the answers stored in
file_probe.expected.

    run_file_probe.py WIN32_BUILD_DIR [--root]

Runs FileProbe.exe (file_probe.cpp) once per Windows version named in
file_probe.expected, each in a fresh copy of the prepared prefix, as the
ordinary user the Wine runs play (wineprefix.py), and compares every line it
answers, and every start the Setup.exe stand-in recorded, with the stored
line for that version: one "PASS"/"FAIL" line each, an answer nobody
expected fails too, then the closing line "N passed, M failed".

--root also runs it as root (Windows 98) and prints those answers, which are
not compared: Wine maps read-only to the Unix write permission, which root
ignores, so root overwrites what Windows refuses a user. Needs to be started
as root.
"""
import os
import shutil
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, ".."))
import wineprefix  # noqa: E402

EXPECTED = os.path.join(HERE, "file_probe.expected")


def read_expected(path=EXPECTED):
    """{version: [answer, ...]} in the order the probe gives them."""
    expected = {}
    with open(path, encoding="latin-1") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            versions, tab, answer = line.partition("\t")
            if not tab or not versions.split() or not answer:
                raise SystemExit("%s:%d: not VERSIONS<tab>ANSWER: %s" % (path, number, line))
            for version in versions.split():
                expected.setdefault(version, []).append(answer)
    return expected


def lay_out(prefix, build):
    """C:\\probe: src\\RO.TXT (read-only), src\\RW.TXT, dst\\ (empty),
    My Dir\\Setup.exe and My.exe (both the Setup.exe stand-in), the probe."""
    base = prefix.drive_c("probe")
    standin = os.path.join(build, "tests", "wine", "standins", "installer", "Setup.exe")
    for folder in ("src", "dst", "My Dir"):
        os.makedirs(os.path.join(base, folder))
    for name, text in (("RO.TXT", "read-only source"), ("RW.TXT", "writable source")):
        with open(os.path.join(base, "src", name), "w") as f:
            f.write(text)
    os.chmod(os.path.join(base, "src", "RO.TXT"), 0o444)
    shutil.copy(standin, os.path.join(base, "My Dir", "Setup.exe"))
    shutil.copy(standin, os.path.join(base, "My.exe"))
    shutil.copy(os.path.join(build, "tests", "wine", "probes", "FileProbe.exe"), base)
    return base


def answers(build, template, version, as_root=False):
    """The probe's answer lines, then one line per program it started."""
    work = wineprefix.work_folder("probe")
    try:
        prefix = wineprefix.Prefix.copy_of(template, os.path.join(work, "prefix"))
        if as_root:
            # The template names its user's server folder, which root's
            # server will not use: root's Wine makes a folder of its own.
            os.remove(os.path.join(prefix.path, "wineserver"))
        base = lay_out(prefix, build)
        prefix.set_version("FileProbe.exe", version)
        prefix.run(["C:\\probe\\FileProbe.exe"], cwd=base, timeout=300 * wineprefix.time_scale())
        lines = []
        for path, form in ((os.path.join(base, "out.txt"), "%s"),
                           (prefix.drive_c("qt-started.txt"), "started by WinExec: %s")):
            if os.path.exists(path):
                with open(path, encoding="latin-1") as f:
                    lines += [form % l.rstrip("\r\n").replace("\t", " with command line ") for l in f if l.strip()]
        return lines
    finally:
        shutil.rmtree(work, ignore_errors=True)


def compare(version, got, wanted):
    """(passed, failed), printing one line per answer."""
    passed = failed = 0
    for i in range(max(len(got), len(wanted))):
        have = got[i] if i < len(got) else "(nothing)"
        if i < len(wanted) and have == wanted[i]:
            print("PASS %s: %s" % (version, have))
            passed += 1
        else:
            print("FAIL %s: %s, expected %s" % (version, have, wanted[i] if i < len(wanted) else "no more answers"))
            failed += 1
    return passed, failed


def main(args):
    if not args or not os.path.isdir(args[0]) or args[1:] not in ([], ["--root"]):
        print(__doc__)
        return 2
    build = os.path.abspath(args[0])
    if not os.path.isfile(os.path.join(build, "tests", "wine", "probes", "FileProbe.exe")):
        print("no FileProbe.exe in %s: build the win32 preset first" % build)
        return 2
    if args[1:] and os.geteuid() != 0:
        print("--root: start it as root")
        return 2
    expected = read_expected()
    template = wineprefix.template()  # the ordinary user's; root runs on a copy
    passed = failed = 0
    with wineprefix.Display():
        for version, wanted in expected.items():
            p, f = compare(version, answers(build, template, version), wanted)
            passed, failed = passed + p, failed + f
        if args[1:]:
            os.environ["QT_WINE_USER"] = "root"
            print("as root under win98, not compared:")
            print("".join("  %s\n" % line for line in answers(build, template, "win98", as_root=True)), end="")
    print("%d passed, %d failed" % (passed, failed))
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
