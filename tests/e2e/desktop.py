"""One test's Wine session: a prefix copy, its own Xvfb, a virtual desktop with its taskbar, the programs started
on it, the fake server it talks to, and a teardown that stops all of them by their ids, also when a test fails."""

import atexit
import json
import os
import shutil
import signal
import subprocess
import time
from pathlib import Path

import balloonlog
import fakerun
import xdisplay
from regtext import PrefixRegistry
from wineprefix import (DESKTOP_NAME, DESKTOP_SIZE, SHUTDOWN_TIMEOUT, clean_stale_runs, copy_prefix,
                        make_pristine_prefix, remove_server_socket_dir, stop_prefix_server)
from winetools import EnvError, artifacts_dir, find_probe, log, tool, wine_env, work_dir

EXPLORER_TIMEOUT = 40


class ProbeResult:
    def __init__(self, returncode, out, seconds):
        self.returncode = returncode
        self.out = out
        self.seconds = seconds

    @property
    def ok(self):
        return self.returncode == 0

    def __repr__(self):
        return f"ProbeResult(rc={self.returncode}, out={self.out!r}, {self.seconds:.2f} s)"


_open_envs = []


def _close_all_open():
    for env in list(_open_envs):
        env.close()


def _on_signal(number, _frame):
    _close_all_open()
    raise SystemExit(128 + number)


atexit.register(_close_all_open)


class WineEnv(PrefixRegistry):
    """A private prefix copy, an Xvfb and a virtual desktop with its taskbar; use it as a context manager."""

    def __init__(self, name, artifacts=None, explorer_debug="-all", keep=None):
        """explorer_debug is the explorer's WINEDEBUG, e.g. "-all,+tooltips,+timestamp" to log balloons;
        keep (or QUORVEL_E2E_KEEP=1) leaves the prefix copy in place for a look after the test."""
        self.name = name
        self.artifacts = Path(artifacts) if artifacts else artifacts_dir() / name
        self.explorer_debug = explorer_debug
        self.keep = os.environ.get("QUORVEL_E2E_KEEP") == "1" if keep is None else keep
        self.work = work_dir()
        self.run_dir = self.work / "runs" / f"{name}-{os.getpid()}"
        self.prefix = self.run_dir / "prefix"
        self.display = None
        self.timings = {}
        self._xvfb = None
        self._processes = []
        self._server = None
        self._server_log = None
        self.server_port = None
        self._log_count = 0
        self._probe = None
        self._closed = False

    def __enter__(self):
        try:
            self.start()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def start(self):
        for tool_name in ("wine", "wineserver", "Xvfb", "xdotool", "import"):
            tool(tool_name)
        for number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            if signal.getsignal(number) in (signal.SIG_DFL, signal.default_int_handler):
                signal.signal(number, _on_signal)
        _open_envs.append(self)
        clean_stale_runs(self.work / "runs")
        self.artifacts.mkdir(parents=True, exist_ok=True)
        self._probe = find_probe()

        started = time.monotonic()
        pristine = make_pristine_prefix(self.work)
        self.timings["pristine"] = time.monotonic() - started

        shutil.rmtree(self.run_dir, ignore_errors=True)
        self.run_dir.mkdir(parents=True)
        self._save_run_info()
        for step, action in (("copy", lambda: copy_prefix(pristine, self.prefix)), ("xvfb", self._start_xvfb),
                             ("explorer", self._start_explorer)):
            started = time.monotonic()
            action()
            self.timings[step] = time.monotonic() - started
        log(f"{self.name}: prefix copy {self.timings['copy']:.2f} s, Xvfb :{self.display} "
            f"{self.timings['xvfb']:.2f} s, desktop ready {self.timings['explorer']:.2f} s")
        return self

    def _save_run_info(self):
        """What clean_stale_runs needs to stop this run's processes should the test be killed before its teardown."""
        info = {"owner": os.getpid(), "xvfb": self._xvfb.pid if self._xvfb else None,
                "server": self._server.pid if self._server else None}
        (self.run_dir / "run.json").write_text(json.dumps(info))

    def _start_xvfb(self):
        def keep(process):
            self._xvfb = process
            self._save_run_info()

        _, self.display = xdisplay.start_xvfb(DESKTOP_SIZE, self.artifacts / "xvfb.log", on_started=keep)

    def _start_explorer(self):
        self.spawn("explorer", f"/desktop={DESKTOP_NAME},{DESKTOP_SIZE}", log_name="explorer",
                   debug=self.explorer_debug)
        deadline = time.monotonic() + EXPLORER_TIMEOUT
        # The first process on a fresh desktop may stall for seconds; nothing starts before the desktop shows.
        while not xdisplay.x_window_present(self.display, f"^{DESKTOP_NAME} - Wine desktop$"):
            if time.monotonic() > deadline:
                raise EnvError(f"the virtual desktop's X window did not appear within {EXPLORER_TIMEOUT} s")
            time.sleep(0.1)
        remaining = max(1.0, deadline - time.monotonic())
        # The taskbar must be there before a program adds its tray icon.
        result = self.probe("wait", "Shell_TrayWnd", "-", f"{remaining:.0f}")
        if not result.ok:
            raise EnvError(f"the taskbar did not appear: {result.out}")

    def _log_file(self, log_name):
        self._log_count += 1
        return open(self.artifacts / f"{self._log_count:02d}-{log_name}.log", "wb")

    def spawn(self, program, *args, log_name=None, debug="-all"):
        """Starts a Windows program (a Windows or Linux path, or a built-in like `explorer`) and keeps its id."""
        if self._closed:
            raise EnvError("the environment is closed")
        name = log_name or Path(str(program).replace("\\", "/")).stem
        output = self._log_file(name)
        process = subprocess.Popen([tool("wine"), str(program), *map(str, args)],
                                   env=wine_env(self.prefix, self.display, debug), stdin=subprocess.DEVNULL,
                                   stdout=output, stderr=subprocess.STDOUT, cwd=self.run_dir)
        output.close()
        self._processes.append(process)
        return process

    def run(self, program, *args, timeout=30, debug="-all", check=False):
        """Runs a Windows program to its end; returns (returncode, output text). Killed at the timeout."""
        process = subprocess.Popen([tool("wine"), str(program), *map(str, args)],
                                   env=wine_env(self.prefix, self.display, debug), stdin=subprocess.DEVNULL,
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, cwd=self.run_dir)
        self._processes.append(process)
        try:
            out, err = process.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            process.kill()
            process.communicate()
            raise EnvError(f"{program} {' '.join(map(str, args))} did not end within {timeout} s") from None
        finally:
            self._processes.remove(process)
        text = out.decode("utf-8", errors="replace")
        if process.returncode != 0 and not text.strip():
            # A program that failed without a word: Wine's own complaint, if any, says why.
            text = f"(exit code {process.returncode}) {err.decode('utf-8', errors='replace')[-2000:]}"
        if check and process.returncode != 0:
            raise EnvError(f"{program} {' '.join(map(str, args))} failed ({process.returncode}): "
                           f"{text}{err.decode('utf-8', errors='replace')}")
        return process.returncode, text

    def probe(self, *args, timeout=None):
        """Runs qvprobe.exe on this desktop. Wait commands get their own bound plus a margin."""
        if timeout is None:
            timeout = 20
            if args and args[0].startswith("wait"):
                timeout += float(args[-1])
        started = time.monotonic()
        code, out = self.run(self._probe, *args, timeout=timeout)
        return ProbeResult(code, out.strip(), time.monotonic() - started)

    def install(self, exe, folder="Quorvel"):
        """Copies a program into the prefix's Program Files; returns its Windows path."""
        target = self.prefix / "drive_c" / "Program Files" / folder
        target.mkdir(parents=True, exist_ok=True)
        shutil.copy2(exe, target / Path(exe).name)
        return f"C:\\Program Files\\{folder}\\{Path(exe).name}"

    def screenshot(self, path, settle=5.0):
        return xdisplay.screenshot(self.display, path, settle)

    def xdotool(self, *args, timeout=10):
        return xdisplay.xdotool(self.display, *args, timeout=timeout)

    def explorer_log(self):
        """The log of the desktop's explorer: the first program every environment starts."""
        logs = sorted(self.artifacts.glob("*-explorer.log"))
        return logs[0] if logs else self.artifacts / "01-explorer.log"

    def balloons(self):
        """The balloons shown so far; needs explorer_debug with +tooltips,+timestamp."""
        return balloonlog.balloons_in_log(self.explorer_log())

    def start_fake_server(self, scenario=None, lifetime=None):
        """Starts tests/fakezimbra on 127.0.0.1 with a request log in this test's artifacts; returns the port."""
        if self._server is not None:
            raise EnvError("the fake server already runs")
        self._server_log = self.artifacts / "server-requests.jsonl"
        self._server, self.server_port = fakerun.start(self._server_log, scenario, lifetime)
        self._save_run_info()
        return self.server_port

    def server_control(self, name, payload=None):
        """A control request to the running fake server (deliver, delete, state ...); returns its JSON answer."""
        if self._server is None:
            raise EnvError("the fake server does not run")
        return fakerun.control(self.server_port, name, payload)

    def server_requests(self):
        """The fake server's requests so far, each a dict with at least "method", "path" and "body"."""
        return fakerun.read_requests(self._server_log)

    def close(self):
        """Stops everything this environment started, by its id; safe to call twice."""
        if self._closed:
            return
        self._closed = True
        if self in _open_envs:
            _open_envs.remove(self)
        problems = []
        if self.prefix.is_dir():
            if not stop_prefix_server(self.prefix):
                problems.append("wineserver did not end")
        for process in self._processes:
            if process.poll() is None:
                process.kill()
            try:
                process.wait(timeout=SHUTDOWN_TIMEOUT)
            except subprocess.TimeoutExpired:
                problems.append(f"wine process {process.pid} did not end")
        if self._xvfb is not None and self._xvfb.poll() is None:
            self._xvfb.terminate()
            try:
                self._xvfb.wait(timeout=SHUTDOWN_TIMEOUT)
            except subprocess.TimeoutExpired:
                self._xvfb.kill()
                self._xvfb.wait(timeout=SHUTDOWN_TIMEOUT)
        if self._server is not None:
            fakerun.stop(self._server)
        remove_server_socket_dir(self.prefix)
        if problems:
            log(f"{self.name}: teardown: {'; '.join(problems)}")
        if self.keep:
            log(f"{self.name}: kept {self.run_dir}")
        else:
            shutil.rmtree(self.run_dir, ignore_errors=True)
