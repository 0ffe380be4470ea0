"""End-to-end test of "Use Safe Connection": WinHTTP's TLS under Wine against a server whose certificate nobody
vouches for. The check must fail with the certificate's own description, never quietly succeed."""

import subprocess
import sys
import time
import unittest
from pathlib import Path

sys.dont_write_bytecode = True
HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
sys.path.insert(0, str(HERE.parent / "fakezimbra"))
import fakeserver_ctl  # noqa: E402
import test_startup  # noqa: E402
import wineenv  # noqa: E402
from test_startup import BOUND, SETTINGS_KEY, TRAY_WINDOW, WM_COMMAND, screenshot_on_failure  # noqa: E402

CMD_CHECK_NOW = 101


def setUpModule():
    test_startup.setUpModule()


def tearDownModule():
    test_startup.tearDownModule()


class TlsTest(test_startup.QuorvelTestCase):

    def start_tls_server(self):
        folder = self.env.artifacts / "tls"
        folder.mkdir(parents=True, exist_ok=True)
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                        "-subj", "/CN=127.0.0.1", "-keyout", str(folder / "key.pem"), "-out", str(folder / "cert.pem")],
                       check=True, capture_output=True, timeout=60)
        process, port = fakeserver_ctl.start(log=str(self.env.artifacts / "server-requests.jsonl"),
                                             args=["--tls-cert", str(folder / "cert.pem"),
                                                   "--tls-key", str(folder / "key.pem")])
        self.addCleanup(fakeserver_ctl.stop, process)
        return port

    @screenshot_on_failure
    def test_untrusted_certificate_is_refused_with_its_description(self):
        port = self.start_tls_server()
        self.env.reg_import([(SETTINGS_KEY, "ZimbraHost", "REG_SZ", f"127.0.0.1:{port}"),
                             (SETTINGS_KEY, "Username", "REG_SZ", "alice"),
                             (SETTINGS_KEY, "Password", "REG_SZ", "text:secret"),
                             (SETTINGS_KEY, "HTTPS", "REG_SZ", "1")])
        process = self.start_quorvel()
        self.wait_window("tray window appeared", "wait", TRAY_WINDOW, process)
        # "Check Now" shows why the check failed.
        result = self.probe("post", *TRAY_WINDOW, hex(WM_COMMAND), str(CMD_CHECK_NOW), "0")
        self.assertTrue(result.ok, result.out)
        box, seconds = wineenv.wait_for(lambda: (lambda r: r if r.ok else None)(self.probe("msgbox-text")),
                                        BOUND, interval=0.3)
        self.assertTrue(box, f"no message box within {BOUND:.0f} s")
        self.record("message box after Check Now", seconds)
        lines = box.out.splitlines()
        self.assertEqual(lines[0], "Quorvel v5.0.1")
        text = "\n".join(lines[1:])
        self.assertTrue(text.strip(), "an empty error text")
        self.assertNotIn("Request to", text, "a certificate failure is told by its description alone")
        self.assertNotIn("Incorrect User or Password", text)
        self.assertFalse(text.startswith("Error "), "a certificate failure is no unknown error")
        print(f"[{self.case}] the user reads: {text!r}", file=sys.stderr)
        self.probe("msgbox-click", "OK")
        self.assertIsNone(process.poll())
        self.exit_quorvel(process)


if __name__ == "__main__":
    unittest.main()
