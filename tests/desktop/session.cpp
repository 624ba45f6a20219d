#include "tests/desktop/session.h"

#include <QDir>
#include <QFile>

// Last: Xlib defines macros such as True, False and None.
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

namespace desktop_test {

Session::Session() {
  QDir::setCurrent(scratch_.path());
  qputenv("XDG_RUNTIME_DIR", scratch_.path().toLocal8Bit());
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "QT_SCALE_FACTOR"}) {
    qunsetenv(name);
  }
}

Session::~Session() {
  if (x != nullptr) {
    XCloseDisplay(x);
  }
  const qint64 serverPid = server_.processId();
  for (QProcess* process : {&program, &compositor_, &manager_, &server_}) {
    stop(*process);
  }
  // An X server that had to be killed leaves its socket and lock behind. They are removed only
  // while the lock still names our server: another may have taken the number since.
  QFile lock("/tmp/.X" + display_ + "-lock");
  if (!display_.isEmpty() && lock.open(QIODevice::ReadOnly) &&
      lock.readAll().trimmed().toLongLong() == serverPid) {
    QFile::remove("/tmp/.X11-unix/X" + display_);
    lock.remove();
  }
}

void Session::stop(QProcess& process) {
  if (process.state() == QProcess::NotRunning) {
    return;
  }
  process.terminate();
  if (!process.waitForFinished(10'000)) {
    process.kill();
    process.waitForFinished();
  }
}

QString Session::startScreen() {
  server_.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"});
  until([this] { return server_.canReadLine() ? "" : "no display number"; });
  display_ = server_.readLine().trimmed();
  qputenv("DISPLAY", ":" + display_);
  if ((x = XOpenDisplay(nullptr)) == nullptr) {
    return "no X server: " + server_.readAllStandardError();
  }
  XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });  // windows go as programs end
  // Openbox runs its start-up command once it manages windows; one mapped earlier may be lost.
  manager_.start("openbox", {"--sm-disable", "--startup", "touch " + filePath("ready")});
  return until([] { return QFile::exists("ready") ? "" : "openbox did not start"; });
}

QString Session::start() {
  if (const QString miss = startScreen(); !miss.isEmpty()) {
    return miss;
  }
  program.start(CORVANE_BINARY);
  return until([this] {
    int revert = 0;
    XGetInputFocus(x, &window, &revert);
    return Look(grab()).opened().miss;
  });
}

QString Session::startCompositor(const QString& socket) {
  qputenv("WAYLAND_DISPLAY", socket.toLocal8Bit());
  compositor_.start("weston",
                    {"--backend=headless-backend.so", "--use-pixman", "--debug", "--no-config",
                     "--idle-time=0", "--width=1280", "--height=1024", "--socket=" + socket});
  return until([&] { return QFile::exists(socket) ? "" : "no compositor"; });
}

QString Session::ended() {
  program.waitForFinished(kLimitMs);
  return program.state() != QProcess::NotRunning ? QStringLiteral("still running")
         : program.exitStatus() == QProcess::CrashExit
             ? QStringLiteral("killed")
             : QStringLiteral("exit %1").arg(program.exitCode());
}

QImage Session::grab() {
  XWindowAttributes a{};
  XGetWindowAttributes(x, window, &a);  // for no window, or one gone, an error; no picture
  XImage* shot = XGetImage(x, window, 0, 0, static_cast<unsigned>(a.width),
                           static_cast<unsigned>(a.height), AllPlanes, ZPixmap);
  if (shot == nullptr) {
    return {};
  }
  const QImage image = QImage(reinterpret_cast<const uchar*>(shot->data), shot->width, shot->height,
                              shot->bytes_per_line, QImage::Format_RGB32)
                           .copy();
  XDestroyImage(shot);
  return image;
}

QImage Session::waylandScreenshot() {
  QProcess::execute("weston-screenshooter", {});
  QImage image;
  for (const QString& name : QDir().entryList({"wayland-screenshot-*.png"})) {
    image.load(name);
    QFile::remove(name);
  }
  return image;
}

void Session::click(QPoint at) {
  int rootX = 0, rootY = 0;
  Window child = 0;
  XTranslateCoordinates(x, window, DefaultRootWindow(x), at.x(), at.y(), &rootX, &rootY, &child);
  XTestFakeMotionEvent(x, -1, rootX, rootY, CurrentTime);
  XTestFakeButtonEvent(x, 1, True, CurrentTime);
  XTestFakeButtonEvent(x, 1, False, CurrentTime);
  until([this] {
    const int grab = XGrabPointer(x, DefaultRootWindow(x), False, 0, GrabModeAsync, GrabModeAsync,
                                  None, None, CurrentTime);
    XUngrabPointer(x, CurrentTime);
    return grab == GrabSuccess ? "" : "the pointer is held";
  });
}

void Session::keys(std::initializer_list<KeySym> chord) {
  for (const bool down : {true, false}) {
    for (const KeySym key : chord) {
      XTestFakeKeyEvent(x, XKeysymToKeycode(x, key), down, CurrentTime);
    }
  }
  XFlush(x);
}

void Session::enter(const board::EntryDesign& box, const QString& text) {
  click(pixels(box.rect).center());
  for (const QChar c : text) {
    keys({c.unicode()});
  }
}

}  // namespace desktop_test
