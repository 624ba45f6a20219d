// The real program on a virtual X server with a window manager, driven by real input through the
// XTEST extension, and natively on a Wayland compositor without a screen. Each case starts its
// own program on a display of its own; every wait polls, with a limit far above what any step
// needs.
#include <signal.h>
#include <unistd.h>

#include <cmath>
#include <optional>

#include <QFile>
#include <QProcess>
#include <QtTest>

#include "board/layout.h"
#include "tests/desktop/pixel_oracle.h"
#include "tests/desktop/session.h"

// Last: Xlib defines macros such as True, False and None.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

using namespace desktop_test;

namespace {

using board::kDisks;

const QPoint kMoves = pixels(board::kMovesButton.rect).center();

// For what must not happen: asks until `ms` have passed, and returns the first thing amiss.
template <typename Problem>
QString throughout(int ms, Problem problem) {
  const QDeadlineTimer end(ms);
  for (;;) {
    if (const QString miss = problem(); !miss.isEmpty() || end.hasExpired()) {
      return miss;
    }
    QTest::qWait(20);
  }
}

// Linux's account of how a process takes a signal: `field` is SigCgt for the signals it has a
// handler for, SigIgn for those it ignores, one bit each.
bool handles(const QProcess& process, const QByteArray& field, int number) {
  QFile status(QStringLiteral("/proc/%1/status").arg(process.processId()));
  const QList<QByteArray> lines =
      status.open(QIODevice::ReadOnly) ? status.readAll().split('\n') : QList<QByteArray>();
  for (const QByteArray& line : lines) {
    if (line.startsWith(field + ':')) {
      const qulonglong mask = line.mid(field.size() + 1).trimmed().toULongLong(nullptr, 16);
      return ((mask >> (number - 1)) & 1U) != 0;
    }
  }
  return false;
}

}  // namespace

class DesktopTest : public QObject {
  Q_OBJECT

  std::optional<Session> session_;

  Session& s() { return *session_; }

  // Starts a run of three disks; says what went wrong before its first step.
  QString startRun(const QString& delay) {
    s().enter(board::kNumDisksBox, "3");
    s().enter(board::kDelayBox, delay);
    if (const QString miss = Session::until([this] { return Look(s().grab()).disks(3).miss; });
        !miss.isEmpty()) {
      return miss;
    }
    s().click(kMoves);
    const forms::RectF& top = kDisks[2].rect;
    return Session::until([&] { return Look(s().grab()).disk(2, top.left, top.top, false).miss; });
  }

 private slots:
  void init() { session_.emplace(); }

  void cleanup() {
    if (QTest::currentTestFailed()) {
      qInfo().noquote() << "the program said:" << s().program.readAllStandardError();
    }
    session_.reset();
  }

  // Without a screen to show the window on: one line about it, and status 2.
  void withoutDisplay() {
    s().program.start(CORVANE_BINARY);
    QCOMPARE(s().ended(), QString("exit 2"));
    const QByteArray said = s().program.readAllStandardError();
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
      QFile(s().filePath("file")).open(QIODevice::WriteOnly);
      qputenv("XDG_RUNTIME_DIR", s().filePath("file").toLocal8Bit());
      s().program.setChildProcessModifier([] { ::close(2); });
    }
    QCOMPARE(s().start(), QString());
    const QImage opened = s().grab();
    QCOMPARE(opened.size(), pixels({0, 0, board::kClientWidth, board::kClientHeight}).size());
    QVERIFY(!blank(opened, board::kNumDisksBox) && !blank(opened, board::kDelayBox));
    Window root = 0, frame = 0, *children = nullptr;
    unsigned count = 0;
    XQueryTree(s().x, s().window, &root, &frame, &children, &count);
    XFree(children);
    XWindowAttributes inner, outer;
    XGetWindowAttributes(s().x, s().window, &inner);
    XGetWindowAttributes(s().x, frame, &outer);
    const int x = outer.x + inner.x, y = outer.y + inner.y;
    const Screen* screen = DefaultScreenOfDisplay(s().x);
    QCOMPARE_LE(std::abs(2 * x + inner.width - WidthOfScreen(screen)),
                2 * (outer.width - inner.width));
    QCOMPARE_LE(std::abs(2 * y + inner.height - HeightOfScreen(screen)),
                2 * (outer.height - inner.height));
    // A desktop finds the launcher entry of an X11 window by the window's class.
    XClassHint hint{};
    XGetClassHint(s().x, s().window, &hint);
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
    Session::until([&] {
      said += s().program.readAllStandardError();
      return said.contains(expected) ? "" : "nothing said";
    });
    QVERIFY2(said.contains(expected), said.constData());
    QVERIFY2(!said.startsWith(": ") && !said.contains("\n: "), said.constData());
  }

  // Typed counts and a whole run; then Moves does nothing more until Reset clears the board.
  void wholeRun() {
    QCOMPARE(s().start(), QString());
    const QImage opened = s().grab();
    QCOMPARE(startRun("0"), QString());
    QCOMPARE(Session::until([this] { return Look(s().grab()).disks(3, true).miss; }), QString());
    // A second run would end as the first did; with a second's delay its first step, which
    // comes before the first pause, gives it away. Moves shows its focus while it has it: away
    // to the delay box and back, so that the press has surely arrived. Tab then takes the focus
    // on to Quit: once Quit shows it, the click before it has been handled, and any first step
    // with it.
    const QImage done = s().grab();
    const auto moves = [this] { return s().grab().copy(pixels(board::kMovesButton.rect)); };
    const auto quit = [this] { return s().grab().copy(pixels(board::kQuitButton.rect)); };
    const QImage focused = moves();
    const QImage quitUnfocused = quit();
    s().enter(board::kDelayBox, "1");
    QCOMPARE(
        Session::until([&] { return moves() != focused ? "" : "the delay box took no click"; }),
        QString());
    s().click(kMoves);
    QCOMPARE(Session::until([&] { return moves() == focused ? "" : "Moves took no click"; }),
             QString());
    s().keys({XK_Tab});
    QCOMPARE(Session::until([&] { return quit() != quitUnfocused ? "" : "Quit took no focus"; }),
             QString());
    QCOMPARE(boardOf(s().grab()), boardOf(done));
    s().click(pixels(board::kResetButton.rect).center());
    // The boxes are emptied a pass of the event loop after the disks are sent home.
    QCOMPARE(Session::until([&] {
               const QImage shown = s().grab();
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
    QCOMPARE(s().start(), QString());
    QCOMPARE(startRun("0.2"), QString());
    s().click(pixels(board::kResetButton.rect).center());
    s().enter(board::kNumDisksBox, "3");
    const forms::RectF& home = kDisks[2].rect;
    // A thousand twips above the posts, at Top 2038, the lift ends.
    const float lifted = 2038;
    QCOMPARE(
        Session::until([&] { return Look(s().grab()).disks(2).disk(2, home.left, lifted).miss; }),
        QString());
    // Watched for twenty steps of the stopped run, had it gone on.
    const QImage stopped = boardOf(s().grab());
    QCOMPARE(throughout(1000, [&] { return boardOf(s().grab()) == stopped ? "" : "moved on"; }),
             QString());
    s().click(kMoves);
    QCOMPARE(Session::until([this] { return Look(s().grab()).disks(3, true).miss; }), QString());
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
      s().program.setChildProcessModifier([] { ::signal(SIGINT, SIG_IGN); });
    }
    QCOMPARE(s().start(), QString());
    QCOMPARE(midRun ? startRun("0.05") : QString(), QString());
    if (how == "SIGINT ignored") {
      // Ignored as it started, not taken over: the kernel discards the signal as it is sent.
      QVERIFY(handles(s().program, "SigIgn", SIGINT) && !handles(s().program, "SigCgt", SIGINT));
      ::kill(static_cast<pid_t>(s().program.processId()), SIGINT);
      QCOMPARE(s().program.state(), QProcess::Running);
    }
    if (how == "Quit" || how == "SIGINT ignored") {
      s().click(pixels(board::kQuitButton.rect).center());
    } else if (how == "close box") {
      s().keys({XK_Alt_L, XK_F4});  // the window manager's key for it
    } else if (how == "window destroyed") {
      XDestroyWindow(s().x, s().window);  // as some tools do, rather than ask it to close
      XFlush(s().x);
    } else {
      ::kill(static_cast<pid_t>(s().program.processId()), SIGTERM);
    }
    QCOMPARE(s().ended(), QString("exit 0"));
    // Nothing about the window that is gone, nor anything else.
    QCOMPARE(s().program.readAllStandardError(), QByteArray());
  }

  // Asked to terminate while it still waits for the display to answer, it ends as it would
  // later, with status 0, without waiting for the display.
  void terminatedWhileStarting() {
    QCOMPARE(s().startScreen(), QString());
    const auto server = static_cast<pid_t>(s().server.processId());
    ::kill(server, SIGSTOP);
    s().program.start(CORVANE_BINARY);
    QVERIFY(s().program.waitForStarted());
    const QString caught = Session::until([this] {
      return handles(s().program, "SigCgt", SIGTERM) ? "" : "SIGTERM not caught while starting";
    });
    ::kill(static_cast<pid_t>(s().program.processId()), SIGTERM);
    ::kill(server, SIGCONT);
    QCOMPARE(caught, QString());
    QCOMPARE(s().ended(), QString("exit 0"));
  }

  // From the keyboard alone: Tab from Reset, which has the focus, to each box (typing replaces
  // its prompt) and to Moves, a run of one disk started with Enter, and Quit with the space bar.
  void keyboardOnly() {
    QCOMPARE(s().start(), QString());
    for (const KeySym key : {XK_Tab, XK_1, XK_Tab, XK_0, XK_Tab, XK_Return}) {
      s().keys({key});
    }
    QCOMPARE(Session::until([this] { return Look(s().grab()).disks(1, true).miss; }), QString());
    s().keys({XK_Tab});
    s().keys({XK_space});
    QCOMPARE(s().ended(), QString("exit 0"));
  }

  // Natively on Wayland, under a compositor without a screen: the window at its design size, a
  // whole run asked for on the command line, and an end on SIGTERM.
  void wayland() {
    const QString socket =
        QStringLiteral("corvane-test-%1").arg(QCoreApplication::applicationPid());
    qputenv("QT_QPA_PLATFORM", "wayland");
    // Whole stacks, under the sanitizers: Qt's Wayland client leaves some of its own at exit.
    qputenv("ASAN_OPTIONS", qgetenv("ASAN_OPTIONS") + ":fast_unwind_on_malloc=0");
    QCOMPARE(s().startCompositor(socket), QString());
    s().program.start(CORVANE_BINARY, {"--disks", "3", "--delay", "0", "--run"});
    QCOMPARE(
        Session::until([] { return onScreen(Session::waylandScreenshot()).disks(3, true).miss; }),
        QString());
    // This compositor draws no frames: the window keeps Qt's title bar, a plain band above it
    // where the compositor's patterned background would otherwise show.
    const Look shown = onScreen(Session::waylandScreenshot());
    QVERIFY(shown.origin.y() >= 15);
    const QRgb band = shown.image.pixel(shown.origin + QPoint(150, -15));
    for (int x = 150; x < 400; ++x) {
      QCOMPARE(shown.image.pixel(shown.origin + QPoint(x, -15)), band);
    }
    ::kill(static_cast<pid_t>(s().program.processId()), SIGTERM);
    QCOMPARE(s().ended(), QString("exit 0"));
  }
};

QTEST_GUILESS_MAIN(DesktopTest)
#include "test_desktop.moc"
