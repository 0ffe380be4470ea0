"""End-to-end tests of the settings as a user enters them and as the registry keeps them: text saved with exactly
one terminating zero whatever its characters, and the settings window typed into with real keystrokes, whose
password mask must never be taken for the password.

QUORVEL_WIN64_DIR names the Windows build folder (Quorvel.exe, tests/e2e/probe/qvprobe.exe). Every wait is bounded
by BOUND seconds; the time each wait took is printed, but only the bound is asserted.
"""

import html
import json
import re
import sys
import time
import unittest
from pathlib import Path

sys.dont_write_bytecode = True
sys.path.insert(0, str(Path(__file__).resolve().parent))
import test_startup  # noqa: E402
import wineenv  # noqa: E402
from e2ecase import BOUND, SETTINGS_KEY, SETTINGS_WINDOW, TRAY_WINDOW, WM_COMMAND, screenshot_on_failure  # noqa: E402

CMD_SETTINGS = 102
PASSWORD_MASK = "*" * 20
# Typed as a user would: shifted characters, and one that XML must escape in the AuthRequest.
TYPED_PASSWORD = "Kq7&Wx-z9#Lm"
TYPING_DELAY_MS = 30
# Every character XML escapes, and letters outside ASCII: the server must read back exactly this.
TRICKY_USER = "ana&\"o'<b>ñ"
TEXT_VALUES = {
    "Filtros": "Входящие|Ünïcode€|日本|😀",  # Cyrillic, Latin-1, a BMP symbol, CJK and a surrogate pair
    "Username": "Zoë Łukasz-Ørsted",
}


def setUpModule():
    test_startup.setUpModule()


def tearDownModule():
    test_startup.tearDownModule()


def stored_bytes(text):
    """A REG_SZ value as the program must store it: UTF-16 and one terminating zero."""
    return text.encode("utf-16-le", errors="surrogatepass") + b"\0\0"


def auth_accounts(requests):
    """The <account by="name"> text of every AuthRequest the server received, un-escaped, in order."""
    found = []
    for request in requests:
        if request.get("method") == "POST" and "<AuthRequest" in request.get("body", ""):
            match = re.search(r'<account by="name">(.*?)</account>', request["body"], re.S)
            found.append(html.unescape(match.group(1)) if match else None)
    return found


def centre(rect):
    left, top, right, bottom = (int(v) for v in rect.split(","))
    return (left + right) // 2, (top + bottom) // 2


def auth_passwords(requests):
    """The password of every AuthRequest the server received, in order."""
    found = []
    for request in requests:
        if request.get("method") == "POST" and "<AuthRequest" in request.get("body", ""):
            match = re.search(r"<password>(.*?)</password>", request["body"], re.S)
            found.append(html.unescape(match.group(1)) if match else None)
    return found


class SettingsTest(test_startup.QuorvelTestCase):

    def reg_value(self, name):
        """(type, bytes) of a settings value as qvprobe regvalue reads it from outside the program."""
        result = self.probe("regvalue", SETTINGS_KEY, name)
        self.assertTrue(result.ok, f"regvalue {name}: {result.out}")
        kind, size, data = result.out.split(" ")
        raw = b"" if data == "-" else bytes.fromhex(data)
        self.assertEqual(int(size), len(raw), f"regvalue {name}: {result.out}")
        return kind, raw

    def assert_stored_text(self, name, text, when):
        kind, raw = self.reg_value(name)
        units = len(stored_bytes(text)) // 2 - 1
        self.assertEqual(kind, "REG_SZ", f"{name} {when}")
        self.assertEqual(len(raw), (units + 1) * 2,
                         f"{name} {when}: {len(raw)} bytes for {units} UTF-16 units: {raw.hex()}")
        self.assertEqual(raw, stored_bytes(text), f"{name} {when}")

    @screenshot_on_failure
    def test_settings_window_scales_with_the_display(self):
        """At 100% and 200% display scaling the window and every control take the scale, in one prefix: Wine
        reads the scale when a program starts. The screenshots are kept to be looked at."""
        widths = {}
        for dpi in (96, 192):
            self.env.reg_import([("HKEY_CURRENT_USER\\Control Panel\\Desktop", "LogPixels", "REG_DWORD", dpi),
                                 ("HKEY_CURRENT_CONFIG\\Software\\Fonts", "LogPixels", "REG_DWORD", dpi)])
            process = self.start_quorvel()
            self.wait_window(f"settings window at {dpi} dpi", "wait-visible", SETTINGS_WINDOW, process)
            controls = self.probe("controls", *SETTINGS_WINDOW)
            self.assertTrue(controls.ok, controls.out)
            rects = {}
            for line in controls.out.splitlines():
                fields = line.split("\t")
                left, top, right, bottom = (int(v) for v in fields[3].split(","))
                rects[int(fields[0])] = (right - left, bottom - top)
            widths[dpi] = rects
            self.env.screenshot(wineenv.artifacts_dir() / f"settings_window_{dpi}dpi.png")
            self.exit_quorvel(process)
        for control, (width, height) in widths[96].items():
            doubled = widths[192][control]
            self.assertLessEqual(abs(doubled[0] - 2 * width), 2, f"control {control}: {width} then {doubled[0]}")
            self.assertLessEqual(abs(doubled[1] - 2 * height), 2, f"control {control}: {height} then {doubled[1]}")
        self.assertEqual(widths[96][1], (85, 26), "the OK button at 100%")

    @screenshot_on_failure
    def test_text_settings_are_stored_with_one_terminating_zero(self):
        # Written by another tool with two terminators: the program's own save must leave exactly one.
        self.env.reg_import([(SETTINGS_KEY, name, "REG_SZ", stored_bytes(text) + b"\0\0")
                             for name, text in TEXT_VALUES.items()])
        for name, text in TEXT_VALUES.items():
            self.assertEqual(self.reg_value(name)[1], stored_bytes(text) + b"\0\0", f"{name} before the start")

        process = self.start_quorvel()
        # Every setting is saved at start, before the window for the missing password shows.
        self.wait_window("settings window visible", "wait-visible", SETTINGS_WINDOW, process)
        controls = self.probe("controls", *SETTINGS_WINDOW).out
        shown = [line.split("\t")[4] for line in controls.splitlines() if line.split("\t")[1].lower() == "edit"]
        self.assertIn(TEXT_VALUES["Filtros"], shown, "the filter box shows the stored text")
        self.assertIn(TEXT_VALUES["Username"], shown, "the user box shows the stored text")
        expected = {**TEXT_VALUES, "ZimbraHost": "", "Password": ""}
        for name, text in expected.items():
            self.assert_stored_text(name, text, "after the start")

        self.exit_quorvel(process)
        for name, text in expected.items():
            self.assert_stored_text(name, text, "after Exit")
        # `reg query` prints through Wine's OEM code page; the export is UTF-16 and shows every character.
        exported = self.env.reg_export_texts(SETTINGS_KEY) or {}
        for name, text in TEXT_VALUES.items():
            self.assertEqual(exported.get(name), text, f"{name} as reg export shows it")

    def control_rows(self):
        result = self.probe("controls", *SETTINGS_WINDOW)
        if not result.ok and "not found" not in result.out:
            result = self.probe("controls", *SETTINGS_WINDOW)  # the probe itself failed once under load: again
        self.assertTrue(result.ok, result.out)
        return [line.split("\t") for line in result.out.splitlines()]

    def wait_control_text(self, what, control_id, text):
        """Waits until the control shows text (xdotool's keystrokes reach the program later than it returns)."""
        def shown():
            rows = [row for row in self.control_rows() if row[0] == control_id]
            return rows and rows[0][4] == text

        done, seconds = wineenv.wait_for(shown, BOUND, interval=0.2)
        rows = [row for row in self.control_rows() if row[0] == control_id]
        self.assertTrue(done, f"{what}: control {control_id} shows {rows[0][4] if rows else None!r}, not {text!r}")
        self.record(what, seconds)

    def click_into(self, what, row):
        """Clicks into a control until it has the focus: Wine's desktop now and then drops a click that follows
        a pointer move at once, and another click into the same box changes nothing else."""
        x, y = centre(row[3])
        self.env.xdotool("mousemove", x, y)
        started = time.monotonic()
        for clicks in range(1, 100):
            self.env.xdotool("click", "1")
            remaining = BOUND - (time.monotonic() - started)
            focused = self.probe("wait-focus", *SETTINGS_WINDOW, row[0], f"{min(max(remaining, 0.0), 2.0):.2f}")
            if focused.ok:
                self.record(f"{what} has the focus ({clicks} click{'s' if clicks > 1 else ''})",
                            time.monotonic() - started)
                return
            if remaining <= 2.0:
                break
        self.fail(f"{what}: no focus within {BOUND:.0f} s of clicking at {x},{y} ({focused.out})")

    def type_into(self, what, row, text):
        self.click_into(what, row)
        self.env.xdotool("type", "--delay", TYPING_DELAY_MS, text)
        self.wait_control_text(f"{what} typed", row[0], text)

    def type_letters_into(self, what, row, text):
        """Types text with letters outside ASCII as characters sent to the box: xdotool would remap a spare key
        for each letter, and under Wine the first letter after a remap is now and then lost."""
        self.click_into(what, row)
        self.env.xdotool("key", "ctrl+a", "BackSpace")
        self.wait_control_text(f"{what} cleared", row[0], "")
        self.assertTrue(self.probe("type-chars", *SETTINGS_WINDOW, str(row[0]), text).ok, f"{what}: not typed")
        self.wait_control_text(f"{what} typed", row[0], text)

    def wait_auth_count(self, what, count):
        found, seconds = wineenv.wait_for(
            lambda: (lambda p: p if len(p) >= count else None)(auth_passwords(self.env.server_requests())),
            BOUND, interval=0.2)
        self.assertTrue(found, f"{what}: fewer than {count} AuthRequests within {BOUND:.0f} s: "
                               f"{auth_passwords(self.env.server_requests())}")
        self.record(what, seconds)
        return found

    def wait_settings_answered(self, what, process):
        """After OK: the window hides when the server accepted the settings, or a message box tells why not."""
        def answered():
            if self.probe("visible", *SETTINGS_WINDOW).out == "hidden":
                return "hidden"
            box = self.probe("msgbox-text")
            return f"message box: {box.out!r}" if box.ok else None

        outcome, seconds = wineenv.wait_for(answered, BOUND, interval=0.2)
        self.assertTrue(outcome, f"{what}: neither hidden nor a message box within {BOUND:.0f} s")
        self.assert_running(process, what)
        self.record(what, seconds)
        return outcome

    @screenshot_on_failure
    def test_typed_settings_log_in_and_the_mask_never_becomes_the_password(self):
        scenario = self.env.artifacts / "account.json"
        scenario.write_text(json.dumps({"account": {"name": "alice", "domain": "example.com",
                                                    "password": TYPED_PASSWORD}}))
        port = self.env.start_fake_server(str(scenario), lifetime=240)
        process = self.start_quorvel()
        self.wait_window("settings window visible", "wait-visible", SETTINGS_WINDOW, process)

        rows = self.control_rows()
        edits = [row for row in rows if row[1].lower() == "edit"]
        host, user = edits[0], edits[1]
        password = next(row for row in rows if row[2] == "password")
        filters = edits[-1]
        ok = next(row for row in rows if row[1].lower() == "button" and row[4] == "&OK")
        self.type_into("server box", host, f"127.0.0.1:{port}")
        self.type_into("user box", user, "alice")
        self.type_into("password box", password, TYPED_PASSWORD)
        self.env.screenshot(wineenv.artifacts_dir() / "settings_typed.png")
        self.env.xdotool("key", "Return")

        self.assertEqual(self.wait_auth_count("AuthRequest after Enter", 1), [TYPED_PASSWORD],
                         "the login must carry the typed password")
        self.assertEqual(self.wait_settings_answered("settings accepted", process), "hidden")

        # The settings again, from the tray menu: the box shows the mask, and OK must keep the real password.
        posted = self.probe("post", *TRAY_WINDOW, hex(WM_COMMAND), str(CMD_SETTINGS), "0")
        self.assertTrue(posted.ok, posted.out)
        self.wait_window("settings window shown again", "wait-visible", SETTINGS_WINDOW, process)
        self.wait_control_text("password box shows the mask", password[0], PASSWORD_MASK)
        self.click_into("filter box", filters)
        self.env.xdotool("key", "Tab")
        self.wait_probe("OK has the focus", "wait-focus", *SETTINGS_WINDOW, ok[0])
        self.env.xdotool("key", "Return")
        outcome = self.wait_settings_answered("settings accepted again", process)
        passwords = auth_passwords(self.env.server_requests())
        self.assertNotIn(PASSWORD_MASK, passwords, "the mask was sent as the password")
        self.assertEqual(set(passwords), {TYPED_PASSWORD}, "every login carries the typed password")
        self.assertEqual(outcome, "hidden")
        self.exit_quorvel(process)

        # What was stored is the real password: a new start logs in with it.
        logins = len(passwords)
        process = self.start_quorvel()
        passwords = self.wait_auth_count("AuthRequest after the restart", logins + 1)
        self.assertEqual(passwords[logins:], [TYPED_PASSWORD], "the stored password")
        self.assertNotIn(PASSWORD_MASK, passwords)
        self.exit_quorvel(process)

    @screenshot_on_failure
    def test_wrong_password_is_told_keeps_what_was_typed_and_esc_closes(self):
        port = self.env.start_fake_server(None, lifetime=240)
        process = self.start_quorvel()
        self.wait_window("settings window visible", "wait-visible", SETTINGS_WINDOW, process)
        edits = [row for row in self.control_rows() if row[1].lower() == "edit"]
        password = next(row for row in self.control_rows() if row[2] == "password")
        self.type_into("server box", edits[0], f"127.0.0.1:{port}")
        self.type_into("user box", edits[1], "alice")
        self.type_into("password box", password, "not-the-password")
        self.env.xdotool("key", "Return")
        outcome = self.wait_settings_answered("wrong password answered", process)
        self.env.screenshot(wineenv.artifacts_dir() / "settings_wrong_password.png")
        self.assertIn("Incorrect User or Password: alice", outcome)
        self.probe("msgbox-click", "OK")
        self.assertEqual(self.probe("visible", *SETTINGS_WINDOW).out, "visible", "the window must stay")
        rows = {row[0]: row[4] for row in self.control_rows()}
        self.assertEqual(rows[edits[0][0]], f"127.0.0.1:{port}", "the typed server was lost")
        self.assertEqual(rows[edits[1][0]], "alice", "the typed user was lost")
        stored = (self.settings_values() or {}).get("ZimbraHost", ("", ""))[1]
        self.assertNotEqual(stored, f"127.0.0.1:{port}", "settings the server refused were saved")
        # Esc is the Close button, from the keyboard alone.
        self.click_into("user box", edits[1])
        self.env.xdotool("key", "Escape")
        self.wait_window("settings window closed by Esc", "wait-hidden", SETTINGS_WINDOW, process)
        self.assert_running(process, "after the refusal")
        self.exit_quorvel(process)

    @screenshot_on_failure
    def test_typed_user_name_reaches_the_server_exactly(self):
        scenario = self.env.artifacts / "account.json"
        scenario.write_text(json.dumps({"account": {"name": TRICKY_USER, "domain": "example.com",
                                                    "password": TYPED_PASSWORD}}, ensure_ascii=False),
                            encoding="utf-8")
        port = self.env.start_fake_server(str(scenario), lifetime=240)
        process = self.start_quorvel()
        self.wait_window("settings window visible", "wait-visible", SETTINGS_WINDOW, process)
        edits = [row for row in self.control_rows() if row[1].lower() == "edit"]
        password = next(row for row in self.control_rows() if row[2] == "password")
        self.type_into("server box", edits[0], f"127.0.0.1:{port}")
        self.type_letters_into("user box", edits[1], TRICKY_USER)
        self.type_into("password box", password, TYPED_PASSWORD)
        self.env.xdotool("key", "Return")

        self.assertEqual(self.wait_auth_count("AuthRequest after Enter", 1), [TYPED_PASSWORD])
        login = next(r for r in self.env.server_requests() if "<AuthRequest" in r.get("body", ""))
        self.assertIn('<account by="name">ana&amp;', login["body"], "the name is not escaped in the envelope")
        self.assertEqual(auth_accounts([login]), [TRICKY_USER], "the server read another name")
        # The server found its account by that name: the login was accepted and the window hid.
        self.assertEqual(self.wait_settings_answered("settings accepted", process), "hidden")
        self.exit_quorvel(process)
        self.assert_stored_text("Username", TRICKY_USER, "after Exit")

    @screenshot_on_failure
    def test_non_ascii_server_box_and_typed_filter_survive_a_restart(self):
        host = "correo.ñandú.invalid"  # never resolves; nothing is sent with an empty password anyway
        self.env.reg_import([(SETTINGS_KEY, "ZimbraHost", "REG_SZ", host)])
        process = self.start_quorvel()
        self.wait_window("settings window visible", "wait-visible", SETTINGS_WINDOW, process)
        rows = self.control_rows()
        edits = [row for row in rows if row[1].lower() == "edit"]
        self.assertEqual(edits[0][4], host, "the server box shows the stored text")
        typed_filter = "Spam|Входящие|Papelera ñ"
        self.type_letters_into("filter box", edits[-1], typed_filter)
        # Close keeps what was typed in the settings and Exit saves them.
        self.assertTrue(self.probe("click", *SETTINGS_WINDOW, "&Close").ok)
        self.wait_window("settings window hidden by Close", "wait-hidden", SETTINGS_WINDOW, process)
        self.exit_quorvel(process)
        for name, text in (("ZimbraHost", host), ("Filtros", typed_filter)):
            self.assert_stored_text(name, text, "after Exit")

        process = self.start_quorvel()
        self.wait_window("settings window visible again", "wait-visible", SETTINGS_WINDOW, process)
        shown = [row[4] for row in self.control_rows() if row[1].lower() == "edit"]
        self.assertEqual((shown[0], shown[-1]), (host, typed_filter), "the boxes after the restart")
        self.exit_quorvel(process)
        for name, text in (("ZimbraHost", host), ("Filtros", typed_filter)):
            self.assert_stored_text(name, text, "after the second Exit")


if __name__ == "__main__":
    unittest.main()
