#!/usr/bin/python3
"""Chooses a fuzz target's seed corpus from the corpora of longer runs.

    tests/fuzz/pick_seeds.py BINARY SEED_FOLDER CORPUS_FOLDER... [--count N]

Merges the corpus folders with libFuzzer (-merge=1 keeps the inputs that
reach something new), runs each merged input alone to learn every feature
it reaches, and picks at most N of them (default 80) greedily: each time
the one that adds the most features not yet reached, the shorter one on a
tie. SEED_FOLDER is emptied and receives the inputs picked, named by their
SHA-1 as libFuzzer names them. `BINARY -runs=0 SEED_FOLDER` against the same
over the corpora shows what the seeds keep (the "INITED cov: ft:" line).
"""
import argparse
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile


def run_merge(binary, output, inputs, control, work):
    # A control file left from an earlier merge would be resumed from.
    if os.path.exists(control):
        os.remove(control)
    env = dict(os.environ, QT_FUZZ_TMP=work)
    result = subprocess.run(
        [binary, "-merge=1", "-rss_limit_mb=2048", "-timeout=60", "-merge_control_file=" + control, output] + inputs,
        env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    if result.returncode != 0:
        sys.exit("the merge failed:\n" + result.stderr[-3000:])
    with open(control) as lines:
        files = int(next(lines))
        next(lines)  # the number of inputs in the first folder
        paths = [next(lines).rstrip("\n") for _ in range(files)]
        features = {}
        for line in lines:
            words = line.split()
            if words and words[0] == "FT":
                features[paths[int(words[1])]] = set(int(w) for w in words[2:])
    return features


def merge_features(binary, corpora, work):
    """The inputs of libFuzzer's merge of the corpora (which keeps, smallest
    first, each input that reaches a feature the ones before it did not),
    each with every feature it reaches on its own."""
    merged = os.path.join(work, "merged")
    os.mkdir(merged)
    run_merge(binary, merged, corpora, os.path.join(work, "control"), work)
    features = {}
    for name in sorted(os.listdir(merged)):
        alone = os.path.join(work, "alone")
        os.mkdir(alone)
        os.symlink(os.path.join(merged, name), os.path.join(alone, name))
        empty = os.path.join(work, "empty")
        os.mkdir(empty)
        found = run_merge(binary, empty, [alone], os.path.join(work, "control-alone"), work)
        features[os.path.join(merged, name)] = set().union(*found.values()) if found else set()
        shutil.rmtree(alone)
        shutil.rmtree(empty)
    return features


def pick(features, count):
    reached = set()
    chosen = []
    candidates = {path: f for path, f in features.items() if f}
    sizes = {path: os.path.getsize(path) for path in candidates}
    while candidates and len(chosen) < count:
        best = max(candidates, key=lambda p: (len(candidates[p] - reached), -sizes[p]))
        gain = candidates[best] - reached
        if not gain:
            break
        reached |= gain
        chosen.append(best)
        del candidates[best]
    return chosen, reached


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("binary")
    parser.add_argument("seeds")
    parser.add_argument("corpora", nargs="+")
    parser.add_argument("--count", type=int, default=80)
    args = parser.parse_args()
    with tempfile.TemporaryDirectory(prefix="qtonal-seeds.") as work:
        features = merge_features(os.path.abspath(args.binary), args.corpora, work)
        everything = set().union(*features.values()) if features else set()
        chosen, reached = pick(features, args.count)
        contents = [open(path, "rb").read() for path in chosen]
    shutil.rmtree(args.seeds, ignore_errors=True)
    os.makedirs(args.seeds)
    for data in contents:
        with open(os.path.join(args.seeds, hashlib.sha1(data).hexdigest()), "wb") as out:
            out.write(data)
    print(f"{len(contents)} seeds of {len(features)} merged inputs reach {len(reached)} of their {len(everything)} features")


if __name__ == "__main__":
    main()
