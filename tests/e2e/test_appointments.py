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
import wineenv  # noqa: E402
from test_tray import NORMAL_DISC, TRAY_CALLBACK, WM_CANCELMODE, TrayTestCase, is_check, near  # noqa: E402

NIN_BALLOONSHOW = 0x0402
NIN_BALLOONUSERCLICK = 0x0405
REVIEW = {"name": "Team review", "loc": "Room 2", "start_in_min": 10, "dur_min": 30, "alarm_min": 15}
CALENDAR_DISC = (40, 160, 60)  # tools/make_icon.py's calendar icon, as RGB
MIN_PIXELS = 20


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
        # A click on the item's balloon opens its calendar menu; closed again without a choice.
        result = self.probe("post", f"hwnd:{item}", "-", hex(TRAY_CALLBACK), "0", hex(NIN_BALLOONUSERCLICK))
        self.assertTrue(result.ok, result.out)
        self.wait_probe("the calendar menu opened by the balloon", "wait-any-visible", "#32768")
        self.probe("post", f"hwnd:{main}", "-", hex(WM_CANCELMODE), "0", "0")
        self.wait_no_menu("the calendar menu closed")

        state = self.env.server_control("state")
        ids = [a["id"] for a in state["appointments"] if a["name"] == REVIEW["name"]]
        self.assertEqual(len(ids), 1, state["appointments"])
        self.assertEqual(self.env.server_control("delete", {"ids": ids}).get("deleted"), ids)
        self.wait_for("the item's window gone after the next check", lambda: self.icon_windows() == [main])
        self.env.screenshot(self.env.artifacts / "appointment_deleted.png")
        self.assert_running("after the appointment was deleted")


class MenuTest(AppointmentTest):

    def disc_middle(self, colour, path):
        """Where the notification area shows a disc of that colour, once it does; the picture is kept at path."""
        def middle():
            self.env.screenshot(path, settle=0)
            spots = [(x, y) for x, y, found in wineenv.read_png(path).pixels(self.notification_area())
                     if near(found, colour)]
            if len(spots) < MIN_PIXELS:
                return None
            xs, ys = [x for x, _ in spots], [y for _, y in spots]
            return (min(xs) + max(xs)) // 2, (min(ys) + max(ys)) // 2
        return self.wait_for(f"a disc of {colour} in the notification area", middle)

    def click_menu_entry(self, index, count, separator):
        """Clicks the entry at index of the last menu opened, which has count entries besides one separator at
        position separator. Without a window of the program's own having the keyboard, a menu under Wine takes the
        mouse only; the entries' places follow from the menu's height (2 px borders, a 9 px separator)."""
        lines = [line.split("\t") for line in self.probe("windows", "#32768").out.splitlines()]
        rects = [tuple(int(v) for v in parts[4].split(",")) for parts in lines if len(parts) > 4 and parts[3] == "visible"]
        self.assertTrue(rects, "no open menu")
        left, top, right, bottom = rects[-1]
        height = (bottom - top - 2 * 2 - 9) / count
        y = top + 2 + height * index + (9 if index > separator else 0) + height / 2
        self.env.xdotool("mousemove", (left + right) // 2, int(y), "click", "1")

    def open_menus(self):
        """How many popup menus are open. Wine keeps a menu's entries in its owner's process, out of the probe's
        reach: what they show is checked on the pictures kept, and in the unit tests of the menus' models."""
        result = self.probe("visible-texts", "#32768")
        return len(result.out.splitlines()) if result.ok else 0

    @screenshot_on_failure
    def test_calendar_menu_deletes_the_appointment_after_yes(self):
        self.start_with_mail(appointments=[REVIEW])
        self.wait_balloon("balloon of the due appointment", lambda b: b.title == REVIEW["name"])
        main = self.probe("owner", "QuorvelSettingsWnd", "-").out.strip()
        x, y = self.disc_middle(CALENDAR_DISC, self.env.artifacts / "calendar_icon.png")
        self.env.xdotool("mousemove", x, y, "click", "3")
        self.wait_for("the calendar menu open", lambda: self.open_menus() == 1)
        self.env.screenshot(self.env.artifacts / "calendar_menu.png")
        # The caption, the time, a separator, "Open Zimbra", "Delete", "Notify this appointment".
        self.click_menu_entry(3, 5, 1)
        box = self.wait_for("the question", lambda: (lambda r: r.ok and r)(self.probe("msgbox-text")))
        self.assertIn("Delete this appointment from the Zimbra Calendar ?", box.out)
        self.env.screenshot(self.env.artifacts / "calendar_question.png")
        self.assertTrue(self.probe("msgbox-click", "&Yes").ok or self.probe("msgbox-click", "Yes").ok)
        self.wait_for("the item's window gone", lambda: self.icon_windows() == [main])
        state = self.env.server_control("state")
        self.assertEqual([a["name"] for a in state["appointments"]], [], "still on the server")
        self.assert_running("after the deletion")

    @screenshot_on_failure
    def test_tray_menu_shows_every_entry_and_its_marks(self):
        self.start_with_mail(settings=[("AutoRun", "1")])
        self.wait_for("signed in", lambda: self.checks() >= 1)
        x, y = self.disc_middle(NORMAL_DISC, self.env.artifacts / "main_icon.png")
        self.env.xdotool("mousemove", x, y, "click", "3")
        self.wait_for("the tray menu open", lambda: self.open_menus() == 1)
        self.env.screenshot(self.env.artifacts / "tray_menu.png")
        # Into the integration submenu, whose marks show only when it is open.
        self.click_menu_entry(3, 6, 3)  # "Windows integration": its submenu
        self.wait_for("the integration submenu open", lambda: self.open_menus() == 2)
        self.env.screenshot(self.env.artifacts / "tray_menu_integration.png")
        main = self.probe("owner", "QuorvelSettingsWnd", "-").out.strip()
        self.probe("post", f"hwnd:{main}", "-", hex(WM_CANCELMODE), "0", "0")
        self.wait_no_menu("the tray menu closed")
        self.assert_running("after the menu")


if __name__ == "__main__":
    unittest.main()
