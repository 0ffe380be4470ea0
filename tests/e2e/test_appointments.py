"""End-to-end tests of appointment items: Quorvel.exe under Wine against the fake server holding a calendar.

What is checked: an appointment whose reminder is due gets a tray icon of its own, with its own hidden window and
balloon; the balloon comes again only after the shell said it showed the last one (Wine never says so: the test
posts the icon's callback message to that item's window, one of several of the same class and title); the icon
goes at the next check once the appointment is deleted on the server.

QUORVEL_WIN64_DIR names the Windows build folder. Every wait is bounded by BOUND seconds.
"""

import sys
import time
import unittest
from pathlib import Path

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, str(Path(__file__).resolve().parent))
from e2ecase import BOUND, TRAY_WINDOW, report_times, require_build, screenshot_on_failure  # noqa: E402
from test_tray import TRAY_CALLBACK, TrayTestCase, is_check  # noqa: E402

NIN_BALLOONSHOW = 0x0402
NIN_BALLOONUSERCLICK = 0x0405
REVIEW = {"name": "Team review", "loc": "Room 2", "start_in_min": 10, "dur_min": 30, "alarm_min": 15}


def setUpModule():
    require_build("test_appointments", files=("Quorvel.exe",))


def tearDownModule():
    report_times()


class AppointmentTest(TrayTestCase):

    def icon_windows(self):
        """The handles of every hidden icon window: the main icon's and one per appointment item."""
        result = self.probe("windows", "STATIC")
        return [line.split("\t")[0] for line in result.out.splitlines() if f"\t{TRAY_WINDOW[1]}\t" in line]

    def wait_for(self, what, predicate):
        started = time.monotonic()
        while True:
            value = predicate()
            if value:
                self.record(what, time.monotonic() - started)
                return value
            self.assert_running(f"while waiting: {what}")
            if time.monotonic() - started >= BOUND:
                self.fail(f"{what}: not within {BOUND:.0f} s")
            time.sleep(0.2)

    def checks(self):
        return sum(1 for request in self.env.server_requests() if is_check(request))

    def review_balloons(self):
        return [b for b in self.env.balloons() if b.title == REVIEW["name"]]

    @screenshot_on_failure
    def test_due_appointment_has_its_own_icon_and_balloon_until_deleted(self):
        self.start_with_mail(appointments=[REVIEW])
        balloon = self.wait_balloon("balloon of the due appointment", lambda b: b.title == REVIEW["name"])
        self.assertTrue(balloon.text.startswith("When: "), balloon)
        self.env.screenshot(self.env.artifacts / "appointment_balloon.png")
        # Several windows have the main icon's class and title; the settings window is owned by the main one.
        main = self.probe("owner", "QuorvelSettingsWnd", "-").out.strip()
        windows = self.wait_for("the item's own hidden window", lambda: len(self.icon_windows()) == 2 and
                                self.icon_windows())
        item = next(handle for handle in windows if handle != main)

        # Two more checks: the shell has not said it showed the balloon, so none is asked for again.
        seen = self.checks()
        self.wait_for("two more checks", lambda: self.checks() >= seen + 2)
        self.assertEqual(len(self.review_balloons()), 1, self.env.balloons())
        result = self.probe("post", f"hwnd:{item}", "-", hex(TRAY_CALLBACK), "0", hex(NIN_BALLOONSHOW))
        self.assertTrue(result.ok, result.out)
        self.wait_for("the balloon asked for again", lambda: len(self.review_balloons()) >= 2)
        result = self.probe("post", f"hwnd:{item}", "-", hex(TRAY_CALLBACK), "0", hex(NIN_BALLOONUSERCLICK))
        self.assertTrue(result.ok, result.out)

        state = self.env.server_control("state")
        ids = [a["id"] for a in state["appointments"] if a["name"] == REVIEW["name"]]
        self.assertEqual(len(ids), 1, state["appointments"])
        self.assertEqual(self.env.server_control("delete", {"ids": ids}).get("deleted"), ids)
        self.wait_for("the item's window gone after the next check", lambda: self.icon_windows() == [main])
        self.env.screenshot(self.env.artifacts / "appointment_deleted.png")
        self.assert_running("after the appointment was deleted")


if __name__ == "__main__":
    unittest.main()
