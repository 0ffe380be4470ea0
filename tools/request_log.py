#!/usr/bin/env python3
"""Runs a Quorvel.exe under Wine through one fixed session against the fake server and prints every request it
sent, with times, tokens, session ids and ports replaced by placeholders, so that two builds can be compared:

    tools/request_log.py build/win64/Quorvel.exe > after.txt

The session: start-up with two unread messages, two quiet checks, a delivered message announced by the next
check, "Check Now" from the tray menu's command, then "Exit". Needs the packages scripts/install-deps.sh installs.
"""
import json
import os
import re
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
sys.dont_write_bytecode = True
os.environ.setdefault("QUORVEL_WIN64_DIR", str(ROOT / "build" / "win64"))
os.environ.setdefault("QUORVEL_E2E_WORK", str(ROOT / "build" / "request-log" / "wine"))
os.environ.setdefault("QUORVEL_E2E_ARTIFACTS", str(ROOT / "build" / "request-log"))

import wineenv  # noqa: E402  (needs the environment above)

SETTINGS = r"HKCU\Software\Quorvel\Settings"
BOUND = 30


def wait_requests(env, count):
    deadline = time.monotonic() + BOUND
    while len(env.server_requests()) < count:
        if time.monotonic() > deadline:
            sys.exit(f"request_log: fewer than {count} requests within {BOUND} s")
        time.sleep(0.1)


def normalized(request):
    headers = "".join(f"{name}: {value}\n" for name, value in request.get("headers", [])
                      if name.lower() not in ("content-length",))
    text = f"{request['method']} {request['path']}\n{headers}\n{request.get('body', '')}"
    text = re.sub(r"127\.0\.0\.1:\d+", "127.0.0.1:PORT", text)
    text = re.sub(r"<authToken>[^<]*</authToken>", "<authToken>TOKEN</authToken>", text)
    text = re.sub(r'\b(id|seq)="\d+"', r'\1="N"', text)
    text = re.sub(r">\d+</session>", ">N</session>", text)
    text = re.sub(r"ZM_AUTH_TOKEN=[^;\s]*", "ZM_AUTH_TOKEN=TOKEN", text)
    return re.sub(r"\d{10,}", "TIME", text)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    exe = Path(sys.argv[1]).resolve()
    scenario = {
        "prefs": {"zimbraPrefMailPollingInterval": "2s"},
        "mailbox": {"messages": [{"subject": f"Waiting {i}", "from": "Ana <ana@example.com>", "folder": 2,
                                  "flags": "u"} for i in (1, 2)]},
    }
    with wineenv.WineEnv("request-log") as env:
        path = env.artifacts / "scenario.json"
        path.write_text(json.dumps(scenario), encoding="utf-8")
        port = env.start_fake_server(str(path))
        env.reg_import([(SETTINGS, "ZimbraHost", "REG_SZ", f"127.0.0.1:{port}"),
                        (SETTINGS, "Username", "REG_SZ", "alice"),
                        (SETTINGS, "Password", "REG_SZ", "text:secret")])
        env.spawn(env.install(exe), log_name="quorvel")
        wait_requests(env, 4)  # probe, login, two checks
        env.server_control("deliver", {"subject": "Delivered", "from": "bob@example.com", "folder": 2,
                                       "flags": "u"})
        wait_requests(env, 6)
        env.probe("post", "STATIC", "QuorvelTrayIconWnd", "0x0111", "101", "0")  # Check Now
        wait_requests(env, 7)
        env.probe("post", "STATIC", "QuorvelTrayIconWnd", "0x0111", "106", "0")  # Exit
        wineenv.wait_for(lambda: not env.probe("find", "STATIC", "QuorvelTrayIconWnd").ok, BOUND)
        requests = env.server_requests()
    for number, request in enumerate(requests[:7]):
        print(f"--- request {number + 1}\n{normalized(request)}")


if __name__ == "__main__":
    try:
        main()
    except wineenv.EnvError as error:
        sys.exit(f"request_log: {error}")
