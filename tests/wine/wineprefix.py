#!/usr/bin/python3
"""A 32-bit Wine prefix for the end-to-end runs, prepared once and reused.

    wineprefix.py template      prints the path of the prepared template
                                prefix, creating it first if needed

    wineprefix.py user          prints the name of the user Wine runs as

Wine runs as an ordinary user, as Windows programs run for a user who may
not overwrite read-only files: Wine running as root passes every permission
check (it overwrites read-only files, for one). Started as root, the runs
play the user QT_WINE_USER (default "qtwine", which scripts/setup.sh
creates); started as anyone else, they run as that caller. QT_WINE_USER=root
gives the old, privileged runs back, for comparison only. The runner itself
stays the caller: it lays out prefixes and drives, hands them to the user
(`give`), and only Wine and its server run as the user (`as_user`).

Creating a prefix is slow (minutes where Wine's 32-bit side runs through the
user-mode emulator), so one template per user is kept in QT_WINE_CACHE
(default: .cache/qtonal-wine in the Wine user's home, owned by that user) and
every test run works on a copy of it. Set-up of a scenario (Windows version,
drives, registry) is written straight into the prefix's registry files while
no Wine process runs: Wine reads them when its server starts, and no slow
Wine process is needed for it.
"""
import fcntl
import os
import pwd
import shutil
import subprocess
import sys
import tempfile
import time

TEMPLATE_VERSION = "1"
DEFAULT_USER = "qtwine"


def user():
    """The account Wine runs as: (name, uid, gid, home)."""
    if os.geteuid() == 0:
        name = os.environ.get("QT_WINE_USER") or DEFAULT_USER
        try:
            entry = pwd.getpwnam(name)
        except KeyError:
            raise SystemExit("wine: no user %s to run Wine as: run scripts/setup.sh first" % name)
    else:
        entry = pwd.getpwuid(os.geteuid())
        wanted = os.environ.get("QT_WINE_USER")
        if wanted and wanted != entry.pw_name:
            raise SystemExit("wine: only root can run Wine as %s (QT_WINE_USER)" % wanted)
    return entry.pw_name, entry.pw_uid, entry.pw_gid, entry.pw_dir


def _switching():
    return user()[1] != os.geteuid()


def as_user(command):
    """COMMAND, run as the Wine user with that user's own home and nothing
    of the caller's per-user folders."""
    if not _switching():
        return list(command)
    name, uid, gid, home = user()
    return (["setpriv", "--reuid=%d" % uid, "--regid=%d" % gid, "--init-groups",
             "env", "-u", "XDG_RUNTIME_DIR", "-u", "XDG_CACHE_HOME", "-u", "XDG_CONFIG_HOME",
             "-u", "XDG_DATA_HOME", "-u", "TMPDIR", "HOME=" + home, "USER=" + name, "LOGNAME=" + name]
            + list(command))


def give(*paths):
    """Hands folders (and everything below them) to the Wine user, so that
    Wine can write there as Windows lets a user: read-only files stay
    read-only, because they lack the write permission."""
    if not _switching():
        return
    _name, uid, gid, _home = user()
    for path in paths:
        subprocess.run(["chown", "-R", "%d:%d" % (uid, gid), path], check=True)


def work_folder(label):
    """A fresh temporary folder the Wine user owns (the build tree may not
    be reachable for that user)."""
    path = tempfile.mkdtemp(prefix="qt-wine-%s-" % label)
    os.chmod(path, 0o755)
    give(path)
    return path


def cache():
    if os.environ.get("QT_WINE_CACHE"):
        return os.environ["QT_WINE_CACHE"]
    return os.path.join(user()[3], ".cache", "qtonal-wine")


def wine_env(prefix):
    env = dict(os.environ)
    env.update(WINEPREFIX=prefix, WINEARCH="win32", WINEDEBUG="-all")
    return env


def stop_server(prefix):
    env = wine_env(prefix)
    subprocess.run(as_user(["wineserver", "-k"]), env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(as_user(["wineserver", "-w"]), env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def time_scale():
    """What every deadline of a Wine run is multiplied by: QT_WINE_TIME_SCALE,
    else 2 where 32-bit programs run through the i386 user-mode emulator
    (a Wine start takes a second or two there), else 1."""
    if os.environ.get("QT_WINE_TIME_SCALE"):
        return int(os.environ["QT_WINE_TIME_SCALE"])
    try:
        with open("/proc/sys/fs/binfmt_misc/qemu-i386") as f:
            return 2 if f.readline().startswith("enabled") else 1
    except OSError:
        return 1


# The locale that gives Wine each ANSI code page. Host file names are UTF-8
# under all of them.
LOCALES = {1252: "C.UTF-8", 932: "ja_JP.UTF-8", 936: "zh_CN.UTF-8", 949: "ko_KR.UTF-8", 950: "zh_TW.UTF-8"}


def locale_env(codepage):
    return {"LANG": LOCALES[codepage], "LC_ALL": LOCALES[codepage]}


def encoding(codepage):
    """Python's name for a Windows code page."""
    return "cp%d" % codepage


def reg_quote(text):
    return text.replace("\\", "\\\\").replace('"', '\\"')


class Prefix:
    def __init__(self, path):
        self.path = path
        self.mapped = []  # folders mapped as drives, handed to the user with the prefix

    @classmethod
    def copy_of(cls, template, path):
        if os.path.exists(path):
            shutil.rmtree(path)
        shutil.copytree(template, path, symlinks=True)
        return cls(path)

    # Registry files: HKLM lives in system.reg, HKCU in user.reg.
    def _append(self, hive, key, values):
        lines = ["", "[%s] %d" % (reg_quote(key), int(time.time()))]
        for name, data in values:
            lines.append('"%s"=%s' % (reg_quote(name), data))
        with open(os.path.join(self.path, hive), "a", encoding="latin-1") as f:
            f.write("\n".join(lines) + "\n")

    @staticmethod
    def _split(key):
        for root, hive in (("HKLM\\", "system.reg"), ("HKCU\\", "user.reg")):
            if key.startswith(root):
                return hive, key[len(root):].rstrip("\\")
        raise ValueError("registry key must start with HKLM\\ or HKCU\\: " + key)

    def set_string(self, key, name, text):
        hive, rel = self._split(key)
        self._append(hive, rel, [(name, '"%s"' % reg_quote(text))])

    def set_dword(self, key, name, value):
        hive, rel = self._split(key)
        self._append(hive, rel, [(name, "dword:%08x" % value)])

    def create_key(self, key):
        hive, rel = self._split(key)
        self._append(hive, rel, [])

    def set_version(self, program, version):
        self.set_string("HKCU\\Software\\Wine\\AppDefaults\\" + program, "Version", version)

    def map_drive(self, letter, target, kind):
        """Maps a drive letter onto a folder; target None is a drive with no medium."""
        letter = letter.lower()
        link = os.path.join(self.path, "dosdevices", letter + ":")
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(os.path.abspath(target) if target else "/nonexistent/qt-no-medium-" + letter, link)
        if target:
            self.mapped.append(os.path.abspath(target))
        self.set_string("HKLM\\Software\\Wine\\Drives", letter + ":", kind)

    def drive_c(self, *parts):
        return os.path.join(self.path, "drive_c", *parts)

    # The programs under test live below C:\windows, so that the folder
    # dialog's view of C:\ shows only the folders of a fresh prefix.
    PROGRAMS = "windows/qttest"

    def install_programs(self, files, folder=PROGRAMS):
        target = self.drive_c(*folder.split("/"))
        os.makedirs(target, exist_ok=True)
        for f in files:
            shutil.copy2(f, target)
        return target

    def run(self, args, cwd, timeout, env=None):
        """Runs a Windows program; returns its exit code, or None on time-out.
        Leaves no Wine process behind."""
        stop_server(self.path)
        # Whatever the set-up wrote (as the caller) becomes the user's.
        give(self.path, *self.mapped)
        full_env = wine_env(self.path)
        if env:
            full_env.update(env)
        proc = subprocess.Popen(as_user(["wine"] + args), cwd=cwd, env=full_env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            rc = proc.wait(timeout=timeout)
            # Programs the run started (a setup program) may still be at
            # work: the server ends once the last of them has ended.
            try:
                subprocess.run(as_user(["wineserver", "-w"]), env=full_env, timeout=60,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            except subprocess.TimeoutExpired:
                pass
            return rc
        except subprocess.TimeoutExpired:
            proc.kill()
            return None
        finally:
            stop_server(self.path)

    def run_robot(self, script, program, deadline_ms, folder=PROGRAMS, extra_args=(), env=None, timeout=None,
                  codepage=1252):
        """Runs PROGRAM beside the UI robot under the locale of CODEPAGE;
        returns the robot's transcript lines. The robot's first line, the
        code page it found, is checked and dropped; when it is not CODEPAGE
        it stays as "codepage FOUND, expected CODEPAGE", so that the run
        fails. TIMEOUT (seconds) ends everything; by default a minute after
        the robot's deadline."""
        work = self.drive_c(*folder.split("/"))
        with open(os.path.join(work, "script.txt"), "w", encoding=encoding(codepage), newline="\r\n") as f:
            f.write("".join(line + "\n" for line in script))
        transcript = os.path.join(work, "transcript.txt")
        if os.path.exists(transcript):
            os.remove(transcript)
        env = dict(env or {}, **locale_env(codepage))
        rc = self.run(["C:\\%s\\robot.exe" % folder.replace("/", "\\"), "script.txt", "transcript.txt", str(deadline_ms), program]
                      + list(extra_args), cwd=work, timeout=timeout or deadline_ms / 1000 + 60, env=env)
        lines = []
        if os.path.exists(transcript):
            with open(transcript, encoding=encoding(codepage), errors="replace") as f:
                lines = [l.rstrip("\r\n") for l in f if l.strip()]
        wanted = "codepage\t%d" % codepage
        if lines and lines[0] == wanted:
            lines.pop(0)
        else:
            lines.insert(0, "%s, expected %d" % (lines.pop(0) if lines else "codepage\tnone", codepage))
        if rc is None:
            lines.append("robot\ttimed out")
        return lines


def template():
    """The Wine user's prepared template prefix, created on first use; runs
    that start together wait for the one that creates it."""
    folder = cache()
    path = os.path.join(folder, "prefix-v" + TEMPLATE_VERSION)
    if os.path.exists(os.path.join(path, ".qt-ready")):
        return path
    # The user makes its own folders, so that it owns every level it created.
    subprocess.run(as_user(["mkdir", "-p", folder]), check=True)
    lock = os.open(folder, os.O_RDONLY)  # the folder itself is the lock
    try:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if os.path.exists(os.path.join(path, ".qt-ready")):
            return path
        print("wine: preparing a 32-bit prefix in %s for %s (once; this takes minutes)" % (path, user()[0]),
              flush=True)
        if os.path.exists(path):
            shutil.rmtree(path)
        env = wine_env(path)
        env["WINEDLLOVERRIDES"] = "mscoree=d;mshtml=d"
        with Display():
            subprocess.run(as_user(["wineboot", "-i"]), env=env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=3600)
            stop_server(path)
        configure(path)
        give(path)
    finally:
        os.close(lock)
    return path


def configure(path):
    """Settings every end-to-end run needs, written into a booted prefix."""
    prefix = Prefix(path)
    # Without a window manager, unmanaged windows make message boxes appear at once.
    prefix.set_string("HKCU\\Software\\Wine\\X11 Driver", "Managed", "N")
    prefix.set_string("HKCU\\Software\\Wine\\X11 Driver", "Decorated", "N")
    # A crash ends the program at once instead of waiting in a debugger.
    aedebug = "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug"
    prefix.set_string(aedebug, "Debugger", "qt-no-debugger.exe")
    prefix.set_string(aedebug, "Auto", "1")
    # Drive lists hold only what a test mapped.
    zlink = os.path.join(path, "dosdevices", "z:")
    if os.path.lexists(zlink):
        os.remove(zlink)
    open(os.path.join(path, ".qt-ready"), "w").close()


class Display:
    """A private Xvfb display for the duration of a block, the Wine user's
    own, unless QT_WINE_DISPLAY names one to use (to watch or click through a
    run; that user must be let in, e.g. xhost +SI:localuser:qtwine)."""

    def __enter__(self):
        self.proc = None
        self.saved = os.environ.get("DISPLAY")
        if os.environ.get("QT_WINE_DISPLAY"):
            os.environ["DISPLAY"] = os.environ["QT_WINE_DISPLAY"]
            return self
        for n in range(91, 160):
            if not os.path.exists("/tmp/.X11-unix/X%d" % n) and not os.path.exists("/tmp/.X%d-lock" % n):
                break
        # The display belongs to the Wine user, as a user's own session does.
        if os.geteuid() == 0 and not os.path.isdir("/tmp/.X11-unix"):
            os.makedirs("/tmp/.X11-unix", exist_ok=True)
            os.chmod("/tmp/.X11-unix", 0o1777)
        self.proc = subprocess.Popen(as_user(["Xvfb", ":%d" % n, "-screen", "0", "1024x768x24", "-nolisten", "tcp"]),
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(100):
            if os.path.exists("/tmp/.X11-unix/X%d" % n):
                break
            time.sleep(0.1)
        os.environ["DISPLAY"] = ":%d" % n
        return self

    def __exit__(self, *exc):
        if self.proc:
            self.proc.terminate()
            self.proc.wait()
        if self.saved is None:
            os.environ.pop("DISPLAY", None)
        else:
            os.environ["DISPLAY"] = self.saved
        return False


if __name__ == "__main__":
    if sys.argv[1:] == ["template"]:
        print(template())
        sys.exit(0)
    if sys.argv[1:] == ["user"]:
        print(user()[0])
        sys.exit(0)
    print(__doc__)
    sys.exit(2)
