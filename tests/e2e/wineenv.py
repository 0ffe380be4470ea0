"""Wine test environment for the end-to-end tests: a private prefix, an X server and a virtual desktop.

A pristine prefix is made once per build folder and cached; every test gets a copy of it, its own Xvfb, a
`wine explorer /desktop=shell,1024x768` on it, and leaves nothing running: teardown stops what the test started
by its id (wineserver -k for that prefix, then Xvfb, then the fake server), also when the test fails.

Run as a script: `wineenv.py --make-prefix` builds the cached prefix; `wineenv.py --smoke` brings a desktop up
and down once and prints how long each step took.
"""

import argparse
import atexit
import re
import fcntl
import json
import os
import select
import shutil
import signal
import struct
import subprocess
import sys
import time
import zlib
from pathlib import Path

HERE = Path(__file__).resolve().parent
SOURCE_ROOT = HERE.parent.parent
FAKEZIMBRA_DIR = SOURCE_ROOT / "tests" / "fakezimbra"

DESKTOP_NAME = "shell"
DESKTOP_SIZE = "1024x768"
# Bump when the pristine prefix is made differently, so cached ones are rebuilt.
PREFIX_FORMAT = "1"

WINEBOOT_TIMEOUT = 180
EXPLORER_TIMEOUT = 40
SHUTDOWN_TIMEOUT = 15


class EnvError(Exception):
    """The environment could not be made or used (not a failure of the program under test)."""


def log(text):
    print(f"[wineenv] {text}", file=sys.stderr, flush=True)


def tool(name):
    path = shutil.which(name)
    if not path:
        raise EnvError(f"'{name}' is not installed; scripts/install-deps.sh installs it")
    return path


def missing_tools():
    return [name for name in ("wine", "wineserver", "Xvfb", "xdotool", "import") if not shutil.which(name)]


def win64_dir():
    value = os.environ.get("QUORVEL_WIN64_DIR", "")
    return Path(value).resolve() if value else None


def work_dir():
    """Where the cached prefix and the per-test copies live: in the build folder."""
    value = os.environ.get("QUORVEL_E2E_WORK")
    if value:
        return Path(value).resolve()
    build = win64_dir()
    if build is None:
        raise EnvError("set QUORVEL_E2E_WORK or QUORVEL_WIN64_DIR: the Wine prefixes live in a build folder")
    return build / "e2e-wine"


def artifacts_dir():
    value = os.environ.get("QUORVEL_E2E_ARTIFACTS")
    if value:
        return Path(value).resolve()
    return work_dir().parent / "e2e-artifacts"


def find_probe():
    value = os.environ.get("QUORVEL_PROBE_EXE")
    candidates = [Path(value)] if value else []
    build = win64_dir()
    if build is not None:
        candidates += [build / "tests" / "e2e" / "probe" / "qvprobe.exe", build / "qvprobe.exe"]
    for path in candidates:
        if path.is_file():
            return path.resolve()
    raise EnvError("qvprobe.exe not found (looked at: " + ", ".join(str(p) for p in candidates) + ")")


def find_helper(name):
    """Another test program built with qvprobe.exe and kept beside it (qvbrowser.exe, qvtray.exe)."""
    path = find_probe().parent / name
    if not path.is_file():
        raise EnvError(f"{name} not found beside qvprobe.exe ({path})")
    return path


def wine_version():
    return subprocess.run([tool("wine"), "--version"], capture_output=True, text=True, timeout=30,
                          env=wine_env(None)).stdout.strip()


def wine_env(prefix, display=None, debug="-all"):
    env = dict(os.environ)
    for name in ("WINEPREFIX", "WINESERVER", "WINELOADER", "DISPLAY", "WAYLAND_DISPLAY", "WINEARCH"):
        env.pop(name, None)
    if prefix is not None:
        env["WINEPREFIX"] = str(prefix)
    if display is not None:
        env["DISPLAY"] = f":{display}"
    env["WINEDEBUG"] = debug
    # Nothing may offer to download Mono or Gecko and wait for an answer.
    env["WINEDLLOVERRIDES"] = "mscoree=;mshtml="
    env.setdefault("LANG", "C.UTF-8")
    return env


def windows_path(path):
    """A Linux path as Wine's Z: drive shows it."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def reg_file_text(entries):
    """A .reg file for `reg import`: entries are (key, name, type, data) with type REG_SZ, REG_DWORD or REG_BINARY."""
    lines = ["Windows Registry Editor Version 5.00", ""]
    keys = {}
    for key, name, kind, data in entries:
        keys.setdefault(key, []).append((name, kind, data))
    for key, values in keys.items():
        lines.append(f"[{expand_root(key)}]")
        for name, kind, data in values:
            quoted = '"' + name.replace("\\", "\\\\").replace('"', '\\"') + '"'
            if kind == "REG_SZ":
                lines.append(quoted + '="' + data.replace("\\", "\\\\").replace('"', '\\"') + '"')
            elif kind == "REG_DWORD":
                lines.append(quoted + f"=dword:{int(data):08x}")
            elif kind == "REG_BINARY":
                lines.append(quoted + "=hex:" + ",".join(f"{b:02x}" for b in bytes(data)))
            else:
                raise EnvError(f"reg_file_text: unsupported type {kind}")
        lines.append("")
    return "\r\n".join(lines) + "\r\n"


def expand_root(key):
    for short, long in (("HKCU\\", "HKEY_CURRENT_USER\\"), ("HKLM\\", "HKEY_LOCAL_MACHINE\\")):
        if key.upper().startswith(short):
            return long + key[len(short):]
    return key


def parse_reg_query(text):
    """`reg query KEY` output as {name: (type, data)}; the default value is named ''."""
    values = {}
    for line in text.splitlines():
        if not line.startswith("    ") or line.startswith("     "):
            continue
        parts = line[4:].split("    ", 2)
        if len(parts) < 2 or not parts[1].startswith("REG_"):
            continue
        name = "" if parts[0] == "(Default)" else parts[0]
        values[name] = (parts[1], parts[2] if len(parts) > 2 else "")
    return values


# ---------------------------------------------------------------------------------------------------------------
# The pristine prefix


def _replace_home_links(prefix):
    """wineboot links Desktop, Documents and the like to the user's home; a test must not write there."""
    users = prefix / "drive_c" / "users"
    for link in list(users.rglob("*")):
        if link.is_symlink():
            target = os.readlink(link)
            if os.path.isabs(target):
                link.unlink()
                link.mkdir()


def _server_socket_dir(prefix):
    """The folder Debian's wineserver keeps its socket in, named by the prefix's `wineserver` file."""
    try:
        name = (prefix / "wineserver").read_text().strip()
    except OSError:
        return None
    if not name or "/" in name or not name.startswith("wine-"):
        return None
    return Path(os.environ.get("TMPDIR") or "/tmp") / name  # where wine makes it


def _remove_server_socket_dir(prefix):
    folder = _server_socket_dir(prefix)
    if folder is not None and folder.is_dir():
        shutil.rmtree(folder, ignore_errors=True)


def _stop_prefix_server(prefix, timeout=SHUTDOWN_TIMEOUT):
    """Ends every process of the prefix and its wineserver; True when the server is gone in time."""
    folder = _server_socket_dir(prefix)
    if folder is None or not folder.is_dir():
        return True  # no server ever ran for it; wineserver -k would only make its folder
    env = wine_env(prefix)
    try:
        subprocess.run([tool("wineserver"), "-k"], env=env, timeout=timeout, capture_output=True)
        subprocess.run([tool("wineserver"), "-w"], env=env, timeout=timeout, capture_output=True)
        return True
    except subprocess.TimeoutExpired:
        return False


def make_pristine_prefix(work=None):
    """Returns the cached pristine prefix, making it first when missing or made by another Wine."""
    work = Path(work) if work else work_dir()
    work.mkdir(parents=True, exist_ok=True)
    pristine = work / "pristine"
    stamp_text = f"{wine_version()}\nformat {PREFIX_FORMAT}\n"
    with open(work / "pristine.lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        stamp = pristine / "quorvel-e2e.stamp"
        if stamp.is_file() and stamp.read_text() == stamp_text:
            return pristine
        started = time.monotonic()
        building = work / "pristine.new"
        shutil.rmtree(building, ignore_errors=True)
        shutil.rmtree(pristine, ignore_errors=True)
        env = wine_env(building)
        try:
            # No DISPLAY: nothing of wineboot needs a screen.
            result = subprocess.run([tool("wineboot"), "-i"], env=env, timeout=WINEBOOT_TIMEOUT,
                                    capture_output=True, text=True, errors="replace")
            if result.returncode != 0:
                raise EnvError(f"wineboot -i failed ({result.returncode}): {result.stderr[-2000:]}")
            reg = building / "drive_c" / "quorvel-e2e.reg"
            entries = [
                # Every later process, the program's and the tests' tools, joins the one virtual desktop.
                ("HKCU\\Software\\Wine\\Explorer", "Desktop", "REG_SZ", DESKTOP_NAME),
                ("HKCU\\Software\\Wine\\Explorer\\Desktops", DESKTOP_NAME, "REG_SZ", DESKTOP_SIZE),
                # A crash prints a backtrace and ends the process instead of waiting on a dialog.
                ("HKCU\\Software\\Wine\\WineDbg", "ShowCrashDialog", "REG_DWORD", 0),
            ]
            reg.write_bytes(b"\xff\xfe" + reg_file_text(entries).encode("utf-16-le"))
            result = subprocess.run([tool("wine"), "reg", "import", windows_path(reg)], env=env, timeout=60,
                                    capture_output=True, text=True, errors="replace")
            reg.unlink()
            if result.returncode != 0:
                raise EnvError(f"reg import failed ({result.returncode}): {result.stderr[-2000:]}")
            # The registry reaches the disk when the server ends.
            subprocess.run([tool("wineserver"), "-w"], env=env, timeout=60, capture_output=True)
        except subprocess.TimeoutExpired as error:
            _stop_prefix_server(building)
            raise EnvError(f"making the prefix timed out: {error}") from None
        except BaseException:
            _stop_prefix_server(building)
            raise
        finally:
            _remove_server_socket_dir(building)
        (building / "wineserver").unlink(missing_ok=True)
        _replace_home_links(building)
        (building / "quorvel-e2e.stamp").write_text(stamp_text)
        building.rename(pristine)
        log(f"pristine prefix made in {time.monotonic() - started:.1f} s: {pristine}")
        return pristine


def copy_prefix(pristine, target):
    """Hard links for the system32 files (the bulk, never written by a test), copies of the rest."""
    system32 = os.path.join(str(pristine), "drive_c", "windows", "system32") + os.sep

    def copy(source, destination):
        if source.startswith(system32):
            os.link(source, destination)
        else:
            shutil.copy2(source, destination)

    shutil.copytree(pristine, target, symlinks=True, copy_function=copy)
    # Else Debian's wine would send this copy's processes to the pristine prefix's server.
    (Path(target) / "wineserver").unlink(missing_ok=True)


# ---------------------------------------------------------------------------------------------------------------
# Leftovers of a run that was killed before its teardown


def _pid_runs(pid, program):
    """True when the process pid is alive and its program's file name contains program (pids get reused)."""
    try:
        cmdline = Path(f"/proc/{int(pid)}/cmdline").read_bytes().split(b"\0")
    except (OSError, ValueError):
        return False
    return bool(program) and program in os.path.basename(cmdline[0].decode(errors="replace"))


def clean_stale_runs(runs):
    if not runs.is_dir():
        return
    for run in runs.iterdir():
        info_file = run / "run.json"
        try:
            info = json.loads(info_file.read_text())
        except (OSError, ValueError):
            info = {}
        if _pid_runs(info.get("owner"), "python"):
            continue  # a test running in parallel
        prefix = run / "prefix"
        if prefix.is_dir():
            _stop_prefix_server(prefix)
            _remove_server_socket_dir(prefix)
        if _pid_runs(info.get("xvfb"), "Xvfb"):
            os.kill(info["xvfb"], signal.SIGTERM)
        if _pid_runs(info.get("server"), "python"):
            os.kill(info["server"], signal.SIGTERM)
        shutil.rmtree(run, ignore_errors=True)
        log(f"removed a leftover run: {run.name}")


# ---------------------------------------------------------------------------------------------------------------
# Reading screenshots and explorer's balloon log


class Picture:
    """A decoded screenshot: pixel(x, y) gives (r, g, b)."""

    def __init__(self, width, height, rows, channels, palette):
        self.width = width
        self.height = height
        self._rows = rows
        self._channels = channels
        self._palette = palette

    def pixel(self, x, y):
        row = self._rows[y]
        if self._palette is not None:
            return self._palette[row[x]]
        at = x * self._channels
        if self._channels < 3:
            return (row[at],) * 3
        return tuple(row[at:at + 3])

    def pixels(self, box):
        """(x, y, (r, g, b)) for every pixel of box = (left, top, right, bottom), right and bottom excluded."""
        left, top, right, bottom = box
        for y in range(max(0, top), min(self.height, bottom)):
            for x in range(max(0, left), min(self.width, right)):
                yield x, y, self.pixel(x, y)


def read_png(path):
    """Decodes the PNG files ImageMagick's `import` writes (8-bit grey, RGB, RGBA or palette, not interlaced);
    the standard library has no image reader, and a test needs only a few pixels."""
    data = Path(path).read_bytes()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise EnvError(f"{path} is not a PNG file")
    at, compressed, palette, header = 8, b"", None, None
    while at + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"PLTE":
            palette = [tuple(body[i:i + 3]) for i in range(0, len(body) - 2, 3)]
        elif kind == b"IDAT":
            compressed += body
        elif kind == b"IEND":
            break
        at += 12 + length
    if header is None:
        raise EnvError(f"{path} has no PNG header")
    width, height, depth, color, _, _, interlace = header
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}.get(color)
    if channels is None or depth != 8 or interlace:
        raise EnvError(f"{path}: PNG colour type {color}, depth {depth}, interlace {interlace} not supported")
    if color != 3:
        palette = None
    stride = width * channels
    raw = zlib.decompress(compressed)
    rows, previous = [], bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind = raw[start]
        line = bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            corner = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + up) & 255
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 255
            elif kind == 4:
                guess = left + up - corner
                distances = (abs(guess - left), abs(guess - up), abs(guess - corner))
                nearest = left if distances[0] <= distances[1] and distances[0] <= distances[2] else \
                    up if distances[1] <= distances[2] else corner
                line[i] = (line[i] + nearest) & 255
        rows.append(line)
        previous = line
    return Picture(width, height, rows, channels, palette)


_WINE_STRING = r'L"((?:[^"\\]|\\.)*)"(\.\.\.)?'
_TRACE = re.compile(r"^(?P<time>\d+\.\d+):(?P<thread>[0-9a-fA-F]+):trace:tooltips:(?P<rest>.*)$")
_SET_TITLE = re.compile(r"TOOLTIPS_SetTitleT hwnd = (?P<hwnd>[0-9A-Fa-f]+), title = " + _WINE_STRING)
_SHOW_PRE = re.compile(r"TOOLTIPS_Show Show tooltip pre \d+, (?P<hwnd>[0-9A-Fa-f]+)")
_SHOW = re.compile(r"TOOLTIPS_Show Show tooltip \d+, " + _WINE_STRING + r", size")


def decode_wine_string(escaped):
    """The text of a Wine trace string (debugstr_w): \\n \\r \\t \\" \\\\ and \\XXXX for every other unit
    outside printable ASCII. Lone surrogates stay in the result, so a test can find them."""
    units = []
    i = 0
    while i < len(escaped):
        c = escaped[i]
        if c != "\\":
            units.append(ord(c))
            i += 1
            continue
        following = escaped[i + 1:i + 2]
        if following in ("n", "r", "t", '"', "\\"):
            units.append(ord({"n": "\n", "r": "\r", "t": "\t"}.get(following, following)))
            i += 2
        else:
            units.append(int(escaped[i + 1:i + 5], 16))
            i += 5
    return b"".join(struct.pack("<H", u) for u in units).decode("utf-16-le", errors="surrogatepass")


class Balloon:
    def __init__(self, seconds, hwnd, title, text, title_cut, text_cut):
        self.seconds = seconds  # Wine's own clock, for order and gaps only
        self.hwnd = hwnd
        self.title = title
        self.text = text
        # Wine's tracing writes at most about 290 characters of a string and marks the rest "...".
        self.title_cut = title_cut
        self.text_cut = text_cut

    def __repr__(self):
        return f"Balloon({self.title!r}, {self.text!r}{', cut in the log' if self.text_cut else ''})"


def balloons_in_log(path):
    """Every balloon an explorer started with WINEDEBUG=+tooltips,+timestamp showed: a tooltip that got a title
    (icon tooltips never do) and was then shown with its text."""
    try:
        lines = Path(path).read_text(encoding="ascii", errors="replace").splitlines()
    except OSError:
        return []
    titles, current, found = {}, {}, []
    for line in lines:
        trace = _TRACE.match(line)
        if not trace:
            continue
        rest, thread = trace.group("rest"), trace.group("thread")
        match = _SET_TITLE.match(rest)
        if match:
            titles[match.group("hwnd").lower()] = (decode_wine_string(match.group(2)), bool(match.group(3)))
            continue
        match = _SHOW_PRE.match(rest)
        if match:
            current[thread] = match.group("hwnd").lower()
            continue
        match = _SHOW.match(rest)
        if match and current.get(thread) in titles:
            hwnd = current[thread]
            title, title_cut = titles.pop(hwnd)
            found.append(Balloon(float(trace.group("time")), hwnd, title, decode_wine_string(match.group(1)),
                                 title_cut, bool(match.group(2))))
    return found


# ---------------------------------------------------------------------------------------------------------------
# One test's environment


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


class WineEnv:
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

    # -- bringing it up

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
        started = time.monotonic()
        copy_prefix(pristine, self.prefix)
        self.timings["copy"] = time.monotonic() - started

        started = time.monotonic()
        self._start_xvfb()
        self.timings["xvfb"] = time.monotonic() - started

        started = time.monotonic()
        self._start_explorer()
        self.timings["explorer"] = time.monotonic() - started
        log(f"{self.name}: prefix copy {self.timings['copy']:.2f} s, Xvfb :{self.display} "
            f"{self.timings['xvfb']:.2f} s, desktop ready {self.timings['explorer']:.2f} s")
        return self

    def _save_run_info(self):
        info = {"owner": os.getpid(), "xvfb": self._xvfb.pid if self._xvfb else None,
                "server": self._server.pid if self._server else None}
        (self.run_dir / "run.json").write_text(json.dumps(info))

    def _start_xvfb(self):
        read_end, write_end = os.pipe()
        try:
            with open(self.artifacts / "xvfb.log", "wb") as output:
                self._xvfb = subprocess.Popen(
                    [tool("Xvfb"), "-displayfd", str(write_end), "-screen", "0", f"{DESKTOP_SIZE}x24",
                     "-nolisten", "tcp", "-noreset"],
                    pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=output, start_new_session=True)
            os.close(write_end)
            write_end = None
            self._save_run_info()
            text = b""
            deadline = time.monotonic() + 20
            while not text.endswith(b"\n"):
                remaining = deadline - time.monotonic()
                ready, _, _ = select.select([read_end], [], [], max(remaining, 0))
                if not ready:
                    raise EnvError("Xvfb did not report its display within 20 s")
                chunk = os.read(read_end, 64)
                if not chunk:
                    raise EnvError("Xvfb ended before reporting its display; see xvfb.log")
                text += chunk
            self.display = int(text.strip())
        finally:
            os.close(read_end)
            if write_end is not None:
                os.close(write_end)

    def _x_window_present(self, name_pattern):
        result = subprocess.run([tool("xdotool"), "search", "--name", name_pattern], capture_output=True,
                                env={**os.environ, "DISPLAY": f":{self.display}"}, timeout=10)
        return result.returncode == 0 and result.stdout.strip() != b""

    def _start_explorer(self):
        self.spawn("explorer", f"/desktop={DESKTOP_NAME},{DESKTOP_SIZE}", log_name="explorer",
                   debug=self.explorer_debug)
        deadline = time.monotonic() + EXPLORER_TIMEOUT
        # The first process on a fresh desktop may stall for seconds; nothing starts before the desktop shows.
        while not self._x_window_present(f"^{DESKTOP_NAME} - Wine desktop$"):
            if time.monotonic() > deadline:
                raise EnvError(f"the virtual desktop's X window did not appear within {EXPLORER_TIMEOUT} s")
            time.sleep(0.1)
        remaining = max(1.0, deadline - time.monotonic())
        # The taskbar must be there before a program adds its tray icon.
        result = self.probe("wait", "Shell_TrayWnd", "-", f"{remaining:.0f}")
        if not result.ok:
            raise EnvError(f"the taskbar did not appear: {result.out}")

    # -- running things

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

    # -- registry

    def reg_values(self, key):
        """Every value of a key as {name: (type, data)}; None when the key is missing."""
        code, out = self.run("reg", "query", key, timeout=30)
        if code != 0:
            return None
        return parse_reg_query(out)

    def reg_query(self, key, value):
        """A value's data as text, or None when it is missing."""
        values = self.reg_values(key) or {}
        entry = values.get(value)
        return entry[1] if entry else None

    def reg_add(self, key, value, data, kind="REG_SZ"):
        self.run("reg", "add", key, "/v", value, "/t", kind, "/d", data, "/f", timeout=30, check=True)

    def reg_import(self, entries):
        """Writes many values in one go: entries are (key, name, type, data) as for reg_file_text."""
        path = self.prefix / "drive_c" / f"import-{time.monotonic_ns()}.reg"
        path.write_bytes(b"\xff\xfe" + reg_file_text(entries).encode("utf-16-le"))
        try:
            self.run("reg", "import", "C:\\" + path.name, timeout=30, check=True)
        finally:
            path.unlink(missing_ok=True)

    # -- looking

    def screenshot(self, path, settle=5.0):
        """The whole desktop as PNG. Waits (at most settle seconds) until two pictures in a row agree, so a
        window that is still painting is not caught half drawn."""
        path = Path(path)
        path.parent.mkdir(parents=True, exist_ok=True)
        deadline = time.monotonic() + settle
        previous = None
        while True:
            # -strip drops the time stamps, so equal pictures give equal bytes.
            picture = subprocess.run([tool("import"), "-window", "root", "-strip", "png:-"], check=True,
                                     timeout=30, env={**os.environ, "DISPLAY": f":{self.display}"},
                                     capture_output=True).stdout
            if picture == previous or time.monotonic() >= deadline:
                break
            previous = picture
            time.sleep(0.3)
        path.write_bytes(picture)
        return path

    def xdotool(self, *args, timeout=10):
        """Runs xdotool on this test's X server (mouse clicks a window cannot be sent); returns its output."""
        result = subprocess.run([tool("xdotool"), *map(str, args)], capture_output=True, text=True, timeout=timeout,
                                env={**os.environ, "DISPLAY": f":{self.display}"})
        if result.returncode != 0:
            raise EnvError(f"xdotool {' '.join(map(str, args))} failed ({result.returncode}): {result.stderr}")
        return result.stdout

    def explorer_log(self):
        """The log of the desktop's explorer: the first program every environment starts."""
        logs = sorted(self.artifacts.glob("*-explorer.log"))
        return logs[0] if logs else self.artifacts / "01-explorer.log"

    def balloons(self):
        """The balloons shown so far; needs explorer_debug with +tooltips,+timestamp."""
        return balloons_in_log(self.explorer_log())

    # -- the fake server

    def start_fake_server(self, scenario=None, lifetime=None):
        """Starts tests/fakezimbra on 127.0.0.1 with a request log in this test's artifacts; returns the port.
        lifetime bounds the server in seconds (fakeserver_ctl's default when None)."""
        if self._server is not None:
            raise EnvError("the fake server already runs")
        if str(FAKEZIMBRA_DIR) not in sys.path:
            sys.path.insert(0, str(FAKEZIMBRA_DIR))
        try:
            import fakeserver_ctl
        except ImportError as error:
            raise EnvError(f"tests/fakezimbra/fakeserver_ctl.py cannot be imported: {error}") from None
        self._server_log = self.artifacts / "server-requests.jsonl"
        self._server_log.unlink(missing_ok=True)
        options = {} if lifetime is None else {"lifetime": lifetime}
        self._server, port = fakeserver_ctl.start(scenario=scenario, log=str(self._server_log), **options)
        self.server_port = port
        self._save_run_info()
        return port

    def server_control(self, name, payload=None):
        """A control request to the running fake server (deliver, delete, state ...); returns its JSON answer."""
        if self._server is None:
            raise EnvError("the fake server does not run")
        import fakeserver_ctl
        return fakeserver_ctl.control(self.server_port, name, payload)

    def server_requests(self):
        """The fake server's requests so far, each a dict with at least "method", "path" and "body"."""
        if self._server_log is None or not self._server_log.is_file():
            return []
        requests = []
        for line in self._server_log.read_text(encoding="utf-8", errors="replace").splitlines():
            line = line.strip()
            if line:
                try:
                    requests.append(json.loads(line))
                except ValueError:
                    pass  # a line still being written
        return requests

    def _stop_fake_server(self):
        if self._server is None:
            return
        try:
            import fakeserver_ctl
            fakeserver_ctl.stop(self._server)
        except Exception as error:  # the stop of one part must not keep the others running
            log(f"fakeserver_ctl.stop failed: {error}")
        if self._server.poll() is None:
            self._server.kill()
        try:
            self._server.wait(timeout=SHUTDOWN_TIMEOUT)
        except subprocess.TimeoutExpired:
            log(f"the fake server (pid {self._server.pid}) did not end")

    # -- tearing down

    def close(self):
        """Stops everything this environment started, by its id; safe to call twice."""
        if self._closed:
            return
        self._closed = True
        if self in _open_envs:
            _open_envs.remove(self)
        problems = []
        if self.prefix.is_dir():
            if not _stop_prefix_server(self.prefix):
                problems.append("wineserver did not end")
        for process in self._processes:
            if process.poll() is None:
                process.kill()
            try:
                process.wait(timeout=SHUTDOWN_TIMEOUT)
            except subprocess.TimeoutExpired:
                problems.append(f"wine process {process.pid} did not end")
        if self._xvfb is not None:
            if self._xvfb.poll() is None:
                self._xvfb.terminate()
                try:
                    self._xvfb.wait(timeout=SHUTDOWN_TIMEOUT)
                except subprocess.TimeoutExpired:
                    self._xvfb.kill()
                    self._xvfb.wait(timeout=SHUTDOWN_TIMEOUT)
        self._stop_fake_server()
        _remove_server_socket_dir(self.prefix)
        if problems:
            log(f"{self.name}: teardown: {'; '.join(problems)}")
        if self.keep:
            log(f"{self.name}: kept {self.run_dir}")
        else:
            shutil.rmtree(self.run_dir, ignore_errors=True)


def wait_for(predicate, timeout, interval=0.1):
    """Polls predicate until it returns something true or the time is up; returns (value, seconds waited)."""
    started = time.monotonic()
    while True:
        value = predicate()
        elapsed = time.monotonic() - started
        if value or elapsed >= timeout:
            return value, elapsed
        time.sleep(interval)


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
