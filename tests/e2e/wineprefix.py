"""The pristine Wine prefix, made once per build folder, the copies every test gets, the folder Debian's
wineserver keeps its socket in, and the clean-up of runs that were killed before their teardown."""

import fcntl
import json
import os
import shutil
import signal
import subprocess
import time
from pathlib import Path

from regtext import reg_file_text
from winetools import EnvError, log, tool, wine_env, wine_version, windows_path, work_dir

DESKTOP_NAME = "shell"
DESKTOP_SIZE = "1024x768"
# Bump when the pristine prefix is made differently, so cached ones are rebuilt.
PREFIX_FORMAT = "1"

WINEBOOT_TIMEOUT = 180
SHUTDOWN_TIMEOUT = 15


def _replace_home_links(prefix):
    """wineboot links Desktop, Documents and the like to the user's home; a test must not write there."""
    users = prefix / "drive_c" / "users"
    for link in list(users.rglob("*")):
        if link.is_symlink():
            target = os.readlink(link)
            if os.path.isabs(target):
                link.unlink()
                link.mkdir()


def server_socket_dir(prefix):
    """The folder Debian's wineserver keeps its socket in, named by the prefix's `wineserver` file."""
    try:
        name = (prefix / "wineserver").read_text().strip()
    except OSError:
        return None
    if not name or "/" in name or not name.startswith("wine-"):
        return None
    return Path(os.environ.get("TMPDIR") or "/tmp") / name  # where wine makes it


def remove_server_socket_dir(prefix):
    folder = server_socket_dir(prefix)
    if folder is not None and folder.is_dir():
        shutil.rmtree(folder, ignore_errors=True)


def stop_prefix_server(prefix, timeout=SHUTDOWN_TIMEOUT):
    """Ends every process of the prefix and its wineserver; True when the server is gone in time."""
    folder = server_socket_dir(prefix)
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
            stop_prefix_server(building)
            raise EnvError(f"making the prefix timed out: {error}") from None
        except BaseException:
            stop_prefix_server(building)
            raise
        finally:
            remove_server_socket_dir(building)
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


def _pid_runs(pid, program):
    """True when the process pid is alive and its program's file name contains program (pids get reused)."""
    try:
        cmdline = Path(f"/proc/{int(pid)}/cmdline").read_bytes().split(b"\0")
    except (OSError, ValueError, TypeError):  # gone, or never recorded (a run killed while it started)
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
            stop_prefix_server(prefix)
            remove_server_socket_dir(prefix)
        if _pid_runs(info.get("xvfb"), "Xvfb"):
            os.kill(info["xvfb"], signal.SIGTERM)
        if _pid_runs(info.get("server"), "python"):
            os.kill(info["server"], signal.SIGTERM)
        shutil.rmtree(run, ignore_errors=True)
        log(f"removed a leftover run: {run.name}")

