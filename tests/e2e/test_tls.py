"""End-to-end tests of "Use Safe Connection": WinHTTP's TLS under Wine. Against a server whose certificate nobody
vouches for the check must fail with the certificate's own description, never quietly succeed; against one the
machine trusts, the login, an upload and the web mail all go over https."""

import base64
import subprocess
import sys
import unittest
from pathlib import Path

sys.dont_write_bytecode = True
HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
sys.path.insert(0, str(HERE.parent / "fakezimbra"))
import fakerun  # noqa: E402
import fakeserver_ctl  # noqa: E402
import test_startup  # noqa: E402
import wineenv  # noqa: E402
from test_startup import BOUND, SETTINGS_KEY, screenshot_on_failure  # noqa: E402

BROWSER_KEYS = [f"{root}\\Software\\Classes\\{scheme}\\shell\\open\\command"
                for root in ("HKCU", "HKLM") for scheme in ("http", "https")]


def setUpModule():
    test_startup.setUpModule()


def tearDownModule():
    test_startup.tearDownModule()


class TlsTest(test_startup.QuorvelTestCase):

    def start_tls_server(self, trusted=False):
        """A fake server speaking only https with a fresh certificate for 127.0.0.1; trusted puts that
        certificate into the prefix's root store first. Returns the port."""
        folder = self.env.artifacts / "tls"
        folder.mkdir(parents=True, exist_ok=True)
        self.log = self.env.artifacts / "server-requests.jsonl"
        self.log.unlink(missing_ok=True)  # left by an earlier run of the same test
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                        "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1,DNS:127.0.0.1",
                        "-keyout", str(folder / "key.pem"), "-out", str(folder / "cert.pem")],
                       check=True, capture_output=True, timeout=60)
        if trusted:
            result = self.probe("trust-certificate", wineenv.windows_path(folder / "cert.pem"))
            self.assertTrue(result.ok, result.out)
        process, port = fakeserver_ctl.start(log=str(self.log), args=["--tls-cert", str(folder / "cert.pem"),
                                                                      "--tls-key", str(folder / "key.pem")])
        self.addCleanup(fakeserver_ctl.stop, process)
        return port

    def wait_request(self, what, accept):
        found, seconds = wineenv.wait_for(
            lambda: [r for r in fakerun.read_requests(self.log) if accept(r)], BOUND, interval=0.2)
        self.assertTrue(found, f"{what}: not within {BOUND:.0f} s{self.program_log_tail()}")
        self.record(what, seconds)
        return found

    @screenshot_on_failure
    def test_untrusted_certificate_is_refused_with_its_description(self):
        port = self.start_tls_server()
        process = self.start_with_account(f"127.0.0.1:{port}", [(SETTINGS_KEY, "HTTPS", "REG_SZ", "1")])
        # "Check Now" shows why the check failed.
        text = self.check_now_message()
        self.assertTrue(text.strip(), "an empty error text")
        self.assertNotIn("Request to", text, "a certificate failure is told by its description alone")
        self.assertNotIn("Incorrect User or Password", text)
        self.assertFalse(text.startswith("Error "), "a certificate failure is no unknown error")
        self.probe("msgbox-click", "OK")
        self.assertIsNone(process.poll())
        self.exit_quorvel(process)

    @screenshot_on_failure
    def test_trusted_server_gets_the_login_the_upload_and_the_web_mail_over_https(self):
        port = self.start_tls_server(trusted=True)
        record = self.env.artifacts / "browser.txt"
        record.unlink(missing_ok=True)
        browser = self.env.install(wineenv.find_helper("qvbrowser.exe"), folder="StandInBrowser")
        self.env.reg_import([(key, "", "REG_SZ", f'"{browser}" "{wineenv.windows_path(record)}" "%1"')
                             for key in BROWSER_KEYS])
        data = bytes(range(256)) * 64 + b"\r\n--=_boundary\r\n"  # every byte value, and what looks like a boundary
        (self.env.prefix / "drive_c" / "Documents").mkdir(parents=True, exist_ok=True)
        (self.env.prefix / "drive_c" / "Documents" / "safe.bin").write_bytes(data)
        process = self.start_with_account(f"127.0.0.1:{port}", [(SETTINGS_KEY, "HTTPS", "REG_SZ", "1")])
        self.wait_request("the login over https", lambda r: "<AuthRequest" in r.get("body", ""))

        code, out = self.env.run(self.exe, "C:\\Documents\\safe.bin", timeout=BOUND)
        self.assertEqual(code, 0, out)
        drafts = self.wait_request("the draft after the upload", lambda r: "<SaveDraftRequest" in r.get("body", ""))
        uploads = [r for r in fakerun.read_requests(self.log) if r.get("path", "").startswith("/service/upload")]
        self.assertEqual(len(uploads), 1, "one upload")
        self.assertIn(data, base64.b64decode(uploads[0]["body_b64"]), "the file's bytes inside the upload")
        self.assertIn("ZM_AUTH_TOKEN=", str(uploads[0].get("headers")), "the upload carries the session cookie")
        self.assertIn(' aid="', drafts[0]["body"], "the draft names the attachment")

        lines, seconds = wineenv.wait_for(
            lambda: record.is_file() and record.read_text(encoding="utf-8").splitlines(), BOUND)
        self.assertTrue(lines, f"the web mail did not open{self.program_log_tail()}")
        self.assertTrue(lines[0].startswith(f"https://127.0.0.1:{port}/service/preauth?"), lines[0])
        self.assertIsNone(process.poll())
        self.exit_quorvel(process)


if __name__ == "__main__":
    unittest.main()
