// The real window natively on a Wayland compositor without a screen (weston, started here): what
// the compositor shows after a run is exactly what painting the whole window shows. A step sends
// only the pixels it changed, and several steps may go in one frame, so a strip painted but never
// sent, or sent without being painted, stays on the screen and fails here.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include "board/corvane.h"
#include "board/layout.h"
#include "forms/qt/form_window.h"
#include "forms/qt/qt_runtime.h"
#include "tests/desktop/pixel_oracle.h"
#include "tests/desktop/session.h"

extern char** environ;

namespace {

using desktop_test::px;

struct Shown {
  forms::qt::QtRuntime runtime{[] {}};
  Corvane form{runtime};
  forms::qt::FormWindow window{runtime, form.describe()};
  bool exposed = (window.load(), window.present(), QTest::qWaitForWindowExposed(&window));

  void run(const char* disks, const char* delay) {
    runtime.dispatch([&] {
      form.txtNumDisks.setText(disks);
      form.txtDelay.setText(delay);
      form.cmdMoves.click();
    });
  }

  // The board above the boxes, as the compositor shows it against the window painted whole;
  // empty when they are alike.
  QString difference() {
    const QImage whole =
        desktop_test::boardOf(window.grab().toImage().convertToFormat(QImage::Format_RGB32));
    const desktop_test::Look screen =
        desktop_test::onScreen(desktop_test::Session::waylandScreenshot());
    if (!screen.miss.isEmpty()) {
      return screen.miss;
    }
    const QImage shown =
        screen.image.convertToFormat(QImage::Format_RGB32).copy(QRect(screen.origin, whole.size()));
    for (int y = 0; y < whole.height(); ++y) {
      for (int x = 0; x < whole.width(); ++x) {
        if (shown.pixel(x, y) != whole.pixel(x, y)) {
          return QString::asprintf("shown #%06x at (%d, %d), painted whole #%06x",
                                   shown.pixel(x, y) & 0xFFFFFF, x, y,
                                   whole.pixel(x, y) & 0xFFFFFF);
        }
      }
    }
    return {};
  }

  // Lets frames come until the screen shows what a whole repaint shows, or the limit has passed.
  QString settled() {
    return desktop_test::Session::until([this] { return difference(); });
  }
};

}  // namespace

class WaylandDamageTest : public QObject {
  Q_OBJECT

 private slots:
  void onWayland() { QCOMPARE(QGuiApplication::platformName(), QString("wayland")); }

  // Runs without a pause send many steps in one frame; paced runs send each step in a frame of
  // its own. Either way the screen ends as a whole repaint paints it.
  void screenShowsWhatAWholeRepaintShows_data() {
    QTest::addColumn<QString>("disks");
    QTest::addColumn<QString>("delay");
    QTest::addRow("three disks, no pause") << "3"
                                           << "0";
    QTest::addRow("one disk, a pause of 1 ms") << "1"
                                               << "0.001";
  }
  void screenShowsWhatAWholeRepaintShows() {
    QFETCH(QString, disks);
    QFETCH(QString, delay);
    Shown shown;
    QVERIFY(shown.exposed);
    QCOMPARE(shown.settled(), QString());
    shown.run(disks.toLatin1().constData(), delay.toLatin1().constData());
    QCOMPARE(shown.form.Picture1[0].Left() > board::kDisks[0].rect.left, true);
    QCOMPARE(shown.settled(), QString());
  }

  // A window that gets no frames, minimised, never holds a run up; shown again, it is whole.
  void minimisedRunEnds() {
    Shown shown;
    QVERIFY(shown.exposed);
    shown.window.showMinimized();
    QTest::qWait(300);
    shown.run("3", "0");
    QVERIFY(shown.form.Picture1[0].Left() > board::kDisks[0].rect.left);
    shown.window.hide();
    shown.window.showNormal();
    QVERIFY(QTest::qWaitForWindowExposed(&shown.window));
    QCOMPARE(shown.settled(), QString());
  }
};

// The compositor starts before the application, which connects to it as it is made; so it is
// started here rather than by a session, whose processes need the application.
int main(int argc, char** argv) {
  QTemporaryDir scratch;
  const QByteArray socket = "corvane-damage-" + QByteArray::number(::getpid());
  qputenv("XDG_RUNTIME_DIR", scratch.path().toLocal8Bit());
  qputenv("WAYLAND_DISPLAY", socket);
  qputenv("QT_QPA_PLATFORM", "wayland");
  QDir::setCurrent(scratch.path());
  std::vector<std::string> words{"weston",
                                 "--backend=headless-backend.so",
                                 "--use-pixman",
                                 "--debug",
                                 "--no-config",
                                 "--idle-time=0",
                                 "--width=1280",
                                 "--height=1024",
                                 "--socket=" + socket.toStdString()};
  std::vector<char*> args;
  for (std::string& word : words) {
    args.push_back(word.data());
  }
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "weston.log", O_WRONLY | O_CREAT, 0600);
  pid_t weston = 0;
  const int spawned = ::posix_spawnp(&weston, "weston", &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    std::fprintf(stderr, "cannot start weston: %s\n", std::strerror(spawned));
    return 1;
  }
  for (int tries = 0; tries < 600 && !QFile::exists(scratch.filePath(socket)); ++tries) {
    ::usleep(50'000);
  }
  int status = 1;
  {
    QApplication application(argc, argv);
    WaylandDamageTest test;
    status = QTest::qExec(&test, argc, argv);
  }
  ::kill(weston, SIGTERM);
  ::waitpid(weston, nullptr, 0);
  return status;
}

#include "test_wayland_damage.moc"
