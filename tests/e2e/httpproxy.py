"""A small HTTP proxy for the end-to-end tests: on 127.0.0.2 port 0, in a thread of the test, forwarding plain http
requests (absolute addresses, no CONNECT) to loopback servers only. It records what it forwards, marks each forwarded
request with a Via header, and stops by itself after its lifetime if the test does not stop it first."""

import http.client
import http.server
import threading
import urllib.parse

VIA = "1.1 qvproxy"
HOP_BY_HOP = {"connection", "keep-alive", "proxy-connection", "proxy-authorization", "te", "trailer",
              "transfer-encoding", "upgrade"}
LOOPBACK = {"127.0.0.1", "127.0.0.2", "localhost", "::1"}


class _Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"  # one request a connection: nothing to keep alive

    def log_message(self, *args):
        pass

    def _forward(self):
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length else b""
        target = urllib.parse.urlsplit(self.path)
        entry = {"method": self.command, "url": self.path, "headers": list(self.headers.items()),
                 "body": body.decode("utf-8", errors="replace")}
        self.server.record(entry)
        if target.scheme != "http" or target.hostname not in LOOPBACK:
            # Nothing but loopback is ever reached from a test.
            entry["refused"] = True
            self.send_error(502, "qvproxy forwards to loopback only")
            return
        headers = {name: value for name, value in self.headers.items() if name.lower() not in HOP_BY_HOP}
        headers["Via"] = VIA
        path = target.path + (f"?{target.query}" if target.query else "")
        connection = http.client.HTTPConnection(target.hostname, target.port or 80, timeout=30)
        try:
            connection.request(self.command, path or "/", body=body, headers=headers)
            answer = connection.getresponse()
            data = answer.read()
        except OSError as error:
            entry["error"] = str(error)
            self.send_error(502, f"qvproxy: {error}")
            return
        finally:
            connection.close()
        entry["status"] = answer.status
        self.send_response(answer.status, answer.reason)
        for name, value in answer.getheaders():
            if name.lower() not in HOP_BY_HOP and name.lower() != "content-length":
                self.send_header(name, value)
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Via", VIA)
        self.end_headers()
        self.wfile.write(data)

    do_GET = do_POST = do_OPTIONS = do_HEAD = do_PUT = do_DELETE = _forward


# Another loopback address than the servers': Wine's WinHTTP writes the request line with the bare path, as to
# the server itself, when the proxy's host name equals the server's.
ADDRESS = "127.0.0.2"


class HttpProxy(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, lifetime=120.0):
        super().__init__((ADDRESS, 0), _Handler)
        self.port = self.server_address[1]
        self._lock = threading.Lock()
        self._requests = []
        self._thread = threading.Thread(target=self.serve_forever, kwargs={"poll_interval": 0.1},
                                        name="qvproxy", daemon=True)
        self._timer = threading.Timer(lifetime, self.stop)
        self._timer.daemon = True
        self._stopped = False

    def start(self):
        self._thread.start()
        self._timer.start()
        return self

    def record(self, entry):
        with self._lock:
            self._requests.append(entry)

    def requests(self):
        """What the proxy was asked to forward so far (copies), each with "method", "url", "headers", "body"."""
        with self._lock:
            return [dict(entry) for entry in self._requests]

    def stop(self):
        """Stops serving and closes the socket; safe to call twice and from the lifetime's timer."""
        with self._lock:
            if self._stopped:
                return
            self._stopped = True
        self._timer.cancel()
        if threading.current_thread() is not self._thread:
            self.shutdown()
        self.server_close()
