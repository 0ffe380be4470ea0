#!/usr/bin/env python3
"""Runs Quorvel.exe under Wine on a virtual desktop with a taskbar.

Without a server of your own it runs against the fake Zimbra server of tests/fakezimbra, logged in as alice,
so the tray icon and the new-mail balloons show at once. With a display (DISPLAY set) the desktop opens there;
without one it runs on Xvfb and screenshots go to build/run/.
"""
import argparse
import os
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
os.environ.setdefault("QUORVEL_WIN64_DIR", str(ROOT / "build" / "win64"))
os.environ.setdefault("QUORVEL_E2E_WORK", str(ROOT / "build" / "run" / "wine"))
os.environ.setdefault("QUORVEL_E2E_ARTIFACTS", str(ROOT / "build" / "run"))

import wineenv  # noqa: E402  (needs the environment above)

SETTINGS = r"HKCU\Software\Quorvel\Settings"


class DesktopEnv(wineenv.WineEnv):
    """The test environment, shown on the user's own display when there is one."""

    def __init__(self, name, on_display):
        super().__init__(name, keep=False)
        self.on_display = on_display

    def _start_xvfb(self):
        if not self.on_display:
            return super()._start_xvfb()
        self.display = int(os.environ["DISPLAY"].split(":")[1].split(".")[0])


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("server", nargs="?", help="your Zimbra server's host name (no scheme, no path)")
    parser.add_argument("user", nargs="?", help="your account name")
    parser.add_argument("--seconds", type=float, default=None,
                        help="stop after this many seconds (default: 90 on Xvfb, until Ctrl-C on a display)")
    parser.add_argument("--xvfb", action="store_true", help="use Xvfb even when a display is available")
    args = parser.parse_args()

    exe = Path(os.environ["QUORVEL_WIN64_DIR"]) / "Quorvel.exe"
    if not exe.is_file():
        sys.exit(f"{exe} is missing: build it first (scripts/run.sh does)")
    on_display = bool(os.environ.get("DISPLAY")) and not args.xvfb
    seconds = args.seconds if args.seconds is not None else (None if on_display else 90)

    with DesktopEnv("run", on_display) as env:
        program = env.install(exe)
        unread = exe.parent / "unread.wav"
        if unread.is_file():
            env.install(unread)
        if args.server:
            env.reg_import([(SETTINGS, "ZimbraHost", "REG_SZ", args.server),
                            (SETTINGS, "Username", "REG_SZ", args.user or "")])
            print(f"Quorvel starts for {args.user or '(no user)'} at {args.server}; enter the password in its window.")
        else:
            port = env.start_fake_server(str(ROOT / "tests" / "fakezimbra" / "scenarios" / "demo.json"))
            env.reg_import([(SETTINGS, "ZimbraHost", "REG_SZ", f"127.0.0.1:{port}"),
                            (SETTINGS, "Username", "REG_SZ", "alice"),
                            (SETTINGS, "Password", "REG_SZ", "text:secret"),
                            (SETTINGS, "Sonido", "REG_SZ", "1")])
            print(f"Quorvel starts against the fake Zimbra server on 127.0.0.1:{port} as alice; "
                  "a new message arrives about 40 seconds later.")
        env.spawn(program, log_name="quorvel")
        started = time.monotonic()
        shots = 0
        try:
            while seconds is None or time.monotonic() - started < seconds:
                time.sleep(1)
                if not on_display and int(time.monotonic() - started) in (8, 46) and shots < 2:
                    shots += 1
                    path = env.screenshot(env.artifacts / f"desktop-{shots}.png")
                    print(f"screenshot: {path}")
        except KeyboardInterrupt:
            pass
        env.probe("post", "STATIC", "QuorvelTrayIconWnd", "0x0111", "106", "0")  # Exit, as from the tray menu
        wineenv.wait_for(lambda: not env.probe("find", "STATIC", "QuorvelTrayIconWnd").ok, 20)
    print("Stopped.")


if __name__ == "__main__":
    try:
        main()
    except wineenv.EnvError as error:
        sys.exit(f"run: {error}")
