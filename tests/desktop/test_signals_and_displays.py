"""The program against displays that misbehave, requests to terminate, and arguments that would
break its one-line messages.

    test_signals_and_displays.py PROGRAM [unittest arguments]

Every wait has a limit far above what any step needs: a program still running then has hung.
"""
import ctypes
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
LIMIT = 60  # seconds


def program_environment(**settings):
    env = {k: v for k, v in os.environ.items()
           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_SESSION_TYPE")}
    env.update(settings)
    return env


def start(arguments=(), **settings):
    # As from a terminal: neither signal ignored, whatever the test runner was started with.
    def restore():
        for number in (signal.SIGTERM, signal.SIGINT):
            signal.signal(number, signal.SIG_DFL)

    return subprocess.Popen([PROGRAM, *arguments], env=program_environment(**settings),
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE, preexec_fn=restore)


def finish(process, limit=LIMIT):
    """The status and standard error once it has ended; None for a status if it had not."""
    try:
        _, said = process.communicate(timeout=limit)
        return process.returncode, said
    except subprocess.TimeoutExpired:
        process.kill()
        _, said = process.communicate()
        return None, said


def until(condition, limit=LIMIT):
    end = time.monotonic() + limit
    while not condition():
        if time.monotonic() > end:
            return False
        time.sleep(0.02)
    return True


class XDisplayNumber:
    """A display number nobody uses, held by its lock file as an X server holds it."""

    def __init__(self):
        for number in range(300, 1000):
            lock = f"/tmp/.X{number}-lock"
            try:
                fd = os.open(lock, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o444)
            except FileExistsError:
                continue
            os.write(fd, b"%10d\n" % os.getpid())
            os.close(fd)
            self.number, self.lock = number, lock
            self.path = f"/tmp/.X11-unix/X{number}"
            if not os.path.exists(self.path) and not self._abstract_in_use():
                return
            os.unlink(lock)
        raise RuntimeError("no free display number")

    def _abstract_in_use(self):
        with socket.socket(socket.AF_UNIX) as probe:
            return probe.connect_ex("\0" + self.path) == 0

    def release(self):
        for path in (self.path, self.lock):
            try:
                os.unlink(path)
            except FileNotFoundError:
                pass


class SilentDisplay:
    """Takes connections on a display's socket and never says a word."""

    def __init__(self, kind, runtime):
        self.kind = kind
        if kind == "X11":
            self.number = XDisplayNumber()
            path = self.number.path
            self.settings = {"DISPLAY": f":{self.number.number}"}
        else:
            path = os.path.join(runtime, "silent-compositor")
            self.settings = {"WAYLAND_DISPLAY": "silent-compositor"}
            if kind == "Wayland, chosen":
                self.settings["QT_QPA_PLATFORM"] = "wayland"
        self.settings["XDG_RUNTIME_DIR"] = runtime
        os.makedirs(os.path.dirname(path), exist_ok=True)
        self.listener = socket.socket(socket.AF_UNIX)
        self.listener.bind(path)
        self.listener.listen(8)
        self.path, self.taken = path, []

    def connected(self):
        """Waits for the program to connect; keeps its connection open."""
        ready, _, _ = select.select([self.listener], [], [], LIMIT)
        if ready:
            self.taken.append(self.listener.accept()[0])
        return bool(ready)

    def close(self):
        for connection in self.taken + [self.listener]:
            connection.close()
        if self.kind == "X11":
            self.number.release()
        else:
            os.unlink(self.path)


KINDS = ("X11", "Wayland", "Wayland, chosen")


class SilentDisplayTest(unittest.TestCase):
    def setUp(self):
        self.runtime = tempfile.mkdtemp(prefix="corvane-test-")
        self.displays = []

    def tearDown(self):
        for display in self.displays:
            display.close()
        os.rmdir(self.runtime)

    def test_terminated_while_waiting(self):
        # Asked to terminate while the display keeps it waiting, it ends at once, saying nothing.
        for kind in KINDS:
            for number in (signal.SIGTERM, signal.SIGINT):
                with self.subTest(kind=kind, signal=number.name):
                    display = SilentDisplay(kind, self.runtime)
                    try:
                        program = start(**display.settings)
                        self.assertTrue(display.connected(), "the program never connected")
                        program.send_signal(number)
                        self.assertEqual(finish(program), (0, b""))
                    finally:
                        display.close()

    def test_time_out(self):
        # A display that never answers is given up, in one line, as one that cannot be reached.
        runs = []
        for kind in KINDS:
            # Each Wayland case in a folder of its own: both use the same socket name.
            runtime = tempfile.mkdtemp(dir=self.runtime)
            display = SilentDisplay(kind, runtime)
            self.displays.append(display)
            runs.append((kind, runtime, start(**display.settings)))
        for kind, runtime, program in runs:
            with self.subTest(kind=kind):
                status, said = finish(program)
                self.assertEqual(status, 2, said)
                self.assertEqual(said.count(b"\n"), 1, said)
                self.assertIn(b"cannot open the display (no answer within", said)
        for display in self.displays:
            display.close()
        self.displays = []
        for _, runtime, _ in runs:
            os.rmdir(runtime)


class WindowAttributes(ctypes.Structure):
    _fields_ = [(name, ctypes.c_int) for name in ("x", "y", "width", "height", "border", "depth")]
    _fields_ += [("visual", ctypes.c_void_p), ("root", ctypes.c_ulong)]
    _fields_ += [(name, ctypes.c_int) for name in ("class_", "bits", "gravity", "backing")]
    _fields_ += [("planes", ctypes.c_ulong), ("pixel", ctypes.c_ulong), ("save", ctypes.c_int),
                 ("colormap", ctypes.c_ulong), ("installed", ctypes.c_int),
                 ("map_state", ctypes.c_int), ("all_masks", ctypes.c_long),
                 ("mask", ctypes.c_long), ("propagate", ctypes.c_long),
                 ("override", ctypes.c_int), ("screen", ctypes.c_void_p)]


class Xlib:
    """Just enough of Xlib to see whether a program shows a window."""

    def __init__(self, display):
        self.lib = ctypes.CDLL("libX11.so.6")
        self.lib.XOpenDisplay.restype = ctypes.c_void_p
        self.lib.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.lib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.lib.XDefaultRootWindow.restype = ctypes.c_ulong
        self.lib.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_void_p] * 4
        self.lib.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                                  ctypes.POINTER(WindowAttributes)]
        self.lib.XFree.argtypes = [ctypes.c_void_p]
        self.lib.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.display = self.lib.XOpenDisplay(display.encode())
        if not self.display:
            raise RuntimeError(f"cannot open {display}")

    def window_shown(self):
        """Whether a window stands on the screen (there is no window manager to frame it)."""
        root, parent = ctypes.c_ulong(), ctypes.c_ulong()
        children, count = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
        self.lib.XQueryTree(self.display, self.lib.XDefaultRootWindow(self.display),
                            ctypes.byref(root), ctypes.byref(parent), ctypes.byref(children),
                            ctypes.byref(count))
        shown = False
        for i in range(count.value):
            attributes = WindowAttributes()
            self.lib.XGetWindowAttributes(self.display, children[i], ctypes.byref(attributes))
            shown = shown or attributes.map_state == 2  # IsViewable
        if children:
            self.lib.XFree(children)
        return shown

    def close(self):
        self.lib.XCloseDisplay(self.display)


class Screen:
    """A virtual X screen of our own."""

    def __init__(self):
        read, write = os.pipe()
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
            pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as number:
            self.number = int(number.readline())
        self.name = f":{self.number}"
        self.x = Xlib(self.name)

    def close(self):
        if self.server.poll() is None:
            self.x.close()
        self.server.kill()
        self.server.wait()


class WithScreen(unittest.TestCase):
    def setUp(self):
        self.runtime = tempfile.mkdtemp(prefix="corvane-test-")
        self.screen = Screen()

    def tearDown(self):
        self.screen.close()
        os.rmdir(self.runtime)

    def shown(self, arguments=(), display=None):
        program = start(arguments, DISPLAY=display or self.screen.name,
                        XDG_RUNTIME_DIR=self.runtime)
        shown = until(self.screen.x.window_shown)
        if not shown:
            program.kill()
            self.fail(f"no window shown: {finish(program)}")
        return program


class TerminateTest(WithScreen):
    def test_every_request_ends_with_zero(self):
        # However many come, and however close together: `timeout` sends two, one to the
        # program and one to its group.
        bursts = ([signal.SIGTERM] * 2, [signal.SIGINT] * 2, [signal.SIGTERM, signal.SIGINT],
                  [signal.SIGTERM] * 5)
        for trial in range(2):
            for burst in bursts:
                for gap in (0, 0.01):  # at once, or each after the one before has been handled
                    with self.subTest(trial=trial, burst=[n.name for n in burst], gap=gap):
                        program = self.shown(["--disks", "7", "--delay", "0", "--run"])
                        for number in burst:
                            program.send_signal(number)
                            time.sleep(gap)
                        self.assertEqual(finish(program), (0, b""))
                        self.assertTrue(until(lambda: not self.screen.x.window_shown()))


class Proxy(threading.Thread):
    """Passes a program's X connection on to a real server, and breaks it just before the
    server would see the nth request with the given major opcode."""

    def __init__(self, server_number, opcode, nth):
        super().__init__(daemon=True)
        self.display = XDisplayNumber()
        self.listener = socket.socket(socket.AF_UNIX)
        self.listener.bind(self.display.path)
        self.listener.listen(1)
        self.server_path = f"/tmp/.X11-unix/X{server_number}"
        self.opcode, self.nth = opcode, nth
        self.broken = threading.Event()

    def requests(self, data, state):
        """Counts the requests in what the client sent; True once the one to break at came."""
        state["pending"] += data
        while True:
            pending = state["pending"]
            if state["setup"]:  # byte order, version, then the authorisation's name and data
                if len(pending) < 12:
                    return False
                name, data_length = struct.unpack_from("<HH", pending, 6)
                size = 12 + -(-name // 4) * 4 + -(-data_length // 4) * 4
                state["setup"] = False
            else:
                if len(pending) < 8:
                    return False
                size = struct.unpack_from("<H", pending, 2)[0] * 4
                if size == 0:  # a big request gives its length after the usual header
                    size = struct.unpack_from("<I", pending, 4)[0] * 4
                if pending[0] == self.opcode:
                    state["seen"] += 1
                    if state["seen"] == self.nth:
                        return True
            if len(pending) < size:
                return False
            state["pending"] = pending[size:]

    def run(self):
        client, _ = self.listener.accept()
        server = socket.socket(socket.AF_UNIX)
        server.connect(self.server_path)
        state = {"pending": b"", "setup": True, "seen": 0}
        try:
            while True:
                ready, _, _ = select.select([client, server], [], [], LIMIT)
                if not ready:
                    return
                if client in ready:
                    data = client.recv(65536)
                    if not data or self.requests(data, state):
                        return
                    server.sendall(data)
                if server in ready:
                    data = server.recv(65536)
                    if not data:
                        return
                    client.sendall(data)
        finally:
            client.close()
            server.close()
            self.broken.set()

    def close(self):
        self.listener.close()
        self.display.release()


class LostDisplayTest(WithScreen):
    def assertOneLine(self, status, said):
        self.assertEqual(status, 1, said)
        self.assertEqual(said.count(b"\n"), 1, said)
        self.assertNotIn(b"\r", said)
        self.assertIn(b"connection to the display was lost", said)

    def test_broken_while_the_window_is_made(self):
        # Broken as the program makes its window (its first window is made while the display
        # opens): Qt and Xlib each have their say, in an order left to chance.
        create_window, change_property = 1, 18
        for opcode, nth in ((create_window, 2), (create_window, 3), (change_property, 5)):
            with self.subTest(opcode=opcode, nth=nth):
                proxy = Proxy(self.screen.number, opcode, nth)
                proxy.start()
                try:
                    program = start(DISPLAY=f":{proxy.display.number}",
                                    XDG_RUNTIME_DIR=self.runtime)
                    self.assertTrue(proxy.broken.wait(LIMIT), "the connection was not broken")
                    self.assertOneLine(*finish(program))
                finally:
                    proxy.close()

    def test_server_killed_mid_run(self):
        for trial in range(4):
            with self.subTest(trial=trial):
                program = self.shown(["--disks", "7", "--delay", "0", "--run"])
                time.sleep(0.1 * trial)
                self.screen.x.close()  # first, or Xlib would end this test too
                self.screen.server.kill()
                self.screen.server.wait()
                self.screen = Screen()
                self.assertOneLine(*finish(program))


class CommandLineTest(unittest.TestCase):
    def mistake(self, argument, locale="C.UTF-8"):
        process = subprocess.run([PROGRAM, argument], env=program_environment(LC_ALL=locale),
                                 stdin=subprocess.DEVNULL, capture_output=True, timeout=LIMIT)
        self.assertEqual(process.returncode, 2)
        self.assertEqual(process.stdout, b"")
        lines = process.stderr.split(b"\n")
        self.assertEqual(len(lines), 3, process.stderr)
        self.assertEqual(lines[1], b"Try 'corvane --help' for more information.")
        self.assertEqual(lines[2], b"")
        return lines[0]

    def test_quoted_on_one_line(self):
        # What would break the line, command the terminal or show as something else is written
        # as an escape; a backslash is doubled so that an escape cannot be faked.
        for argument, shown in (
                (b"x\ny", rb"'x\ny'"),
                (b"x\r\ty", rb"'x\r\ty'"),
                (b"x\x1b[31mRED", rb"'x\x1b[31mRED'"),
                (b"\x07\x7f", rb"'\x07\x7f'"),
                (b"\xff\xfeab\xc3", rb"'\xff\xfeab\xc3'"),
                (b"\xed\xa0\x80", rb"'\xed\xa0\x80'"),  # a surrogate, which UTF-8 cannot hold
                (b"a\\x41", rb"'a\\x41'"),
                ("\u00e9t\u00e9".encode(), "'\u00e9t\u00e9'".encode()),
                ("\u202eevil\u2028".encode(), rb"'\xe2\x80\xaeevil\xe2\x80\xa8'"),
                (b"\xc2\x9b31m", rb"'\xc2\x9b31m'")):  # the 8-bit form of the escape key's CSI
            with self.subTest(argument=argument):
                self.assertEqual(self.mistake(argument), b"corvane: Unexpected argument " + shown
                                 + b".")
        self.assertEqual(self.mistake(b"--dis\nks"), rb"corvane: Unknown option 'dis\nks'.")

    def test_plain_ascii_outside_utf8(self):
        # A terminal in another encoding would show the bytes as other characters, some of
        # them commands.
        self.assertEqual(self.mistake("\u00e9".encode(), locale="C"),
                         rb"corvane: Unexpected argument '\xc3\xa9'.")


if __name__ == "__main__":
    PROGRAM = sys.argv.pop(1)
    unittest.main()
