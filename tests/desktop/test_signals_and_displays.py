"""The program against displays that misbehave, requests to terminate, and arguments that would
break its one-line messages: test_signals_and_displays.py PROGRAM [unittest arguments]"""
import ctypes
import itertools
import os
import select
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest

PROGRAM = ""
TERMINATING = (signal.SIGTERM, signal.SIGINT)
LIMIT = 60  # seconds: far above what any step needs, so a program still running has hung


def program_environment(**settings):
    env = {k: v for k, v in os.environ.items()
           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_SESSION_TYPE")}
    return {**env, **settings}


def start(arguments=(), **settings):
    # As from a terminal: neither signal ignored, whatever the test runner was started with.
    return subprocess.Popen([PROGRAM, *arguments], env=program_environment(**settings),
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE, preexec_fn=lambda: [
                                signal.signal(n, signal.SIG_DFL) for n in TERMINATING])


def finish(process):
    """The status (None if it had not ended in time) and standard error."""
    try:
        said = process.communicate(timeout=LIMIT)[1]
        return process.returncode, said
    except subprocess.TimeoutExpired:
        process.kill()
        return None, process.communicate()[1]


def until(condition):
    end = time.monotonic() + LIMIT
    while not condition():
        if time.monotonic() > end:
            return False
        time.sleep(0.02)
    return True


def free_x_display():
    """A display number nobody uses, held by its lock file as an X server holds it."""
    for number in range(300, 1000):
        lock = f"/tmp/.X{number}-lock"
        try:
            fd = os.open(lock, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o444)
        except FileExistsError:
            continue
        os.write(fd, b"%10d\n" % os.getpid())
        os.close(fd)
        path = f"/tmp/.X11-unix/X{number}"
        with socket.socket(socket.AF_UNIX) as probe:
            if not os.path.exists(path) and probe.connect_ex("\0" + path) != 0:
                return number, lock, path
        os.unlink(lock)
    raise RuntimeError("no free display number")


class Listener:
    """A Unix socket taking connections: on the given path, or on a free X display's."""

    def __init__(self, path=None):
        self.lock = None
        if path is None:
            self.number, self.lock, path = free_x_display()
        os.makedirs(os.path.dirname(path), exist_ok=True)
        self.socket = socket.socket(socket.AF_UNIX)
        self.socket.bind(path)
        self.socket.listen(8)
        self.path, self.taken = path, []

    def connected(self):
        ready, _, _ = select.select([self.socket], [], [], LIMIT)
        if ready:
            self.taken.append(self.socket.accept()[0])
        return bool(ready)

    def close(self):
        for connection in self.taken + [self.socket]:
            connection.close()
        for path in (self.path, self.lock):
            if path and os.path.exists(path):
                os.unlink(path)


class SilentDisplayTest(unittest.TestCase):
    KINDS = ("X11", "Wayland", "Wayland, chosen")

    def silent(self, kind):
        """A display that takes connections and never says a word, and the settings to use it."""
        runtime = self.enterContext(tempfile.TemporaryDirectory(prefix="corvane-test-"))
        settings = {"XDG_RUNTIME_DIR": runtime}
        if kind == "X11":
            display = Listener()
            settings["DISPLAY"] = f":{display.number}"
        else:
            display = Listener(os.path.join(runtime, "silent-compositor"))
            settings["WAYLAND_DISPLAY"] = "silent-compositor"
            if kind == "Wayland, chosen":
                settings["QT_QPA_PLATFORM"] = "wayland"
        self.addCleanup(display.close)
        return display, settings

    def test_terminated_while_waiting(self):
        # Asked to terminate while the display keeps it waiting, it ends at once, saying nothing.
        for kind, number in itertools.product(self.KINDS, TERMINATING):
            with self.subTest(kind=kind, signal=number.name):
                display, settings = self.silent(kind)
                program = start(**settings)
                self.assertTrue(display.connected(), "the program never connected")
                program.send_signal(number)
                self.assertEqual(finish(program), (0, b""))

    def test_time_out(self):
        # A display that never answers is given up, in one line, as one that cannot be reached.
        runs = [(kind, start(**self.silent(kind)[1])) for kind in self.KINDS]
        for kind, program in runs:
            with self.subTest(kind=kind):
                status, said = finish(program)
                self.assertEqual((status, said.count(b"\n")), (2, 1), said)
                self.assertIn(b"cannot open the display (no answer within", said)


class Screen:
    """A virtual X screen of our own, and just enough of Xlib to see whether it shows a window."""

    def __init__(self):
        read, write = os.pipe()
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
            pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as number:
            self.number = int(number.readline())
        self.name = f":{self.number}"
        self.x11 = ctypes.CDLL("libX11.so.6")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XDefaultRootWindow.restype = ctypes.c_ulong
        self.display = ctypes.c_void_p(self.x11.XOpenDisplay(self.name.encode()))
        if not self.display:
            raise RuntimeError(f"cannot open {self.name}")

    def window_shown(self):
        # There is no window manager to frame it: a window of the program's stands on the root.
        root = ctypes.c_ulong(self.x11.XDefaultRootWindow(self.display))
        children, count = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
        unused = ctypes.c_ulong()
        self.x11.XQueryTree(self.display, root, ctypes.byref(unused), ctypes.byref(unused),
                            ctypes.byref(children), ctypes.byref(count))
        attributes = (ctypes.c_int * 34)()  # an XWindowAttributes on a 64-bit machine
        shown = False
        for i in range(count.value):
            self.x11.XGetWindowAttributes(self.display, ctypes.c_ulong(children[i]), attributes)
            shown = shown or attributes[23] == 2  # its map_state is IsViewable
        if children:
            self.x11.XFree(children)
        return shown

    def close(self):
        if self.server.poll() is None:
            self.x11.XCloseDisplay(self.display)
        self.server.kill()
        self.server.wait()


class WithScreen(unittest.TestCase):
    def setUp(self):
        self.runtime = self.enterContext(tempfile.TemporaryDirectory(prefix="corvane-test-"))
        self.screen = Screen()
        self.addCleanup(lambda: self.screen.close())

    def start(self, arguments=(), display=None):
        return start(arguments, DISPLAY=display or self.screen.name,
                     XDG_RUNTIME_DIR=self.runtime)

    def shown(self):
        program = self.start(["--disks", "7", "--delay", "0", "--run"])
        if not until(self.screen.window_shown):
            program.kill()
            self.fail(f"no window shown: {finish(program)}")
        return program


class TerminateTest(WithScreen):
    def test_every_request_ends_with_zero(self):
        # However many come, and however close together: `timeout` sends two, one to the
        # program and one to its group.
        bursts = ([signal.SIGTERM] * 2, [signal.SIGINT] * 2, [signal.SIGTERM, signal.SIGINT],
                  [signal.SIGTERM] * 5)
        # Each sent at once, or after the one before has been handled; all of it twice.
        for _, burst, gap in itertools.product(range(2), bursts, (0, 0.01)):
            with self.subTest(burst=[n.name for n in burst], gap=gap):
                program = self.shown()
                for number in burst:
                    program.send_signal(number)
                    time.sleep(gap)
                self.assertEqual(finish(program), (0, b""))
                self.assertTrue(until(lambda: not self.screen.window_shown()))


class Proxy(threading.Thread):
    """Passes a program's X connection on to a real server, and breaks it just before the
    server would see the nth request with the given major opcode."""

    def __init__(self, server_number, opcode, nth):
        super().__init__(daemon=True)
        self.display = Listener()
        self.server_path = f"/tmp/.X11-unix/X{server_number}"
        self.opcode, self.nth, self.seen = opcode, nth, 0
        self.pending, self.setup = b"", True
        self.broken = threading.Event()

    def reached(self, data):
        # Counts the requests the client sent; True once the one to break at has come.
        self.pending += data
        while len(self.pending) >= (12 if self.setup else 8):
            if self.setup:  # byte order, version, then the authorisation's name and data
                name, data_length = struct.unpack_from("<HH", self.pending, 6)
                size = 12 + -(-name // 4) * 4 + -(-data_length // 4) * 4
                self.setup = False
            else:
                size = struct.unpack_from("<H", self.pending, 2)[0] * 4
                if size == 0:  # a big request gives its length after the usual header
                    size = struct.unpack_from("<I", self.pending, 4)[0] * 4
                if self.pending[0] == self.opcode:
                    self.seen += 1
                    if self.seen == self.nth:
                        return True
            if len(self.pending) < size:
                return False
            self.pending = self.pending[size:]
        return False

    def run(self):
        client, _ = self.display.socket.accept()
        server = socket.socket(socket.AF_UNIX)
        server.connect(self.server_path)
        try:
            while True:
                ready, _, _ = select.select([client, server], [], [], LIMIT)
                data = ready and ready[0].recv(65536)
                if not data or (ready[0] is client and self.reached(data)):
                    return
                (server if ready[0] is client else client).sendall(data)
        finally:
            client.close()
            server.close()
            self.broken.set()


class LostDisplayTest(WithScreen):
    def assertOneLine(self, status, said):
        self.assertEqual((status, said.count(b"\n")), (1, 1), said)
        self.assertNotIn(b"\r", said)
        self.assertIn(b"connection to the display was lost", said)

    def test_broken_while_the_window_is_made(self):
        # Broken as the program makes its window (its first window is made while the display
        # opens): Qt and Xlib each have their say, in an order left to chance.
        create_window, change_property = 1, 18
        for opcode, nth in ((create_window, 2), (create_window, 3), (change_property, 5)):
            with self.subTest(opcode=opcode, nth=nth):
                proxy = Proxy(self.screen.number, opcode, nth)
                self.addCleanup(proxy.display.close)
                proxy.start()
                program = self.start(display=f":{proxy.display.number}")
                self.assertTrue(proxy.broken.wait(LIMIT), "the connection was not broken")
                self.assertOneLine(*finish(program))

    def test_server_killed_mid_run(self):
        for trial in range(4):
            with self.subTest(trial=trial):
                program = self.shown()
                time.sleep(0.1 * trial)
                self.screen.close()  # the display first, or Xlib would end this test too
                self.screen = Screen()
                self.assertOneLine(*finish(program))


class CommandLineTest(unittest.TestCase):
    def mistake(self, argument, locale="C.UTF-8"):
        process = subprocess.run([PROGRAM, argument], env=program_environment(LC_ALL=locale),
                                 stdin=subprocess.DEVNULL, capture_output=True, timeout=LIMIT)
        self.assertEqual((process.returncode, process.stdout), (2, b""))
        first, rest = process.stderr.split(b"\n", 1)
        self.assertEqual(rest, b"Try 'corvane --help' for more information.\n", process.stderr)
        return first

    def test_quoted_on_one_line(self):
        # What would break the line, command the terminal or show as something else is written
        # as an escape; a backslash is doubled so that an escape cannot be faked.
        for argument, shown in (
                (b"x\ny", rb"'x\ny'"), (b"x\r\ty", rb"'x\r\ty'"),
                (b"x\x1b[31mRED", rb"'x\x1b[31mRED'"), (b"\x07\x7f", rb"'\x07\x7f'"),
                (b"\xff\xfeab\xc3", rb"'\xff\xfeab\xc3'"),
                (b"\xed\xa0\x80", rb"'\xed\xa0\x80'"),  # a surrogate, which UTF-8 cannot hold
                (b"a\\x41", rb"'a\\x41'"), ("\u00e9t\u00e9".encode(), "'\u00e9t\u00e9'".encode()),
                ("\u202eevil\u2028".encode(), rb"'\xe2\x80\xaeevil\xe2\x80\xa8'"),
                (b"\xc2\x9b31m", rb"'\xc2\x9b31m'")):  # the 8-bit form of the escape key's CSI
            with self.subTest(argument=argument):
                self.assertEqual(self.mistake(argument),
                                 b"corvane: Unexpected argument " + shown + b".")
        self.assertEqual(self.mistake(b"--dis\nks"), rb"corvane: Unknown option 'dis\nks'.")
        # A terminal in another encoding would show the bytes as other characters, some of
        # them commands.
        self.assertEqual(self.mistake("\u00e9".encode(), locale="C"),
                         rb"corvane: Unexpected argument '\xc3\xa9'.")


if __name__ == "__main__":
    PROGRAM = sys.argv.pop(1)
    unittest.main()
