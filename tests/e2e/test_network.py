"""End-to-end tests of the program's network path under Wine: the user's proxy from the Internet settings, its bypass
list, and how WinHTTP's failures reach the user (a name that does not resolve, a closed port).

QUORVEL_WIN64_DIR names the Windows build folder (Quorvel.exe, tests/e2e/probe/qvprobe.exe). Every wait is bounded
by BOUND seconds; the time each wait took is printed, but only the bound is asserted.
"""

import socket
import struct
import sys
import unittest
from pathlib import Path

sys.dont_write_bytecode = True
sys.path.insert(0, str(Path(__file__).resolve().parent))
import test_startup  # noqa: E402
from e2ecase import BOUND, screenshot_on_failure  # noqa: E402
from httpproxy import ADDRESS, VIA, HttpProxy  # noqa: E402

INTERNET_SETTINGS = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings"
CONNECTIONS = INTERNET_SETTINGS + "\\Connections"
# The flags of the connection settings record the Internet options dialog writes.
PROXY_TYPE_DIRECT, PROXY_TYPE_PROXY = 1, 2
TEMPLATE = ("Request to http://{host}/service/soap\r\nproduced the following error\r\n{description}\r\n"
            "Try checking or unchecking 'Use Safe Connection'")
CONNECT_TIMEOUT = 15  # seconds, as the program sets it
UNRESOLVABLE = "quorvel-test.invalid"  # a reserved name: never resolves, so nothing is sent anywhere


def setUpModule():
    test_startup.setUpModule()


def tearDownModule():
    test_startup.tearDownModule()


def connection_settings(proxy, bypass=""):
    """DefaultConnectionSettings as the Internet options dialog stores a proxy typed by hand: what WinHTTP's
    WinHttpGetIEProxyConfigForCurrentUser reads (Wine's too; Wine ignores ProxyEnable and ProxyServer)."""
    def text(value):
        data = value.encode("ascii")
        return struct.pack("<I", len(data)) + data

    flags = PROXY_TYPE_DIRECT | PROXY_TYPE_PROXY
    return struct.pack("<III", 0x46, 1, flags) + text(proxy) + text(bypass) + text("") + bytes(32)


class NetworkTest(test_startup.QuorvelTestCase):

    def start_proxy(self):
        proxy = HttpProxy(lifetime=150).start()
        self.addCleanup(proxy.stop)
        return proxy

    def set_user_proxy(self, proxy, bypass=""):
        address = f"{ADDRESS}:{proxy.port}"
        self.env.reg_import([
            (CONNECTIONS, "DefaultConnectionSettings", "REG_BINARY", connection_settings(address, bypass)),
            # What the dialog writes beside it, for systems that read these.
            (INTERNET_SETTINGS, "ProxyEnable", "REG_DWORD", 1),
            (INTERNET_SETTINGS, "ProxyServer", "REG_SZ", address),
            *([(INTERNET_SETTINGS, "ProxyOverride", "REG_SZ", bypass)] if bypass else []),
        ])

    def soap_through(self, proxy):
        return [r for r in proxy.requests() if "/service/soap" in r["url"]]

    @screenshot_on_failure
    def test_login_goes_through_the_users_proxy(self):
        proxy = self.start_proxy()
        self.set_user_proxy(proxy)
        port, process = self.start_signed_in()
        try:
            options, auth = self.wait_login()
        except AssertionError as error:
            asked = [(r["method"], r["url"], r.get("status"), r.get("error")) for r in proxy.requests()]
            raise AssertionError(f"{error}; the proxy was asked for {asked}") from None
        soap_url = f"http://127.0.0.1:{port}/service/soap"
        forwarded = [(r["method"], r["url"]) for r in self.soap_through(proxy)]
        self.assertIn(("OPTIONS", soap_url), forwarded, "the probe did not go through the proxy")
        self.assertIn(("POST", soap_url), forwarded, "the login did not go through the proxy")
        self.assertTrue(any("<AuthRequest" in r["body"] for r in self.soap_through(proxy)),
                        "the proxy forwarded no AuthRequest")
        for request in (options, auth):
            vias = [value for name, value in request.get("headers", []) if name.lower() == "via"]
            self.assertEqual(vias, [VIA], f"{request.get('method')} reached the server without the proxy: "
                                          f"{request.get('headers')}")
        self.exit_quorvel(process)

    @screenshot_on_failure
    def test_address_in_the_bypass_list_goes_direct(self):
        proxy = self.start_proxy()
        self.set_user_proxy(proxy, bypass="127.0.0.1;<local>")
        _, process = self.start_signed_in()
        options, auth = self.wait_login()
        for request in (options, auth):
            vias = [value for name, value in request.get("headers", []) if name.lower() == "via"]
            self.assertEqual(vias, [], f"{request.get('method')} went through the proxy")
        self.assertEqual(self.soap_through(proxy), [], "the proxy was asked although the address is bypassed")
        self.exit_quorvel(process)

    def check_now_error(self, host, bound=BOUND):
        """Starts the program with the server box set to host, asks for a check and returns the message box's text
        (its title line removed)."""
        process = self.start_with_account(host)
        text = self.check_now_message(bound)
        self.probe("msgbox-click", "OK")
        self.assert_running(process, "after the error")
        self.exit_quorvel(process)
        return text

    @screenshot_on_failure
    def test_name_that_does_not_resolve_is_told_in_the_template(self):
        text = self.check_now_error(UNRESOLVABLE)
        self.assertEqual(text, TEMPLATE.format(host=UNRESOLVABLE,
                                               description="The server name or address could not be resolved"))

    @screenshot_on_failure
    def test_closed_port_is_told_in_the_template(self):
        # Bound and never listening: the port refuses connections, and nothing else can take it meanwhile.
        with socket.socket() as sock:
            sock.bind(("127.0.0.1", 0))
            host = f"127.0.0.1:{sock.getsockname()[1]}"
            text = self.check_now_error(host)
        self.assertEqual(text, TEMPLATE.format(
            host=host, description="A connection with the server could not be established"))

    @screenshot_on_failure
    def test_server_that_never_accepts_is_told_as_timed_out(self):
        # A listening socket whose one-place accept queue is full: the system answers no further connection at all,
        # so each attempt waits out the 15 s connection time-out (the start's own check, then Check Now).
        with socket.socket() as server:
            server.bind(("127.0.0.1", 0))
            server.listen(0)
            fillers = []
            try:
                for _ in range(4):
                    filler = socket.socket()
                    filler.setblocking(False)
                    filler.connect_ex(server.getsockname())
                    fillers.append(filler)
                host = f"127.0.0.1:{server.getsockname()[1]}"
                text = self.check_now_error(host, bound=2 * CONNECT_TIMEOUT + BOUND)
            finally:
                for filler in fillers:
                    filler.close()
        self.assertEqual(text, TEMPLATE.format(host=host, description="The operation timed out"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
