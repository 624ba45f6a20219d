// The real program on a virtual X server with a window manager, driven by real input through the
// XTEST extension, and natively on a Wayland compositor without a screen. Each case starts its
// own program; every wait polls, with a limit far above what any step needs.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "board/layout.h"

// Last: Xlib defines macros such as True, False and None.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {

using board::kBackColor;
using board::kDisks;
constexpr int kLimitMs = 30000;
constexpr float kStep = 40;              // a disk moves in steps of this many twips,
constexpr float kLiftAbovePosts = 1000;  // up to this far above the posts

int px(double twips) {
  return static_cast<int>(std::lround(twips / board::kTwipsPerPixel));
}

QRect pixels(const forms::RectF& r) {
  return {QPoint(px(r.left), px(r.top)),
          QPoint(px(r.left + r.width) - 1, px(r.top + r.height) - 1)};
}

const QPoint kMoves = pixels(board::kMovesButton.rect).center();

// Where disk i comes to rest on peg p: the last step of its grid short of centring on the post.
float restLeft(int i, int p) {
  const forms::RectF &disk = kDisks[i].rect, &post = board::kPosts[p].rect;
  const float centred = post.left + post.width / 2 - disk.width / 2;
  return disk.left + kStep * (std::ceil((centred - disk.left) / kStep) - 1);
}

// The board above the row of boxes and buttons.
QImage boardOf(const QImage& image) {
  return image.copy(0, 0, image.width(), px(board::kNumDisksBox.rect.top));
}

// Whether a box shows nothing inside its edge but its own colour.
bool blank(const QImage& image, const board::EntryDesign& box) {
  const QImage inside = image.copy(pixels(box.rect).adjusted(2, 2, -2, -2));
  QImage filled(inside.size(), inside.format());
  filled.fill(0xFF000000 | box.backColor);
  return !image.isNull() && inside == filled;
}

// A picture of the client area, checked pixel by pixel; keeps the first pixel that is wrong.
struct Look {
  explicit Look(QImage picture) : image(std::move(picture)) {}
  QImage image;
  QPoint origin;  // of the client area in the picture
  QString miss;

  Look& is(QPoint at, forms::Rgb want, const QString& what, bool same = true) {
    const QPoint p = origin + at;
    const forms::Rgb got = image.valid(p) ? image.pixel(p) & 0xFFFFFF : 0x1000000;
    if (miss.isEmpty() && (got == want) != same) {
      miss = QString::asprintf("%s at (%d, %d) is #%06x", qPrintable(what), at.x(), at.y(), got);
    }
    return *this;
  }

  // Disk i with its top-left corner at (left, top) twips (its rows are alike), or, hidden, not.
  Look& disk(int i, float left, float top, bool shown = true) {
    const board::DiskDesign& d = kDisks[i];
    const QRect r = pixels({left, top, d.rect.width, d.rect.height});
    const int y = r.center().y();
    const QString of = QStringLiteral(" of disk %1").arg(i);
    if (!shown) {
      return is({r.left() + d.highlightColumn, y}, d.highlight, "highlight" + of, false);
    }
    return is({r.left(), r.top() - 1}, kBackColor, "above the top left corner" + of)
        .is({r.left(), r.top()}, d.leftEdge, "top left corner" + of)
        .is({r.left() - 1, y}, kBackColor, "left of the left edge" + of)
        .is({r.left() + d.highlightColumn, y}, d.highlight, "highlight" + of)
        .is({r.right(), y}, d.rightEdge, "right edge" + of)
        .is({r.right() + 1, y}, kBackColor, "right of the right edge" + of);
  }

  // Disks 0 to n - 1 standing on the left peg as designed or, after a run, where their steps
  // end on the right peg; the others hidden.
  Look& disks(int n, bool onRight = false) {
    for (int i = 0; i < 7; ++i) {
      disk(i, i < n && onRight ? restLeft(i, 2) : kDisks[i].rect.left, kDisks[i].rect.top, i < n);
    }
    return *this;
  }

  // As it opens: every column of each post, the frame around each base's numeral, no disk.
  Look& opened() {
    for (const board::PieceDesign& post : board::kPosts) {
      const QRect r = pixels(post.rect);
      for (std::size_t c = 0; c < board::kPostColumns.size(); ++c) {
        is(r.topLeft() + QPoint(static_cast<int>(c), 10), board::kPostColumns[c], "post");
      }
    }
    for (const board::PieceDesign& base : board::kBases) {
      for (const board::FrameLineDesign& frame : board::kFrame) {
        const forms::Line& l = frame.line;
        is(pixels(base.rect).topLeft() + QPoint(px((l.x1 + l.x2) / 2), px((l.y1 + l.y2) / 2)),
           frame.color, frame.name);
      }
    }
    return disks(0);
  }
};

}  // namespace

class DesktopTest : public QObject {
  Q_OBJECT

  QTemporaryDir scratch_;  // private to us: the runtime directory, the compositor's screenshots
  QProcess server_, manager_, compositor_, program_;
  Display* x_ = nullptr;
  Window window_ = 0;

  // Asks until the answer is that nothing is amiss, or the limit has passed; returns the last.
  template <typename Problem>
  static QString until(Problem problem) {
    const QDeadlineTimer limit(kLimitMs);
    QString last;
    while (!(last = problem()).isEmpty() && !limit.hasExpired()) {
      QTest::qWait(20);
    }
    return last;
  }

  QString ended() {
    program_.waitForFinished(kLimitMs);
    return program_.state() != QProcess::NotRunning ? QStringLiteral("still running")
           : program_.exitStatus() == QProcess::CrashExit
               ? QStringLiteral("killed")
               : QStringLiteral("exit %1").arg(program_.exitCode());
  }

  // A virtual screen of our own, with a window manager, as the display of what starts next.
  QString startScreen() {
    server_.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"});
    until([this] { return server_.canReadLine() ? "" : "no display number"; });
    qputenv("DISPLAY", ":" + server_.readLine().trimmed());
    if ((x_ = XOpenDisplay(nullptr)) == nullptr) {
      return "no X server: " + server_.readAllStandardError();
    }
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });  // windows go as programs end
    // Openbox runs its start-up command once it manages windows; one mapped earlier may be lost.
    manager_.start("openbox", {"--sm-disable", "--startup", "touch " + scratch_.filePath("ready")});
    return until([] { return QFile::exists("ready") ? "" : "openbox did not start"; });
  }

  // Starts the program on a screen of its own and waits until the window that has the focus is
  // drawn as it opens.
  QString start() {
    if (const QString miss = startScreen(); !miss.isEmpty()) {
      return miss;
    }
    program_.start(CORVANE_BINARY);
    return until([this] {
      int revert = 0;
      XGetInputFocus(x_, &window_, &revert);
      return Look(grab()).opened().miss;
    });
  }

  // The client area as the X server shows it, 32 bits a pixel on our 24-bit screen.
  QImage grab() {
    XWindowAttributes a{};
    XGetWindowAttributes(x_, window_, &a);  // for no window, or one gone, an error; no picture
    XImage* shot = XGetImage(x_, window_, 0, 0, static_cast<unsigned>(a.width),
                             static_cast<unsigned>(a.height), AllPlanes, ZPixmap);
    if (shot == nullptr) {
      return {};
    }
    const QImage image = QImage(reinterpret_cast<const uchar*>(shot->data), shot->width,
                                shot->height, shot->bytes_per_line, QImage::Format_RGB32)
                             .copy();
    XDestroyImage(shot);
    return image;
  }

  // Clicks, then waits until nobody holds the pointer: the window manager freezes it a moment
  // to focus the window, and input sent meanwhile would overtake the click.
  void click(QPoint at) {
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(x_, window_, DefaultRootWindow(x_), at.x(), at.y(), &x, &y, &child);
    XTestFakeMotionEvent(x_, -1, x, y, CurrentTime);
    XTestFakeButtonEvent(x_, 1, True, CurrentTime);
    XTestFakeButtonEvent(x_, 1, False, CurrentTime);
    until([this] {
      const int grab = XGrabPointer(x_, DefaultRootWindow(x_), False, 0, GrabModeAsync,
                                    GrabModeAsync, None, None, CurrentTime);
      XUngrabPointer(x_, CurrentTime);
      return grab == GrabSuccess ? "" : "the pointer is held";
    });
  }

  // Presses the keys together, then lets them go.
  void keys(std::initializer_list<KeySym> chord) {
    for (const bool down : {true, false}) {
      for (const KeySym key : chord) {
        XTestFakeKeyEvent(x_, XKeysymToKeycode(x_, key), down, CurrentTime);
      }
    }
    XFlush(x_);
  }

  // Clicks into a box and types (Latin-1 key symbols are the characters' own codes).
  void enter(const board::EntryDesign& box, const QString& text) {
    click(pixels(box.rect).center());
    for (const QChar c : text) {
      keys({c.unicode()});
    }
  }

  // Starts a run of three disks; says what went wrong before its first step.
  QString startRun(const QString& delay) {
    enter(board::kNumDisksBox, "3");
    enter(board::kDelayBox, delay);
    if (const QString miss = until([this] { return Look(grab()).disks(3).miss; });
        !miss.isEmpty()) {
      return miss;
    }
    click(kMoves);
    const forms::RectF& top = kDisks[2].rect;
    return until([&] { return Look(grab()).disk(2, top.left, top.top, false).miss; });
  }

  // The compositor's screenshot, looked at where the left post's columns put the client area,
  // which must be as large as designed: its background in its corners, none just beyond them.
  static Look waylandScreen() {
    QProcess::execute("weston-screenshooter", {});
    Look look{QImage()};
    for (const QString& name : QDir().entryList({"wayland-screenshot-*.png"})) {
      look.image.load(name);
      QFile::remove(name);
    }
    const QRect post = pixels(board::kPosts[0].rect);
    const QImage shot = look.image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < shot.height() && look.origin.isNull(); ++y) {
      const auto* row = reinterpret_cast<const QRgb*>(shot.constScanLine(y));
      const auto* found = std::search(
          row, row + shot.width(), board::kPostColumns.begin(), board::kPostColumns.end(),
          [](QRgb got, forms::Rgb want) { return (got & 0xFFFFFF) == want; });
      look.origin = found == row + shot.width()
                        ? QPoint()
                        : QPoint(static_cast<int>(found - row), y) - post.topLeft();
    }
    look.miss = look.origin.isNull() ? "no window on the screen" : "";
    const QRect area = pixels({0, 0, board::kClientWidth, board::kClientHeight});
    for (const QPoint corner :
         {area.topLeft(), area.topRight(), area.bottomLeft(), area.bottomRight()}) {
      const int outX = corner.x() == 0 ? -1 : 1, outY = corner.y() == 0 ? -1 : 1;
      look.is(corner, kBackColor, "corner of the client area")
          .is(corner + QPoint(outX, 0), kBackColor, "beside the corner", false)
          .is(corner + QPoint(0, outY), kBackColor, "beside the corner", false);
    }
    return look;
  }

 private slots:
  // Whatever display the tests run under, a program sees only the one its case gives it.
  void init() {
    QDir::setCurrent(scratch_.path());
    qputenv("XDG_RUNTIME_DIR", scratch_.path().toLocal8Bit());
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "QT_SCALE_FACTOR"}) {
      qunsetenv(name);
    }
  }

  void cleanup() {
    if (QTest::currentTestFailed()) {
      qInfo().noquote() << "the program said:" << program_.readAllStandardError();
    }
    if (x_ != nullptr) {
      XCloseDisplay(x_);
    }
    for (QProcess* process : {&program_, &compositor_, &manager_, &server_}) {
      process->kill();
      process->waitForFinished();
    }
    x_ = nullptr;
    QFile::remove("ready");
    program_.setChildProcessModifier({});
  }

  // Without a screen to show the window on: one line about it, and status 2.
  void withoutDisplay() {
    program_.start(CORVANE_BINARY);
    QCOMPARE(ended(), QString("exit 2"));
    const QByteArray said = program_.readAllStandardError();
    QVERIFY2(said.count('\n') == 1 && said.contains("display"), said.constData());
  }

  void startUp_data() {
    QTest::addColumn<QString>("setting");
    QTest::addRow("as usual") << "";
    // Started with it closed, as some launchers do, while Qt has something to say as the
    // display opens: a runtime directory that is a file.
    QTest::addRow("standard error closed") << "streams closed";
    // Qt tries Wayland first, says why it cannot, and goes on with X11.
    QTest::addRow("stale Wayland address") << "stale Wayland";
    // Below zero Qt itself would crash; the window opens at its own size instead.
    QTest::addRow("scale factor below zero") << "bad scale";
  }

  // As it opens: sized and drawn as designed, both prompts shown, centred on the screen give or
  // take the frame (Qt places the window before it knows its frame).
  void startUp() {
    QFETCH(QString, setting);
    if (setting == "stale Wayland") {
      qputenv("WAYLAND_DISPLAY", "nowhere");
    }
    if (setting == "bad scale") {
      qputenv("QT_SCALE_FACTOR", "-1");
    }
    if (setting == "streams closed") {
      QFile(scratch_.filePath("file")).open(QIODevice::WriteOnly);
      qputenv("XDG_RUNTIME_DIR", scratch_.filePath("file").toLocal8Bit());
      program_.setChildProcessModifier([] { ::close(2); });
    }
    QCOMPARE(start(), QString());
    const QImage opened = grab();
    QCOMPARE(opened.size(), pixels({0, 0, board::kClientWidth, board::kClientHeight}).size());
    QVERIFY(!blank(opened, board::kNumDisksBox) && !blank(opened, board::kDelayBox));
    Window root = 0, frame = 0, *children = nullptr;
    unsigned count = 0;
    XQueryTree(x_, window_, &root, &frame, &children, &count);
    XFree(children);
    XWindowAttributes inner, outer;
    XGetWindowAttributes(x_, window_, &inner);
    XGetWindowAttributes(x_, frame, &outer);
    const int x = outer.x + inner.x, y = outer.y + inner.y;
    const Screen* screen = DefaultScreenOfDisplay(x_);
    QCOMPARE_LE(std::abs(2 * x + inner.width - WidthOfScreen(screen)),
                2 * (outer.width - inner.width));
    QCOMPARE_LE(std::abs(2 * y + inner.height - HeightOfScreen(screen)),
                2 * (outer.height - inner.height));
    // A desktop finds the launcher entry of an X11 window by the window's class.
    XClassHint hint{};
    XGetClassHint(x_, window_, &hint);
    QFile launcher(CORVANE_LAUNCHER);
    launcher.open(QIODevice::ReadOnly);
    const QByteArray wanted = QByteArray("\nStartupWMClass=") + hint.res_class + '\n';
    XFree(hint.res_name);
    XFree(hint.res_class);
    QVERIFY2(launcher.readAll().contains(wanted), wanted.trimmed().constData());
    // What Qt said while the display opened is passed on as Qt would have said it.
    const QByteArray expected = setting == "stale Wayland" ? "wl_display"
                                : setting == "bad scale"   ? "QT_SCALE_FACTOR=-1 is not used"
                                                           : "";
    QByteArray said;
    until([&] {
      said += program_.readAllStandardError();
      return said.contains(expected) ? "" : "nothing said";
    });
    QVERIFY2(said.contains(expected), said.constData());
    QVERIFY2(!said.startsWith(": ") && !said.contains("\n: "), said.constData());
  }

  // Typed counts and a whole run; then Moves does nothing more until Reset clears the board.
  void wholeRun() {
    QCOMPARE(start(), QString());
    const QImage opened = grab();
    QCOMPARE(startRun("0"), QString());
    QCOMPARE(until([this] { return Look(grab()).disks(3, true).miss; }), QString());
    // A second run would end as the first did; with a second's delay its first step, which
    // comes before the first pause, gives it away. Moves shows its focus while it has it: away
    // to the delay box and back, so that the press has surely arrived.
    const QImage done = grab();
    const auto moves = [this] { return grab().copy(pixels(board::kMovesButton.rect)); };
    const QImage focused = moves();
    enter(board::kDelayBox, "1");
    QCOMPARE(until([&] { return moves() != focused ? "" : "the delay box took no click"; }),
             QString());
    click(kMoves);
    QCOMPARE(until([&] { return moves() == focused ? "" : "Moves took no click"; }), QString());
    QTest::qWait(500);
    QCOMPARE(boardOf(grab()), boardOf(done));
    click(pixels(board::kResetButton.rect).center());
    // The boxes are emptied a pass of the event loop after the disks are sent home.
    QCOMPARE(until([&] {
               const QImage shown = grab();
               return boardOf(shown) == boardOf(opened) && blank(shown, board::kNumDisksBox) &&
                              blank(shown, board::kDelayBox)
                          ? ""
                          : "not as opened";
             }),
             QString());
  }

  // Reset while the first move lifts its disk: the stopped run finishes that lift (in sight once
  // the count is typed again) at the emptied delay box's pace, and ends; only then is Moves
  // pressed, so that the new run is not nested in the old one.
  void runAfterReset() {
    QCOMPARE(start(), QString());
    QCOMPARE(startRun("0.2"), QString());
    click(pixels(board::kResetButton.rect).center());
    enter(board::kNumDisksBox, "3");
    const forms::RectF& home = kDisks[2].rect;
    const float lift = board::kPosts[0].rect.top - kLiftAbovePosts;
    const float lifted = home.top - kStep * std::ceil((home.top - lift) / kStep);
    QCOMPARE(until([&] { return Look(grab()).disks(2).disk(2, home.left, lifted).miss; }),
             QString());
    const QImage stopped = grab();
    QTest::qWait(1000);  // twenty steps of the stopped run, had it gone on
    QCOMPARE(boardOf(grab()), boardOf(stopped));
    click(kMoves);
    QCOMPARE(until([this] { return Look(grab()).disks(3, true).miss; }), QString());
  }

  void quitting_data() {
    QTest::addColumn<bool>("midRun");
    QTest::addColumn<QString>("how");
    for (const bool midRun : {false, true}) {
      for (const char* how : {"Quit", "close box", "SIGTERM", "window destroyed"}) {
        QTest::addRow("%s, %s", how, midRun ? "mid-run" : "idle") << midRun << QString(how);
      }
    }
    // As a shell starts a program in the background: Ctrl+C meant for the foreground is not its.
    QTest::addRow("Quit after an ignored SIGINT") << false << QString("SIGINT ignored");
  }

  // It ends at once, with status 0, however asked; mid-run too, in a run of minutes.
  void quitting() {
    QFETCH(bool, midRun);
    QFETCH(QString, how);
    if (how == "SIGINT ignored") {
      program_.setChildProcessModifier([] { ::signal(SIGINT, SIG_IGN); });
    }
    QCOMPARE(start(), QString());
    QCOMPARE(midRun ? startRun("0.05") : QString(), QString());
    if (how == "SIGINT ignored") {
      ::kill(static_cast<pid_t>(program_.processId()), SIGINT);
      QTest::qWait(500);
      QCOMPARE(program_.state(), QProcess::Running);
    }
    if (how == "Quit" || how == "SIGINT ignored") {
      click(pixels(board::kQuitButton.rect).center());
    } else if (how == "close box") {
      keys({XK_Alt_L, XK_F4});  // the window manager's key for it
    } else if (how == "window destroyed") {
      XDestroyWindow(x_, window_);  // as some tools do, rather than ask it to close
      XFlush(x_);
    } else {
      ::kill(static_cast<pid_t>(program_.processId()), SIGTERM);
    }
    QCOMPARE(ended(), QString("exit 0"));
    // Nothing about the window that is gone, nor anything else.
    QCOMPARE(program_.readAllStandardError(), QByteArray());
  }

  // Asked to terminate while it still waits for the display to answer, it ends as it would
  // later, with status 0, once the display answers.
  void terminatedWhileStarting() {
    QCOMPARE(startScreen(), QString());
    const auto server = static_cast<pid_t>(server_.processId());
    ::kill(server, SIGSTOP);
    program_.start(CORVANE_BINARY);
    QVERIFY(program_.waitForStarted());
    // Linux's account of the process: a bit per signal it has a handler for.
    const auto catches = [this](int number) {
      QFile status(QStringLiteral("/proc/%1/status").arg(program_.processId()));
      const QList<QByteArray> lines =
          status.open(QIODevice::ReadOnly) ? status.readAll().split('\n') : QList<QByteArray>();
      for (const QByteArray& line : lines) {
        if (line.startsWith("SigCgt:")) {
          return ((line.mid(7).trimmed().toULongLong(nullptr, 16) >> (number - 1)) & 1U) != 0;
        }
      }
      return false;
    };
    const QString caught =
        until([&] { return catches(SIGTERM) ? "" : "SIGTERM not caught while starting"; });
    ::kill(static_cast<pid_t>(program_.processId()), SIGTERM);
    ::kill(server, SIGCONT);
    QCOMPARE(caught, QString());
    QCOMPARE(ended(), QString("exit 0"));
  }

  // From the keyboard alone: Tab from Reset, which has the focus, to each box (typing replaces
  // its prompt) and to Moves, a run of one disk started with Enter, and Quit with the space bar.
  void keyboardOnly() {
    QCOMPARE(start(), QString());
    for (const KeySym key : {XK_Tab, XK_1, XK_Tab, XK_0, XK_Tab, XK_Return}) {
      keys({key});
    }
    QCOMPARE(until([this] { return Look(grab()).disks(1, true).miss; }), QString());
    keys({XK_Tab});
    keys({XK_space});
    QCOMPARE(ended(), QString("exit 0"));
  }

  // Natively on Wayland, under a compositor without a screen: the window at its design size, a
  // whole run asked for on the command line, and an end on SIGTERM.
  void wayland() {
    const QString socket =
        QStringLiteral("corvane-test-%1").arg(QCoreApplication::applicationPid());
    qputenv("WAYLAND_DISPLAY", socket.toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "wayland");
    // Whole stacks, under the sanitizers: Qt's Wayland client leaves some of its own at exit.
    qputenv("ASAN_OPTIONS", qgetenv("ASAN_OPTIONS") + ":fast_unwind_on_malloc=0");
    compositor_.start("weston",
                      {"--backend=headless-backend.so", "--use-pixman", "--debug", "--no-config",
                       "--idle-time=0", "--width=1280", "--height=1024", "--socket=" + socket});
    QCOMPARE(until([&] { return QFile::exists(socket) ? "" : "no compositor"; }), QString());
    program_.start(CORVANE_BINARY, {"--disks", "3", "--delay", "0", "--run"});
    QCOMPARE(until([] { return waylandScreen().disks(3, true).miss; }), QString());
    ::kill(static_cast<pid_t>(program_.processId()), SIGTERM);
    QCOMPARE(ended(), QString("exit 0"));
  }
};

QTEST_GUILESS_MAIN(DesktopTest)
#include "test_desktop.moc"
