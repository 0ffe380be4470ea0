"""End-to-end tests of the program's end: Windows ending the session, a request to close the hidden window, and
Exit while a message box is open.
Either way the settings are saved once and the process ends."""

import subprocess
import sys
import unittest
from pathlib import Path

sys.dont_write_bytecode = True
sys.path.insert(0, str(Path(__file__).resolve().parent))
import test_startup  # noqa: E402
import wineenv  # noqa: E402
from test_startup import BOUND, SETTINGS_KEY, TRAY_WINDOW, WM_COMMAND, CMD_EXIT, screenshot_on_failure  # noqa: E402

WM_CLOSE = 0x0010
WM_QUERYENDSESSION = 0x0011
WM_ENDSESSION = 0x0016
CMD_CHECK_NOW = 101


def setUpModule():
    test_startup.setUpModule()


def tearDownModule():
    test_startup.tearDownModule()


class ShutdownTest(test_startup.QuorvelTestCase):

    def start_without_account(self):
        process = self.start_quorvel()
        self.wait_settings(lambda values: "WhiteList" in values, "settings stored at start")
        # Changed behind the program's back: only a save of the program's own values brings "Spam" back.
        self.env.reg_add(SETTINGS_KEY, "Filtros", "changed elsewhere")
        return process

    def wait_end(self, process, what):
        try:
            code = process.wait(timeout=BOUND)
        except subprocess.TimeoutExpired:
            self.fail(f"Quorvel.exe still runs {BOUND:.0f} s after {what}")
        self.assertEqual(code, 0, f"exit code after {what}.{self.program_log_tail()}")

    @screenshot_on_failure
    def test_end_of_windows_session_saves_and_ends(self):
        process = self.start_without_account()
        answer = self.probe("send", *TRAY_WINDOW, hex(WM_QUERYENDSESSION), "0", "0")
        self.assertTrue(answer.ok, answer.out)
        self.probe("send", *TRAY_WINDOW, hex(WM_ENDSESSION), "1", "0")
        self.wait_end(process, "the end of the Windows session")
        self.assertEqual(self.env.reg_query(SETTINGS_KEY, "Filtros"), "Spam")

    @screenshot_on_failure
    def test_close_sent_to_the_hidden_window_ends_as_exit_does(self):
        # A task manager or a script asks the hidden window to close: the program must not live on without it.
        process = self.start_without_account()
        self.probe("post", *TRAY_WINDOW, hex(WM_CLOSE), "0", "0")
        self.wait_end(process, "WM_CLOSE to the hidden window")
        self.assertEqual(self.env.reg_query(SETTINGS_KEY, "Filtros"), "Spam")

    @screenshot_on_failure
    def test_exit_while_a_message_box_is_open_waits_for_the_box(self):
        process = self.start_without_account()
        # "Check Now" without an account opens "Enter required fields"; Exit arrives while it is up.
        self.probe("post", *TRAY_WINDOW, hex(WM_COMMAND), str(CMD_CHECK_NOW), "0")
        box, seconds = wineenv.wait_for(lambda: (lambda r: r if r.ok else None)(self.probe("msgbox-text")),
                                        BOUND, interval=0.3)
        self.assertTrue(box, "no message box")
        self.assertIn("Enter required fields", box.out)
        self.probe("post", *TRAY_WINDOW, hex(WM_COMMAND), str(CMD_EXIT), "0")
        ended, _ = wineenv.wait_for(lambda: process.poll() is not None, 1.5)
        self.assertFalse(ended, "the program ended under its own message box")
        self.assertTrue(self.probe("msgbox-text").ok, "the message box went away by itself")
        self.probe("msgbox-click", "OK")
        self.wait_end(process, "Exit and the box closed")
        self.assertEqual(self.env.reg_query(SETTINGS_KEY, "Filtros"), "Spam")


if __name__ == "__main__":
    unittest.main()
