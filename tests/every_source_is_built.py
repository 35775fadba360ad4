#!/usr/bin/python3
"""Fails when a tracked C++ source is compiled by no target of the builds the
test command makes: a test file no CMakeLists.txt picks up never runs.

    every_source_is_built.py TOP WORK [--compiled FILE] [--also-tracked PATH]...

Configures the presets whose targets differ (native: also the sanitizer,
benchmark and static-analysis builds' sources; fuzz: the clang-only targets;
win32: the Windows-only programs, stand-ins and probes) below WORK, takes
every target's sources from CMake's file API and the sources a test compiles
by itself (the compile probes), and writes them to WORK/compiled-sources.txt.
--compiled reads that list instead; --also-tracked shows the check failing.
"""
import argparse
import glob
import json
import os
import subprocess
import sys

PRESETS = ("native", "fuzz", "win32")
FOLDERS = ("installer", "emulator", "framework", "runtime", "winsim", "tests", "bench")


def configure(top, preset, folder):
    os.makedirs(os.path.join(folder, ".cmake", "api", "v1", "query"), exist_ok=True)
    open(os.path.join(folder, ".cmake", "api", "v1", "query", "codemodel-v2"), "w").close()
    done = subprocess.run(["cmake", "--preset", preset, "-B", folder], cwd=top, capture_output=True, text=True)
    if done.returncode != 0:
        sys.exit("cmake --preset %s failed:\n%s" % (preset, done.stdout + done.stderr))
    reply = os.path.join(folder, ".cmake", "api", "v1", "reply")
    read = lambda name: json.load(open(os.path.join(reply, name)))  # noqa: E731
    index = read(os.path.basename(max(glob.glob(os.path.join(reply, "index-*.json")))))
    model = read(index["reply"]["codemodel-v2"]["jsonFile"])
    paths = [s["path"] for c in model["configurations"] for t in c["targets"]
             for s in read(t["jsonFile"]).get("sources", [])]
    tests = json.loads(subprocess.run(["ctest", "--show-only=json-v1"], cwd=folder, capture_output=True,
                                      text=True).stdout or "{}").get("tests", [])
    paths += [w for t in tests for w in t.get("command", []) if w.endswith(".cpp") and os.path.isabs(w)]
    return {os.path.relpath(os.path.join(top, p), top) for p in paths}


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
        compiled = set().union(*(configure(top, p, os.path.join(args.work, p)) for p in PRESETS))
        with open(os.path.join(args.work, "compiled-sources.txt"), "w") as f:
            f.write("\n".join(sorted(compiled)) + "\n")
    listed = subprocess.run(["git", "-C", top, "ls-files", "--", *FOLDERS], capture_output=True, text=True).stdout
    tracked = [p for p in listed.split("\n") if p.endswith((".cpp", ".c"))] + args.also_tracked
    left_out = [path for path in tracked if path not in compiled]
    for path in left_out:
        print("compiled by no target: %s (add it to its folder's CMakeLists.txt, or remove it)" % path)
    print("every source built: %d tracked sources, %d compiled by no target" % (len(tracked), len(left_out)))
    return 1 if left_out or not tracked else 0


if __name__ == "__main__":
    sys.exit(main())
