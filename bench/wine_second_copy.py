#!/usr/bin/env python3
"""How long a second copy of Quorvel.exe takes to hand its request over and end, under Wine.

    bench/wine_second_copy.py [--build build/win64] [--copies 10]

Run by hand, never by ctest: the end-to-end test only bounds this wait; the figure lives here. A first copy
runs on a private Wine desktop (tests/e2e/wineenv.py); each second copy is started with "/settings" and timed
from its start to its end. Everything it started is stopped at the end.
"""

import argparse
import os
import statistics
import sys
import time
from pathlib import Path

sys.dont_write_bytecode = True
SOURCE_ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(SOURCE_ROOT / "tests" / "e2e"))
import wineenv  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default=str(SOURCE_ROOT / "build" / "win64"))
    parser.add_argument("--copies", type=int, default=10)
    args = parser.parse_args()
    os.environ["QUORVEL_WIN64_DIR"] = str(Path(args.build).resolve())
    exe = Path(args.build) / "Quorvel.exe"
    with wineenv.WineEnv("bench-second-copy") as env:
        program = env.install(exe)
        env.spawn(program, log_name="first")
        if not env.probe("wait", "STATIC", "QuorvelTrayIconWnd", "20").ok:
            sys.exit("the first copy did not start")
        seconds = []
        for number in range(args.copies):
            started = time.monotonic()
            code, _ = env.run(program, "/settings", timeout=60)
            seconds.append(time.monotonic() - started)
            if code != 0:
                sys.exit(f"second copy {number + 1} ended with {code}")
        print(f"second copy, start to end, {args.copies} runs: median {statistics.median(seconds):.2f} s, "
              f"min {min(seconds):.2f} s, max {max(seconds):.2f} s (under Wine, including wine's own start)")
        env.probe("post", "STATIC", "QuorvelTrayIconWnd", "0x0111", "106", "0")


if __name__ == "__main__":
    main()
