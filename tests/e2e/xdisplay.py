"""The test's own X server: Xvfb started on a free display, xdotool and ImageMagick's `import` pointed at it."""

import os
import select
import subprocess
import time
from pathlib import Path

from winetools import EnvError, tool


def start_xvfb(size, log_path, on_started=None):
    """Starts Xvfb with a screen of size ("1024x768") and lets it pick a free display; returns (process, number).
    on_started(process) runs as soon as the process exists, so its id is on record before the wait."""
    read_end, write_end = os.pipe()
    try:
        with open(log_path, "wb") as output:
            process = subprocess.Popen(
                [tool("Xvfb"), "-displayfd", str(write_end), "-screen", "0", f"{size}x24", "-nolisten", "tcp",
                 "-noreset"],
                pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=output, start_new_session=True)
        os.close(write_end)
        write_end = None
        if on_started is not None:
            on_started(process)
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
        return process, int(text.strip())
    finally:
        os.close(read_end)
        if write_end is not None:
            os.close(write_end)


def x_env(display):
    return {**os.environ, "DISPLAY": f":{display}"}


def xdotool(display, *args, timeout=10):
    """Runs xdotool on the display (mouse clicks and keystrokes a window cannot be sent); returns its output."""
    result = subprocess.run([tool("xdotool"), *map(str, args)], capture_output=True, text=True, timeout=timeout,
                            env=x_env(display))
    if result.returncode != 0:
        raise EnvError(f"xdotool {' '.join(map(str, args))} failed ({result.returncode}): {result.stderr}")
    return result.stdout


def x_window_present(display, name_pattern):
    result = subprocess.run([tool("xdotool"), "search", "--name", name_pattern], capture_output=True,
                            env=x_env(display), timeout=10)
    return result.returncode == 0 and result.stdout.strip() != b""


def screenshot(display, path, settle=5.0):
    """The whole screen as PNG. Waits (at most settle seconds) until two pictures in a row agree, so a window
    that is still painting is not caught half drawn."""
    path = Path(path)
    path.parent.mkdir(parents=True, exist_ok=True)
    deadline = time.monotonic() + settle
    previous = None
    while True:
        # -strip drops the time stamps, so equal pictures give equal bytes.
        picture = subprocess.run([tool("import"), "-window", "root", "-strip", "png:-"], check=True, timeout=30,
                                 env=x_env(display), capture_output=True).stdout
        if picture == previous or time.monotonic() >= deadline:
            break
        previous = picture
        time.sleep(0.3)
    path.write_bytes(picture)
    return path
