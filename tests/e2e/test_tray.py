"""End-to-end tests of the tray: Quorvel.exe under Wine with an explorer that logs its balloons, against the fake
server holding mail.

What is checked: the balloon and the new-mail icon at start-up and after a delivered message, a click on the
balloon opening the web mail through a stand-in browser, the icon coming back when the shell announces itself
again, the chime not delaying the next check, and a long subject cut without breaking a character.

QUORVEL_WIN64_DIR names the Windows build folder (Quorvel.exe, unread.wav, tests/e2e/probe/*.exe). Every wait is
bounded by BOUND seconds; the time each wait took is printed, but only bounds are asserted.
"""

import base64
import hashlib
import http.client
import io
import json
import re
import shutil
import subprocess
import sys
import threading
import time
import unittest
import zipfile
from pathlib import Path

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, str(Path(__file__).resolve().parent))
import fakerun  # noqa: E402
import wineenv  # noqa: E402
from e2ecase import (BOUND, CMD_EXIT, SETTINGS_KEY, TRAY_WINDOW, WM_COMMAND, E2ECase, report_times,  # noqa: E402
                     require_build, screenshot_on_failure)

WM_CLOSE = 0x0010
CMD_OPEN_ZIMBRA = 103
WM_CANCELMODE = 0x001F
TRAY_CALLBACK = 0x0882  # the icon's callback message, uID 1
ICON_ID = 1
WM_RBUTTONUP = 0x0205
NIN_BALLOONUSERCLICK = 0x0405

UNREAD_TITLE = "You have unread e-mail messages"
SENDER = "Bob Example <bob@example.com>"
POLLING_SECONDS = 2
# tools/make_icon.py draws a blue disc normally and an orange one for new mail (as RGB here).
NORMAL_DISC = (30, 120, 200)
NEW_MAIL_DISC = (240, 120, 20)
COLOUR_TOLERANCE = 24
ICON_MIN_PIXELS = 20  # a 16-pixel disc shows about 90 pixels of its colour around the envelope
# The notification area: the right end of the taskbar, left of which Wine puts the task buttons.
NOTIFICATION_AREA_WIDTH = 200
# Whole UTF-16 units a balloon's text can hold (NOTIFYICONDATAW.szInfo, its terminator excluded).
BALLOON_TEXT_UNITS = 255
BROWSER_KEYS = ("HKCU\\Software\\Classes\\http\\shell\\open\\command",
                # Wine 8 reads the machine's classes only; Windows would take the user's first.
                "HKLM\\Software\\Classes\\http\\shell\\open\\command")

WAV = None


def setUpModule():
    global WAV
    WAV = require_build("test_tray", files=("Quorvel.exe", "unread.wav"), helpers=("qvbrowser.exe",)) / "unread.wav"


def tearDownModule():
    report_times()


def near(colour, reference, tolerance=COLOUR_TOLERANCE):
    return all(abs(a - b) <= tolerance for a, b in zip(colour, reference))


def parse_rect(text):
    """A rectangle as qvprobe prints it: left,top,right,bottom."""
    return tuple(int(v) for v in text.split(","))


def decode_units(escaped):
    """qvprobe visible-texts: \\uXXXX for every UTF-16 unit outside printable ASCII. Lone surrogates stay."""
    units = []
    i = 0
    while i < len(escaped):
        if escaped.startswith("\\u", i):
            units.append(int(escaped[i + 2:i + 6], 16))
            i += 6
        else:
            units.append(ord(escaped[i]))
            i += 1
    return units


def utf16_units(text):
    raw = text.encode("utf-16-le", errors="surrogatepass")
    return [int.from_bytes(raw[i:i + 2], "little") for i in range(0, len(raw), 2)]


def long_subject(prefix_units, count=300):
    """count characters of Greek, Arabic and emoji, arranged so that the balloon's last unit falls on the first
    half of an emoji's surrogate pair: the worst place for a cut."""
    pieces = ("Καλημέρα κόσμε ", "مرحبا بالعالم ", "😀🎉📬")
    characters = []

    def units():
        return sum(2 if ord(c) > 0xFFFF else 1 for c in characters)

    target = BALLOON_TEXT_UNITS - 1 - prefix_units  # index in the subject of the balloon's last unit
    turn = 0
    while units() < target - 20:
        characters.extend(pieces[turn % 3])
        turn += 1
    while units() < target:
        characters.append("λ")
    characters.append("📨")
    while len(characters) < count:
        characters.extend(pieces[turn % 3])
        turn += 1
    return "".join(characters[:count])


class RequestTimes:
    """When each request reached the fake server, as seen by polling its log every 50 ms in the background."""

    def __init__(self, env):
        self.env = env
        self.seen = {}
        self.requests = {}
        self._lock = threading.Lock()
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._run, name="request-times", daemon=True)
        self._thread.start()

    def _run(self):
        while not self._stop.wait(0.05):
            self.poll()

    def stop(self):
        self._stop.set()
        self._thread.join(timeout=5)

    def poll(self):
        """The requests so far by number (a copy)."""
        with self._lock:
            now = time.monotonic()
            for request in self.env.server_requests():
                number = request.get("n")
                if number not in self.seen:
                    self.seen[number] = now
                    self.requests[number] = request
            return dict(self.requests)

    def wait(self, predicate, bound):
        """Polls until predicate(requests by number) returns something true; returns (value, seconds)."""
        started = time.monotonic()
        while True:
            value = predicate(self.poll())
            elapsed = time.monotonic() - started
            if value or elapsed >= bound:
                return value, elapsed
            time.sleep(0.05)


def is_check(request):
    """A check of a logged-in session: the answer's refresh or notify blocks are read from it."""
    return request.get("method") == "POST" and "<session " in request.get("body", "")


def acknowledged_seq(request):
    """The notify sequence a check acknowledges, 0 before any notify block arrived."""
    match = re.search(r'<session[^>]*\bseq="(\d+)"', request.get("body", ""))
    return int(match.group(1)) if match else 0


class TrayTestCase(E2ECase):
    """A desktop whose explorer logs balloons, and the fake server."""

    explorer_debug = "-all,+tooltips,+timestamp"

    def setUp(self):
        super().setUp()
        self.process = None
        self.port = None
        taskbar = self.probe("rect", "Shell_TrayWnd", "-")
        self.assertTrue(taskbar.ok, f"no taskbar: {taskbar.out}")
        self.taskbar = parse_rect(taskbar.out)

    # -- helpers

    def start_with_mail(self, unread=0, settings=(), debug="-all", deliver=(), appointments=(), args=(),
                        together=None, script=()):
        """Writes a scenario with unread messages in the Inbox (and the appointments given) and a short polling
        interval, starts the fake server and Quorvel.exe signed in to it; returns when the tray window exists."""
        scenario = {
            "about": f"{unread} unread message(s) in the Inbox; a check every {POLLING_SECONDS} s",
            "prefs": {"zimbraPrefMailPollingInterval": f"{POLLING_SECONDS}s"},
            "mailbox": {"messages": [{"subject": f"Waiting {i + 1}", "from": SENDER, "folder": 2, "flags": "u"}
                                     for i in range(unread)],
                        "appointments": list(appointments)},
            # Deliveries the server makes itself, just before the answer to a given request: no race with a check.
            "deliver": list(deliver),
            "script": list(script),
        }
        path = self.env.artifacts / "scenario.json"
        path.write_text(json.dumps(scenario, ensure_ascii=False, indent=2), encoding="utf-8")
        self.port = self.env.start_fake_server(str(path))
        self.start_program(f"127.0.0.1:{self.port}", settings, debug, args, together)

    def start_program(self, host, settings=(), debug="-all", args=(), together=None):
        """Starts Quorvel.exe signed in to host; returns when the tray window exists."""
        self.env.reg_import([
            (SETTINGS_KEY, "ZimbraHost", "REG_SZ", host),
            (SETTINGS_KEY, "Username", "REG_SZ", "alice"),
            (SETTINGS_KEY, "Password", "REG_SZ", "text:secret"),
            (SETTINGS_KEY, "Ventana", "REG_SZ", "0"),
            *[(SETTINGS_KEY, name, "REG_SZ", value) for name, value in settings],
        ])
        self.clock = RequestTimes(self.env)
        self.addCleanup(self.clock.stop)
        self.process = self.env.spawn(self.exe, *args, log_name="quorvel", debug=debug)
        # A second copy started at once, as a double click on a link does before the first has its window.
        self.second = None if together is None else self.env.spawn(self.exe, *together, log_name="second-copy")
        self.wait_probe("tray window appeared", "wait", *TRAY_WINDOW)

    def wait_probe(self, what, command, *args, bound=BOUND):
        return super().wait_probe(what, command, *args, process=self.process, bound=bound)

    def assert_running(self, when):
        code = self.process.poll() if self.process else None
        self.assertIsNone(code, f"Quorvel.exe ended ({code}) {when}.{self.program_log_tail()}")

    def wait_balloon(self, what, predicate=lambda balloon: True, after=0):
        """The first balloon after the first `after` ones that predicate accepts."""
        def found():
            return next((b for b in self.env.balloons()[after:] if predicate(b)), None)

        started = time.monotonic()
        while True:
            balloon = found()
            elapsed = time.monotonic() - started
            if balloon:
                self.record(what, elapsed)
                return balloon
            self.assert_running(f"while waiting: {what}")
            if elapsed >= BOUND:
                self.fail(f"{what}: not within {BOUND:.0f} s; balloons in explorer's log: {self.env.balloons()}")
            time.sleep(0.2)

    def deliver(self, subject):
        answer = self.env.server_control("deliver", {"subject": subject, "from": SENDER, "folder": 2, "flags": "u"})
        self.assertIn("id", answer, f"deliver answered {answer}")
        return answer["id"]

    def notification_area(self):
        left, top, right, bottom = self.taskbar
        return (max(left, right - NOTIFICATION_AREA_WIDTH), top, right, bottom)

    def icon_in(self, picture):
        """Pixels of each disc colour in the notification area, and the middle of the new-mail or normal disc."""
        counts = {"new mail": 0, "normal": 0}
        spots = {"new mail": [], "normal": []}
        for x, y, colour in picture.pixels(self.notification_area()):
            for kind, reference in (("new mail", NEW_MAIL_DISC), ("normal", NORMAL_DISC)):
                if near(colour, reference):
                    counts[kind] += 1
                    spots[kind].append((x, y))
        middle = None
        for kind in ("new mail", "normal"):
            if counts[kind] >= ICON_MIN_PIXELS:
                xs, ys = [x for x, _ in spots[kind]], [y for _, y in spots[kind]]
                middle = ((min(xs) + max(xs)) // 2, (min(ys) + max(ys)) // 2)
                break
        return counts, middle

    def wait_icon(self, what, expected, path):
        """Takes pictures until the notification area shows the expected icon: "new mail", "normal" or None for
        no icon at all; keeps the last picture at path and returns (counts, middle of the icon)."""
        started = time.monotonic()
        while True:
            # No settling here: the next round takes another picture anyway.
            self.env.screenshot(path, settle=0)
            counts, middle = self.icon_in(wineenv.read_png(path))
            if expected is None:
                done = counts["new mail"] < ICON_MIN_PIXELS and counts["normal"] < ICON_MIN_PIXELS
            else:
                other = "normal" if expected == "new mail" else "new mail"
                done = counts[expected] >= ICON_MIN_PIXELS and counts[other] < ICON_MIN_PIXELS
            elapsed = time.monotonic() - started
            if done:
                self.record(what, elapsed)
                return counts, middle
            self.assert_running(f"while waiting: {what}")
            if elapsed >= BOUND:
                self.fail(f"{what}: not within {BOUND:.0f} s; disc pixels in the notification area "
                          f"{self.notification_area()}: {counts} (see {path})")
            time.sleep(0.3)

    def wait_no_menu(self, what):
        started = time.monotonic()
        while self.probe("visible-texts", "#32768").ok:
            if time.monotonic() - started >= BOUND:
                self.fail(f"{what}: the tray menu is still open after {BOUND:.0f} s")
            time.sleep(0.2)
        self.record(what, time.monotonic() - started)

    def exit_quorvel(self):
        """The tray menu's Exit, as the menu sends it: the process must end with code 0."""
        started = time.monotonic()
        result = self.probe("post", *TRAY_WINDOW, hex(WM_COMMAND), str(CMD_EXIT), "0")
        self.assertTrue(result.ok, f"posting Exit: {result.out}")
        try:
            code = self.process.wait(timeout=BOUND)
        except subprocess.TimeoutExpired:
            self.fail(f"Quorvel.exe still runs {BOUND:.0f} s after Exit")
        self.record("Exit until the process ended", time.monotonic() - started)
        self.assertEqual(code, 0, f"exit code after Exit.{self.program_log_tail()}")


class TrayTest(TrayTestCase):

    @screenshot_on_failure
    def test_unread_inbox_at_start_shows_balloon_and_new_mail_icon(self):
        before = self.env.artifacts / "tray_before_start.png"
        counts, _ = self.icon_in(wineenv.read_png(self.env.screenshot(before, settle=0)))
        self.assertLess(max(counts.values()), ICON_MIN_PIXELS, f"a disc in the empty notification area: {counts}")

        self.start_with_mail(unread=2)
        balloon = self.wait_balloon("start-up balloon in explorer's log", lambda b: b.title == UNREAD_TITLE)
        self.assertEqual(balloon.text, "Inbox (2)", f"the start-up balloon: {balloon}")

        shown = self.wait_probe("balloon window visible", "wait-any-visible", "tooltips_class32")
        rect = parse_rect(shown.out.split()[1])
        left, top, right, bottom = self.taskbar
        self.assertTrue(rect[2] >= right - 60 and top - 80 <= rect[3] <= top + 5,
                        f"the balloon {rect} is not by the notification area of the taskbar {self.taskbar}")
        texts = self.probe("visible-texts", "tooltips_class32")
        self.assertIn("Inbox (2)", texts.out, "the visible balloon's text")

        picture_path = self.env.screenshot(wineenv.artifacts_dir() / "tray_new_mail.png")
        shutil.copy2(picture_path, self.env.artifacts / "tray_new_mail.png")
        picture = wineenv.read_png(picture_path)
        counts, middle = self.icon_in(picture)
        self.assertGreaterEqual(counts["new mail"], ICON_MIN_PIXELS, f"no new-mail disc in the tray: {counts}")
        self.assertLess(counts["normal"], ICON_MIN_PIXELS, f"the normal disc still shows: {counts}")
        print(f"[{self.case}] new-mail icon at {middle}, disc pixels {counts}", file=sys.stderr)

        # The balloon is drawn: most of its rectangle differs from the desktop's background.
        background = picture.pixel(5, 5)
        box = (rect[0], rect[1], rect[2], min(rect[3], top))
        area = [colour for _, _, colour in picture.pixels(box)]
        drawn = sum(1 for colour in area if not near(colour, background, 8))
        self.assertGreater(drawn, len(area) * 0.6, f"the balloon's area {box} looks like background")

        self.assert_running("after announcing unread mail")
        self.exit_quorvel()

    @screenshot_on_failure
    def test_delivered_message_is_announced_by_next_check(self):
        subject = "Quarterly figures & plans"
        before = 6  # the probe, the login and four quiet checks: time enough to see the normal icon first
        self.start_with_mail(unread=0, deliver=[{"after_requests": before, "subject": subject, "from": SENDER,
                                                  "folder": 2, "flags": "u"}])
        clock = self.clock
        checked, seconds = clock.wait(lambda requests: any(is_check(r) for r in requests.values()), BOUND)
        self.assertTrue(checked, f"no check within {BOUND:.0f} s: {[r.get('path') for r in clock.poll().values()]}")
        self.record("first check after login", seconds)
        self.wait_icon("normal icon shown", "normal", self.env.artifacts / "tray_normal.png")

        expected = f"From: {SENDER}\r\nSubject: {subject}"
        balloon = self.wait_balloon("balloon of the delivered message", lambda b: b.title == UNREAD_TITLE)
        self.assertEqual(balloon.text, expected)
        self.assertEqual(self.env.balloons()[0].text, expected, "a balloon came before, with no unread mail")

        # The server delivers just before answering request 7: that check brings the message, and the next one
        # is the first to acknowledge a notify block.
        acknowledging, _ = clock.wait(
            lambda requests: min((n for n, r in requests.items() if acknowledged_seq(r) > 0), default=None), BOUND)
        self.assertIsNotNone(acknowledging, "no check acknowledged the notify block")
        self.assertEqual(acknowledging, before + 2,
                         f"the message came with request {acknowledging - 1}, not with request {before + 1}")

        self.wait_icon("icon changed to new mail", "new mail", self.env.artifacts / "tray_after_delivery.png")
        self.assert_running("after announcing a delivered message")
        self.exit_quorvel()

    def use_stand_in_browser(self):
        """Registers the stand-in browser for http addresses; returns the file it records addresses in."""
        record = self.env.artifacts / "browser.txt"
        record.unlink(missing_ok=True)
        browser = self.env.install(wineenv.find_helper("qvbrowser.exe"), folder="StandInBrowser")
        self.env.reg_import([(key, "", "REG_SZ", f'"{browser}" "{wineenv.windows_path(record)}" "%1"')
                             for key in BROWSER_KEYS])
        return record

    def wait_opened(self, record, what):
        lines, seconds = wineenv.wait_for(
            lambda: record.is_file() and record.read_text(encoding="utf-8").splitlines(), BOUND)
        self.assertTrue(lines, f"{what}: no address opened within {BOUND:.0f} s{self.program_log_tail()}")
        self.record(what, seconds)
        self.assertEqual(len(lines), 1, f"one address expected: {lines}")
        return lines[0]

    def follow_sign_on(self, address, query=""):
        """Asserts the address is a sign-on with a token of the browser's own, uses it as a browser would and
        returns where the server redirected; the program's session must not notice."""
        base = f"http://127.0.0.1:{self.port}"
        match = re.fullmatch(re.escape(f"{base}/service/preauth?isredirect=1&authtoken=") + r"([0-9a-f_]+)" +
                             re.escape(query), address)
        self.assertIsNotNone(match, f"the opened address: {address}")
        logins = [r for r in self.env.server_requests() if "<AuthRequest" in r.get("body", "")]
        self.assertEqual(len(logins), 2, "the program's login, then the browser's")
        self.assertNotIn("<session", logins[1]["body"], "the browser's login asks for no session")
        checks = sum(1 for r in self.env.server_requests() if is_check(r))

        # The server takes the token once and redirects: the program's own must not have been the one spent.
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        try:
            connection.request("GET", address[len(base):])
            answer = connection.getresponse()
            answer.read()
        finally:
            connection.close()
        self.assertEqual(answer.status, 302, "the server refused the pre-authentication address")
        later, _ = self.clock.wait(
            lambda requests: sum(1 for r in requests.values() if is_check(r)) >= checks + 2, BOUND)
        self.assertTrue(later, "no further checks after the sign-on")
        logins = [r for r in self.env.server_requests() if "<AuthRequest" in r.get("body", "")]
        self.assertEqual(len(logins), 2, "the program had to log in again after the browser's sign-on")
        return answer.getheader("Location") or ""

    @screenshot_on_failure
    def test_balloon_click_opens_web_mail_signed_in(self):
        record = self.use_stand_in_browser()
        self.start_with_mail(unread=2)
        self.wait_balloon("start-up balloon in explorer's log", lambda b: b.title == UNREAD_TITLE)
        # Wine's explorer never relays the balloon's click: post what it would send.
        result = self.probe("post", *TRAY_WINDOW, hex(TRAY_CALLBACK), str(ICON_ID), hex(NIN_BALLOONUSERCLICK))
        self.assertTrue(result.ok, result.out)
        address = self.wait_opened(record, "balloon click until the browser ran")
        location = self.follow_sign_on(address)
        self.assertTrue(location.endswith("/zimbra/mail"), location)
        self.assert_running("after opening the web mail")
        self.exit_quorvel()

    @screenshot_on_failure
    def test_balloon_click_brings_an_open_web_mail_window_forward(self):
        record = self.use_stand_in_browser()
        window = self.env.spawn(wineenv.find_helper("qvbrowser.exe"), wineenv.windows_path(record), "--window",
                                "MozillaWindowClass", "Zimbra: Inbox (2) - Mozilla Firefox", log_name="web-mail-window")
        opened, _ = wineenv.wait_for(lambda: record.is_file() and "window" in record.read_text(), BOUND)
        self.assertTrue(opened, "the stand-in browser's window did not open")
        self.start_with_mail(unread=2)
        self.wait_balloon("start-up balloon in explorer's log", lambda b: b.title == UNREAD_TITLE)
        result = self.probe("post", *TRAY_WINDOW, hex(TRAY_CALLBACK), str(ICON_ID), hex(NIN_BALLOONUSERCLICK))
        self.assertTrue(result.ok, result.out)
        activated, seconds = wineenv.wait_for(lambda: "activated" in record.read_text().splitlines(), BOUND)
        self.assertTrue(activated, f"the open web-mail window was not activated{self.program_log_tail()}")
        self.record("balloon click until the web-mail window was active", seconds)
        self.env.screenshot(self.env.artifacts / "web_mail_window_forward.png")
        self.assertEqual([line for line in record.read_text().splitlines() if "://" in line], [],
                         "a browser was started although a web-mail window was open")
        self.probe("post", "MozillaWindowClass", "-", hex(WM_CLOSE), "0", "0")
        window.wait(timeout=BOUND)
        self.exit_quorvel()

    @screenshot_on_failure
    def test_referred_login_gives_the_browser_a_token_of_the_configured_server(self):
        """The configured server refers every login to the one that holds the mailbox: the program's session
        moves there, while the browser's token comes from, and goes to, the configured server alone."""
        record = self.use_stand_in_browser()
        holding = self.env.artifacts / "scenario-holding.json"
        holding.write_text(json.dumps({"prefs": {"zimbraPrefMailPollingInterval": f"{POLLING_SECONDS}s"}}),
                           encoding="utf-8")
        holder = self.env.start_fake_server(str(holding))
        referring = self.env.artifacts / "scenario-referring.json"
        referring.write_text(json.dumps({"script": [
            {"match": {"method": "POST", "contains": "AuthRequest"}, "always": True,
             "respond": {"emulate": True, "refer": f"127.0.0.1:{holder}"}}]}), encoding="utf-8")
        referring_log = self.env.artifacts / "referring-requests.jsonl"
        server, configured = fakerun.start(referring_log, str(referring))
        self.addCleanup(fakerun.stop, server)
        self.port = configured
        self.start_program(f"127.0.0.1:{configured}")
        checked, _ = self.clock.wait(lambda requests: any(is_check(r) for r in requests.values()), BOUND)
        self.assertTrue(checked, "the program never checked at the server holding the mailbox")

        self.probe("post", *TRAY_WINDOW, hex(WM_COMMAND), str(CMD_OPEN_ZIMBRA), "0")
        address = self.wait_opened(record, "Open Zimbra until the browser ran")
        base = f"http://127.0.0.1:{configured}"
        match = re.fullmatch(re.escape(f"{base}/service/preauth?isredirect=1&authtoken=") + r"([0-9a-f_]+)", address)
        self.assertIsNotNone(match, f"the opened address: {address}")
        logins = [r for r in fakerun.read_requests(referring_log) if "<AuthRequest" in r.get("body", "")]
        self.assertEqual(len(logins), 2, "the program's first login, then the browser's, at the configured server")
        self.assertNotIn("<session", logins[1]["body"])
        token = match.group(1)
        self.assertFalse([r for r in self.env.server_requests() if token in json.dumps(r)],
                         "the browser's token reached the server the login was referred to")
        held = sum(1 for r in self.env.server_requests() if "<AuthRequest" in r.get("body", ""))
        checks = sum(1 for r in self.env.server_requests() if is_check(r))
        later, _ = self.clock.wait(
            lambda requests: sum(1 for r in requests.values() if is_check(r)) >= checks + 2, BOUND)
        self.assertTrue(later, "no further checks at the server holding the mailbox")
        self.assertEqual(sum(1 for r in self.env.server_requests() if "<AuthRequest" in r.get("body", "")), held,
                         "the program logged in again at the server holding the mailbox")
        self.exit_quorvel()

    @screenshot_on_failure
    def test_first_copy_started_with_a_link_opens_it_once_signed_in(self):
        record = self.use_stand_in_browser()
        self.start_with_mail(args=("mailto:someone@example.org?subject=Hi",))
        address = self.wait_opened(record, "start until the link was opened")
        location = self.follow_sign_on(address, "&view=compose&to=someone%40example.org&subject=Hi")
        self.assertTrue(location.endswith("/zimbra/mail?view=compose&to=someone%40example.org&subject=Hi"), location)
        self.assertEqual(len(record.read_text(encoding="utf-8").splitlines()), 1, "opened more than once")
        self.exit_quorvel()

    @screenshot_on_failure
    def test_second_copy_hands_a_link_to_the_running_one(self):
        record = self.use_stand_in_browser()
        self.start_with_mail()
        self.clock.wait(lambda requests: any(is_check(r) for r in requests.values()), BOUND)
        code, out = self.env.run(self.exe, 'mailto:Someone@Example.org?subject=Hi there&authtoken=0_x',
                                 timeout=BOUND)
        self.assertEqual(code, 0, out)
        address = self.wait_opened(record, "second copy until the link was opened")
        location = self.follow_sign_on(
            address, "&view=compose&to=Someone%40Example.org&subject=Hi%20there")
        self.assertIn("/zimbra/mail?view=compose&to=Someone%40Example.org", location)
        self.assertNotIn("0_x", location)
        self.exit_quorvel()

    @screenshot_on_failure
    def test_copies_started_together_open_the_link_once(self):
        """Either may become the running copy: the other hands over and ends, and the link opens once."""
        record = self.use_stand_in_browser()
        self.start_with_mail(together=("mailto:someone@example.org",))
        copies = (self.process, self.second)
        ended, seconds = wineenv.wait_for(lambda: [p for p in copies if p.poll() is not None], BOUND * 2)
        self.assertEqual(len(ended), 1, "exactly one copy must hand over and end")
        self.assertEqual(ended[0].returncode, 0)
        self.record("start of both until one ended", seconds)
        self.process = next(p for p in copies if p is not ended[0])
        composed, _ = wineenv.wait_for(lambda: record.is_file() and [
            line for line in record.read_text(encoding="utf-8").splitlines() if "view=compose" in line], BOUND)
        self.assertTrue(composed, f"the link was not opened{self.program_log_tail()}")
        self.assertEqual(len(composed), 1, f"the link opened more than once: {composed}")
        self.assertIn("&view=compose&to=someone%40example.org", composed[0])
        self.assertEqual(self.probe("count", *TRAY_WINDOW).out, "1", "one copy runs")
        self.exit_quorvel()

    @screenshot_on_failure
    def test_mail_clients_message_becomes_a_draft_or_is_sent(self):
        """What the mail-client library hands over (code 3): a subject alone ends in a draft the web mail opens
        on; recipients, a subject and a body are sent at once and open nothing."""
        record = self.use_stand_in_browser()
        self.start_with_mail()
        checked, _ = self.clock.wait(lambda requests: any(is_check(r) for r in requests.values()), BOUND)
        self.assertTrue(checked, "no check")

        def composed(name):
            return [r for r in self.env.server_requests() if f"<{name} " in r.get("body", "")]

        result = self.probe("send-copydata", *TRAY_WINDOW, "3", "|@|5|@|Quarterly report|@|6|@|See the numbers.")
        self.assertTrue(result.ok, result.out)
        drafts, _ = wineenv.wait_for(lambda: composed("SaveDraftRequest"), BOUND)
        self.assertEqual(len(drafts), 1)
        self.assertIn("<su>Quarterly report</su>", drafts[0]["body"])
        self.assertIn('<m f="d">', drafts[0]["body"])
        address = self.wait_opened(record, "draft saved until the web mail opened")
        self.assertTrue(address.startswith(f"http://127.0.0.1:{self.port}/service/preauth?"), address)

        result = self.probe("send-copydata", *TRAY_WINDOW, "3",
                            '|@|3|@|Bob "B"|smtp:bob@example.org|@|5|@|Hi & bye|@|6|@|Text')
        self.assertTrue(result.ok, result.out)
        sent, _ = wineenv.wait_for(lambda: composed("SendMsgRequest"), BOUND)
        self.assertEqual(len(sent), 1)
        self.assertIn('<e t="t" p="Bob &quot;B&quot;" a="bob@example.org" />', sent[0]["body"])
        self.assertIn("<su>Hi &amp; bye</su>", sent[0]["body"])
        stored = self.env.server_control("state")
        self.assertIn("Hi & bye", json.dumps(stored, ensure_ascii=False), "the server stored no sent message")
        self.assertEqual(len(record.read_text(encoding="utf-8").splitlines()), 1, "a sent message opened the browser")
        self.assert_running("after both messages")
        self.exit_quorvel()

    def send_files(self, *paths):
        """A second copy started with these Windows paths, as Send To starts it; returns the uploads the server
        holds and the draft these files made. The second copy ends before the job does."""
        def drafts_of(state):
            return [m for m in state.get("messages", []) if m.get("folder") == 6]

        known = len(drafts_of(self.env.server_control("state")))
        code, out = self.env.run(self.exe, *paths, timeout=BOUND)
        self.assertEqual(code, 0, out)

        def drafted():
            state = self.env.server_control("state")
            drafts = drafts_of(state)
            return (state, drafts[-1]) if len(drafts) > known and state.get("uploads") else None

        found, seconds = wineenv.wait_for(drafted, BOUND * 2, interval=0.3)
        self.assertTrue(found, f"no draft with an upload on the server{self.program_log_tail()}")
        self.record("second copy until the draft existed", seconds)
        state, draft = found
        return list(state["uploads"].values()), draft

    @screenshot_on_failure
    def test_files_sent_to_the_program_end_in_a_draft_the_web_mail_opens(self):
        record = self.use_stand_in_browser()
        self.env.install(wineenv.win64_dir() / "zip.exe")
        documents = self.env.prefix / "drive_c" / "Documents"
        (documents / "Año 1").mkdir(parents=True)
        report = documents / "Año 1" / "report 2026.txt"
        report.write_bytes(b"numbers\r\n" * 500)
        self.start_with_mail()
        checked, _ = self.clock.wait(lambda requests: any(is_check(r) for r in requests.values()), BOUND)
        self.assertTrue(checked, "no check")

        uploads, draft = self.send_files("C:\\Documents\\Año 1\\report 2026.txt")
        self.assertEqual(len(uploads), 1)
        self.assertEqual(uploads[0]["name"], "report 2026.txt")
        self.assertEqual(base64.b64decode(uploads[0]["b64"]), report.read_bytes(), "the bytes that arrived")
        self.assertIn("a", draft.get("flags", ""), f"the draft holds no attachment: {draft}")
        address = self.wait_opened(record, "draft saved until the web mail opened")
        self.assertTrue(address.startswith(f"http://127.0.0.1:{self.port}/service/preauth?"), address)

        # A folder is packed by zip.exe beside the program; the archive holds the same files.
        album = documents / "album"
        (album / "inner").mkdir(parents=True)
        files = {"a.txt": b"first", "inner/b c.txt": b"second " * 100, "inner/Ünï.txt": "ünï".encode("utf-8")}
        for name, data in files.items():
            (album / name).write_bytes(data)
        uploads, _ = self.send_files("C:\\Documents\\album")
        archive = next(u for u in uploads if u["name"].lower().endswith(".zip"))
        with zipfile.ZipFile(io.BytesIO(base64.b64decode(archive["b64"]))) as packed:
            self.assertIsNone(packed.testzip())
            unpacked = {info.filename.replace("\\", "/"): packed.read(info) for info in packed.infolist()
                        if not info.is_dir()}
        self.assertEqual({name.split("/", 1)[-1] if name.startswith("album/") else name: data
                          for name, data in unpacked.items()}, files)
        # A shortcut is sent as what it points at: here the Send To shortcut the start-up save made.
        links, _ = wineenv.wait_for(lambda: list((self.env.prefix / "drive_c").glob(
            "users/*/AppData/Roaming/Microsoft/Windows/SendTo/Zimbra in Drafts folder.lnk")), BOUND)
        self.assertTrue(links, "no Send To shortcut")
        uploads, _ = self.send_files(
            "C:\\" + str(links[0].relative_to(self.env.prefix / "drive_c")).replace("/", "\\"))
        program = [u for u in uploads if u["name"].lower() == "quorvel.exe"]
        self.assertEqual(len(program), 1, [u["name"] for u in uploads])
        self.assertEqual(program[0]["sha256"],
                         hashlib.sha256((wineenv.win64_dir() / "Quorvel.exe").read_bytes()).hexdigest(),
                         "the shortcut's target arrived, not the shortcut")

        leftovers = list((self.env.prefix / "drive_c").glob("users/*/AppData/Local/Temp/*.zip"))
        self.assertEqual(leftovers, [], "a temporary archive was left behind")
        self.assert_running("after sending files")
        self.exit_quorvel()

    @screenshot_on_failure
    def test_second_copy_ends_while_its_files_are_still_being_sent(self):
        """Explorer's Send To starts a copy per use: it must not stay until a slow upload ends."""
        record = self.use_stand_in_browser()
        documents = self.env.prefix / "drive_c" / "Documents"
        documents.mkdir(parents=True)
        (documents / "slow.txt").write_bytes(b"slow\r\n" * 100)
        self.start_with_mail(script=[{"match": {"path": "/service/upload"}, "respond": {"delay": 10}}])
        checked, _ = self.clock.wait(lambda requests: any(is_check(r) for r in requests.values()), BOUND)
        self.assertTrue(checked, "no check")

        code, out = self.env.run(self.exe, "C:\\Documents\\slow.txt", timeout=BOUND)
        self.assertEqual(code, 0, out)
        saved = [r for r in self.env.server_requests() if "<SaveDraftRequest" in r.get("body", "")]
        self.assertEqual(saved, [], "the second copy waited for the whole job")
        self.wait_opened(record, "the draft saved after the slow upload")
        self.assert_running("after the slow upload")
        self.exit_quorvel()

    @screenshot_on_failure
    def test_shell_restart_brings_icon_back_with_its_callback(self):
        """Wine 8 cannot give a running desktop a new explorer (the new one dies on the old desktop's X window)
        and its explorer never broadcasts "TaskbarCreated"; so the shell's restart is made of its two halves:
        the shell forgets the icon, then the test announces the shell as a restarted one does."""
        self.start_with_mail(unread=2)
        self.wait_balloon("start-up balloon in explorer's log", lambda b: b.title == UNREAD_TITLE)
        self.wait_icon("new-mail icon shown", "new mail", self.env.artifacts / "tray_before_restart.png")
        shown = len(self.env.balloons())

        result = self.probe("tray-delete", *TRAY_WINDOW, str(ICON_ID))
        self.assertTrue(result.ok, result.out)
        self.wait_icon("icon gone from the forgetful shell", None, self.env.artifacts / "tray_forgotten.png")

        result = self.probe("broadcast-registered", "TaskbarCreated")
        self.assertTrue(result.ok, result.out)
        _, middle = self.wait_icon("icon back, still new mail, after TaskbarCreated", "new mail",
                                   self.env.artifacts / "tray_after_restart.png")

        # A real right-click: the shell sends the callback message the icon was added again with.
        self.env.xdotool("mousemove", middle[0], middle[1], "click", "3")
        self.wait_probe("tray menu opened by a right-click on the icon", "wait-any-visible", "#32768")
        self.env.screenshot(self.env.artifacts / "tray_menu_after_restart.png")
        self.probe("post", *TRAY_WINDOW, hex(WM_CANCELMODE), "0", "0")
        self.wait_no_menu("tray menu closed")

        result = self.probe("post", *TRAY_WINDOW, hex(TRAY_CALLBACK), str(ICON_ID), hex(WM_RBUTTONUP))
        self.assertTrue(result.ok, result.out)
        self.wait_probe("tray menu opened by the posted callback message", "wait-any-visible", "#32768")
        self.probe("post", *TRAY_WINDOW, hex(WM_CANCELMODE), "0", "0")
        self.wait_no_menu("tray menu closed again")

        again = self.env.balloons()[shown:]
        print(f"[{self.case}] balloons shown again after the restart: {again}", file=sys.stderr)
        self.assert_running("after the shell's restart")
        self.exit_quorvel()

    @screenshot_on_failure
    def test_program_survives_the_shell_ending(self):
        self.start_with_mail(unread=0)
        clock = self.clock
        clock.wait(lambda requests: any(is_check(r) for r in requests.values()), BOUND)
        result = self.probe("kill-owner", "Shell_TrayWnd", "-")
        self.assertTrue(result.ok, f"ending the explorer: {result.out}")

        last_before = max(clock.poll())
        self.deliver("While the shell is away")
        # The icon cannot be updated; the checks must go on regardless.
        acknowledged, seconds = clock.wait(
            lambda requests: [n for n, r in requests.items() if n > last_before and acknowledged_seq(r) > 0], BOUND)
        self.assertTrue(acknowledged, f"no check took the new message within {BOUND:.0f} s without a shell")
        self.record("check with the new message, no shell", seconds)
        self.assert_running("after the shell ended")
        self.exit_quorvel()

    @screenshot_on_failure
    def test_chime_does_not_delay_next_check(self):
        shutil.copy2(WAV, self.env.prefix / "drive_c" / "Program Files" / "Quorvel" / "unread.wav")
        # +winmm shows which file the chime was read from.
        self.start_with_mail(unread=0, settings=[("Sonido", "1")], debug="-all,+winmm")
        clock = self.clock
        checks, _ = clock.wait(lambda requests: sum(1 for r in requests.values() if is_check(r)) >= 3 or None,
                               BOUND)
        self.assertTrue(checks, f"fewer than 3 checks within {BOUND:.0f} s")
        quiet = sorted(n for n, r in clock.poll().items() if is_check(r))
        usual = [clock.seen[b] - clock.seen[a] for a, b in zip(quiet, quiet[1:])]

        self.deliver("Chime please")
        balloon = self.wait_balloon("balloon of the delivered message", lambda b: b.title == UNREAD_TITLE)
        self.assertTrue(balloon.text.endswith("Subject: Chime please"), balloon)
        # The check that brought the message is followed by the first one that acknowledges it.
        acknowledging, _ = clock.wait(
            lambda requests: min((n for n, r in requests.items() if acknowledged_seq(r) > 0), default=None), BOUND)
        self.assertIsNotNone(acknowledging, "no check acknowledged the notify block")
        # The chimed check succeeded: the next one acknowledges its block, so it was no retry after a failure.
        # How long it came after is a figure to read, not to assert: this test runs beside sanitized builds.
        gap = clock.seen[acknowledging] - clock.seen[acknowledging - 1]
        self.record(f"gap after the chimed check (usual {', '.join(f'{g:.2f}' for g in usual)} s)", gap)

        log = "".join(p.read_text(errors="replace") for p in self.env.artifacts.glob("*-quorvel.log"))
        played = [line for line in log.splitlines() if "proc_PlaySound SoundName=" in line]
        print(f"[{self.case}] sounds played: {played}", file=sys.stderr)
        if "trace:winmm" in log:  # tracing works: the chime must have been read from beside the exe
            self.assertTrue(any("unread.wav" in line for line in played), f"unread.wav was not played: {played}")
        self.assert_running("after the chime")
        self.exit_quorvel()

    @screenshot_on_failure
    def test_sound_without_unread_wav_beeps(self):
        # Relay tracing of just the sound calls: Wine 8 traces neither MessageBeep (win32u) nor a skipped
        # PlaySound on any channel, but its relay shows every call the program makes to them.
        sound_calls = ["user32.MessageBeep", "winmm.sndPlaySoundW", "winmm.sndPlaySoundA", "winmm.PlaySoundW",
                       "winmm.PlaySoundA"]
        self.env.reg_import([("HKCU\\Software\\Wine\\Debug", "RelayInclude", "REG_SZ", ";".join(sound_calls))])
        self.assertFalse((self.env.prefix / "drive_c" / "Program Files" / "Quorvel" / "unread.wav").exists())
        self.start_with_mail(unread=0, settings=[("Sonido", "1")], debug="-all,+relay")
        self.clock.wait(lambda requests: any(is_check(r) for r in requests.values()), BOUND)

        def calls():
            log = "".join(p.read_text(errors="replace") for p in self.env.artifacts.glob("*-quorvel.log"))
            return [line for line in log.splitlines() if any(f"Call {name}(" in line for name in sound_calls)]

        self.assertEqual(calls(), [], "a sound before any mail was announced")
        self.deliver("Beep please")
        self.wait_balloon("balloon of the delivered message", lambda b: b.title == UNREAD_TITLE)
        beeps, seconds = wineenv.wait_for(
            lambda: [line for line in calls() if "Call user32.MessageBeep(" in line] or None, BOUND, interval=0.2)
        self.assertTrue(beeps, f"no MessageBeep within {BOUND:.0f} s of the balloon; sound calls: {calls()}")
        self.record("MessageBeep after the balloon", seconds)
        print(f"[{self.case}] sound calls: {calls()}", file=sys.stderr)
        self.assertEqual([line for line in calls() if "winmm." in line], [], "a sound file was asked for")
        self.assert_running("after the beep")
        self.exit_quorvel()

    @screenshot_on_failure
    def test_long_subject_is_cut_cleanly(self):
        self.start_with_mail(unread=0)
        clock = self.clock
        clock.wait(lambda requests: any(is_check(r) for r in requests.values()), BOUND)
        head = f"From: {SENDER}\r\nSubject: "
        subject = long_subject(len(utf16_units(head)))
        self.assertEqual(len(subject), 300)
        full = head + subject
        units = utf16_units(full)
        self.assertTrue(0xD800 <= units[BALLOON_TEXT_UNITS - 1] <= 0xDBFF,
                        "the subject must put half a pair on the balloon's last unit")

        self.deliver(subject)
        balloon = self.wait_balloon("balloon of the long subject", lambda b: b.title == UNREAD_TITLE)
        # Wine's tracing writes only the start of a long text: that part must match.
        self.assertNotIn("\ufffd", balloon.text, balloon)
        self.assertTrue(full.startswith(balloon.text), f"the balloon's text in the log: {balloon}")
        if not balloon.text_cut:
            shown = utf16_units(balloon.text)
        else:
            # The whole text, as the balloon window holds it.
            texts = self.probe("visible-texts", "tooltips_class32")
            lines = [line.split("\t", 1)[1] for line in texts.out.splitlines() if "\t" in line]
            candidates = [decode_units(line) for line in lines if line.startswith("From: ")]
            self.assertTrue(candidates, f"no visible balloon with the message: {texts.out}")
            shown = candidates[0]
        print(f"[{self.case}] balloon text: {len(shown)} units, ends "
              f"{' '.join(f'{u:04x}' for u in shown[-4:])}", file=sys.stderr)
        self.assertNotIn(0xFFFD, shown, "a replacement character in the balloon")
        self.assertLessEqual(len(shown), BALLOON_TEXT_UNITS)
        self.assertGreaterEqual(len(shown), BALLOON_TEXT_UNITS - 1, "cut shorter than it had to be")
        self.assertEqual(shown, units[:len(shown)], "the balloon's text is not the start of the message's")
        for i, unit in enumerate(shown):
            if 0xD800 <= unit <= 0xDBFF:
                self.assertTrue(i + 1 < len(shown) and 0xDC00 <= shown[i + 1] <= 0xDFFF,
                                f"half a surrogate pair at unit {i} of {len(shown)}")
            elif 0xDC00 <= unit <= 0xDFFF:
                self.assertTrue(i > 0 and 0xD800 <= shown[i - 1] <= 0xDBFF, f"a lone low surrogate at unit {i}")
        self.assert_running("after the long subject")
        self.exit_quorvel()


if __name__ == "__main__":
    unittest.main(verbosity=2)
