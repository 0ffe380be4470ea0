"""End-to-end test of "Use Safe Connection": WinHTTP's TLS under Wine against a server whose certificate nobody
vouches for. The check must fail with the certificate's own description, never quietly succeed."""

import subprocess
import sys
import unittest
from pathlib import Path

sys.dont_write_bytecode = True
HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
sys.path.insert(0, str(HERE.parent / "fakezimbra"))
import fakeserver_ctl  # noqa: E402
import test_startup  # noqa: E402
from test_startup import SETTINGS_KEY, screenshot_on_failure  # noqa: E402


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


if __name__ == "__main__":
    unittest.main()
