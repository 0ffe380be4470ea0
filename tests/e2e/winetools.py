"""The tools and folders the end-to-end environment works with: where the Windows build, the prefixes and the
artifacts live, the Wine environment variables, and the one polling wait every test shares."""

import os
import shutil
import subprocess
import sys
import time
from pathlib import Path


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



def wait_for(predicate, timeout, interval=0.1):
    """Polls predicate until it returns something true or the time is up; returns (value, seconds waited)."""
    started = time.monotonic()
    while True:
        value = predicate()
        elapsed = time.monotonic() - started
        if value or elapsed >= timeout:
            return value, elapsed
        time.sleep(interval)

