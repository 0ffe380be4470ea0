#!/usr/bin/env python3
"""Memory of Quorvel.exe under Wine, next to a minimal tray program's, read from outside as a task manager does.

    bench/wine_memory.py [--build build/win64] [--checks 100]

Run by hand, never by ctest: it prints figures and asserts nothing. It brings up a private Wine desktop (see
tests/e2e/wineenv.py), the fake server with a check every second, Quorvel.exe signed in to it and qvtray.exe (a
hidden window, one icon, a message loop), and reads each process's PagefileUsage (private bytes; PrivateUsage of
another process reads 0 under Wine) and WorkingSetSize with qvprobe.exe: after start-up, then along CHECKS checks
that each find a new message (one is delivered before every check). Everything it started is stopped at the end.
"""

import argparse
import json
import os
import re
import sys
import time
from pathlib import Path

sys.dont_write_bytecode = True
SOURCE_ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(SOURCE_ROOT / "tests" / "e2e"))
import wineenv  # noqa: E402

SETTINGS_KEY = "HKCU\\Software\\Quorvel\\Settings"
SENDER = "Bob Example <bob@example.com>"
STEP_BOUND = 20.0  # one check must come within this; the program polls every second
SETTLE = 3.0  # after start-up, before the first reading: the first balloon and the first checks are done
MEGABYTE = 1024 * 1024
MEMORY_LINE = re.compile(r"pid (\d+) pagefile (\d+) workingset (\d+) peakworkingset (\d+) private (\d+)")


def memory(env, exe_name):
    """{pid, pagefile, workingset, peakworkingset, private} of the one process with that file name."""
    result = env.probe("memory", exe_name)
    match = MEMORY_LINE.search(result.out)
    if not result.ok or not match:
        raise wineenv.EnvError(f"qvprobe memory {exe_name}: {result.out}")
    return dict(zip(("pid", "pagefile", "workingset", "peakworkingset", "private"), map(int, match.groups())))


def checks_so_far(env):
    """The checks of a signed-in session the fake server has received (the login carries an empty session)."""
    return sum(1 for r in env.server_requests() if r.get("method") == "POST" and "<session " in r.get("body", ""))


def wait_checks(env, count, bound=STEP_BOUND):
    deadline = time.monotonic() + bound
    while checks_so_far(env) < count:
        if time.monotonic() > deadline:
            raise wineenv.EnvError(f"check {count} did not come within {bound:.0f} s")
        time.sleep(0.02)


def row(program, phase, figures):
    return (f"  {program:<12} {phase:<28} {figures['pagefile'] / MEGABYTE:9.2f} {figures['workingset'] / MEGABYTE:9.2f}"
            f" {figures['peakworkingset'] / MEGABYTE:9.2f} {figures['private']:>9}")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default=os.environ.get("QUORVEL_WIN64_DIR") or str(SOURCE_ROOT / "build" / "win64"),
                        help="the Windows build folder (Quorvel.exe, tests/e2e/probe/*.exe)")
    parser.add_argument("--checks", type=int, default=100, help="checks with new mail to run (100)")
    options = parser.parse_args()
    build = Path(options.build).resolve()
    os.environ["QUORVEL_WIN64_DIR"] = str(build)
    exe = build / "Quorvel.exe"
    if not exe.is_file():
        print(f"wine_memory: {exe} does not exist; build the Windows target first", file=sys.stderr)
        return 1
    missing = wineenv.missing_tools()
    if missing:
        print(f"wine_memory: missing {', '.join(missing)}; scripts/install-deps.sh installs them", file=sys.stderr)
        return 1

    rows = []
    try:
        with wineenv.WineEnv("wine_memory") as env:
            scenario = env.artifacts / "scenario.json"
            scenario.write_text(json.dumps({
                "about": "a check every second, nothing unread at first",
                "prefs": {"zimbraPrefMailPollingInterval": "1s"}}))
            # Long enough for every check plus start-up, at a second a check and a generous margin.
            port = env.start_fake_server(str(scenario), lifetime=120 + 3 * options.checks)
            env.reg_import([
                (SETTINGS_KEY, "ZimbraHost", "REG_SZ", f"127.0.0.1:{port}"),
                (SETTINGS_KEY, "Username", "REG_SZ", "alice"),
                (SETTINGS_KEY, "Password", "REG_SZ", "text:secret"),
                (SETTINGS_KEY, "Ventana", "REG_SZ", "0"),
                (SETTINGS_KEY, "Sonido", "REG_SZ", "0"),
            ])
            tray = env.install(wineenv.find_helper("qvtray.exe"), folder="QvTray")
            env.spawn(tray, str(int(600 + 3 * options.checks)), log_name="qvtray")
            env.spawn(env.install(exe), log_name="quorvel")

            wait_checks(env, 1)
            time.sleep(SETTLE)
            rows.append(row("qvtray.exe", "after start-up", memory(env, "qvtray.exe")))
            rows.append(row("Quorvel.exe", "after start-up", memory(env, "Quorvel.exe")))

            started = time.monotonic()
            done = checks_so_far(env)
            marks = {options.checks * k // 4 for k in (1, 2, 3)}
            for number in range(1, options.checks + 1):
                env.server_control("deliver", {"subject": f"Message {number}", "from": SENDER, "folder": 2,
                                               "flags": "u"})
                # The check after the delivery finds it; the one after that has surely read its answer.
                wait_checks(env, done + 1)
                done = checks_so_far(env)
                if number in marks:
                    rows.append(row("Quorvel.exe", f"after {number} checks", memory(env, "Quorvel.exe")))
            wait_checks(env, done + 1)
            seconds = time.monotonic() - started
            rows.append(row("Quorvel.exe", f"after {options.checks} checks", memory(env, "Quorvel.exe")))
            rows.append(row("qvtray.exe", "at the end", memory(env, "qvtray.exe")))
    except wineenv.EnvError as error:
        print(f"wine_memory: {error}", file=sys.stderr)
        for line in rows:
            print(line)
        return 1

    print(f"{wineenv.wine_version()}; {options.checks} checks with new mail in {seconds:.1f} s "
          f"({seconds / max(options.checks, 1):.2f} s a check)")
    print(f"  {'program':<12} {'when':<28} {'priv. MB':>9} {'WS MB':>9} {'peak MB':>9} {'PrivUsage':>9}")
    for line in rows:
        print(line)
    print("priv. = PagefileUsage, WS = WorkingSetSize, peak = PeakWorkingSetSize (MB = 2^20 bytes); "
          "PrivUsage = PrivateUsage in bytes, 0 for another process under Wine")
    return 0


if __name__ == "__main__":
    sys.exit(main())
