#!/usr/bin/python3
"""Start and stop the fake server from Python tests, or poke its control endpoints.

    import fakeserver_ctl
    proc, port = fakeserver_ctl.start(scenario="new_mail", log=log_path)
    ...
    fakeserver_ctl.stop(proc)

    fakeserver_ctl.py deliver PORT --subject S --from F [--fragment T] [--folder 2]
    fakeserver_ctl.py state PORT
    fakeserver_ctl.py reset PORT
"""

import argparse
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
SERVER = os.path.join(HERE, "server.py")
SCENARIOS = os.path.join(HERE, "scenarios")


def scenario_path(scenario):
    """A shipped scenario by bare name ("new_mail"), or any path to a JSON file."""
    if os.sep in scenario or scenario.endswith(".json"):
        return scenario
    return os.path.join(SCENARIOS, scenario + ".json")


def start(scenario=None, log=None, args=(), lifetime=120, timeout=10):
    """Starts server.py and waits (at most timeout seconds) until it listens.
    Returns (proc, port); the lifetime bounds the server even if stop() is never called."""
    workdir = tempfile.mkdtemp(prefix="fakezimbra-")
    port_file = os.path.join(workdir, "port")
    command = [sys.executable, SERVER, "--port-file", port_file, "--lifetime", str(lifetime)]
    if scenario:
        command += ["--scenario", scenario_path(scenario)]
    if log:
        command += ["--log", log]
    proc = subprocess.Popen(command + list(args))
    proc.fake_workdir = workdir
    deadline = time.monotonic() + timeout
    while not os.path.exists(port_file):
        if proc.poll() is not None or time.monotonic() > deadline:
            stop(proc)
            raise RuntimeError(f"fake server did not start (exit code {proc.returncode})")
        time.sleep(0.01)
    with open(port_file, encoding="ascii") as stream:
        return proc, int(stream.read())


def stop(proc, timeout=5):
    """SIGTERM to that process, SIGKILL if it is still there after timeout; returns its exit code."""
    if proc.poll() is None:
        proc.send_signal(signal.SIGTERM)
        try:
            proc.wait(timeout)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
    shutil.rmtree(getattr(proc, "fake_workdir", ""), ignore_errors=True)
    return proc.returncode


def control(port, name, payload=None, timeout=5):
    """GET /control/NAME when payload is None, else POST it as JSON; returns the JSON answer."""
    data = None if payload is None else json.dumps(payload).encode("utf-8")
    request = urllib.request.Request(f"http://127.0.0.1:{port}/control/{name}", data=data,
                                     headers={"Content-Type": "application/json"})
    with urllib.request.urlopen(request, timeout=timeout) as answer:
        return json.load(answer)


def deliver(port, subject, sender, fragment="", folder=2):
    return control(port, "deliver", {"subject": subject, "from": sender, "fragment": fragment, "folder": folder})


def main(argv=None):
    parser = argparse.ArgumentParser(description="Control a running fake Zimbra server.")
    commands = parser.add_subparsers(dest="command", required=True)
    mail = commands.add_parser("deliver", help="add an unread message")
    mail.add_argument("port", type=int)
    mail.add_argument("--subject", required=True)
    mail.add_argument("--from", dest="sender", required=True)
    mail.add_argument("--fragment", default="")
    mail.add_argument("--folder", type=int, default=2)
    for name in ("state", "reset"):
        commands.add_parser(name).add_argument("port", type=int)
    options = parser.parse_args(argv)
    if options.command == "deliver":
        result = deliver(options.port, options.subject, options.sender, options.fragment, options.folder)
    else:
        result = control(options.port, options.command, {} if options.command == "reset" else None)
    print(json.dumps(result, indent=1, ensure_ascii=False))


if __name__ == "__main__":
    main()
