// The real window natively on a Wayland compositor without a screen (weston, started here): what
// the compositor shows after a run is exactly what painting the whole window shows. A step sends
// only the pixels it changed, and several steps may go in one frame, so a strip painted but never
// sent, or sent without being painted, stays on the screen and fails here.
#include <QApplication>
#include <QImage>
#include <QProcess>
#include <QtTest>

#include "board/corvane.h"
#include "board/layout.h"
#include "forms/qt/form_window.h"
#include "forms/qt/qt_runtime.h"
#include "tests/desktop/pixel_oracle.h"
#include "tests/desktop/session.h"

namespace {

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

// The compositor must be there before the application, which connects to it as it is made: the
// test starts one in a session of its own, then runs itself again on it.
int main(int argc, char** argv) {
  if (qEnvironmentVariableIsSet("CORVANE_ON_COMPOSITOR")) {
    QApplication application(argc, argv);
    WaylandDamageTest test;
    return QTest::qExec(&test, argc, argv);
  }
  QCoreApplication application(argc, argv);
  desktop_test::Session session;
  if (const QString miss = session.startCompositor("corvane-damage"); !miss.isEmpty()) {
    qCritical().noquote() << miss;
    return 1;
  }
  qputenv("QT_QPA_PLATFORM", "wayland");
  qputenv("CORVANE_ON_COMPOSITOR", "1");
  QProcess test;
  test.setProcessChannelMode(QProcess::ForwardedChannels);
  test.start(QCoreApplication::applicationFilePath(), QCoreApplication::arguments().mid(1));
  test.waitForFinished(-1);
  return test.exitStatus() == QProcess::NormalExit ? test.exitCode() : 1;
}

#include "test_wayland_damage.moc"
