"""Wire-level behaviour for the program's own HTTP client: answers written byte for byte, a reader that takes
the body slowly or stops taking it, and log fields that keep a large body as its length and digest.

Scenario keys:
- `"reader": {"piece": 65536, "pause": 0.01, "stop_after": N, "then": "hang" | "close"}`: bodies of requests
  (not /control/) are read `piece` bytes at a time with `pause` seconds between pieces; with `stop_after` the
  reader stops after that many bytes and then never reads again (`hang`, until the server stops) or closes
  the connection (`close`, the default).
- a script entry's `respond` may be `{"raw": "text", "then": "close" | "keep_open"}`: the text's characters
  U+0000-U+00FF as bytes, `{port}` replaced by the server's port, written as they are; then the connection is
  closed (default) or kept open until the client closes it or the server stops. `"raw_b64"` gives the bytes in
  base64 instead.
"""

import base64
import hashlib
import select
import socket

LOG_BODY_LIMIT = 1 << 20  # larger bodies are logged as body_len and body_sha256


def body_fields(body):
    """The log's fields for a request body."""
    if len(body) > LOG_BODY_LIMIT:
        return {"body_len": len(body), "body_sha256": hashlib.sha256(body).hexdigest()}
    return {"body_b64": base64.b64encode(body).decode("ascii"), "body": body.decode("utf-8", errors="replace")}


def read_body(handler, config, stopping):
    """The request body, or None when the scenario's reader stopped taking it (the connection is then done)."""
    reader = config.get("reader")
    if not reader or handler.path.startswith("/control/") or "chunked" in handler.headers.get(
            "Transfer-Encoding", "").lower():
        return handler.read_body()
    length = int(handler.headers.get("Content-Length") or 0)
    piece = int(reader.get("piece", 65536))
    stop_after = reader.get("stop_after")
    # A small receive window, so that a reader that stops soon stops the sender too.
    handler.connection.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 65536)
    parts, done = [], 0
    while done < length:
        if stop_after is not None and done >= stop_after:
            if reader.get("then") == "hang":
                stopping.wait()
            return None
        data = handler.rfile.read(min(piece, length - done))
        if not data:
            return None
        parts.append(data)
        done += len(data)
        if stopping.wait(float(reader.get("pause", 0))):
            return None
    return b"".join(parts)


def is_raw(respond):
    return "raw" in respond or "raw_b64" in respond


def send_raw(handler, respond, stopping):
    """Writes a raw answer; False when the respond object has none."""
    if not is_raw(respond):
        return False
    port = str(handler.server.server_address[1])
    if "raw_b64" in respond:
        data = base64.b64decode(respond["raw_b64"])
    else:
        data = respond["raw"].replace("{port}", port).encode("latin-1")
    handler.wfile.write(data)
    handler.wfile.flush()
    if respond.get("then") == "keep_open":
        # Until the client closes its side or the server stops.
        while not stopping.is_set():
            ready, _, _ = select.select([handler.connection], [], [], 0.1)
            if ready and not handler.connection.recv(65536):
                break
    handler.close_connection = True
    return True
