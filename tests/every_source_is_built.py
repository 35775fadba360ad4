#!/usr/bin/python3
"""Fails when a tracked C++ source is compiled by no target of the builds
the test command makes: a test file that no CMakeLists.txt picks up never
runs, and nothing else would say so.

    every_source_is_built.py TOP WORK [--compiled FILE] [--also-tracked PATH]...

Configures the presets whose targets differ (native, which holds the
sanitizer, benchmark and static-analysis builds' sources too; fuzz, which
adds the clang-only fuzz targets; win32, which adds the Windows-only
programs, stand-ins and probes) in folders below WORK, asks CMake's file API
for every target's sources, and adds the sources that a test's command
compiles by itself (the compile probes). It writes what it found to
WORK/compiled-sources.txt. With --compiled, it reads that list instead of
configuring; --also-tracked counts PATH as tracked, to show the check
failing on a file left out.
"""
import argparse
import glob
import json
import os
import subprocess
import sys

PRESETS = ("native", "fuzz", "win32")
FOLDERS = ("installer", "emulator", "framework", "runtime", "winsim", "tests", "bench")
EXTENSIONS = (".cpp", ".c")


def tracked_sources(top):
    """The checkout's C++ sources in the folders that hold code."""
    try:
        listed = subprocess.run(["git", "-C", top, "ls-files", "--", *FOLDERS], check=True,
                                capture_output=True, text=True).stdout.split("\n")
    except (OSError, subprocess.CalledProcessError):
        listed = []
        for folder in FOLDERS:
            for base, subfolders, files in os.walk(os.path.join(top, folder)):
                subfolders[:] = [d for d in subfolders if d not in ("build", "corpus")]
                listed += [os.path.relpath(os.path.join(base, f), top) for f in files]
    return sorted(path for path in listed if path.endswith(EXTENSIONS))


def configure(top, preset, folder):
    """The sources of every target of PRESET, relative to TOP."""
    query = os.path.join(folder, ".cmake", "api", "v1", "query")
    os.makedirs(query, exist_ok=True)
    open(os.path.join(query, "codemodel-v2"), "w").close()
    done = subprocess.run(["cmake", "--preset", preset, "-B", folder], cwd=top, capture_output=True, text=True)
    if done.returncode != 0:
        sys.exit("every source built: cmake --preset %s failed:\n%s" % (preset, done.stdout + done.stderr))
    reply = os.path.join(folder, ".cmake", "api", "v1", "reply")
    index = json.load(open(max(glob.glob(os.path.join(reply, "index-*.json")))))
    codemodel = json.load(open(os.path.join(reply, index["reply"]["codemodel-v2"]["jsonFile"])))
    sources = set()
    for configuration in codemodel["configurations"]:
        for target in configuration["targets"]:
            for source in json.load(open(os.path.join(reply, target["jsonFile"]))).get("sources", []):
                sources.add(os.path.relpath(os.path.join(top, source["path"]), top))
    # A compile probe is a test whose command compiles a source by itself.
    listing = subprocess.run(["ctest", "--show-only=json-v1"], cwd=folder, capture_output=True, text=True)
    for test in json.loads(listing.stdout or "{}").get("tests", []):
        for word in test.get("command", []):
            if word.endswith(EXTENSIONS) and os.path.isabs(word):
                sources.add(os.path.relpath(word, top))
    return sources


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("top")
    parser.add_argument("work")
    parser.add_argument("--compiled")
    parser.add_argument("--also-tracked", action="append", default=[])
    args = parser.parse_args()
    top = os.path.abspath(args.top)

    if args.compiled:
        compiled = set(open(args.compiled).read().split())
    else:
        compiled = set()
        for preset in PRESETS:
            compiled |= configure(top, preset, os.path.join(args.work, preset))
        os.makedirs(args.work, exist_ok=True)
        with open(os.path.join(args.work, "compiled-sources.txt"), "w") as f:
            f.write("\n".join(sorted(compiled)) + "\n")

    tracked = tracked_sources(top) + args.also_tracked
    left_out = [path for path in tracked if path not in compiled]
    for path in left_out:
        print("compiled by no target: %s (add it to its folder's CMakeLists.txt, or remove it)" % path)
    print("every source built: %d tracked sources, %d compiled by no target" % (len(tracked), len(left_out)))
    return 1 if left_out else 0


if __name__ == "__main__":
    sys.exit(main())
