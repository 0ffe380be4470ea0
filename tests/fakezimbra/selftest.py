"""Self-test of the fake Zimbra server. From the repository root:

    /usr/bin/python3 -m unittest discover -s tests/fakezimbra -p 'selftest.py'

Each test starts its own server process and stops it by its pid in tearDown."""

import base64
import http.client
import json
import os
import re
import socket
import tempfile
import time
import unittest
import xml.etree.ElementTree as ET

import fakeserver_ctl

SOAP_NS = "http://www.w3.org/2003/05/soap-envelope"
SCENARIO_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "scenarios")


def login_envelope(user="alice", password="secret"):
    """The program's login envelope, line by line."""
    return "\r\n".join([
        f'<Envelope xmlns="{SOAP_NS}">', "<Header>", '  <context xmlns="urn:zimbra">', "    <session/>",
        "  </context>", "</Header>", "  <Body>", '    <AuthRequest xmlns="urn:zimbraAccount">',
        f'      <account by="name">{user}</account>', f"      <password>{password}</password>",
        "      <prefs>", '        <pref name="zimbraPrefMailPollingInterval" />',
        '        <pref name="zimbraPrefCalendarApptReminderWarningTime" />',
        '        <pref name="zimbraPrefComposeFormat" />', "      </prefs>", "    </AuthRequest>", "  </Body>",
        "</Envelope>"])


def session_envelope(token, session_id, seq=None, body=None, element="session"):
    """The program's session envelope around a check request (or the given body lines)."""
    seq_attr = f' seq="{seq}"' if seq is not None else ""
    if body is None:
        now = int(time.time()) * 1000
        body = ['  <BatchRequest xmlns="urn:zimbra" onerror="continue">',
                f'    <SearchRequest xmlns="urn:zimbraMail" types="appointment" sortBy="dateAsc" '
                f'calExpandInstStart="{now - 86400000}" calExpandInstEnd="{now + 7 * 86400000}" >',
                "  <query>appt-start: &gt;-1day AND appt-start: &lt;+7day AND (is:local OR is:remote)</query>",
                "  </SearchRequest>", "  </BatchRequest>"]
    return "\r\n".join([
        f'<Envelope xmlns="{SOAP_NS}">', "<Header>", '  <context xmlns="urn:zimbra">',
        f"    <authToken>{token}</authToken>",
        f'    <{element}{seq_attr} id="{session_id}">{session_id}</{element}>',
        '    <userAgent name="Quorvel" version="5.0.1"/>', '    <change token="4270"/>', "  </context>",
        "</Header>", "<Body>", *body, "</Body>", "</Envelope>"])


class Answer:
    def __init__(self, response):
        self.status = response.status
        self.reason = response.reason
        self.headers = response.getheaders()
        self.raw = response.read()
        self.text = self.raw.decode("utf-8")

    def header(self, name):
        return next((value for key, value in self.headers if key.lower() == name.lower()), None)

    def xml(self):
        return ET.fromstring(self.raw)

    def find(self, path):
        """Element by a path of local names below the root, e.g. "Header/context/session"."""
        element = self.xml()
        for step in path.split("/"):
            element = next((kid for kid in element if kid.tag.rsplit("}", 1)[-1] == step), None)
            if element is None:
                return None
        return element


class FakeServerTest(unittest.TestCase):
    scenario = None
    lifetime = 30

    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.log = os.path.join(self.tmp.name, "log.jsonl")
        self.proc, self.port = fakeserver_ctl.start(self.scenario, self.log, lifetime=self.lifetime)

    def tearDown(self):
        fakeserver_ctl.stop(self.proc)
        self.tmp.cleanup()

    def request(self, method, path, body=b"", headers=None, timeout=5):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=timeout)
        try:
            connection.request(method, path, body=body, headers=headers or {})
            return Answer(connection.getresponse())
        finally:
            connection.close()

    def soap(self, envelope):
        return self.request("POST", "/service/soap", envelope.encode("utf-8"))

    def login(self):
        answer = self.soap(login_envelope())
        self.assertEqual(answer.status, 200, answer.text)
        return answer.find("Body/AuthResponse/authToken").text, answer.find("Header/context/session").get("id")

    def logged(self):
        with open(self.log, encoding="utf-8") as stream:
            return [json.loads(line) for line in stream]


class EmulationTest(FakeServerTest):
    def test_options_probe(self):
        answer = self.request("OPTIONS", "/service/soap")
        self.assertEqual((answer.status, answer.raw), (200, b""))
        self.assertIn("POST", answer.header("Allow"))

    def test_login_answer_has_the_server_format(self):
        answer = self.soap(login_envelope())
        self.assertEqual(answer.status, 200)
        self.assertEqual(answer.header("Content-Type"), "text/xml; charset=utf-8")
        self.assertTrue(answer.text.startswith(f'<soap:Envelope xmlns:soap="{SOAP_NS}"><soap:Header>'))
        self.assertNotIn("\n", answer.text)
        token = answer.find("Body/AuthResponse/authToken").text
        self.assertRegex(token, r"^[0-9a-f_]{250,400}$")
        self.assertEqual(answer.header("Set-Cookie"), f"ZM_AUTH_TOKEN={token}; Path=/; HttpOnly")
        context = answer.find("Header/context")
        self.assertEqual([kid.tag.split("}")[1] for kid in context], ["session", "refresh", "change"])
        session = answer.find("Header/context/session")
        self.assertEqual(session.get("id"), session.text)
        self.assertEqual(answer.find("Body/AuthResponse/session").get("id"), session.get("id"))
        prefs = {p.get("name"): p.text for p in answer.find("Body/AuthResponse/prefs")}
        self.assertEqual(prefs["zimbraPrefMailPollingInterval"], "5m")
        self.assertEqual(prefs["zimbraPrefCalendarApptReminderWarningTime"], "5")
        self.assertEqual(prefs["zimbraPrefComposeFormat"], "html")
        self.assertIn('<version>8.8.15_GA_4484.UBUNTU20_64 20220914105426 20220914-1107 FOSS</version>', answer.text)
        self.assertIn('name="Inbox" absFolderPath="/Inbox"', answer.text)
        self.assertNotIn(' u="0"', answer.text)  # unread counts of 0 are left out of refresh blocks

    def test_wrong_password_gives_the_exact_fault(self):
        answer = self.soap(login_envelope(user="Alice@Example.com", password="nope"))
        self.assertEqual(answer.status, 500)
        expected = (
            f'<soap:Envelope xmlns:soap="{SOAP_NS}"><soap:Header><context xmlns="urn:zimbra"/></soap:Header>'
            '<soap:Body><soap:Fault><soap:Code><soap:Value>soap:Sender</soap:Value></soap:Code>'
            '<soap:Reason><soap:Text>authentication failed for [Alice@Example.com]</soap:Text></soap:Reason>'
            '<soap:Detail><Error xmlns="urn:zimbra"><Code>account.AUTH_FAILED</Code><Trace>TRACE</Trace>'
            '</Error></soap:Detail></soap:Fault></soap:Body></soap:Envelope>')
        self.assertEqual(re.sub(r"<Trace>qtp\d+-\d+:\d{13}:[0-9a-f]{16}</Trace>", "<Trace>TRACE</Trace>",
                                answer.text), expected)

    def test_notify_blocks_are_resent_until_acknowledged(self):
        token, session = self.login()
        fakeserver_ctl.deliver(self.port, "Budget & plans", "Bob Example <bob@example.com>", "See attached")
        first = self.soap(session_envelope(token, session))
        self.assertEqual(first.status, 200)
        notify = first.find("Header/context/notify")
        self.assertEqual(notify.get("seq"), "1")
        self.assertIn('f="u" rev=', first.text)
        self.assertIn('<e a="alice@example.com" d="alice" t="t"/><e a="bob@example.com" d="Bob" '
                      'p="Bob Example" t="f"/><su>Budget &amp; plans</su><fr>See attached</fr></m></created>',
                      first.text)
        self.assertRegex(first.text, r'<modified><folder id="2" uuid="[^"]+" u="1" n="1" s="\d+"/>')
        self.assertIsNone(first.find("Header/context/refresh"))

        again = self.soap(session_envelope(token, session))  # no seq: block 1 comes again
        self.assertEqual(re.findall(r'<notify seq="(\d+)">', again.text), ["1"])

        fakeserver_ctl.deliver(self.port, "Second", "carol@example.com")
        both = self.soap(session_envelope(token, session))
        self.assertEqual(re.findall(r'<notify seq="(\d+)">', both.text), ["1", "2"])

        acked = self.soap(session_envelope(token, session, seq=1))
        self.assertEqual(re.findall(r'<notify seq="(\d+)">', acked.text), ["2"])
        self.assertIn("<su>Second</su>", acked.text)

        quiet = self.soap(session_envelope(token, session, seq=2))
        self.assertNotIn("<notify", quiet.text)
        self.assertEqual(quiet.find("Header/context/session").get("id"), session)

    def test_lost_session_and_expired_token(self):
        token, session = self.login()
        renewed = self.soap(session_envelope(token, "999"))
        self.assertEqual(renewed.status, 200)
        self.assertNotEqual(renewed.find("Header/context/session").get("id"), "999")
        self.assertIsNotNone(renewed.find("Header/context/refresh"))

        old_form = self.soap(session_envelope(token, session, element="sessionId"))
        self.assertIsNone(old_form.find("Header/context/session"))  # a current server ignores it

        fakeserver_ctl.control(self.port, "expire_tokens", {})
        expired = self.soap(session_envelope(token, session))
        self.assertEqual(expired.status, 500)
        self.assertIsNone(expired.find("Header"))
        self.assertEqual(expired.find("Body/Fault/Detail/Error/Code").text, "service.AUTH_EXPIRED")
        self.assertEqual(expired.find("Body/Fault/Reason/Text").text, "auth credentials have expired")

    def test_unknown_request_in_a_batch_is_a_fault_in_place(self):
        token, session = self.login()
        body = ['<BatchRequest xmlns="urn:zimbra" onerror="continue">',
                '<NoSuchRequest xmlns="urn:zimbraMail" requestId="a"/>',
                '<SearchRequest xmlns="urn:zimbraMail" types="appointment" requestId="b"/>', "</BatchRequest>"]
        answer = self.soap(session_envelope(token, session, body=body))
        self.assertEqual(answer.status, 200)
        batch = answer.find("Body/BatchResponse")
        self.assertEqual([kid.tag.split("}")[1] for kid in batch], ["Fault", "SearchResponse"])
        self.assertEqual([kid.get("requestId") for kid in batch], ["a", "b"])
        self.assertIn("<Code>service.UNKNOWN_DOCUMENT</Code>", answer.text)

    def test_malformed_request_is_a_parse_error(self):
        answer = self.soap("<Envelope><Body><AuthRequest>")
        self.assertEqual(answer.status, 500)
        self.assertEqual(answer.find("Body/Fault/Detail/Error/Code").text, "service.PARSE_ERROR")

    def test_upload_draft_and_preauth(self):
        token, session = self.login()
        boundary = "----QuorvelPostBoundary"
        form = (f'--{boundary}\r\nContent-Disposition: form-data; name="_charset_"\r\n\r\n\r\n'
                f'--{boundary}\r\nContent-Disposition: form-data; name="filename1"\r\n\r\nnotes.txt\r\n'
                f'--{boundary}\r\nContent-Disposition: form-data; name="_attFile_"; filename="notes.txt"\r\n\r\n'
                f'hello\r\n--{boundary}\r\nContent-Disposition: form-data; name="requestId"\r\n\r\n1\r\n'
                f'--{boundary}--\r\n').encode()
        headers = {"Content-Type": f"multipart/form-data; boundary={boundary}", "Connection": "Close"}
        refused = self.request("POST", "/service/upload?fmt=raw", form, headers)
        self.assertEqual((refused.status, refused.text), (200, "401,'null'\n"))
        headers["Cookie"] = f"ZM_TEST=true; ZM_AUTH_TOKEN={token}"
        uploaded = self.request("POST", "/service/upload?fmt=raw", form, headers)
        match = re.fullmatch(r"200,'1','([0-9a-f-]{36}:[0-9a-f-]{36})'\n", uploaded.text)
        self.assertIsNotNone(match, uploaded.text)

        draft = ['<SaveDraftRequest xmlns="urn:zimbraMail" onerror="continue">', '<m f="ad">',
                 "<su>notes.txt (5 B)</su>", '<mp body="1"><content></content></mp>',
                 f'<attach aid="{match.group(1)}"></attach>', "</m>", "</SaveDraftRequest>"]
        saved = self.soap(session_envelope(token, session, body=draft))
        self.assertEqual(saved.status, 200, saved.text)
        self.assertEqual(saved.find("Body/SaveDraftResponse/m").get("f"), "sad")

        redirect = self.request("GET", f"/service/preauth?isredirect=1&authtoken={token}&redirectURL=/zimbra/mail")
        self.assertEqual(redirect.status, 302)
        self.assertTrue(redirect.header("Location").endswith("/zimbra/mail"))
        self.assertNotIn(token, redirect.header("Set-Cookie"))
        self.assertEqual(self.soap(session_envelope(token, session)).status, 500)  # the token was one-time

    def test_log_keeps_exact_body_bytes(self):
        body = b"\xff\xfe<not xml>\r\ncaf\xc3\xa9"
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=5)
        connection.putrequest("POST", "/service/soap", skip_accept_encoding=True)
        connection.putheader("X-First", "1")
        connection.putheader("Transfer-Encoding", "chunked")
        connection.putheader("X-Last", "2")
        connection.endheaders()
        connection.send(b"3\r\n" + body[:3] + b"\r\n" + b"%x\r\n" % (len(body) - 3) + body[3:] + b"\r\n0\r\n\r\n")
        self.assertEqual(connection.getresponse().status, 500)
        connection.close()
        self.request("GET", "/zimbra/mail")
        entries = self.logged()
        self.assertEqual([(e["n"], e["method"], e["path"]) for e in entries],
                         [(1, "POST", "/service/soap"), (2, "GET", "/zimbra/mail")])
        self.assertEqual(base64.b64decode(entries[0]["body_b64"]), body)
        self.assertEqual(entries[0]["body"], body.decode("utf-8", errors="replace"))
        self.assertEqual(entries[0]["version"], "HTTP/1.1")
        self.assertEqual([name for name, _ in entries[0]["headers"]], ["Host", "X-First", "Transfer-Encoding", "X-Last"])


class ScriptTest(FakeServerTest):
    def setUp(self):
        scenario = {
            "account": {"name": "alice", "password": "secret"},
            "script": [
                {"match": {"method": "OPTIONS"}, "respond": {"status": 404, "reason": "Nope", "body": "gone"}},
                {"match": {"method": "POST", "contains": "AuthRequest"},
                 "respond": {"status": 200, "headers": {"Content-Type": "text/html"}, "body_file": "page.html"}},
            ],
        }
        self.scenario_dir = tempfile.TemporaryDirectory()
        with open(os.path.join(self.scenario_dir.name, "page.html"), "wb") as stream:
            stream.write(b"<html>login</html>")
        self.scenario = os.path.join(self.scenario_dir.name, "scripted.json")
        with open(self.scenario, "w", encoding="utf-8") as stream:
            json.dump(scenario, stream)
        super().setUp()

    def tearDown(self):
        super().tearDown()
        self.scenario_dir.cleanup()

    def test_entries_are_used_once_in_order_then_emulation(self):
        probe = self.request("OPTIONS", "/service/soap")
        self.assertEqual((probe.status, probe.reason, probe.raw), (404, "Nope", b"gone"))
        self.assertEqual(self.request("OPTIONS", "/service/soap").status, 200)
        page = self.soap(login_envelope())
        self.assertEqual((page.status, page.raw, page.header("Content-Type")), (200, b"<html>login</html>", "text/html"))
        self.assertIsNotNone(self.soap(login_envelope()).find("Body/AuthResponse/authToken"))


class NewMailScenarioTest(FakeServerTest):
    scenario = "new_mail"

    def test_message_arrives_after_the_first_login(self):
        token, session = self.login()
        check = self.soap(session_envelope(token, session))
        self.assertIn("<su>Quarterly figures &amp; plans</su>", check.text)
        self.assertIn('f="au"', check.text)


class AppointmentScenarioTest(FakeServerTest):
    scenario = "appointments"

    def test_check_lists_appointments_of_the_week(self):
        token, session = self.login()
        check = self.soap(session_envelope(token, session))
        appts = {a.get("name"): a for a in check.find("Body/BatchResponse/SearchResponse")}
        self.assertEqual(set(appts), {"Holiday", "Team review", "Dentist", None, "Weekly sync"})  # None: private
        rel = "{urn:zimbraMail}alarmData/{urn:zimbraMail}alarm/{urn:zimbraMail}trigger/{urn:zimbraMail}rel"
        self.assertEqual(appts["Team review"].find(rel).get("m"), "15")
        self.assertEqual(appts["Holiday"].get("allDay"), "1")
        self.assertEqual(len(appts["Weekly sync"].findall("{urn:zimbraMail}inst")), 1)


class CalendarPagingTest(FakeServerTest):
    scenario = "calendar_paging"
    OLD_QUERY = "appt-start: &gt;-1day AND appt-start: &lt;+7day AND (is:local OR is:remote)"
    OVERLAP_QUERY = "appt-start:&lt;+7day AND appt-end:&gt;-1day AND (is:local OR is:remote)"

    def search(self, token, session, query, limit=None, offset=None):
        now = int(time.time()) * 1000
        paging = (f' limit="{limit}"' if limit is not None else "") + (f' offset="{offset}"' if offset is not None else "")
        body = ['  <BatchRequest xmlns="urn:zimbra" onerror="continue">',
                f'    <SearchRequest xmlns="urn:zimbraMail" types="appointment" sortBy="dateAsc"{paging} '
                f'calExpandInstStart="{now - 86400000}" calExpandInstEnd="{now + 7 * 86400000}" >',
                f"  <query>{query}</query>", "  </SearchRequest>", "  </BatchRequest>"]
        found = self.soap(session_envelope(token, session, body=body)).find("Body/BatchResponse/SearchResponse")
        return [a.get("name") for a in found], found.get("more"), found.get("offset")

    def test_a_series_counts_by_its_first_start_and_last_end(self):
        token, session = self.login()
        names, _, _ = self.search(token, session, self.OLD_QUERY, limit=1000)
        self.assertNotIn("Old weekly", names)  # its first start lies months back
        names, _, _ = self.search(token, session, self.OVERLAP_QUERY, limit=1000)
        self.assertIn("Old weekly", names)
        self.assertEqual(len(names), 25)

    def test_pages_follow_offset_and_say_when_more_is_left(self):
        token, session = self.login()
        self.assertEqual(len(self.search(token, session, self.OVERLAP_QUERY)[0]), 10)  # no limit: ten hits
        pages = [self.search(token, session, self.OVERLAP_QUERY, limit=10, offset=offset) for offset in (0, 10, 20)]
        self.assertEqual([(more, offset) for _, more, offset in pages], [("1", "0"), ("1", "10"), ("0", "20")])
        names = [name for page, _, _ in pages for name in page]
        self.assertEqual(len(names), 25)
        self.assertEqual(len(set(names)), 25)


class HugeAnswerTest(FakeServerTest):
    scenario = "huge_answer"

    def test_login_answer_is_about_five_megabytes_and_valid(self):
        answer = self.soap(login_envelope())
        self.assertGreater(len(answer.raw), 4_500_000)
        self.assertLess(len(answer.raw), 6_000_000)
        self.assertGreater(len(answer.xml().findall(".//{urn:zimbra}folder")), 21000)


class HangTest(FakeServerTest):
    scenario = "hang"

    def test_client_times_out_and_server_still_stops(self):
        self.assertEqual(self.request("OPTIONS", "/service/soap").status, 200)
        with self.assertRaises((socket.timeout, TimeoutError)):
            self.request("POST", "/service/soap", login_envelope().encode(), timeout=1)
        self.assertEqual(fakeserver_ctl.stop(self.proc), 0)  # the hung request does not keep it alive


class LifetimeTest(FakeServerTest):
    lifetime = 1

    def test_server_stops_by_itself(self):
        self.assertEqual(self.proc.wait(timeout=5), 0)
        with self.assertRaises(OSError):
            socket.create_connection(("127.0.0.1", self.port), timeout=1).close()


class ShippedScenariosTest(unittest.TestCase):
    def test_every_scenario_parses_and_its_files_exist(self):
        names = sorted(name for name in os.listdir(SCENARIO_DIR) if name.endswith(".json"))
        self.assertGreaterEqual(len(names), 10)
        for name in names:
            with open(os.path.join(SCENARIO_DIR, name), encoding="utf-8") as stream:
                scenario = json.load(stream)
            for entry in scenario.get("script", []):
                if "body_file" in entry["respond"]:
                    self.assertTrue(os.path.exists(os.path.join(SCENARIO_DIR, entry["respond"]["body_file"])), name)


if __name__ == "__main__":
    unittest.main()
