"""The local web server of the browser edition: what it sends, what it refuses, how long it
waits, and how it fails to start."""
import contextlib
import gzip
import http.client
import importlib.util
import os
import pathlib
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest
from unittest import mock

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scripts",
                      "serve-web.py")
LIMIT = 20  # seconds: far above any wait the server itself is set to

_spec = importlib.util.spec_from_file_location("serve_web", SCRIPT)
serve_web = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(serve_web)


class Site:
    """A site folder with a gzip copy beside its page, and links that lead in and out of it."""

    def __init__(self):
        self.top = tempfile.mkdtemp(prefix="serve-web-test-")
        self.root = os.path.join(self.top, "site")
        outside = os.path.join(self.top, "outside")
        self.page = b"<!doctype html><title>page</title>" * 20
        files = {"index.html": self.page, "index.html.gz": gzip.compress(self.page),
                 "plain.js": b"plain", "../outside/secret.js": b"secret",
                 "../outside/secret.js.gz": gzip.compress(b"secret")}
        for name in ("app.js", "sw.js", "app.webmanifest", "font.woff2", "corvane.wasm",
                     "notes.md", "sub/index.html", "sub/page.js"):
            files[name] = name.encode()
        for name, data in files.items():
            path = pathlib.Path(self.root, name)
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(data)
        # plain.js.gz: a plain copy inside whose gzip copy leads outside.
        for name, target in (("plain.js.gz", os.path.join(outside, "secret.js.gz")),
                             ("root", "/"), ("out", outside),
                             ("secret.js", os.path.join(outside, "secret.js")),
                             ("linked.js", "sub/page.js")):
            os.symlink(target, os.path.join(self.root, name))


class Running:
    """The server as a user starts it, on a free port; or, given how many connections it may
    serve at once, in this process, with the waits as this process sets them."""

    def __init__(self, root, most=None):
        self.process = None
        if most is None:
            self.process = subprocess.Popen([sys.executable, SCRIPT, root, "0"],
                                            stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                            stderr=subprocess.PIPE)
            self.address = self.process.stdout.readline().decode()
            self.port = int(self.address.rsplit(":", 1)[1].strip("/\n"))
            return
        root = os.path.realpath(root)
        handler = lambda *args: serve_web.Handler(*args, directory=root)  # noqa: E731
        self.server = serve_web.Server(("127.0.0.1", 0), handler, root, most)
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        self.port = self.server.server_port

    def get(self, path, headers=None, method="GET"):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=LIMIT)
        connection.request(method, path, headers=headers or {})
        response = connection.getresponse()
        body = response.read()
        connection.close()
        return response, body

    def stop(self):
        """The exit status and standard error of the script, which stops when its input ends."""
        if not self.process:
            self.server.shutdown()
            self.server.server_close()
            return None
        _, said = self.process.communicate(timeout=LIMIT)
        return self.process.returncode, said


class ServingTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.site = Site()
        cls.running = Running(cls.site.root)

    @classmethod
    def tearDownClass(cls):
        stopped = cls.running.stop()
        shutil.rmtree(cls.site.top)
        assert stopped == (0, b""), stopped

    def test_address(self):
        self.assertRegex(self.running.address, r"^http://127\.0\.0\.1:[0-9]+/\n$")

    def test_accept_encoding(self):
        # By the weights the browser gives: a coding it refuses is never sent, whatever else
        # the header says.
        for header, compressed in (
                ("gzip", True), ("GZIP", True), ("deflate, gzip;q=0.5", True), ("x-gzip", True),
                ("*", True), ("br;q=1.0, *;q=0.1", True), ("identity;q=0, gzip;q=0.1", True),
                ("gzip ; q=1.000", True), (None, False), ("", False), ("identity", False),
                ("deflate, br", False), ("gzip;q=0", False), ("gzip; q=0.000", False),
                ("GZip;Q=0", False), ("nogzipplease", False), ("gzipped", False),
                ("*;q=0", False), ("*, gzip;q=0", False), ("gzip;q=0.5, identity", False),
                ("gzip;q=nonsense", False), ("gzip;q=2", False)):
            with self.subTest(header=header):
                headers = {} if header is None else {"Accept-Encoding": header}
                response, body = self.running.get("/index.html", headers)
                self.assertEqual(response.status, 200)
                self.assertEqual(response.getheader("Vary"), "Accept-Encoding")
                self.assertEqual(response.getheader("Content-Encoding"),
                                 "gzip" if compressed else None)
                self.assertEqual(gzip.decompress(body) if compressed else body, self.site.page)
                self.assertEqual(int(response.getheader("Content-Length")), len(body))

    def test_types(self):
        script = "text/javascript; charset=utf-8"
        for path, kind in (("/", "text/html; charset=utf-8"), ("/app.js", script),
                           ("/sw.js", script), ("/app.webmanifest", "application/manifest+json"),
                           ("/font.woff2", "font/woff2"), ("/corvane.wasm", "application/wasm")):
            with self.subTest(path=path):
                response, _ = self.running.get(path)
                # A service worker, like everything else, is asked for again each time.
                self.assertEqual((response.status, response.getheader("Content-Type"),
                                  response.getheader("Cache-Control")), (200, kind, "no-cache"))
        for path in ("/notes.md", "/index.html.gz", "/missing.js"):
            with self.subTest(path=path):
                self.assertEqual(self.running.get(path)[0].status, 404)
        response, _ = self.running.get("/app.js", method="HEAD")
        self.assertEqual((response.status, response.getheader("Content-Length")), (200, "6"))
        response, _ = self.running.get("/sub?x=1")
        self.assertEqual((response.status, response.getheader("Location")), (301, "/sub/"))
        self.assertEqual(self.running.get("/sub/")[1], b"sub/index.html")

    def test_nothing_from_outside(self):
        for path in ("/root/etc/hostname", "/root/etc/passwd", "/out/secret.js", "/secret.js",
                     "/../outside/secret.js", "/%2e%2e/outside/secret.js", "/sub/../../secret.js",
                     "//etc/hostname", "/%00.js"):
            with self.subTest(path=path):
                response, body = self.running.get(path)
                self.assertEqual(response.status, 404, body)
        # A link that stays inside is followed; a gzip copy that leads out is not used.
        self.assertEqual(self.running.get("/linked.js")[1], b"sub/page.js")
        response, body = self.running.get("/plain.js", {"Accept-Encoding": "gzip"})
        self.assertEqual((response.getheader("Content-Encoding"), body), (None, b"plain"))


class TimeOutTest(unittest.TestCase):
    """With the waits cut short, and room for two connections at once."""

    def setUp(self):
        self.enterContext(mock.patch.multiple(serve_web, IDLE_SECONDS=1.0, REQUEST_SECONDS=0.5))
        self.site = Site()
        self.addCleanup(shutil.rmtree, self.site.top)
        self.running = Running(self.site.root, most=2)
        self.addCleanup(self.running.stop)

    def connect(self):
        return socket.create_connection(("127.0.0.1", self.running.port), timeout=LIMIT)

    def closed_by_server(self, connection, trickle=b""):
        """Whether the server closes the connection, while the client sends `trickle` a byte at
        a time, before the limit."""
        end = time.monotonic() + LIMIT
        connection.settimeout(0.1)
        try:
            while time.monotonic() < end:
                with contextlib.suppress(socket.timeout):
                    if not connection.recv(65536):
                        return True
                if trickle:
                    connection.sendall(trickle[:1])
                    trickle = trickle[1:] or trickle
        except ConnectionError:
            return True
        return False

    def test_stalled_clients_are_let_go(self):
        request = b"GET /app.js HTTP/1.1\r\nHost: test\r\n\r\n"
        for what, sent, trickle in (("partial request", request[:20], b""),
                                    ("trickled request", b"", request[20:]),
                                    ("idle after a request", request, b"")):
            with self.subTest(what=what), self.connect() as connection:
                connection.sendall(sent)
                self.assertTrue(self.closed_by_server(connection, trickle))

    def test_bounded_connections(self):
        # Ten stalled clients hold no more than two threads, and once they are let go the
        # server answers again.
        before = threading.active_count()
        stalled = [self.connect() for _ in range(10)]
        for connection in stalled:
            connection.sendall(b"GET /")
        time.sleep(0.3)
        self.assertLessEqual(threading.active_count() - before, 2)
        self.assertEqual(self.running.get("/app.js")[1], b"app.js")
        for connection in stalled:
            connection.close()


class CommandLineTest(unittest.TestCase):
    def assertOneLine(self, arguments, status, words):
        process = subprocess.run([sys.executable, SCRIPT, *arguments], stdin=subprocess.DEVNULL,
                                 capture_output=True, timeout=LIMIT)
        self.assertEqual(process.returncode, status, process.stderr)
        self.assertEqual(process.stdout, b"")
        self.assertEqual(process.stderr.count(b"\n"), 1, process.stderr)
        self.assertIn(words, process.stderr)

    def test_mistakes(self):
        with tempfile.TemporaryDirectory(prefix="serve-web-test-") as site:
            missing = os.path.join(site, "missing")
            for arguments, words in (((), b"usage"), ((missing, "0"), b"no site folder"),
                                     ((missing,), b"no site folder"), ((site, "eighty"), b"port"),
                                     ((site, "-1"), b"port"), ((site, "65536"), b"port"),
                                     ((site, ""), b"port")):
                with self.subTest(arguments=arguments):
                    self.assertOneLine(arguments, 2, words)
            with socket.socket() as taken:
                taken.bind(("127.0.0.1", 0))
                taken.listen()
                self.assertOneLine((site, str(taken.getsockname()[1])), 1, b"cannot listen")


if __name__ == "__main__":
    unittest.main()
