#!/usr/bin/env python3
"""Serves the browser edition's site on the loopback interface.

    serve-web.py SITE [PORT]     (default port 8080; 0 picks a free one)

Prints the address once it listens. A file with a gzip copy beside it (FILE.gz) is sent
compressed to browsers that accept it. The page asks for no isolation from other origins: an
ordinary static host cannot send such headers, and an isolated page makes the browser start a
process of its own for it, which delays the first paint. Started with a pipe as its input, as
the browser tests start it, it stops when the pipe closes, so that it never outlives them.
"""
import functools
import http.server
import os
import stat
import sys
import threading

TYPES = {
    ".html": "text/html; charset=utf-8",
    ".js": "text/javascript",
    ".wasm": "application/wasm",
    ".ttf": "font/ttf",
    ".txt": "text/plain; charset=utf-8",
    ".png": "image/png",
    ".webmanifest": "application/manifest+json",
}


class Handler(http.server.SimpleHTTPRequestHandler):
    # Keeps connections open between requests: a page and its files come faster.
    protocol_version = "HTTP/1.1"
    # Headers and body go out in separate writes; without this, the body waits for the
    # browser's delayed acknowledgement of the headers, up to 40 ms a file.
    disable_nagle_algorithm = True

    def send_head(self):
        path = self.translate_path(self.path)
        if os.path.isdir(path):
            path = os.path.join(path, "index.html")
        kind = TYPES.get(os.path.splitext(path)[1])
        gzip = "gzip" in self.headers.get("Accept-Encoding", "") and os.path.isfile(path + ".gz")
        if kind is None or not os.path.isfile(path):
            self.send_error(404)
            return None
        body = open(path + ".gz" if gzip else path, "rb")
        self.send_response(200)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(os.fstat(body.fileno()).st_size))
        if gzip:
            self.send_header("Content-Encoding", "gzip")
        self.send_header("Cache-Control", "no-cache")
        self.end_headers()
        return body

    def log_message(self, *args):
        pass


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__.strip().splitlines()[2].strip())
    site = sys.argv[1]
    port = int(sys.argv[2]) if len(sys.argv) == 3 else 8080
    handler = functools.partial(Handler, directory=site)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", port), handler)
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
