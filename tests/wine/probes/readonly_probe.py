#!/usr/bin/env python3
"""What Wine does with read-only copies, folder creation and WinExec.

    readonly_probe.py WIN32_BUILD_DIR [USER]

Runs FileProbe.exe (file_probe.cpp) in a fresh copy of the prepared prefix,
once as root and once as USER (default: nobody), and prints its answers and
the lines the Setup.exe stand-in wrote to C:\\qt-started.txt. Root matters:
Wine maps read-only to the Unix write permission, which root ignores.
"""
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import wineprefix  # noqa: E402


def probe(build, user):
    work = tempfile.mkdtemp(prefix="qt-probe-")
    os.chmod(work, 0o755)
    try:
        prefix = wineprefix.Prefix.copy_of(wineprefix.template(), os.path.join(work, "prefix"))
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
        home = os.path.join(work, "home")
        os.makedirs(home)
        command = ["wine", "C:\\probe\\FileProbe.exe"]
        wait = ["wineserver", "-w"]
        if user != "root":
            subprocess.run(["chown", "-R", user, work], check=True)
            drop = ["setpriv", "--reuid=" + user, "--regid=" + str(_gid(user)), "--clear-groups", "env"]
            command = drop + command
            wait = drop + wait
        with wineprefix.Display():
            env = wineprefix.wine_env(prefix.path)
            env.update(HOME=home, TMPDIR=home)
            subprocess.run(command, env=env, timeout=300, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            subprocess.run(wait, env=env, timeout=60)
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


def _gid(user):
    import pwd
    return pwd.getpwnam(user).pw_gid


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    build = os.path.abspath(sys.argv[1])
    probe(build, "root")
    probe(build, sys.argv[2] if len(sys.argv) > 2 else "nobody")
    return 0


if __name__ == "__main__":
    sys.exit(main())
