#!/usr/bin/python3
"""Static audit of a shipped Windows program: will it load and run on a clean
Windows 95 (first release), 98 or NT 4.0, on a 486?

    pe_audit.py --dlls KERNEL32,USER32 [--from-cd] [--baseline TSV] [--objdump PATH] EXE...

Three groups of rules, each finding printed as "EXE: RULE: what, where":
  header        PE32 for the 80386, GUI subsystem 4.0, OS version 4.0, image
                base 0x400000, page-aligned sections, no TLS directory, no
                delay-load, bound or .NET directory, short section names, a
                version resource;
  imports       only the DLLs given, by name (no ordinals), every function
                in the baseline of exports that Windows 95 and NT 4.0 share,
                ANSI forms only;
  instructions  no instruction of any code section that the 486 lacks.
With --from-cd (a program started from its CD), the header must also ask
NT to run the program from the paging file (IMAGE_FILE_REMOVABLE_RUN_FROM_
SWAP), and carry a checksum that matches the file, as pefile computes it.
Exit status 0 when nothing was found, 1 when something was, 2 on bad use.
"""
import argparse
import os
import struct
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_BASELINE = os.path.join(HERE, "..", "..", "compat", "win32-baseline.tsv")

IMAGE_BASE = 0x400000
DIR_IMPORT, DIR_RESOURCE, DIR_TLS, DIR_BOUND, DIR_DELAY, DIR_CLR = 1, 2, 9, 11, 13, 14
SCN_CODE, SCN_EXECUTE = 0x20, 0x20000000
RT_VERSION = 16
REMOVABLE_RUN_FROM_SWAP = 0x0400

# Instructions some later processor brought, with the reason given.
NEWER = {
    "cmpxchg8b": "Pentium", "rdtsc": "Pentium", "rdmsr": "Pentium", "wrmsr": "Pentium",
    "cpuid": "Pentium (absent from most 486s)", "rsm": "Pentium", "rdpmc": "Pentium Pro",
    "ud2": "Pentium Pro", "sysenter": "Pentium II", "sysexit": "Pentium II",
    "syscall": "K6-2 / x86-64", "sysret": "K6-2 / x86-64", "fcomi": "Pentium Pro",
    "fcomip": "Pentium Pro", "fucomi": "Pentium Pro", "fucomip": "Pentium Pro",
    "fxsave": "Pentium II", "fxrstor": "Pentium II", "fisttp": "SSE3", "femms": "3DNow!",
    "emms": "MMX", "ffreep": "undocumented x87", "prefetch": "3DNow!", "prefetchw": "3DNow!",
    "popcnt": "SSE4.2", "lzcnt": "ABM", "tzcnt": "BMI1", "movbe": "Atom", "crc32": "SSE4.2",
    "lfence": "SSE2", "mfence": "SSE2", "sfence": "SSE", "clflush": "SSE2", "pause": "Pentium 4",
}
NEWER_PREFIXES = {"cmov": "Pentium Pro", "fcmov": "Pentium Pro"}

# Every instruction the 486 executes (Intel syntax as objdump prints it),
# integer and x87; system instructions a program never uses are left out.
I486 = set("""
aaa aad aam aas adc add and bound bsf bsr bswap bt btc btr bts call cbw cwde cwd cdq
clc cld cli cmc cmp cmps cmpsb cmpsw cmpsd cmpxchg daa das dec div enter hlt idiv imul
in inc ins insb insw insd int int3 into iret iretd jmp jcxz jecxz lahf lds lea leave les
lfs lgs lss lods lodsb lodsw lodsd loop loope loopne loopz loopnz mov movs movsb movsw
movsd movsx movzx mul neg nop not or out outs outsb outsw outsd pop popa popad popf popfd
push pusha pushad pushf pushfd rcl rcr ret retf lret rol ror sahf sal sar sbb scas scasb
scasw scasd shl shld shr shrd stc std sti stos stosb stosw stosd sub test wait fwait xadd
xchg xlat xlatb xor
f2xm1 fabs fadd faddp fbld fbstp fchs fclex fnclex fcom fcomp fcompp fcos fdecstp fdiv
fdivp fdivr fdivrp ffree fiadd ficom ficomp fidiv fidivr fild fimul fincstp finit fninit
fist fistp fisub fisubr fld fld1 fldcw fldenv fldl2e fldl2t fldlg2 fldln2 fldpi fldz fmul
fmulp fnop fpatan fprem fprem1 fptan frndint frstor fsave fnsave fscale fsin fsincos fsqrt
fst fstcw fnstcw fstenv fnstenv fstp fstsw fnstsw fsub fsubp fsubr fsubrp ftst fucom fucomp
fucompp fxam fxch fxtract fyl2x fyl2xp1
""".split())
CONDITIONS = "o no b nb c nc ae nae e z ne nz be nbe a na s ns p np pe po l nl ge nge le nle g ng".split()
I486 |= {"j" + c for c in CONDITIONS} | {"set" + c for c in CONDITIONS}
PREFIXES = {"lock", "rep", "repe", "repz", "repne", "repnz", "cs", "ds", "es", "fs", "gs", "ss",
            "data16", "addr16"}
NEWER_REGISTERS = ("mm", "xmm", "ymm", "zmm", "k0", "bnd")


class Image:
    """The parts of a PE file the rules look at."""

    def __init__(self, path):
        self.path = path
        with open(path, "rb") as f:
            self.data = f.read()
        d = self.data
        if d[:2] != b"MZ":
            raise ValueError("not an MZ executable")
        pe = struct.unpack_from("<I", d, 0x3C)[0]
        if d[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        (self.machine, nsections, _, self.symtab, self.nsymbols, optsize,
         self.characteristics) = struct.unpack_from("<HHIIIHH", d, pe + 4)
        opt = pe + 24
        self.magic = struct.unpack_from("<H", d, opt)[0]
        if self.magic != 0x10B:
            raise ValueError("not a PE32 (32-bit) optional header: magic 0x%x" % self.magic)
        (self.image_base, self.section_alignment, self.file_alignment, self.os_major, self.os_minor,
         _, _, self.subsys_major, self.subsys_minor) = struct.unpack_from("<IIIHHHHHH", d, opt + 28)
        self.subsystem = struct.unpack_from("<H", d, opt + 68)[0]
        ndirs = struct.unpack_from("<I", d, opt + 92)[0]
        self.dirs = [struct.unpack_from("<II", d, opt + 96 + 8 * i) for i in range(min(ndirs, 16))]
        self.dirs += [(0, 0)] * (16 - len(self.dirs))
        self.sections = []
        for i in range(nsections):
            at = opt + optsize + 40 * i
            name, vsize, va, rawsize, rawptr = struct.unpack_from("<8sIIII", d, at)
            flags = struct.unpack_from("<I", d, at + 36)[0]
            self.sections.append((name.rstrip(b"\0"), va, vsize, rawptr, rawsize, flags))

    def offset(self, rva):
        for _, va, vsize, rawptr, rawsize, _ in self.sections:
            if va <= rva < va + max(vsize, rawsize):
                if rva - va >= rawsize:
                    raise ValueError("RVA 0x%x lies in no file data" % rva)
                return rawptr + rva - va
        raise ValueError("RVA 0x%x lies in no section" % rva)

    def u32(self, rva):
        return struct.unpack_from("<I", self.data, self.offset(rva))[0]

    def u16(self, rva):
        return struct.unpack_from("<H", self.data, self.offset(rva))[0]

    def cstring(self, rva):
        at = self.offset(rva)
        return self.data[at:self.data.index(b"\0", at)].decode("latin-1")

    def imports(self):
        """[(dll, name or None, ordinal or None)] of the import directory."""
        rva, size = self.dirs[DIR_IMPORT]
        found = []
        if rva == 0:
            return found
        at = rva
        while True:
            lookup, _, _, name_rva, thunk = struct.unpack_from("<IIIII", self.data, self.offset(at))
            if name_rva == 0 and thunk == 0:
                return found
            dll = self.cstring(name_rva)
            entry = lookup or thunk
            while True:
                value = self.u32(entry)
                if value == 0:
                    break
                if value & 0x80000000:
                    found.append((dll, None, value & 0xFFFF))
                else:
                    found.append((dll, self.cstring(value + 2), None))
                entry += 4
            at += 20

    def resource_types(self):
        rva, _ = self.dirs[DIR_RESOURCE]
        if rva == 0:
            return set()
        named, ids = struct.unpack_from("<HH", self.data, self.offset(rva + 12))
        types = set()
        for i in range(named + ids):
            ident = self.u32(rva + 16 + 8 * i)
            if not ident & 0x80000000:
                types.add(ident)
        return types


def load_baseline(path):
    allowed = set()
    with open(path, encoding="ascii") as f:
        header = f.readline().rstrip("\n").split("\t")
        if header[:3] != ["dll", "function", "evidence"]:
            raise ValueError("%s: unexpected header %r" % (path, header))
        for number, line in enumerate(f, 2):
            cols = line.rstrip("\n").split("\t")
            if len(cols) != 3 or not all(cols):
                raise ValueError("%s:%d: a row needs dll, function and evidence" % (path, number))
            allowed.add((cols[0].upper(), cols[1]))
    return allowed


def check_header(img):
    bad = []
    if img.machine != 0x14C:
        bad.append("machine 0x%x, not the Intel 386" % img.machine)
    if img.subsystem != 2:
        bad.append("subsystem %d, not the Windows GUI (2)" % img.subsystem)
    if (img.subsys_major, img.subsys_minor) != (4, 0):
        bad.append("subsystem version %d.%d, not 4.0" % (img.subsys_major, img.subsys_minor))
    if (img.os_major, img.os_minor) != (4, 0):
        bad.append("OS version %d.%d, not 4.0" % (img.os_major, img.os_minor))
    if img.image_base != IMAGE_BASE:
        bad.append("image base 0x%x, not 0x400000" % img.image_base)
    if img.section_alignment != 0x1000:
        bad.append("section alignment 0x%x, not one page (0x1000)" % img.section_alignment)
    if img.file_alignment < 0x200 or img.file_alignment & (img.file_alignment - 1):
        bad.append("file alignment 0x%x, not a power of two of 512 or more" % img.file_alignment)
    for index, what in ((DIR_TLS, "a TLS directory"), (DIR_DELAY, "delay-load imports"),
                        (DIR_BOUND, "bound imports"), (DIR_CLR, "a .NET runtime header")):
        if img.dirs[index][0] != 0:
            bad.append("%s (data directory %d)" % (what, index))
    for name, va, vsize, rawptr, rawsize, _ in img.sections:
        shown = name.decode("latin-1")
        if name.startswith(b"/") or not all(0x21 <= c < 0x7F for c in name):
            bad.append("section %r: a long or unprintable name the old loaders cannot read" % shown)
        if name == b".tls":
            bad.append("section .tls: thread-local data the Windows 95 loader does not set up")
        if va % img.section_alignment:
            bad.append("section %s: address 0x%x not on a page" % (shown, va))
        if rawsize and (rawptr % img.file_alignment or rawptr + rawsize > len(img.data)):
            bad.append("section %s: file data at 0x%x+0x%x misplaced" % (shown, rawptr, rawsize))
    if RT_VERSION not in img.resource_types():
        bad.append("no version resource: the file's properties would not say what it is")
    return bad


def check_imports(img, dlls, baseline):
    bad = []
    for dll, name, ordinal in img.imports():
        module = dll.upper()
        if module.endswith(".DLL"):
            module = module[:-4]
        if module not in dlls:
            finding = "%s: a DLL outside %s" % (dll, ", ".join(sorted(dlls)))
            if finding not in bad:
                bad.append(finding)
        elif name is None:
            bad.append("%s ordinal %d: imported by ordinal, not by name" % (dll, ordinal))
        elif (module, name) not in baseline:
            bad.append("%s!%s: not in the baseline of Windows 95 and NT 4.0 exports" % (dll, name))
        elif name.endswith("W") and (module, name[:-1] + "A") in baseline:
            # Windows 95 has most wide forms only as stubs that fail.
            bad.append("%s!%s: the wide form, where the programs use the ANSI one" % (dll, name))
    return bad


def symbol_address(objdump, path, symbol):
    nm = objdump[:-len("objdump")] + "nm"
    out = subprocess.run([nm, path], capture_output=True, text=True, check=True).stdout
    for line in out.splitlines():
        parts = line.split()
        if len(parts) == 3 and parts[2] == symbol:
            return int(parts[0], 16)
    return None


def static_tables(img, objdump):
    """(start, end, constructors) of the linker's constructor and destructor
    tables, which follow each other: a -1, addresses, a 0, twice. None when
    the program has no symbol table to find them by."""
    start = symbol_address(objdump, img.path, "___CTOR_LIST__")
    if start is None:
        return None
    end = start
    lists = []
    for _ in range(2):  # the constructor table, then the destructor table
        entries = []
        end += 4
        while img.u32(end - img.image_base) != 0:
            entries.append(img.u32(end - img.image_base))
            end += 4
        end += 4
        lists.append(entries)
    return start, end, lists[0]


def code_ranges(img, objdump):
    """(name, start, stop) of every code section, without the constructor
    and destructor tables the linker places at the end of .text: they are
    data (a -1, addresses, a 0, twice), not instructions."""
    ranges = []
    for name, va, vsize, _, _, flags in img.sections:
        if not flags & (SCN_CODE | SCN_EXECUTE):
            continue
        start, stop = img.image_base + va, img.image_base + va + vsize
        tables = static_tables(img, objdump)
        if tables is not None and start <= tables[0] < stop:
            ranges.append((name.decode(), start, tables[0]))
            ranges.append((name.decode(), tables[1], stop))
        else:
            ranges.append((name.decode(), start, stop))
    return ranges


def instruction_finding(mnemonic, operands):
    if mnemonic in NEWER:
        return "%s (%s)" % (mnemonic, NEWER[mnemonic])
    for prefix, cpu in NEWER_PREFIXES.items():
        if mnemonic.startswith(prefix):
            return "%s (%s)" % (mnemonic, cpu)
    if mnemonic == "nop" and operands:
        return "long nop 0F 1F (Pentium Pro)"
    lowered = operands.lower()
    for reg in NEWER_REGISTERS:
        for token in lowered.replace(",", " ").replace("[", " ").replace("]", " ").split():
            if token.startswith(reg) and token[len(reg):].isdigit():
                return "%s %s: uses register %s (MMX, SSE or later)" % (mnemonic, operands, token)
    if mnemonic == "(bad)" or mnemonic not in I486:
        return "%s %s: not an instruction of the 486" % (mnemonic, operands)
    return None


def check_instructions(img, objdump):
    bad = []
    for section, start, stop in code_ranges(img, objdump):
        if stop <= start:
            continue
        run = subprocess.run([objdump, "-d", "-M", "intel", "--no-show-raw-insn", "-j", section,
                              "--start-address=0x%x" % start, "--stop-address=0x%x" % stop, img.path],
                             capture_output=True, text=True)
        if run.returncode != 0:
            bad.append("section %s cannot be disassembled: %s" % (section, run.stderr.strip()))
            continue
        out = run.stdout
        where = section
        for line in out.splitlines():
            if line.endswith(">:"):
                where = line.split("<", 1)[1][:-2]
                continue
            if ":\t" not in line:
                continue
            address, text = line.split(":\t", 1)
            words = text.split(None, 1)
            if not words:
                continue
            while words and words[0] in PREFIXES:
                words = words[1].split(None, 1) if len(words) > 1 else []
            if not words:
                continue
            mnemonic, operands = words[0], (words[1] if len(words) > 1 else "")
            finding = instruction_finding(mnemonic, operands.split("#")[0].strip())
            if finding:
                bad.append("%s at 0x%s in %s" % (finding, address.strip(), where))
    return bad


def check_run_from_cd(path):
    """What keeps a program started from a CD from running without it on NT:
    the header flag, and the checksum (computed independently of the build's
    post-link step, by pefile)."""
    try:
        import pefile
    except ImportError:
        return ["cannot check the header checksum: pefile (Debian python3-pefile) is not installed"]
    pe = pefile.PE(path, fast_load=True)
    bad = []
    if not pe.FILE_HEADER.Characteristics & REMOVABLE_RUN_FROM_SWAP:
        bad.append("not marked to run from the paging file (IMAGE_FILE_REMOVABLE_RUN_FROM_SWAP): NT would read "
                   "its pages from the CD")
    if not pe.verify_checksum():
        bad.append("header checksum 0x%x, not the file's 0x%x" % (pe.OPTIONAL_HEADER.CheckSum, pe.generate_checksum()))
    pe.close()
    return bad


def audit(path, dlls, baseline, objdump, from_cd=False):
    """The findings for one file, as (rule, text) pairs."""
    try:
        img = Image(path)
    except (OSError, ValueError, struct.error) as e:
        return [("header", "cannot be read as a PE32 program: %s" % e)]
    findings = [("header", text) for text in check_header(img)]
    if from_cd:
        findings += [("header", text) for text in check_run_from_cd(path)]
    findings += [("imports", text) for text in check_imports(img, dlls, baseline)]
    findings += [("instructions", text) for text in check_instructions(img, objdump)]
    return findings


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--dlls", required=True, help="comma-separated DLLs the program may import")
    parser.add_argument("--from-cd", action="store_true", help="the program runs from its CD")
    parser.add_argument("--baseline", default=DEFAULT_BASELINE)
    parser.add_argument("--objdump", default="i686-w64-mingw32-objdump")
    parser.add_argument("exe", nargs="+")
    args = parser.parse_args()
    dlls = {d.strip().upper() for d in args.dlls.split(",") if d.strip()}
    baseline = load_baseline(args.baseline)
    found = False
    for path in args.exe:
        findings = audit(path, dlls, baseline, args.objdump, args.from_cd)
        for rule, text in findings:
            print("%s: %s: %s" % (os.path.basename(path), rule, text))
        if not findings:
            print("%s: loads on Windows 95 and NT 4.0, runs on a 486" % os.path.basename(path))
        found = found or bool(findings)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
