"""The fake Zimbra server of tests/fakezimbra as one test runs it: started on loopback with a request log, asked
through its control requests, read back from its log, and stopped by the process id it was started with."""

import json
import subprocess
import sys
from pathlib import Path

from winetools import EnvError, log

FAKEZIMBRA_DIR = Path(__file__).resolve().parent.parent / "fakezimbra"
SHUTDOWN_TIMEOUT = 15


def _control_module():
    if str(FAKEZIMBRA_DIR) not in sys.path:
        sys.path.insert(0, str(FAKEZIMBRA_DIR))
    try:
        import fakeserver_ctl
    except ImportError as error:
        raise EnvError(f"tests/fakezimbra/fakeserver_ctl.py cannot be imported: {error}") from None
    return fakeserver_ctl


def start(request_log, scenario=None, lifetime=None):
    """Starts the server on 127.0.0.1 port 0 logging to request_log (emptied first); returns (process, port).
    lifetime bounds the server in seconds (fakeserver_ctl's default when None)."""
    request_log = Path(request_log)
    request_log.unlink(missing_ok=True)
    options = {} if lifetime is None else {"lifetime": lifetime}
    return _control_module().start(scenario=scenario, log=str(request_log), **options)


def control(port, name, payload=None):
    """A control request (deliver, delete, state ...); returns the server's JSON answer."""
    return _control_module().control(port, name, payload)


def read_requests(request_log):
    """The requests logged so far, each a dict with at least "method", "path", "headers" and "body"."""
    if request_log is None or not Path(request_log).is_file():
        return []
    requests = []
    for line in Path(request_log).read_text(encoding="utf-8", errors="replace").splitlines():
        line = line.strip()
        if line:
            try:
                requests.append(json.loads(line))
            except ValueError:
                pass  # a line still being written
    return requests


def stop(process):
    """Asks the server to end, then kills it if it still runs; never raises, so the rest of a teardown runs."""
    try:
        _control_module().stop(process)
    except Exception as error:  # the stop of one part must not keep the others running
        log(f"fakeserver_ctl.stop failed: {error}")
    if process.poll() is None:
        process.kill()
    try:
        process.wait(timeout=SHUTDOWN_TIMEOUT)
    except subprocess.TimeoutExpired:
        log(f"the fake server (pid {process.pid}) did not end")
