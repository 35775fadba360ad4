#!/usr/bin/python3
"""Runs the installer scenarios under Wine with the real Windows build.

    run_installer_scenarios.py WIN32_BUILD_DIR [--show] [SCENARIO...]

With --show, what the user saw is printed for every scenario.

Each scenario (tests/scenarios/*.scn) gets a fresh copy of a prepared 32-bit
prefix. The machine is written straight into the prefix's registry files
while no Wine process runs (fast even where Wine itself is slow), then the
UI robot starts InstallQTonal.exe, answers every box as the scenario says and
writes down what it saw. The transcript must equal the scenario's, but for
the status window's states, which the robot may see more of than the
scenario names (status_lines_as_expected).
Prints one line per scenario, then "K known gaps" (known_gaps.py: a scenario
marked `gap	wine	REASON` must differ) and a closing line "N passed, M failed".

Wine runs as an ordinary user (wineprefix.py): the scenarios are laid out in
a temporary folder that user owns; a failed scenario's folder is kept there
for a look, and the pictures (`shot`) are saved in WIN32_BUILD_DIR/wine-scenarios
as SCENARIO-NAME.png.
"""
import difflib
import os
import shutil
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import known_gaps  # noqa: E402
import wineprefix  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
SCENARIOS = os.path.join(HERE, "..", "scenarios")
MEDIA = os.path.join(HERE, "..", "media")
DEADLINE_MS = 240000


def read_scenario(path):
    lines = []
    with open(path, encoding="utf-8") as f:
        for number, text in enumerate(f, 1):
            text = text.rstrip("\r\n")
            if text and not text.startswith("#"):
                lines.append((number, text.split("\t")))
    return lines


def unescape(text):
    return text.replace("\\n", "\n").replace("\\r", "\r")


class Machine:
    """The scenario's machine, laid out in a Wine prefix."""

    def __init__(self, prefix, work, standin_setup):
        self.prefix = prefix
        self.codepage = 1252  # what the program's texts and files are written in
        self.work = work
        self.standin_setup = standin_setup
        self.drives = {"c": prefix.drive_c()}

    def host_path(self, windows_path):
        """The host path of a Windows path on a mapped drive (case as written)."""
        letter = windows_path[0].lower()
        rest = windows_path[3:].replace("\\", "/")
        return os.path.join(self.drives[letter], rest)

    def map_drive(self, letter, kind, media):
        letter = letter.lower()
        if letter == "c":
            if media != "system" or kind != "hd":
                raise ValueError("C: is always the system drive")
            return
        if media == "-":
            self.prefix.map_drive(letter, None, kind)
            return
        folder = os.path.join(self.work, "drive-" + letter)
        if os.path.exists(folder):
            shutil.rmtree(folder)
        shutil.copytree(os.path.join(MEDIA, media), folder)
        self._put_standins(folder)
        self.drives[letter] = folder
        self.prefix.map_drive(letter, folder, kind)

    def _put_standins(self, folder):
        """The media's setup programs are placeholders: the stand-in, which
        records that it was started, takes their place."""
        if not self.standin_setup:
            return
        for root, _dirs, files in os.walk(folder):
            for name in files:
                if name.lower() == "setup.exe":
                    shutil.copy2(self.standin_setup, os.path.join(root, name))

    def make_read_only(self, where):
        """A file, or every file of a drive, without write permission: Wine
        shows them as read-only, as files on a CD are."""
        if len(where) > 1:
            os.chmod(self.host_path(where), 0o444)
            return
        for root, _dirs, files in os.walk(self.drives[where.lower()]):
            for name in files:
                os.chmod(os.path.join(root, name), 0o444)

    def started(self):
        """The programs the stand-in setup recorded: path and command line."""
        record = os.path.join(self.prefix.drive_c(), "qt-started.txt")
        if not os.path.exists(record):
            return []
        with open(record, encoding=wineprefix.encoding(self.codepage), errors="replace") as f:
            return ["started\t" + line.rstrip("\r\n") for line in f if line.strip()]

    def content(self, windows_path):
        path = self.host_path(windows_path)
        if not os.path.exists(path):
            return "(missing)"
        with open(path, encoding=wineprefix.encoding(self.codepage), errors="replace", newline="") as f:
            return f.read().replace("\r", "\\r").replace("\n", "\\n")

    def attributes(self, windows_path):
        """"readonly" or "normal": Wine shows a file without write
        permission as read-only."""
        path = self.host_path(windows_path)
        if not os.path.exists(path):
            return "(missing)"
        return "normal" if os.stat(path).st_mode & 0o222 else "readonly"

    def tree(self, windows_folder):
        host = self.host_path(windows_folder.rstrip("\\") + "\\")
        if not os.path.isdir(host):
            return "(missing)"
        files = []
        for root, _dirs, names in os.walk(host):
            for name in names:
                files.append(os.path.relpath(os.path.join(root, name), host).replace("/", "\\"))
        return "|".join(sorted(files, key=str.lower))


class DiscHand(threading.Thread):
    """The user's hand at a CD drive: takes the disc out once a file exists
    (the drive's folder moves away, and Wine sees a drive with no disc), and
    puts it back when the robot asks for it while a box is up (it writes
    REQUEST)."""

    def __init__(self, machine, letter, watched):
        super().__init__(daemon=True)
        self.folder = machine.drives[letter.lower()]
        self.watched = machine.host_path(watched)
        self.request = None
        self.done = threading.Event()

    def wait_for(self, path, pause):
        while not self.done.is_set():
            if os.path.exists(path):
                return True
            time.sleep(pause)
        return False

    def run(self):
        if not self.wait_for(self.watched, 0.001):
            return
        os.rename(self.folder, self.folder + "-out")
        if self.request and self.wait_for(self.request, 0.05):
            os.rename(self.folder + "-out", self.folder)

    def stop(self):
        self.done.set()
        self.join()
        if os.path.exists(self.folder + "-out"):
            os.rename(self.folder + "-out", self.folder)


def prepare(lines, machine):
    """Applies the machine lines; returns (robot script, expected transcript,
    expected starts, outcome lines, the reason of a known gap under Wine or "",
    the hands that take discs out and put them back)."""
    script, expected, starts, outcomes, gap, hands = [], [], [], [], "", []
    insert = None  # the drive whose disc goes back in at the next box
    showing = None  # the text of a status line that no box or dialog step followed yet
    # The code page first: the texts of every other line are written in it.
    for number, f in lines:
        if f[0] == "codepage" and len(f) == 2 and f[1].isdigit() and int(f[1]) in wineprefix.LOCALES:
            machine.codepage = int(f[1])
    for number, f in lines:
        verb = f[0]
        if known_gaps.gap_of(f) is not None:
            gap = known_gaps.gap_of(f) or gap
        elif verb == "codepage" and len(f) == 2 and f[1] == str(machine.codepage):
            pass
        elif verb == "version" and len(f) == 2:
            machine.prefix.set_version("InstallQTonal.exe", f[1])
        elif verb == "drive" and len(f) == 4:
            machine.map_drive(f[1], f[2], f[3])
        elif verb == "put" and len(f) == 3:
            path = machine.host_path(f[1])
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w", encoding=wineprefix.encoding(machine.codepage), newline="") as out:
                out.write(unescape(f[2]))
        elif verb == "big" and len(f) == 3:
            path = machine.host_path(f[1])
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as out:
                out.truncate(int(f[2]) << 20)
        elif verb == "eject" and len(f) == 3:
            hands.append(DiscHand(machine, f[1], f[2]))
        elif verb == "insert" and len(f) == 2:
            insert = f[1]
        elif verb == "move" and len(f) == 3:
            target = machine.host_path(f[2])
            os.makedirs(os.path.dirname(target), exist_ok=True)
            os.rename(machine.host_path(f[1]), target)
        elif verb == "remove" and len(f) == 2:
            os.remove(machine.host_path(f[1]))
        elif verb == "readonly" and len(f) == 2:
            machine.make_read_only(f[1])
        elif verb == "reg" and len(f) == 5 and f[3] == "sz":
            machine.prefix.set_string(f[1], f[2], f[4])
        elif verb == "reg" and len(f) == 5 and f[3] == "dword":
            machine.prefix.set_dword(f[1], f[2], int(f[4]))
        elif verb == "regkey" and len(f) == 2:
            machine.prefix.create_key(f[1])
        elif verb == "box" and len(f) == 5:
            # With the disc to go back in first, the robot asks for it and
            # waits until the drive reads.
            script.append("box\t" + f[4] + ("\t%s:\\" % insert if insert else ""))
            insert, showing = None, None
            expected.append("\t".join(f))
        elif verb == "dialog" and len(f) == 5:
            script.append("dialog")
            showing = None
            expected.append("\t".join(f))
        elif verb == "status" and len(f) == 2:
            expected.append("\t".join(f))
            showing = None if f[1] == "hidden" else f[1]
        elif verb == "shot" and len(f) == 2 and showing:
            # Of the status window, once it shows that text.
            script += ["showing\t" + showing, "statusshot\t" + f[1]]
        elif verb == "arrives" and len(f) == 4 and showing:
            script += ["showing\t" + showing, "regset\t" + "\t".join(f[1:])]
        elif verb in ("select", "type", "press", "shot") and len(f) == 2:
            script.append("\t".join(f))
            showing = None
        elif verb == "exit" and len(f) == 2:
            expected.append("\t".join(f))
        elif verb in ("tree", "content", "attributes") and len(f) == 3:
            outcomes.append(f)
        elif verb == "started" and len(f) == 3:
            starts.append("\t".join(f))
        else:
            raise ValueError("line %d not understood: %s" % (number, "\t".join(f)))
    return script, expected, starts, outcomes, gap, hands


def status_lines_as_expected(expected, seen):
    """SEEN with its status lines as EXPECTED names them. Between two other
    lines the expected status lines must be seen in that order, among any
    others (a state of a few milliseconds can come and go between two looks
    of the robot): then the others are dropped. Where they are not, the
    stretch stays as seen, so that it differs."""
    def stretch(lines, at):
        end = at
        while end < len(lines) and lines[end].startswith("status\t"):
            end += 1
        return lines[at:end], end

    out, e, s = [], 0, 0
    while True:
        want, e = stretch(expected, e)
        have, s = stretch(seen, s)
        found = 0
        for line in have:
            if found < len(want) and line == want[found]:
                found += 1
        out += want if found == len(want) else have
        if s == len(seen):
            return out
        out.append(seen[s])
        s, e = s + 1, min(e + 1, len(expected))


def show(name, transcript):
    """Prints a transcript as the user saw it."""
    print("=== %s: what the user saw" % name)
    if not any(line.startswith(("box\t", "dialog\t")) for line in transcript):
        print("  nothing: no message box and no dialog")
    for line in transcript:
        f = line.split("\t")
        if f[0] == "box" and len(f) == 5:
            print("  [%s]  (%s)" % (f[1], f[3]))
            for text_line in f[2].split("\\n"):
                print("    " + text_line)
            print("  -> the user answers %s" % f[4])
        elif f[0] == "dialog" and len(f) == 5:
            print("  [%s]  folder dialog, path field \"%s\", line %s selected" % (f[1], f[2], f[3]))
            for item in f[4].split("|"):
                print("    " + item)
        elif f[0] == "status" and len(f) == 2:
            print("  status window: %s" % f[1])
        elif f[0] == "exit":
            print("  the program ended with exit code %s" % f[1])
        elif f[0] == "started" and len(f) == 3:
            print("  program started: %s  (command line %s)" % (f[1], f[2]))
        elif f[0] == "tree" and len(f) == 3:
            print("  files below %s:" % f[1])
            for item in f[2].split("|"):
                print("    " + item)
        else:
            print("  " + " | ".join(f))


def run_one(path, build, template, work, pictures, show_transcript=False):
    name = os.path.basename(path)[:-4]
    scenario_work = os.path.join(work, name)
    if os.path.exists(scenario_work):
        shutil.rmtree(scenario_work)
    os.makedirs(scenario_work)
    prefix = wineprefix.Prefix.copy_of(template, os.path.join(scenario_work, "prefix"))
    standin = os.path.join(build, "tests", "wine", "standins", "installer", "Setup.exe")
    machine = Machine(prefix, scenario_work, standin if os.path.exists(standin) else None)
    script, expected, starts, outcomes, gap, hands = prepare(read_scenario(path), machine)
    qt = prefix.install_programs([os.path.join(build, "installer", "InstallQTonal.exe"),
                                  os.path.join(build, "tests", "wine", "robot", "robot.exe")])
    for hand in hands:
        hand.request = os.path.join(qt, "insert.txt")
        hand.start()
    try:
        transcript = prefix.run_robot(script, "InstallQTonal.exe", DEADLINE_MS, codepage=machine.codepage)
    finally:
        for hand in hands:
            hand.stop()
    expected += starts
    transcript += machine.started()
    for f in outcomes:
        expected.append("\t".join(f))
        seen = {"tree": machine.tree, "content": machine.content, "attributes": machine.attributes}[f[0]](f[1])
        transcript.append("%s\t%s\t%s" % (f[0], f[1], seen))
    for line in script:
        if line.startswith(("shot\t", "statusshot\t")):
            save_picture(os.path.join(qt, line.split("\t")[1]), os.path.join(pictures, name + "-" + line.split("\t")[1]))
    ok = status_lines_as_expected(expected, transcript) == expected
    if show_transcript:
        show(name, transcript)
    if gap and not ok:
        # As known: only what differs, so that a gap stays in sight.
        print("--- %s: differs under Wine as known" % name)
        seen = status_lines_as_expected(expected, transcript)
        for line in difflib.unified_diff(expected, seen, "expected", "seen under Wine", n=0, lineterm=""):
            print("    " + line)
        shutil.rmtree(scenario_work, ignore_errors=True)
    elif not ok:
        print("--- %s: expected" % name)
        print("\n".join("    " + line for line in expected))
        print("--- %s: seen under Wine (as %s; the run is kept in %s)" % (name, wineprefix.user()[0], scenario_work))
        print("\n".join("    " + line for line in transcript))
    else:
        shutil.rmtree(scenario_work, ignore_errors=True)
    return name, ok, gap


def save_picture(bmp, target):
    """Keeps a dialog picture the robot saved, as a PNG beside the BMP."""
    if not os.path.exists(bmp):
        return
    shutil.copy2(bmp, target)
    bmp_to_png(target, target[:-4] + ".png")


def bmp_to_png(bmp, png):
    """Converts the robot's 24-bit bottom-up BMP to PNG with the standard library."""
    import struct
    import zlib
    data = open(bmp, "rb").read()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):
        row = data[offset + y * stride: offset + y * stride + width * 3]
        rgb = bytearray(len(row))
        rgb[0::3], rgb[1::3], rgb[2::3] = row[2::3], row[1::3], row[0::3]
        rows.append(b"\0" + bytes(rgb))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xffffffff)

    with open(png, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        out.write(chunk(b"IDAT", zlib.compress(b"".join(rows), 9)))
        out.write(chunk(b"IEND", b""))


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
    pictures = os.path.join(build, "wine-scenarios")
    os.makedirs(pictures, exist_ok=True)
    template = wineprefix.template()
    work = wineprefix.work_folder("installer")
    tally = known_gaps.Tally()
    with wineprefix.Display():
        for path in paths:
            name, ok, gap = run_one(path, build, template, work, pictures, show_transcript)
            tally.record(name, ok, gap)
    if not os.listdir(work):
        os.rmdir(work)
    print("\n".join(tally.closing_lines()))
    return 0 if tally.failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
