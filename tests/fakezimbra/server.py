#!/usr/bin/python3
"""Fake Zimbra server for tests: HTTP/1.1 on 127.0.0.1, built-in emulation of the services
the program uses, scripted answers from a scenario file, a JSON-lines log of every request.

    server.py [--port 0] --port-file PATH [--log PATH] [--scenario FILE.json]
              [--lifetime SECONDS] [--idle-timeout SECONDS] [--state-dir DIR]

The port is written to --port-file (digits and a newline, atomically) once the server
listens. It always stops by itself: after --lifetime seconds, after --idle-timeout seconds
without a request, or on SIGTERM/SIGINT."""

import argparse
import json
import os
import signal
import ssl
import sys
import threading
import time
import traceback
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

import zraw
import zweb
from zmailbox import Mailbox
from zscenario import Scenario
from zsoap import SOAP_HEADERS
from zwire import SoapFault

CHUNK = 8192


class Request:
    def __init__(self, handler, body):
        self.method = handler.command
        self.path = handler.path
        self.version = handler.request_version
        self.headers = handler.headers
        self.body = body
        self.text = body.decode("utf-8", errors="replace")


class App:
    """Everything the request threads share."""

    def __init__(self, args):
        self.scenario = Scenario(args.scenario)
        state_file = os.path.join(args.state_dir, "mailbox.json") if args.state_dir else None
        self.mbox = Mailbox(self.scenario.config, state_file)
        self.log = open(args.log, "a", encoding="utf-8") if args.log else None
        self.log_lock = threading.Lock()
        self.logged = 0
        self.stopping = threading.Event()
        self.last_activity = time.monotonic()

    def touch(self):
        self.last_activity = time.monotonic()

    def record(self, request):
        with self.log_lock:
            self.logged += 1
            if self.log is None:
                return
            line = {"n": self.logged, "method": request.method, "path": request.path, "version": request.version,
                    "headers": [[name, value] for name, value in request.headers.items()],
                    **zraw.body_fields(request.body)}
            self.log.write(json.dumps(line, ensure_ascii=False) + "\n")
            self.log.flush()

    def apply_due_events(self):
        for event in self.scenario.due():
            self.apply(event)

    def apply(self, event):
        """A mailbox event from the scenario or the control endpoint."""
        if "notify" in event:
            self.mbox.notify_raw(event["notify"])
        elif "delete" in event:
            self.mbox.delete(event["delete"])
        else:
            self.mbox.add_message(event)

    def answer(self, request, respond):
        """(status, headers, body) from a script entry's respond object; an entry that gives
        neither a fault nor a literal answer changes the emulation's behaviour at most."""
        if zraw.is_raw(respond):
            return None  # written as it is by send
        if "fault" in respond:
            fault = respond["fault"]
            return fault.get("status", 500), list(SOAP_HEADERS), SoapFault.from_json(fault).answer().encode("utf-8")
        if {"status", "body", "body_file"} & respond.keys():
            headers = respond.get("headers", [])
            headers = list(headers.items()) if isinstance(headers, dict) else [tuple(h) for h in headers]
            body = self.scenario.read_file(respond["body_file"]) if "body_file" in respond \
                else respond.get("body", "").encode("utf-8")
            return respond.get("status", 200), headers, body
        return zweb.emulate(self.mbox, request, respond)

    def control(self, request):
        """/control/...: test hooks, never used by the program, kept out of the log."""
        name = request.path.split("?")[0][len("/control/"):]
        actions = {
            ("POST", "deliver"): lambda p: {"id": self.mbox.add_message(p)["id"]},
            ("POST", "delete"): lambda p: {"deleted": self.mbox.delete(p.get("ids", []))},
            ("POST", "notify"): lambda p: self.mbox.notify_raw(p["xml"]),
            ("POST", "expire_tokens"): lambda p: self.mbox.expire_tokens(),
            ("POST", "drop_sessions"): lambda p: self.mbox.drop_sessions(),
            ("POST", "reset"): lambda p: self.reset(),
            ("GET", "state"): lambda p: self.mbox.snapshot(),
        }
        action = actions.get((request.method, name))
        if action is None:
            return json_answer(404, {"error": f"no control {request.method} {name}"})
        try:
            payload = json.loads(request.body or b"{}")
            result = action(payload)
        except (ValueError, KeyError, TypeError) as error:
            return json_answer(400, {"error": str(error)})
        return json_answer(200, result if result is not None else {"ok": True})

    def reset(self):
        self.mbox.reset()
        self.scenario.rewind()


def json_answer(status, value):
    return status, [("Content-Type", "application/json")], json.dumps(value).encode("utf-8")


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"  # keep-alive, and "100 Continue" for clients that expect it

    def version_string(self):
        return "fakezimbra"

    def handle_any(self):
        app = self.server.app
        app.touch()
        try:
            body = zraw.read_body(self, app.scenario.config, app.stopping)
        except ValueError:
            self.send_error(400, "Bad body framing")
            return
        if body is None:  # the scenario's reader stopped taking the body
            self.close_connection = True
            return
        request = Request(self, body)
        app.apply_due_events()
        if request.path.startswith("/control/"):
            self.send(app.control(request), {})
            return
        app.record(request)
        respond = app.scenario.pick(request) or {}
        if self.hold(respond, app.stopping):
            try:
                answer = app.answer(request, respond)
            except Exception:  # a broken scenario must still give the test an answer to read
                traceback.print_exc()
                answer = zweb.error_page(500, "fake server error, see its stderr")
            # Counted before the bytes go out: a client's next request may reach another thread before
            # this one returns from sending, and must already find the events this answer arms.
            app.scenario.answered(request)
            self.send(answer, respond)
        app.touch()

    do_GET = do_POST = do_OPTIONS = do_PUT = do_DELETE = do_PATCH = handle_any

    def read_body(self):
        if "chunked" in self.headers.get("Transfer-Encoding", "").lower():
            return self.read_chunks()
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(length) if length > 0 else b""

    def read_chunks(self):
        parts = []
        while True:
            size = int(self.rfile.readline().split(b";")[0].strip() or b"0", 16)
            if size == 0:
                break
            parts.append(self.rfile.read(size))
            self.rfile.readline()
        while self.rfile.readline().strip():  # trailer fields, up to the empty line
            pass
        return b"".join(parts)

    def hold(self, respond, stopping):
        """Applies delay, hang and close; False when no answer is to be written."""
        if stopping.wait(respond.get("delay", 0)):
            self.close_connection = True
            return False
        if respond.get("hang"):
            stopping.wait()  # until the server stops: the client must time out by itself
            self.close_connection = True
            return False
        if respond.get("close"):
            self.close_connection = True
            return False
        return True

    def send(self, answer, respond):
        if zraw.send_raw(self, respond, self.server.app.stopping):
            return
        status, headers, body = answer
        self.send_response(status, respond.get("reason"))
        for name, value in headers:
            self.send_header(name, value)
        if self.close_connection:
            self.send_header("Connection", "close")
        if respond.get("chunked"):
            self.send_header("Transfer-Encoding", "chunked")
            self.end_headers()
            for start in range(0, len(body), CHUNK):
                piece = body[start:start + CHUNK]
                self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece))
            self.wfile.write(b"0\r\n\r\n")
            return
        if not any(name.lower() == "content-length" for name, _ in headers):
            self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass  # the JSON log is the record; stderr stays for real errors


def write_port_file(path, port):
    temp = f"{path}.{os.getpid()}.tmp"
    with open(temp, "w", encoding="ascii") as stream:
        stream.write(f"{port}\n")
    os.replace(temp, path)


def parse_args(argv):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--port", type=int, default=0, help="0 picks a free port")
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--log", help="JSON lines, one per request")
    parser.add_argument("--scenario", help="scenario JSON file")
    parser.add_argument("--lifetime", type=float, default=600, help="seconds before stopping by itself")
    parser.add_argument("--idle-timeout", type=float, default=0, help="stop after this many idle seconds; 0: never")
    parser.add_argument("--state-dir", help="keeps mailbox and tokens across restarts (not sessions)")
    parser.add_argument("--tls-cert", help="PEM certificate: serve https instead of http")
    parser.add_argument("--tls-key", help="PEM private key of --tls-cert")
    return parser.parse_args(argv)


def main(argv=None):
    args = parse_args(argv)
    app = App(args)
    server = ThreadingHTTPServer(("127.0.0.1", args.port), Handler)
    server.app = app
    if args.tls_cert:
        # A refused handshake surfaces as an OSError in accept, which the server skips.
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.tls_cert, args.tls_key)
        server.socket = context.wrap_socket(server.socket, server_side=True)
    for signum in (signal.SIGTERM, signal.SIGINT):
        signal.signal(signum, lambda *_: app.stopping.set())
    threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.1}, daemon=True).start()
    write_port_file(args.port_file, server.server_address[1])
    deadline = time.monotonic() + args.lifetime
    while not app.stopping.wait(0.1):
        now = time.monotonic()
        if now >= deadline or (args.idle_timeout and now - app.last_activity >= args.idle_timeout):
            app.stopping.set()
    server.shutdown()
    server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
