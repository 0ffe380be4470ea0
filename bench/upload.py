#!/usr/bin/env python3
"""An upload through the program's HTTP client against curl, on the same file to the same local server.

    bench/upload.py [--build build/bench] [--megabytes 256]

Run by hand, never by ctest. The server here reads every byte and answers as the upload service does; each client
runs three times, from its start to its end, and its best time is shown with its peak resident memory (GNU time,
package "time").
"""

import argparse
import socket
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path

SOURCE_ROOT = Path(__file__).resolve().parent.parent
BODY = b"200,'null','0c1d:bench0001'"
ANSWER = (b"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " + str(len(BODY)).encode() +
          b"\r\nConnection: close\r\n\r\n" + BODY)


def serve(listener):
    while True:
        try:
            connection, _ = listener.accept()
        except OSError:
            return
        with connection:
            data = b""
            while b"\r\n\r\n" not in data:
                data += connection.recv(65536)
            head, _, body = data.partition(b"\r\n\r\n")
            length = next(int(line.split(b":")[1]) for line in head.split(b"\r\n")
                          if line.lower().startswith(b"content-length:"))
            received = len(body)
            while received < length:
                piece = connection.recv(1 << 20)
                if not piece:
                    break
                received += len(piece)
            connection.sendall(ANSWER)


def best_of_three(command):
    runs = []
    for _ in range(3):
        started = time.perf_counter()
        done = subprocess.run(command, check=True, capture_output=True, text=True)
        runs.append((time.perf_counter() - started, done))
    return min(runs, key=lambda run: run[0])


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default=str(SOURCE_ROOT / "build" / "bench"))
    parser.add_argument("--megabytes", type=int, default=256)
    args = parser.parse_args()
    client = Path(args.build) / "bench" / "bench_upload"
    if not client.is_file():
        sys.exit(f"no {client}: build the bench tree first (bench/CMakeLists.txt)")
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(4)
    port = listener.getsockname()[1]
    threading.Thread(target=serve, args=(listener,), daemon=True).start()
    with tempfile.NamedTemporaryFile(prefix="upload-bench-") as file:
        # Written in pieces: a child started from a large process would report the parent's peak as its own.
        piece = b"\x5a" * (1 << 20)
        for _ in range(args.megabytes):
            file.write(piece)
        file.flush()
        seconds, done = best_of_three(["/usr/bin/time", "-f", "%M", str(client), str(port), file.name])
        own_seconds = float(done.stdout.split()[0])
        peak = int(done.stderr.strip().splitlines()[-1]) / 1024
        print(f"{args.megabytes} MB to 127.0.0.1")
        print(f"{'Quorvel CHTTP':<14} {seconds:7.3f} s  {args.megabytes / seconds:7.1f} MB/s  peak {peak:6.1f} MB  "
              f"(the upload alone: {own_seconds:.3f} s)")
        seconds, done = best_of_three(["/usr/bin/time", "-f", "%M", "curl", "-s", "-o", "/dev/null", "-H",
                                       "Expect:", "-X", "POST", "-T", file.name,
                                       f"http://127.0.0.1:{port}/service/upload?fmt=raw"])
        peak = int(done.stderr.strip().splitlines()[-1]) / 1024
        print(f"{'curl -T':<14} {seconds:7.3f} s  {args.megabytes / seconds:7.1f} MB/s  peak {peak:6.1f} MB")
    listener.close()


if __name__ == "__main__":
    main()
