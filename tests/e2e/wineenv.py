"""Wine test environment for the end-to-end tests: a private prefix, an X server and a virtual desktop.

A pristine prefix is made once per build folder and cached; every test gets a copy of it, its own Xvfb, a
`wine explorer /desktop=shell,1024x768` on it, and leaves nothing running: teardown stops what the test started
by its id (wineserver -k for that prefix, then Xvfb, then the fake server), also when the test fails.

The work is done by one module per job; this one gathers their names for the tests, scripts/run.py and bench/:
winetools (tools, folders, Wine's environment, waits), wineprefix (the pristine prefix and its copies), regtext
(.reg text and `reg query` tables), pngread (screenshots), balloonlog (explorer's balloon log), xdisplay (Xvfb,
xdotool, screenshots), fakerun (the fake server) and desktop (one test's session, WineEnv).

Run as a script: `wineenv.py --make-prefix` builds the cached prefix; `wineenv.py --smoke` brings a desktop up
and down once and prints how long each step took.
"""

import argparse
import sys
import time
from pathlib import Path

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, str(Path(__file__).resolve().parent))

from balloonlog import Balloon, balloons_in_log, decode_wine_string  # noqa: E402,F401
from desktop import EXPLORER_TIMEOUT, ProbeResult, WineEnv  # noqa: E402,F401
from fakerun import FAKEZIMBRA_DIR  # noqa: E402,F401
from pngread import Picture, read_png  # noqa: E402,F401
from regtext import expand_root, parse_reg_query, reg_file_text  # noqa: E402,F401
from wineprefix import (DESKTOP_NAME, DESKTOP_SIZE, PREFIX_FORMAT, SHUTDOWN_TIMEOUT,  # noqa: E402,F401
                        WINEBOOT_TIMEOUT, clean_stale_runs, copy_prefix, make_pristine_prefix)
from winetools import (EnvError, artifacts_dir, find_helper, find_probe, log, missing_tools,  # noqa: E402,F401
                       tool, wait_for, win64_dir, wine_env, wine_version, windows_path, work_dir)


def _smoke():
    """Brings a desktop up, finds its taskbar and takes a screenshot, then tears everything down."""
    with WineEnv("smoke") as env:
        found = env.probe("find", "Shell_TrayWnd", "-")
        shot = env.screenshot(env.artifacts / "desktop.png")
        print(f"taskbar: {found.out}; probe run {found.seconds:.2f} s; screenshot {shot}")
        print("timings: " + ", ".join(f"{k} {v:.2f} s" for k, v in env.timings.items()))
        return 0 if found.ok else 1


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--make-prefix", action="store_true", help="make the cached pristine prefix")
    parser.add_argument("--smoke", action="store_true", help="bring a desktop up and down once")
    options = parser.parse_args()
    try:
        if options.make_prefix:
            started = time.monotonic()
            prefix = make_pristine_prefix()
            print(f"pristine prefix {prefix} ready after {time.monotonic() - started:.1f} s")
        if options.smoke:
            return _smoke()
        if not (options.make_prefix or options.smoke):
            parser.print_help()
            return 2
    except EnvError as error:
        print(f"wineenv: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
