#!/usr/bin/env python3
"""Serves the browser edition's site on the loopback interface.

    serve-web.py SITE [PORT]     (default port 8080; 0 picks a free one)

Prints the address once it listens. A file with a gzip copy beside it (FILE.gz) is sent
compressed to browsers that accept it. Only files inside SITE are served, of the types a page
needs; links that lead out of it are not followed. The page asks for no isolation from other
origins: an ordinary static host cannot send such headers, and an isolated page makes the
browser start a process of its own for it, which delays the first paint. Started with a pipe as
its input, as the browser tests start it, it stops when the pipe closes, so that it never
outlives them. A mistake in the arguments, or a port it cannot listen on, is told in one line.
"""
import functools
import http.server
import io
import os
import stat
import sys
import threading
import time
import urllib.parse

TYPES = {
    ".html": "text/html; charset=utf-8",
    ".css": "text/css; charset=utf-8",
    ".js": "text/javascript; charset=utf-8",
    ".mjs": "text/javascript; charset=utf-8",
    ".json": "application/json",
    ".webmanifest": "application/manifest+json",
    ".wasm": "application/wasm",
    ".ttf": "font/ttf",
    ".woff": "font/woff",
    ".woff2": "font/woff2",
    ".png": "image/png",
    ".svg": "image/svg+xml",
    ".ico": "image/vnd.microsoft.icon",
    ".txt": "text/plain; charset=utf-8",
    ".png": "image/png",
    ".webmanifest": "application/manifest+json",
}

# How long a connection may wait for its next request, how long a request may take to arrive
# once begun, and how long a client may leave a response unread: a client that stalls holds a
# thread no longer than that.
IDLE_SECONDS = 15
REQUEST_SECONDS = 10
SEND_SECONDS = 30
# Connections served at once; more wait to be accepted until one ends.
MOST_CONNECTIONS = 32


class DeadlineReader(io.RawIOBase):
    """Reads a socket, failing once the deadline has passed however slowly bytes trickle in."""

    def __init__(self, connection):
        super().__init__()
        self.connection = connection
        self.deadline = time.monotonic()

    def readable(self):
        return True

    def readinto(self, buffer):
        left = self.deadline - time.monotonic()
        if left <= 0:
            raise TimeoutError("the request took too long")
        self.connection.settimeout(left)
        return self.connection.recv_into(buffer)


def accepts_gzip(header):
    """Whether an Accept-Encoding value takes gzip over no coding, by its weights."""
    weights = {}
    for entry in header.split(","):
        coding, *parameters = [part.strip() for part in entry.split(";")]
        weight = 1.0
        for parameter in parameters:
            name, _, value = parameter.partition("=")
            if name.strip().lower() == "q":
                try:
                    weight = float(value.strip())
                except ValueError:
                    weight = 0.0  # unreadable: taken as a refusal
                if not 0.0 <= weight <= 1.0:
                    weight = 0.0
        coding = coding.lower()
        if coding == "x-gzip":
            coding = "gzip"
        if coding:
            weights[coding] = weight
    gzip = weights.get("gzip", weights.get("*", 0.0))
    # No coding is the fallback, preferred only where the browser weighs it above gzip.
    identity = weights.get("identity", weights.get("*", 0.0))
    return gzip > 0 and gzip >= identity


class Handler(http.server.SimpleHTTPRequestHandler):
    # Keeps connections open between requests: a page and its files come faster.
    protocol_version = "HTTP/1.1"
    # Headers and body go out in separate writes; without this, the body waits for the
    # browser's delayed acknowledgement of the headers, up to 40 ms a file.
    disable_nagle_algorithm = True

    def setup(self):
        super().setup()
        self.reader = DeadlineReader(self.connection)
        self.rfile = io.BufferedReader(self.reader)

    def handle_one_request(self):
        try:
            self.reader.deadline = time.monotonic() + IDLE_SECONDS
            if not self.rfile.peek(1):
                self.close_connection = True
                return
            self.reader.deadline = time.monotonic() + REQUEST_SECONDS
            super().handle_one_request()
        except (TimeoutError, ConnectionError):
            self.close_connection = True

    def inside(self, path):
        """The file's real path if it lies inside the site folder, else None."""
        try:
            real = os.path.realpath(path)
        except (OSError, ValueError):
            return None
        root = self.server.root
        return real if real == root or real.startswith(root + os.sep) else None

    def send_head(self):
        self.connection.settimeout(SEND_SECONDS)
        url = urllib.parse.urlsplit(self.path).path
        path = self.translate_path(self.path)
        if os.path.isdir(path) and self.inside(os.path.join(path, "")):
            if not url.endswith("/"):
                # Relative addresses in the page must resolve inside the folder.
                self.send_response(301)
                self.send_header("Location", url + "/")
                self.send_header("Content-Length", "0")
                self.end_headers()
                return None
            path = os.path.join(path, "index.html")
        kind = TYPES.get(os.path.splitext(path)[1])
        real = self.inside(path)
        if kind is None or real is None or not os.path.isfile(real):
            self.send_error(404)
            return None
        packed = self.inside(path + ".gz")
        gzip = (packed is not None and os.path.isfile(packed)
                and accepts_gzip(self.headers.get("Accept-Encoding", "")))
        try:
            body = open(packed if gzip else real, "rb")
        except OSError:
            self.send_error(404)
            return None
        self.send_response(200)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(os.fstat(body.fileno()).st_size))
        if gzip:
            self.send_header("Content-Encoding", "gzip")
        self.send_header("Vary", "Accept-Encoding")
        # Asked again every time: a changed page, script or service worker is seen at once.
        self.send_header("Cache-Control", "no-cache")
        self.send_header("X-Content-Type-Options", "nosniff")
        self.end_headers()
        return body

    def log_message(self, *args):
        pass


class Server(http.server.ThreadingHTTPServer):
    def __init__(self, address, handler, root, most=MOST_CONNECTIONS):
        self.root = root
        self.slots = threading.BoundedSemaphore(most)
        super().__init__(address, handler)

    def process_request(self, request, client_address):
        self.slots.acquire()
        try:
            super().process_request(request, client_address)
        except BaseException:
            self.slots.release()
            raise

    def process_request_thread(self, request, client_address):
        try:
            super().process_request_thread(request, client_address)
        finally:
            self.slots.release()


def fail(message, status=2):
    print(f"serve-web.py: {message}", file=sys.stderr)
    sys.exit(status)


def main():
    if len(sys.argv) not in (2, 3):
        fail("usage: " + __doc__.strip().splitlines()[2].strip())
    site = sys.argv[1]
    if not os.path.isdir(site):
        fail(f"no site folder at {site!r}")
    port = sys.argv[2] if len(sys.argv) == 3 else "8080"
    if not (port.isascii() and port.isdigit() and int(port) <= 65535):
        fail(f"the port must be a number from 0 to 65535, not {port!r}")
    root = os.path.realpath(site)
    handler = functools.partial(Handler, directory=root)
    try:
        server = Server(("127.0.0.1", int(port)), handler, root)
    except OSError as error:
        fail(f"cannot listen on 127.0.0.1:{port}: {error.strerror}", 1)
    print(f"http://127.0.0.1:{server.server_port}/", flush=True)
    source = os.fstat(0).st_mode
    if stat.S_ISFIFO(source) or stat.S_ISSOCK(source):
        threading.Thread(target=lambda: (sys.stdin.read(), server.shutdown()), daemon=True).start()
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
