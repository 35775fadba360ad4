#!/usr/bin/env python3
"""Chooses a fuzz target's seed corpus from the corpora of longer runs.

    tests/fuzz/pick_seeds.py BINARY SEED_FOLDER CORPUS_FOLDER... [--count N]

Runs BINARY once over every input of the corpus folders (libFuzzer's merge,
which records for each input the features that no input before it reached),
then picks at most N inputs (default 80) greedily: each time the one that
adds the most of those features, the shorter one on a tie. SEED_FOLDER is
emptied and receives the inputs picked, named by their SHA-1 as libFuzzer
names them. Compare what the seeds reach with `BINARY -runs=0 SEED_FOLDER`
against the same over the corpora (the "INITED cov: ... ft: ..." line).
"""
import argparse
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile


def merge_features(binary, corpora, work):
    """The features of every input, from the merge's control file."""
    control = os.path.join(work, "control")
    merged = os.path.join(work, "merged")
    os.mkdir(merged)
    env = dict(os.environ, QT_FUZZ_TMP=work)
    result = subprocess.run(
        [binary, "-merge=1", "-rss_limit_mb=2048", "-timeout=60", "-merge_control_file=" + control, merged] + corpora,
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
                features[int(words[1])] = set(int(w) for w in words[2:])
    return paths, features


def pick(paths, features, count):
    reached = set()
    chosen = []
    candidates = {i: f for i, f in features.items() if f}
    sizes = {i: os.path.getsize(paths[i]) for i in candidates}
    while candidates and len(chosen) < count:
        best = max(candidates, key=lambda i: (len(candidates[i] - reached), -sizes[i]))
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
        paths, features = merge_features(os.path.abspath(args.binary), args.corpora, work)
        everything = set().union(*features.values()) if features else set()
        chosen, reached = pick(paths, features, args.count)
        contents = [open(paths[i], "rb").read() for i in chosen]
    shutil.rmtree(args.seeds, ignore_errors=True)
    os.makedirs(args.seeds)
    for data in contents:
        with open(os.path.join(args.seeds, hashlib.sha1(data).hexdigest()), "wb") as out:
            out.write(data)
    print(f"{len(contents)} seeds of {len(paths)} inputs; {len(reached)} of the merge's {len(everything)} features")


if __name__ == "__main__":
    main()
