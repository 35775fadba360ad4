#!/usr/bin/python3
"""The compatibility audit of the shipped programs, and the proof that each
of its rules can fail.

    run_audit.py WIN32_BUILD_DIR

1. InstallQTonal.exe and Qtmpu.exe pass every rule (pe_audit.py); the
   installer, which runs from its CD, also the rule of programs run from a
   CD (the flag that has NT run it from the paging file, a valid checksum).
2. The probe programs built for the audit each break one rule and are
   rejected for that reason; copies of Qtmpu.exe with one header field
   changed are rejected for that field, and so are copies of the installer
   without the flag or with a checksum that no longer matches.
3. The baseline is the table it claims to be (sorted, one row a function,
   evidence codes of its README, the known later additions absent).
4. Under Wine, where present: the entry point runs static constructors and
   destructors in order and gives WinMain its arguments.
Prints PASS/FAIL lines and a closing line "N passed, M failed".
"""
import os
import shutil
import struct
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "wine"))
import pe_audit  # noqa: E402

# COMCTL32 (the status window's progress bar) is the installer's alone.
INSTALLER_DLLS = {"KERNEL32", "USER32", "ADVAPI32", "GDI32", "COMCTL32"}
EMULATOR_DLLS = {"KERNEL32", "USER32", "GDI32", "WINMM"}
PROBE_DLLS = {"KERNEL32", "USER32", "GDI32"}
EVIDENCE = {"w95ord+nt", "msdn98", "kb+ntspec", "sdk-comctl"}
# Later additions the baseline must not allow (its README, step 3).
LATER = ["IsDebuggerPresent", "InterlockedCompareExchange", "TryEnterCriticalSection", "GetFileAttributesExA",
         "SwitchToThread", "GetDiskFreeSpaceExA", "CreateWaitableTimerA", "IsProcessorFeaturePresent"]

results = []


def check(name, ok, detail=""):
    results.append(ok)
    print("%s %s%s" % ("PASS" if ok else "FAIL", name, (": " + detail) if detail else ""))


def audit(path, dlls, from_cd=False):
    return pe_audit.audit(path, dlls, BASELINE, OBJDUMP, from_cd)


def expect_clean(path, dlls, from_cd=False):
    findings = audit(path, dlls, from_cd)
    check(os.path.basename(path) + " keeps every rule", not findings,
          "; ".join("%s: %s" % f for f in findings))


def expect_rejected(label, path, dlls, rule, words):
    """The audit rejects `path` under `rule` with a finding holding `words`,
    and for nothing else."""
    findings = audit(path, dlls)
    hits = [text for r, text in findings if r == rule and all(w in text for w in words)]
    others = [f for f in findings if f[0] != rule or not all(w in f[1] for w in words)]
    check(label, bool(hits) and not others,
          "; ".join("%s: %s" % f for f in findings) or "nothing found")


# Header mutations of a copy of a good program: (label, change, words).
def pe_offsets(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    return pe, pe + 24


def set_u16(data, at, value):
    struct.pack_into("<H", data, at, value)


def set_u32(data, at, value):
    struct.pack_into("<I", data, at, value)


def mutate_directory(index):
    def change(data):
        _, opt = pe_offsets(data)
        set_u32(data, opt + 96 + 8 * index, 0x1000)
        set_u32(data, opt + 96 + 8 * index + 4, 0x18)
    return change


def first_section(data):
    pe, opt = pe_offsets(data)
    optsize = struct.unpack_from("<H", data, pe + 20)[0]
    return opt + optsize


def rename_first_section(data):
    data[first_section(data):first_section(data) + 8] = b"/4\0\0\0\0\0\0"


MUTATIONS = [
    ("subsystem version 5.0", lambda d: set_u16(d, pe_offsets(d)[1] + 48, 5), ["subsystem version 5.0"]),
    ("OS version 5.0", lambda d: set_u16(d, pe_offsets(d)[1] + 40, 5), ["OS version 5.0"]),
    ("console subsystem", lambda d: set_u16(d, pe_offsets(d)[1] + 68, 3), ["subsystem 3"]),
    ("image base 0x10000000", lambda d: set_u32(d, pe_offsets(d)[1] + 28, 0x10000000), ["image base 0x10000000"]),
    ("a TLS directory", mutate_directory(pe_audit.DIR_TLS), ["TLS directory"]),
    ("delay-load imports", mutate_directory(pe_audit.DIR_DELAY), ["delay-load"]),
    ("bound imports", mutate_directory(pe_audit.DIR_BOUND), ["bound imports"]),
    ("a long section name", rename_first_section, ["'/4'", "long"]),
]


def run_mutations(good, work):
    for label, change, words in MUTATIONS:
        data = bytearray(open(good, "rb").read())
        change(data)
        path = os.path.join(work, "mutated.exe")
        with open(path, "wb") as f:
            f.write(data)
        # A renamed code section can no longer be disassembled by name, so
        # only the header findings count for the mutations.
        findings = [t for r, t in pe_audit.audit(path, EMULATOR_DLLS, BASELINE, OBJDUMP) if r == "header"]
        hits = [t for t in findings if all(w in t for w in words)]
        check("header rule rejects " + label, len(hits) == 1 and len(findings) == 1, "; ".join(findings))


def report_run_from_cd(path):
    import pefile
    pe = pefile.PE(path, fast_load=True)
    flag = bool(pe.FILE_HEADER.Characteristics & pe_audit.REMOVABLE_RUN_FROM_SWAP)
    check("%s: NT runs it from the paging file (characteristics 0x%04x), header checksum 0x%08x matches"
          % (os.path.basename(path), pe.FILE_HEADER.Characteristics, pe.OPTIONAL_HEADER.CheckSum),
          flag and pe.verify_checksum())
    pe.close()


def run_from_cd_mutations(installer, work):
    """Copies of the installer that lose the flag (with a checksum made anew
    for them) or whose checksum no longer matches (a changed time stamp) are
    rejected for that alone."""
    import pefile
    flagless = os.path.join(work, "flagless.exe")
    pe = pefile.PE(installer)
    pe.FILE_HEADER.Characteristics &= ~pe_audit.REMOVABLE_RUN_FROM_SWAP
    pe.OPTIONAL_HEADER.CheckSum = pe.generate_checksum()
    pe.write(flagless)
    pe.close()
    data = bytearray(open(installer, "rb").read())
    set_u32(data, pe_offsets(data)[0] + 8, 0x12345678)
    stale = os.path.join(work, "stale.exe")
    open(stale, "wb").write(data)
    for label, path, words in (("a program run from its CD without the flag", flagless, ["paging file"]),
                               ("a checksum that does not match the file", stale, ["checksum"])):
        findings = [t for r, t in pe_audit.audit(path, INSTALLER_DLLS, BASELINE, OBJDUMP, True) if r == "header"]
        check("header rule rejects " + label, len(findings) == 1 and all(w in findings[0] for w in words),
              "; ".join(findings))


def run_ordinal_and_resource(good, work):
    img = pe_audit.Image(good)
    data = bytearray(img.data)
    # The first import lookup entry becomes an import by ordinal 1.
    lookup = struct.unpack_from("<I", img.data, img.offset(img.dirs[pe_audit.DIR_IMPORT][0]))[0]
    set_u32(data, img.offset(lookup), 0x80000001)
    path = os.path.join(work, "ordinal.exe")
    open(path, "wb").write(data)
    findings = [t for r, t in pe_audit.audit(path, EMULATOR_DLLS, BASELINE, OBJDUMP) if r == "imports"]
    check("import rule rejects an import by ordinal", any("ordinal 1" in t for t in findings), "; ".join(findings))

    # The version resource's type (16) becomes another type.
    data = bytearray(img.data)
    rva = img.dirs[pe_audit.DIR_RESOURCE][0]
    named, ids = struct.unpack_from("<HH", img.data, img.offset(rva + 12))
    for i in range(named + ids):
        at = img.offset(rva + 16 + 8 * i)
        if struct.unpack_from("<I", img.data, at)[0] == pe_audit.RT_VERSION:
            set_u32(data, at, 23)
    path = os.path.join(work, "noversion.exe")
    open(path, "wb").write(data)
    findings = [t for r, t in pe_audit.audit(path, EMULATOR_DLLS, BASELINE, OBJDUMP) if r == "header"]
    check("header rule rejects a program without a version resource",
          any("no version resource" in t for t in findings), "; ".join(findings))


def check_static_initialisation(installer, emulator):
    """The entry point runs the constructor table: the installer needs it for
    its application object, the emulator needs none at all."""
    for path, wanted, what in ((installer, lambda n: n >= 1, "holds the application object's"),
                               (emulator, lambda n: n == 0, "is empty: the emulator needs no static initialisation")):
        tables = pe_audit.static_tables(pe_audit.Image(path), OBJDUMP)
        count = len(tables[2]) if tables else -1
        check("%s: the constructor table %s" % (os.path.basename(path), what), wanted(count),
              "%d constructor(s)" % count)


def check_baseline():
    rows = []
    with open(BASELINE_PATH, encoding="ascii") as f:
        header = f.readline().rstrip("\n")
        for line in f:
            rows.append(tuple(line.rstrip("\n").split("\t")))
    check("baseline has the header dll, function, evidence", header == "dll\tfunction\tevidence")
    keys = [(r[0], r[1]) for r in rows]
    check("baseline rows are sorted by byte value and unique", keys == sorted(set(keys)))
    odd = sorted({r[2] for r in rows} - EVIDENCE)
    check("every baseline row cites an evidence code of its README", not odd, ", ".join(odd))
    present = [name for name in LATER if any(r[1] == name for r in rows)]
    check("later additions are absent from the baseline", not present, ", ".join(present))


def run_entry_probe(probe):
    if shutil.which("wine") is None:
        check("entry point under Wine", False, "wine is not installed")
        return
    import wineprefix  # noqa: E402
    # Wine runs as the ordinary user the set-up made, in a folder it owns.
    owned = wineprefix.work_folder("audit")
    try:
        prefix = wineprefix.Prefix.copy_of(wineprefix.template(), os.path.join(owned, "prefix"))
        folder = prefix.install_programs([probe])
        trail = os.path.join(folder, "entry_probe.txt")
        with wineprefix.Display():
            rc = prefix.run(["C:\\windows\\qttest\\entry_probe.exe", "alpha", "beta"], cwd=folder, timeout=300)
        text = open(trail, encoding="latin-1").read() if os.path.exists(trail) else "(no trail written)"
    finally:
        shutil.rmtree(owned, ignore_errors=True)
    check("entry point: WinMain saw constructors run, its instance and its arguments (exit code 42)", rc == 42,
          "exit code %s, trail %s" % (rc, text))
    parts = text.split("|")
    check("entry point: constructors in order, destructors in reverse after WinMain",
          parts[0] == "ABba", text)
    check("entry point: the command line after the program name", len(parts) > 1 and parts[1] == "alpha beta",
          text)


def main():
    global BASELINE, BASELINE_PATH, OBJDUMP
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    build = sys.argv[1]
    BASELINE_PATH = pe_audit.DEFAULT_BASELINE
    BASELINE = pe_audit.load_baseline(BASELINE_PATH)
    OBJDUMP = "i686-w64-mingw32-objdump"
    installer = os.path.join(build, "installer", "InstallQTonal.exe")
    emulator = os.path.join(build, "emulator", "Qtmpu.exe")
    probes = os.path.join(build, "tests", "audit", "probes")

    expect_clean(installer, INSTALLER_DLLS, from_cd=True)
    report_run_from_cd(installer)
    expect_clean(emulator, EMULATOR_DLLS)
    expect_clean(os.path.join(probes, "entry_probe.exe"), PROBE_DLLS)
    expect_rejected("instruction rule rejects a cmov built for the Pentium Pro",
                    os.path.join(probes, "cmov_probe.exe"), PROBE_DLLS, "instructions", ["cmov", "Pentium Pro"])
    expect_rejected("baseline rule rejects an import of IsDebuggerPresent",
                    os.path.join(probes, "debugger_probe.exe"), PROBE_DLLS, "imports",
                    ["IsDebuggerPresent", "not in the baseline"])
    expect_rejected("DLL rule rejects an import of msvcrt.dll",
                    os.path.join(probes, "msvcrt_probe.exe"), PROBE_DLLS, "imports", ["msvcrt.dll", "outside"])
    expect_rejected("ANSI rule rejects an import of MessageBoxW",
                    os.path.join(probes, "wide_probe.exe"), PROBE_DLLS, "imports", ["MessageBoxW", "wide form"])
    expect_rejected("DLL rule holds a program to its own DLLs (Qtmpu.exe against the installer's)", emulator,
                    INSTALLER_DLLS, "imports", ["WINMM", "outside"])
    expect_rejected("DLL rule refuses COMCTL32 to Qtmpu's DLLs (InstallQTonal.exe against them and ADVAPI32)",
                    installer, EMULATOR_DLLS | {"ADVAPI32"}, "imports", ["COMCTL32", "outside"])
    check_static_initialisation(installer, emulator)
    check_baseline()
    work = tempfile.mkdtemp(prefix="qt-audit-")
    try:
        run_mutations(emulator, work)
        run_from_cd_mutations(installer, work)
        run_ordinal_and_resource(emulator, work)
        run_entry_probe(os.path.join(probes, "entry_probe.exe"))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    passed = sum(results)
    print("%d passed, %d failed" % (passed, len(results) - passed))
    return 0 if passed == len(results) else 1


if __name__ == "__main__":
    sys.exit(main())
