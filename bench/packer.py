#!/usr/bin/env python3
"""The project's packer against Debian's zip on the same tree, in the same run: time, archive size, peak memory.

    bench/packer.py [--zip build/bench/tools/zip/zip] [--megabytes 64]

Run by hand, never by ctest. The tree is made in a temporary folder: text that compresses well, random bytes
that do not, and one large file; both archives are checked with `unzip -t`. Each packer runs three times and
its best time is shown.
"""

import argparse
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

SOURCE_ROOT = Path(__file__).resolve().parent.parent


def make_tree(root, megabytes):
    rng = random.Random(7)
    words = [bytes(rng.choice(b"abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 9))) for _ in range(500)]
    budget = megabytes << 20
    large = budget // 2
    (root / "large.bin").write_bytes(rng.randbytes(large // 2) + b" ".join(rng.choices(words, k=large // 12)))
    budget -= large
    for folder in range(8):
        sub = root / f"folder {folder}" / "inner"
        sub.mkdir(parents=True)
        for number in range(40):
            size = budget // 320
            data = rng.randbytes(size) if number % 3 == 0 else b" ".join(rng.choices(words, k=size // 6))[:size]
            (sub / f"file {number}.txt").write_bytes(data)


def run(label, command, cwd, archive):
    """(label, best seconds, archive bytes, peak resident kilobytes) of three runs; GNU time gives the peak."""
    best, peak = None, 0
    for _ in range(3):
        archive.unlink(missing_ok=True)
        started = time.perf_counter()
        done = subprocess.run(["/usr/bin/time", "-f", "%M", *command], cwd=cwd, check=True,
                              stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        elapsed = time.perf_counter() - started
        best = elapsed if best is None else min(best, elapsed)
        peak = max(peak, int(done.stderr.strip().splitlines()[-1]))
    subprocess.run(["unzip", "-tq", str(archive)], check=True, stdout=subprocess.DEVNULL)
    return label, best, archive.stat().st_size, peak


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--zip", default=str(SOURCE_ROOT / "build" / "bench" / "tools" / "zip" / "zip"))
    parser.add_argument("--megabytes", type=int, default=64)
    args = parser.parse_args()
    ours = Path(args.zip).resolve()
    if not ours.is_file():
        sys.exit(f"no packer at {ours}: build the bench tree first (bench/CMakeLists.txt)")
    if not shutil.which("zip"):
        sys.exit("Debian's zip is not installed")
    with tempfile.TemporaryDirectory(prefix="packer-bench-") as temp:
        tree = Path(temp) / "tree"
        tree.mkdir()
        make_tree(tree, args.megabytes)
        total = sum(f.stat().st_size for f in tree.rglob("*") if f.is_file())
        rows = [run("Debian zip -r -X", ["zip", "-q", "-r", "-X", str(Path(temp) / "theirs.zip"), "."], tree,
                    Path(temp) / "theirs.zip")]
        rows.append(run("Quorvel zip -SXr", [str(ours), "-SXr", str(Path(temp) / "ours.zip"), "*.*"], tree,
                        Path(temp) / "ours.zip"))
        print(f"{total / 1048576:.1f} MB in {sum(1 for f in tree.rglob('*') if f.is_file())} files")
        for label, seconds, size, peak in rows:
            print(f"{label:<20} {seconds:7.3f} s  {size:>10} bytes archive  {total / 1048576 / seconds:6.1f} MB/s  "
                  f"peak {peak / 1024:5.1f} MB")


if __name__ == "__main__":
    main()
