#!/usr/bin/env python3
"""A stand-in webcam server for trying out stream.mjs without the program.

It answers like Vantrel's server, one request per connection, recognised by the
first characters of what arrived: GET /TITLE.JPG gets the title picture, GET /PIC...
the next of a cycle of numbered test frames, anything else the index page. The
connection is closed after each answer. The answer carries an HTTP/1.0 status line
and headers unless --bare is given, in which case only the body is sent, as Vantrel
does.

Prints "PORT <n>" on its first line once it listens on 127.0.0.1.
Needs cjpeg (libjpeg-turbo-progs) to make the frames.
"""

import argparse
import itertools
import socket
import socketserver
import subprocess
import sys
import threading
from pathlib import Path

RESOURCES = Path(__file__).resolve().parents[2] / "resources"


def frame_ppm(width, height, number):
    """A test frame: colour bands that move with the frame number, and a counter bar."""
    rows = []
    for y in range(height):
        row = bytearray()
        for x in range(width):
            band = (x + y + number * 7) // 16
            row += bytes(((band * 50) % 256, (band * 90 + number * 3) % 256, (y * 255) // height))
        if y < height // 10:
            row[: 3 * min(width, number * 4)] = b"\xff" * (3 * min(width, number * 4))
        rows.append(bytes(row))
    return f"P6\n{width} {height}\n255\n".encode() + b"".join(rows)


def make_frames(width, height, count):
    return [
        subprocess.run(["cjpeg", "-quality", "80"], input=frame_ppm(width, height, n),
                       check=True, capture_output=True).stdout
        for n in range(count)
    ]


class WebcamStub(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, frames, bare):
        super().__init__(("127.0.0.1", 0), Answer)
        self.page = (RESOURCES / "index.html").read_bytes()
        self.title = (RESOURCES / "title.jpg").read_bytes()
        self.frames = itertools.cycle(frames)
        self.frames_lock = threading.Lock()
        self.bare = bare

    def next_frame(self):
        with self.frames_lock:
            return next(self.frames)

    def answer_for(self, request):
        head = request[:30].upper()
        if head.startswith(b"GET /TITLE.JPG"):
            return "image/jpeg", self.title
        if head.startswith(b"GET /PIC"):
            return "image/jpeg", self.next_frame()
        return "text/html", self.page


class Answer(socketserver.BaseRequestHandler):
    def handle(self):
        request = self.request.recv(65536)
        content_type, body = self.server.answer_for(request)
        head = b""
        if not self.server.bare:
            head = (f"HTTP/1.0 200 OK\r\nContent-Type: {content_type}\r\n"
                    f"Content-Length: {len(body)}\r\nConnection: close\r\n\r\n").encode()
        try:
            self.request.sendall(head + body)
            self.request.shutdown(socket.SHUT_WR)
        except OSError:
            pass  # the browser gave up on this picture


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--width", type=int, default=320)
    parser.add_argument("--height", type=int, default=240)
    parser.add_argument("--frames", type=int, default=30, help="distinct frames in the cycle")
    parser.add_argument("--bare", action="store_true", help="send bodies without status line or headers")
    options = parser.parse_args()

    server = WebcamStub(make_frames(options.width, options.height, options.frames), options.bare)
    print(f"PORT {server.server_address[1]}", flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
