"""End-to-end start-up tests: Quorvel.exe under Wine on a virtual desktop, with the fake server on loopback.

QUORVEL_WIN64_DIR names the Windows build folder (Quorvel.exe, tests/e2e/probe/qvprobe.exe);
QUORVEL_E2E_ARTIFACTS the folder for logs and screenshots. Every wait is bounded by BOUND seconds; the
time each wait took is printed, but only the bound is asserted.
"""

import subprocess
import sys
import time
import unittest
from pathlib import Path

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, str(Path(__file__).resolve().parent))
import wineenv  # noqa: E402
from e2ecase import (BOUND, CMD_CHECK_NOW, CMD_EXIT, SETTINGS_KEY, SETTINGS_WINDOW, TRAY_WINDOW, WM_COMMAND,  # noqa: E402,F401
                     E2ECase, report_times, require_build, screenshot_on_failure)

DEFAULTS = {
    "ZimbraHost": "",
    "HTTPS": "0",
    "Username": "",
    "GuardaPassword": "1",
    "Password": "",
    "WebmailLogin": "1",
    "Ventana": "0",
    "Sonido": "0",
    "AutoRun": "1",
    "mailtoHandler": "0",
    "Filtros": "Spam",
    "WhiteList": "0",
}

# What the settings window shows with nothing stored: its check boxes and option buttons by caption.
DEFAULT_CHECKS = {
    "Use Safe Connection": False,
    "Save password": True,
    "Webmail Login": True,
    "Window": False,
    "Sound": False,
    "OMIT...": True,
    "NOTIFY...": False,
}

def setUpModule():
    require_build("test_startup")


def tearDownModule():
    report_times()


class QuorvelTestCase(E2ECase):
    """Start-up helpers: starting the program, waiting for its windows and settings, Exit."""

    def start_quorvel(self, *args):
        return self.env.spawn(self.exe, *args, log_name="quorvel")

    def start_with_account(self, host, extra=()):
        """alice's account at host stored (and the extra values); returns the program once its tray window exists."""
        self.env.reg_import([(SETTINGS_KEY, "ZimbraHost", "REG_SZ", host),
                             (SETTINGS_KEY, "Username", "REG_SZ", "alice"),
                             (SETTINGS_KEY, "Password", "REG_SZ", "text:secret"), *extra])
        process = self.start_quorvel()
        self.wait_window("tray window appeared", "wait", TRAY_WINDOW, process)
        return process

    def start_signed_in(self):
        """The fake server and the program signed in to it: (port, process)."""
        port = self.env.start_fake_server()
        return port, self.start_with_account(f"127.0.0.1:{port}")

    def check_now_message(self, bound=BOUND):
        """Asks for a check from the tray menu's command and returns the text of the message box it opens, its title
        line checked and removed."""
        result = self.probe("post", *TRAY_WINDOW, hex(WM_COMMAND), str(CMD_CHECK_NOW), "0")
        self.assertTrue(result.ok, result.out)
        box, seconds = wineenv.wait_for(lambda: (lambda r: r if r.ok else None)(self.probe("msgbox-text")),
                                        bound, interval=0.3)
        self.assertTrue(box, f"no message box within {bound:.0f} s of Check Now")
        self.record("message box after Check Now", seconds)
        title, _, text = box.out.partition("\n")
        self.assertEqual(title, "Quorvel v5.0.1")
        print(f"[{self.case}] the user reads: {text!r}", file=sys.stderr)
        return text

    def wait_window(self, what, command, window, process=None, bound=BOUND):
        return self.wait_probe(what, command, *window, process=process, bound=bound)

    def assert_running(self, process, what):
        code = process.poll()
        self.assertIsNone(code, f"Quorvel.exe ended ({code}) {what}.{self.program_log_tail()}")

    def settings_values(self):
        return self.env.reg_values(SETTINGS_KEY) or {}

    def wait_settings(self, predicate, what):
        """Polls the stored settings until predicate accepts them; returns them."""
        values, seconds = wineenv.wait_for(lambda: (lambda v: v if predicate(v) else None)(self.settings_values()),
                                           BOUND, interval=0.3)
        self.assertTrue(values, f"{what} within {BOUND:.0f} s; stored now: {self.settings_values()}")
        self.record(what, seconds)
        return values

    def exit_quorvel(self, process):
        """The tray menu's Exit, as the menu sends it: the process must end and its windows go."""
        started = time.monotonic()
        result = self.probe("post", *TRAY_WINDOW, hex(WM_COMMAND), str(CMD_EXIT), "0")
        self.assertTrue(result.ok, f"posting Exit: {result.out}")
        try:
            code = process.wait(timeout=BOUND)
        except subprocess.TimeoutExpired:
            self.fail(f"Quorvel.exe still runs {BOUND:.0f} s after Exit")
        self.record("Exit until the process ended", time.monotonic() - started)
        self.assertEqual(code, 0, f"exit code after Exit.{self.program_log_tail()}")
        self.wait_window("tray window gone after Exit", "wait-gone", TRAY_WINDOW)
        gone = self.probe("find", *SETTINGS_WINDOW)
        self.assertFalse(gone.ok, f"settings window still there after Exit: {gone.out}")

    def wait_login(self):
        """Waits for the OPTIONS probe and then a POST with an AuthRequest to /service/soap; returns the two."""

        def logged_in():
            soap = [r for r in self.env.server_requests() if r.get("path", "").startswith("/service/soap")]
            options = [r for r in soap if r.get("method") == "OPTIONS"]
            auth = [r for r in soap if r.get("method") == "POST" and "<AuthRequest" in r.get("body", "")]
            return (options[0], auth[0]) if options and auth and options[0]["n"] < auth[0]["n"] else None

        found, seconds = wineenv.wait_for(logged_in, BOUND, interval=0.2)
        seen = [(r.get("method"), r.get("path")) for r in self.env.server_requests()]
        self.assertTrue(found, f"no OPTIONS then POST <AuthRequest to /service/soap within {BOUND:.0f} s; "
                               f"requests: {seen}")
        self.record("OPTIONS and AuthRequest arrived", seconds)
        return found

    def assert_stays_hidden(self, seconds=2.0):
        """The settings window must not show during the given time (it may not exist at all)."""
        result = self.probe("wait-visible", *SETTINGS_WINDOW, f"{seconds:g}")
        self.assertFalse(result.ok, f"the settings window is visible: {result.out}")


class StartupTest(QuorvelTestCase):

    @screenshot_on_failure
    def test_fresh_prefix_shows_settings_with_defaults(self):
        process = self.start_quorvel()
        self.wait_window("tray window appeared", "wait", TRAY_WINDOW, process)
        hidden = self.probe("visible", *TRAY_WINDOW)
        self.assertEqual(hidden.out, "hidden", "the tray window must never be shown")
        self.wait_window("settings window visible", "wait-visible", SETTINGS_WINDOW, process)

        controls = self.probe("child-texts", *SETTINGS_WINDOW)
        self.assertTrue(controls.ok, controls.out)
        rows = [line.split("\t") for line in controls.out.splitlines()]
        buttons = {text: "checked" in state.split(",") for kind, text, state in rows if kind.lower() == "button"}
        self.assertIn("&OK", buttons)
        self.assertIn("&Close", buttons)
        for caption, ticked in DEFAULT_CHECKS.items():
            self.assertIn(caption, buttons, f"no control captioned {caption!r}: {controls.out}")
            self.assertEqual(buttons[caption], ticked, f"{caption!r} ticked with nothing stored")
        edits = [text for kind, text, _ in rows if kind.lower() == "edit"]
        self.assertIn("Spam", edits, "the filter box shows the default filter")

        values = self.wait_settings(lambda v: all(name in v for name in DEFAULTS), "all twelve settings stored")
        for name, default in DEFAULTS.items():
            self.assertEqual(values[name], ("REG_SZ", default), name)

        self.env.screenshot(wineenv.artifacts_dir() / "settings_window.png")
        self.assert_running(process, "while showing the settings window")
        self.exit_quorvel(process)

    @screenshot_on_failure
    def test_second_copy_hands_off_and_ends(self):
        process = self.start_quorvel()
        self.wait_window("tray window appeared", "wait", TRAY_WINDOW, process)
        self.wait_window("settings window visible", "wait-visible", SETTINGS_WINDOW, process)
        clicked = self.probe("click", *SETTINGS_WINDOW, "&Close")
        self.assertTrue(clicked.ok, clicked.out)
        self.wait_window("settings window hidden by Close", "wait-hidden", SETTINGS_WINDOW, process)

        started = time.monotonic()
        second = self.env.spawn(self.exe, "/settings", log_name="second-copy")
        try:
            second.wait(timeout=BOUND)
        except subprocess.TimeoutExpired:
            self.fail(f"the second copy still runs after {BOUND:.0f} s")
        self.record("second copy ran and ended", time.monotonic() - started)
        self.assert_running(process, "when a second copy started")
        count = self.probe("count", *TRAY_WINDOW)
        self.assertEqual(count.out, "1", "exactly one tray window after the second copy ended")
        # "/settings" asks the running copy to show its settings window.
        self.wait_window("settings window shown by the hand-off", "wait-visible", SETTINGS_WINDOW, process)
        self.assert_running(process, "after the hand-off")
        self.exit_quorvel(process)

    @screenshot_on_failure
    def test_link_for_a_copy_that_never_finishes_starting_is_told(self):
        """A copy that exists but never shows its window (the probe holds what such a copy holds) cannot take a
        link: the second copy waits for it, then tells the user instead of dropping the link without a word."""
        holder = self.env.spawn(self.env._probe, "hold-event", "Local\\Quorvel.Ready", str(int(BOUND) * 3),
                                log_name="holder")
        held, _ = wineenv.wait_for(
            lambda: any("held" in log.read_text(errors="replace") for log in self.env.artifacts.glob("*-holder.log")),
            BOUND * 2)
        self.assertTrue(held, "the probe did not make the event")
        second = self.env.spawn(self.exe, "mailto:bob@example.org", log_name="quorvel")
        box, seconds = wineenv.wait_for(lambda: (lambda r: r if r.ok else None)(self.probe("msgbox-text")),
                                        BOUND * 2, interval=0.3)
        self.assertTrue(box, "the second copy told nothing")
        self.record("second copy gave up and told", seconds)
        self.assertEqual(box.out.replace("\r", ""),
                         "Quorvel v5.0.1\nAnother copy of Quorvel is starting or closing and did not take this "
                         "request:\n\nmailto:bob@example.org\n\nPlease try again in a moment.")
        self.probe("msgbox-click", "OK")
        self.assertEqual(second.wait(timeout=BOUND), 0)
        self.assertNotEqual(self.probe("count", *TRAY_WINDOW).out, "1", "the second copy must not start as a first")
        holder.kill()
        holder.wait(timeout=BOUND)

    @screenshot_on_failure
    def test_saves_keep_the_send_to_shortcut_and_the_menu_switches_the_windows_integration(self):
        port, process = self.start_signed_in()
        # Every save keeps the shortcut; the start-up save is the first.
        links, seconds = wineenv.wait_for(
            lambda: list(self.env.prefix.glob("drive_c/users/*/AppData/Roaming/Microsoft/Windows/SendTo/"
                                              "Zimbra in Drafts folder.lnk")), BOUND)
        self.assertTrue(links, "no Send To shortcut after the start-up save")
        self.record("start until the Send To shortcut existed", seconds)
        data = links[0].read_bytes()
        target = self.exe.encode("utf-16-le")
        self.assertTrue(target in data or self.exe.encode("latin-1") in data,
                        f"the shortcut does not name {self.exe}")

        run_key = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"
        mailto_key = "HKCU\\Software\\Classes\\mailto\\shell\\open\\command"
        apps_key = "HKCU\\Software\\RegisteredApplications"
        command = f'"{self.exe}"'
        self.assertEqual(self.env.reg_query(run_key, "Quorvel"), command, "run at start-up is on by default")
        steps = [
            ("Run at startup off", 104, lambda: self.env.reg_query(run_key, "Quorvel") is None),
            ("Run at startup on", 104, lambda: self.env.reg_query(run_key, "Quorvel") == command),
            ("mail application on", 105,
             lambda: self.env.reg_query(mailto_key, "") == f"{command} %1" and
             self.env.reg_query(apps_key, "Quorvel") == "Software\\Clients\\Mail\\Quorvel\\Capabilities"),
            ("mail application off", 105,
             lambda: self.env.reg_query(mailto_key, "") is None and self.env.reg_query(apps_key, "Quorvel") is None),
        ]
        for what, command_id, done in steps:
            result = self.probe("post", *TRAY_WINDOW, hex(WM_COMMAND), str(command_id), "0")
            self.assertTrue(result.ok, result.out)
            reached, seconds = wineenv.wait_for(done, BOUND, interval=0.3)
            self.assertTrue(reached, f"{what}: the registry did not follow: {self.env.reg_values(run_key)}, "
                                     f"{self.env.reg_values(mailto_key)}{self.program_log_tail()}")
            self.record(what, seconds)
        self.assert_running(process, "after the integration switches")
        self.exit_quorvel(process)

    @screenshot_on_failure
    def test_ok_asks_about_the_default_mail_application(self):
        port, process = self.start_signed_in()
        self.assertTrue(self.probe("post", *TRAY_WINDOW, hex(WM_COMMAND), "105", "0").ok)
        self.assertTrue(self.probe("post", *TRAY_WINDOW, hex(WM_COMMAND), "102", "0").ok)
        self.wait_window("settings window shown", "wait-visible", SETTINGS_WINDOW, process)
        clicked = self.probe("click", *SETTINGS_WINDOW, "&OK")
        self.assertTrue(clicked.ok, clicked.out)
        box, seconds = wineenv.wait_for(lambda: (lambda r: r if r.ok else None)(self.probe("msgbox-text")), BOUND,
                                        interval=0.3)
        self.assertTrue(box, f"no question after OK{self.program_log_tail()}")
        self.record("OK until the question", seconds)
        self.env.screenshot(wineenv.artifacts_dir() / "default_mail_question.png")
        self.assertIn("Set as default mail application ?", box.out)
        self.assertTrue(self.probe("msgbox-click", "&Yes").ok or self.probe("msgbox-click", "Yes").ok)
        self.wait_window("settings window hidden after the answer", "wait-hidden", SETTINGS_WINDOW, process)
        self.assert_running(process, "after the question")
        self.exit_quorvel(process)

    @screenshot_on_failure
    def test_logs_in_to_fake_server_and_scrambles_password(self):
        port, process = self.start_signed_in()
        self.wait_login()
        self.assert_stays_hidden()
        self.assert_running(process, "after logging in")

        self.exit_quorvel(process)
        values = self.settings_values()
        self.assertEqual(values.get("ZimbraHost"), ("REG_SZ", f"127.0.0.1:{port}"))
        self.assertEqual(values.get("Username"), ("REG_SZ", "alice"))
        kind, password = values.get("Password", (None, None))
        self.assertEqual(kind, "REG_SZ")
        self.assertTrue(password, "the stored password is empty after Exit")
        self.assertFalse(password.startswith("text:"), f"the password is still stored in plain: {password!r}")
        self.assertNotIn("secret", password)

    @screenshot_on_failure
    def test_requests_name_the_server_with_its_port(self):
        # WinHTTP writes Host itself from the address it was given; a Host header of our own, or a connection
        # made to the default port, would leave the port out and a virtual host on another port unreachable.
        port, process = self.start_signed_in()
        for request in self.wait_login():
            hosts = [value for name, value in request.get("headers", []) if name.lower() == "host"]
            self.assertEqual(hosts, [f"127.0.0.1:{port}"],
                             f"Host of {request.get('method')} {request.get('path')}: {request.get('headers')}")
        self.exit_quorvel(process)

    @screenshot_on_failure
    def test_garbage_settings_are_rewritten_sound(self):
        long_filter = "|".join(f"Folder{i:04d}" for i in range(500))[:5000]
        self.assertEqual(len(long_filter), 5000)
        self.env.reg_import([
            (SETTINGS_KEY, "HTTPS", "REG_SZ", "abc"),
            (SETTINGS_KEY, "WhiteList", "REG_SZ", "maybe"),
            (SETTINGS_KEY, "Ventana", "REG_BINARY", b"\x01\x02\x03"),
            (SETTINGS_KEY, "Filtros", "REG_SZ", long_filter),
        ])
        before = self.settings_values()
        self.assertEqual(before.get("Ventana", ("",))[0], "REG_BINARY", "the garbage must be in place first")
        self.assertEqual(before.get("Filtros", (None, None))[1], long_filter, "reg query must show long values whole")

        process = self.start_quorvel()
        self.wait_window("tray window appeared", "wait", TRAY_WINDOW, process)
        garbage = {"HTTPS": ("REG_SZ", "abc"), "WhiteList": ("REG_SZ", "maybe"), "Ventana": before["Ventana"]}
        values = self.wait_settings(
            lambda v: all(name in v for name in DEFAULTS) and all(v[name] != garbage[name] for name in garbage),
            "garbage settings rewritten")
        self.assert_running(process, "after reading garbage settings")
        self.wait_window("settings window visible", "wait-visible", SETTINGS_WINDOW, process)
        self.assert_sound(values, long_filter, "at start")
        self.exit_quorvel(process)
        self.assert_sound(self.settings_values(), long_filter, "after Exit")

    def assert_sound(self, stored, long_filter, when):
        self.assertEqual(stored.get("HTTPS"), ("REG_SZ", "0"), when)
        self.assertEqual(stored.get("WhiteList"), ("REG_SZ", "0"), when)
        self.assertEqual(stored.get("Ventana"), ("REG_SZ", "0"), when)
        self.assertEqual(stored.get("Filtros"), ("REG_SZ", long_filter), f"the long filter must survive whole {when}")


if __name__ == "__main__":
    unittest.main(verbosity=2)
