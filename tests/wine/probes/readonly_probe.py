#!/usr/bin/env python3
"""What Wine does with read-only copies, folder creation and WinExec.

    readonly_probe.py WIN32_BUILD_DIR [USER]

Runs FileProbe.exe (file_probe.cpp) in a fresh copy of the prepared prefix,
once as root and once as USER (default: the user the Wine runs play, see
wineprefix.py), and prints its answers and the lines the Setup.exe stand-in
wrote to C:\\qt-started.txt. Root matters: Wine maps read-only to the Unix
write permission, which root ignores. Run it as root.
"""
import os
import shutil
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import wineprefix  # noqa: E402


def probe(build, template, user):
    os.environ["QT_WINE_USER"] = user  # wineprefix runs Wine as this user
    work = wineprefix.work_folder("probe")
    try:
        prefix = wineprefix.Prefix.copy_of(template, os.path.join(work, "prefix"))
        if user == "root":
            # The template names its user's server folder, which root's
            # server will not use: root's Wine makes a folder of its own.
            os.remove(os.path.join(prefix.path, "wineserver"))
        base = prefix.drive_c("probe")
        standin = os.path.join(build, "tests", "wine", "standins", "installer", "Setup.exe")
        os.makedirs(os.path.join(base, "src"))
        os.makedirs(os.path.join(base, "dst"))
        os.makedirs(os.path.join(base, "My Dir"))
        with open(os.path.join(base, "src", "RO.TXT"), "w") as f:
            f.write("read-only source")
        os.chmod(os.path.join(base, "src", "RO.TXT"), 0o444)
        with open(os.path.join(base, "src", "RW.TXT"), "w") as f:
            f.write("writable source")
        shutil.copy(standin, os.path.join(base, "My Dir", "Setup.exe"))
        shutil.copy(standin, os.path.join(base, "My.exe"))
        shutil.copy(os.path.join(build, "tests", "wine", "probes", "FileProbe.exe"), base)
        prefix.set_version("FileProbe.exe", "win98")
        with wineprefix.Display():
            prefix.run(["C:\\probe\\FileProbe.exe"], cwd=base, timeout=300)
        print("=== as %s" % user)
        with open(os.path.join(base, "out.txt")) as f:
            print(f.read().rstrip())
        started = prefix.drive_c("qt-started.txt")
        if os.path.exists(started):
            with open(started, encoding="latin-1") as f:
                for line in f:
                    print("started: " + line.rstrip("\r\n").replace("\t", "  command line: "))
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    if os.geteuid() != 0:
        print("readonly_probe.py compares root with an ordinary user: run it as root")
        return 2
    build = os.path.abspath(sys.argv[1])
    user = sys.argv[2] if len(sys.argv) > 2 else wineprefix.user()[0]
    template = wineprefix.template()  # the ordinary user's; root runs on a copy it owns
    probe(build, template, "root")
    probe(build, template, user)
    return 0


if __name__ == "__main__":
    sys.exit(main())
