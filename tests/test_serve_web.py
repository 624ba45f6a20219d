"""The local web server of the browser edition: what it sends, what it refuses, how long it
waits, and how it fails to start.

    test_serve_web.py [unittest arguments]
"""
import gzip
import http.client
import importlib.util
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scripts",
                      "serve-web.py")
LIMIT = 20  # seconds: far above any wait the server itself is set to


def load_server():
    spec = importlib.util.spec_from_file_location("serve_web", SCRIPT)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


serve_web = load_server()


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as file:
        file.write(data)


class Site:
    """A site folder with a gzip copy beside its page, and a folder outside it."""

    def __init__(self):
        self.top = tempfile.mkdtemp(prefix="serve-web-test-")
        self.root = os.path.join(self.top, "site")
        outside = os.path.join(self.top, "outside")
        self.page = b"<!doctype html><title>page</title>" * 20
        write(os.path.join(self.root, "index.html"), self.page)
        write(os.path.join(self.root, "index.html.gz"), gzip.compress(self.page))
        for name in ("app.js", "sw.js", "app.webmanifest", "font.woff2", "corvane.wasm",
                     "notes.md", "sub/index.html", "sub/page.js"):
            write(os.path.join(self.root, name), name.encode())
        write(os.path.join(outside, "secret.js"), b"secret")
        write(os.path.join(outside, "secret.js.gz"), gzip.compress(b"secret"))
        # A plain copy inside whose gzip copy is a link to one outside.
        write(os.path.join(self.root, "plain.js"), b"plain")
        os.symlink(os.path.join(outside, "secret.js.gz"), os.path.join(self.root, "plain.js.gz"))
        os.symlink("/", os.path.join(self.root, "root"))
        os.symlink(outside, os.path.join(self.root, "out"))
        os.symlink(os.path.join(outside, "secret.js"), os.path.join(self.root, "secret.js"))
        os.symlink("sub/page.js", os.path.join(self.root, "linked.js"))

    def remove(self):
        shutil.rmtree(self.top)


class Running:
    """The server as a user starts it, on a free port; or, given how many connections it may
    serve at once, in this process, with the waits as this process sets them."""

    def __init__(self, root, most=None):
        if most is None:
            self.process = subprocess.Popen([sys.executable, SCRIPT, root, "0"],
                                            stdin=subprocess.PIPE, stdout=subprocess.PIPE)
            address = self.process.stdout.readline().decode()
            self.port = int(address.rsplit(":", 1)[1].strip("/\n"))
            return
        self.process = None
        handler = lambda *args: serve_web.Handler(*args, directory=root)  # noqa: E731
        self.server = serve_web.Server(("127.0.0.1", 0), handler, os.path.realpath(root), most)
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        self.port = self.server.server_port

    def get(self, path, headers=None, method="GET"):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=LIMIT)
        connection.request(method, path, headers=headers or {})
        response = connection.getresponse()
        body = response.read()
        connection.close()
        return response, body

    def connect(self):
        return socket.create_connection(("127.0.0.1", self.port), timeout=LIMIT)

    def stop(self):
        if self.process:
            self.process.stdin.close()
            self.process.stdout.close()
            self.process.wait(LIMIT)
        else:
            self.server.shutdown()
            self.server.server_close()


class ServingTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.site = Site()
        cls.running = Running(cls.site.root)

    @classmethod
    def tearDownClass(cls):
        cls.running.stop()
        cls.site.remove()

    def test_accept_encoding(self):
        # By the weights the browser gives: a coding it refuses is never sent, whatever else
        # the header says.
        for header, compressed in (
                ("gzip", True), ("GZIP", True), ("deflate, gzip;q=0.5", True), ("x-gzip", True),
                ("*", True), ("br;q=1.0, *;q=0.1", True), ("identity;q=0, gzip;q=0.1", True),
                ("gzip ; q=1.000", True),
                (None, False), ("", False), ("identity", False), ("deflate, br", False),
                ("gzip;q=0", False), ("gzip; q=0.000", False), ("GZip;Q=0", False),
                ("nogzipplease", False), ("gzipped", False), ("*;q=0", False),
                ("*, gzip;q=0", False), ("gzip;q=0.5, identity", False),
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
        for path, kind in (("/", "text/html; charset=utf-8"),
                           ("/app.js", "text/javascript; charset=utf-8"),
                           ("/sw.js", "text/javascript; charset=utf-8"),
                           ("/app.webmanifest", "application/manifest+json"),
                           ("/font.woff2", "font/woff2"),
                           ("/corvane.wasm", "application/wasm")):
            with self.subTest(path=path):
                response, _ = self.running.get(path)
                self.assertEqual((response.status, response.getheader("Content-Type")),
                                 (200, kind))
                # A service worker, like everything else, is asked for again each time, so
                # that a new one is found.
                self.assertEqual(response.getheader("Cache-Control"), "no-cache")
        for path in ("/notes.md", "/index.html.gz", "/missing.js"):
            with self.subTest(path=path):
                self.assertEqual(self.running.get(path)[0].status, 404)
        response, _ = self.running.get("/app.js", method="HEAD")
        self.assertEqual((response.status, response.getheader("Content-Length")), (200, "6"))

    def test_folders(self):
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
        self.saved = (serve_web.IDLE_SECONDS, serve_web.REQUEST_SECONDS)
        serve_web.IDLE_SECONDS, serve_web.REQUEST_SECONDS = 1.0, 0.5
        self.site = Site()
        self.running = Running(self.site.root, most=2)

    def tearDown(self):
        self.running.stop()
        self.site.remove()
        serve_web.IDLE_SECONDS, serve_web.REQUEST_SECONDS = self.saved

    def closed_by_server(self, connection, trickle=b""):
        """Whether the server closes the connection, while the client sends `trickle` a byte at
        a time, before the limit."""
        end = time.monotonic() + LIMIT
        connection.settimeout(0.1)
        while time.monotonic() < end:
            try:
                data = connection.recv(65536)
                if not data:
                    return True
            except socket.timeout:
                pass
            except ConnectionError:
                return True
            if trickle:
                try:
                    connection.sendall(trickle[:1])
                except (BrokenPipeError, ConnectionError):
                    return True
                trickle = trickle[1:] or trickle
        return False

    def test_stalled_clients_are_let_go(self):
        request = b"GET /app.js HTTP/1.1\r\nHost: test\r\n\r\n"
        for what in ("partial request", "trickled request", "idle after a request"):
            with self.subTest(what=what):
                with self.running.connect() as connection:
                    if what == "partial request":
                        connection.sendall(request[:20])
                    if what == "idle after a request":
                        connection.sendall(request)
                    self.assertTrue(self.closed_by_server(
                        connection, request[20:] if what == "trickled request" else b""))

    def test_bounded_connections(self):
        # Ten stalled clients hold no more than two threads, and once they are let go the
        # server answers again.
        before = threading.active_count()
        stalled = [self.running.connect() for _ in range(10)]
        for connection in stalled:
            connection.sendall(b"GET /")
        time.sleep(0.3)
        self.assertLessEqual(threading.active_count() - before, 2)
        response, body = self.running.get("/app.js")
        self.assertEqual((response.status, body), (200, b"app.js"))
        for connection in stalled:
            connection.close()


class CommandLineTest(unittest.TestCase):
    def run_server(self, *arguments):
        return subprocess.run([sys.executable, SCRIPT, *arguments], stdin=subprocess.DEVNULL,
                              capture_output=True, timeout=LIMIT)

    def assertOneLine(self, process, status, words):
        self.assertEqual(process.returncode, status, process.stderr)
        self.assertEqual(process.stdout, b"")
        self.assertEqual(process.stderr.count(b"\n"), 1, process.stderr)
        self.assertIn(words, process.stderr)

    def test_mistakes(self):
        site = tempfile.mkdtemp(prefix="serve-web-test-")
        try:
            for arguments, words in (((), b"usage"),
                                     ((os.path.join(site, "missing"), "0"), b"no site folder"),
                                     ((os.path.join(site, "missing"),), b"no site folder"),
                                     ((site, "eighty"), b"port"), ((site, "-1"), b"port"),
                                     ((site, "65536"), b"port"), ((site, ""), b"port")):
                with self.subTest(arguments=arguments):
                    self.assertOneLine(self.run_server(*arguments), 2, words)
            with socket.socket() as taken:
                taken.bind(("127.0.0.1", 0))
                taken.listen()
                port = str(taken.getsockname()[1])
                self.assertOneLine(self.run_server(site, port), 1, b"cannot listen")
        finally:
            os.rmdir(site)

    def test_address_then_stops_with_its_input(self):
        site = tempfile.mkdtemp(prefix="serve-web-test-")
        try:
            server = subprocess.Popen([sys.executable, SCRIPT, site, "0"], stdin=subprocess.PIPE,
                                      stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            address = server.stdout.readline().decode()
            self.assertRegex(address, r"^http://127\.0\.0\.1:[0-9]+/\n$")
            server.stdin.close()
            self.assertEqual(server.wait(LIMIT), 0)
            self.assertEqual(server.stderr.read(), b"")
            server.stdout.close()
            server.stderr.close()
        finally:
            os.rmdir(site)


if __name__ == "__main__":
    unittest.main()
