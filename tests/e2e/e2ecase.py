"""What every end-to-end test file shares: the build's checks, the report of waits, the failure screenshot and a
test case with its own prefix copy and desktop.

QUORVEL_WIN64_DIR names the Windows build folder (Quorvel.exe, unread.wav, tests/e2e/probe/*.exe);
QUORVEL_E2E_ARTIFACTS the folder for logs and screenshots. Every wait is bounded by BOUND seconds; the time each
wait took is printed, but only the bound is asserted.
"""

import functools
import sys
import time
import unittest
from pathlib import Path

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, str(Path(__file__).resolve().parent))
import wineenv  # noqa: E402

BOUND = 20.0
SETTINGS_KEY = "HKCU\\Software\\Quorvel\\Settings"
TRAY_WINDOW = ("STATIC", "QuorvelTrayIconWnd")
SETTINGS_WINDOW = ("QuorvelSettingsWnd", "Quorvel")
WM_COMMAND = 0x0111
CMD_CHECK_NOW = 101
CMD_EXIT = 106

TIMES = []


def require_build(name, files=("Quorvel.exe",), helpers=()):
    """Ends the test run with a clear message unless the build and the tools are there; returns the build folder."""
    build = wineenv.win64_dir()
    if build is None:
        sys.exit(f"{name}: QUORVEL_WIN64_DIR is not set; it must name the Windows build folder "
                 "that holds Quorvel.exe (the test command builds it first)")
    for file in files:
        if not (build / file).is_file():
            sys.exit(f"{name}: {build / file} does not exist; build the Windows target first")
    missing = wineenv.missing_tools()
    if missing:
        sys.exit(f"{name}: missing {', '.join(missing)}; scripts/install-deps.sh installs them")
    try:
        wineenv.find_probe()
        for helper in helpers:
            wineenv.find_helper(helper)
    except wineenv.EnvError as error:
        sys.exit(f"{name}: {error}")
    return build


def report_times():
    """For tearDownModule: how long each wait took."""
    if not TIMES:
        return
    print(f"\nwaits (bound {BOUND:.0f} s each unless stated):", file=sys.stderr)
    case_width = max(len(case) for case, _, _ in TIMES)
    what_width = max(len(what) for _, what, _ in TIMES)
    for case, what, seconds in TIMES:
        print(f"  {case:<{case_width}}  {what:<{what_width}}  {seconds:6.2f} s", file=sys.stderr)


def screenshot_on_failure(test):
    """Keeps a picture of the desktop as it was when a check failed."""

    @functools.wraps(test)
    def wrapper(self):
        try:
            test(self)
        except BaseException:
            try:
                self.env.screenshot(self.env.artifacts / "failure.png")
            except Exception as error:  # the failure itself matters more than its picture
                print(f"no failure screenshot: {error}", file=sys.stderr)
            raise

    return wrapper


class E2ECase(unittest.TestCase):
    """Each test gets its own prefix copy and desktop, with Quorvel.exe installed in it."""

    explorer_debug = "-all"

    def setUp(self):
        self.case = self.id().rsplit(".", 1)[-1].removeprefix("test_")
        self.env = wineenv.WineEnv(self.case, explorer_debug=self.explorer_debug)
        self.addCleanup(self.env.close)
        self.env.start()
        for step in ("copy", "explorer"):
            self.record(f"environment: {step}", self.env.timings[step])
        self.exe = self.env.install(wineenv.win64_dir() / "Quorvel.exe")

    def record(self, what, seconds):
        TIMES.append((self.case, what, seconds))
        print(f"[{self.case}] {what}: {seconds:.2f} s", file=sys.stderr, flush=True)

    def probe(self, *args):
        return self.env.probe(*args)

    def wait_probe(self, what, command, *args, process=None, bound=BOUND):
        """Runs a qvprobe wait command in short slices, so a program that died is reported at once."""
        started = time.monotonic()
        while True:
            remaining = bound - (time.monotonic() - started)
            result = self.probe(command, *args, f"{min(max(remaining, 0.0), 2.0):.2f}")
            if result.ok:
                self.record(what, time.monotonic() - started)
                return result
            if process is not None and process.poll() is not None:
                self.fail(f"{what}: Quorvel.exe ended ({process.returncode}) first.{self.program_log_tail()}")
            if remaining <= 2.0:
                self.fail(f"{what}: not within {bound:.0f} s (qvprobe {command}: {result.out})")

    def program_log_tail(self, lines=15):
        logs = sorted(self.env.artifacts.glob("*-quorvel.log"))
        if not logs:
            return ""
        tail = logs[0].read_text(errors="replace").splitlines()[-lines:]
        return f"\n--- {logs[0]}:\n" + "\n".join(tail) if tail else ""
