#include <QtTest>

#include <QAbstractEventDispatcher>
#include <functional>
#include <limits>

#include "window_fixture.h"

Q_DECLARE_METATYPE(forms::qt::QtRuntime::Sleep)

using namespace window_test;

namespace {

// Counts every pass of the event dispatcher, whether it sleeps or not.
struct PassCount : QObject {
  int passes = 0;
  PassCount() {
    const auto* dispatcher = QAbstractEventDispatcher::instance();
    connect(dispatcher, &QAbstractEventDispatcher::awake, this, [this] { ++passes; });
    connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] { ++passes; });
  }
};

}  // namespace

// The desktop's pump: when it sleeps and what wakes it, pauses, and runs nested deep.
class QtPumpTest : public QObject {
  Q_OBJECT

 private slots:
  // A pump sleeps until the next event when asked to wait, however long the wait, on the
  // kernel timer and on the Qt timer that stands in for it elsewhere. It does not sleep when
  // asked not to wait (nothing, less than nothing, not a number), nor after it has handled an
  // event: that event may have been the one the caller waits for.
  void aPumpSleepsOnlyWhenIdle_data() {
    QTest::addColumn<Sleep>("sleep");
    QTest::addColumn<float>("wait");
    QTest::addColumn<bool>("eventWaiting");
    QTest::addColumn<bool>("sleeps");
    for (const Sleep sleep : {Sleep::onKernelTimer, Sleep::onQtTimer}) {
      const char* on = sleep == Sleep::onKernelTimer ? "kernel timer" : "Qt timer";
      QTest::addRow("%s: two hours", on) << sleep << 7200.0f << false << true;
      QTest::addRow("%s: largest", on)
          << sleep << std::numeric_limits<float>::max() << false << true;
      QTest::addRow("%s: infinity", on) << sleep << INFINITY << false << true;
      QTest::addRow("%s: an event handled", on) << sleep << 7200.0f << true << false;
    }
    QTest::newRow("zero") << Sleep::onKernelTimer << 0.0f << false << false;
    QTest::newRow("negative") << Sleep::onKernelTimer << -5.0f << false << false;
    QTest::newRow("not a number") << Sleep::onKernelTimer << NAN << false << false;
  }
  void aPumpSleepsOnlyWhenIdle() {
    QFETCH(Sleep, sleep);
    QFETCH(float, wait);
    QFETCH(bool, eventWaiting);
    QFETCH(bool, sleeps);
    forms::qt::QtRuntime runtime{[] {}, sleep};
    // A timer that goes with the test, unlike a single shot that would wake later tests.
    QTimer marker;
    bool fired = false;
    QObject::connect(&marker, &QTimer::timeout, [&fired] { fired = true; });
    marker.start(sleeps ? 20 : 2000);
    if (eventWaiting) {
      QMetaObject::invokeMethod(
          &marker, [] {}, Qt::QueuedConnection);
    }
    // Spinning would run through these pumps long before the timer; one pump that has handled
    // an event must return at once.
    for (int pumps = 0; pumps < (eventWaiting ? 1 : 50) && !fired; ++pumps) {
      runtime.DoEvents(wait);
    }
    QCOMPARE(fired, sleeps);
  }

  // Pumps that may not wait, one after another as in a run without a pause, do not ask the
  // system for input at every pump, yet a timer that comes due still fires among them.
  void aRunWithoutPausesStillTakesInput() {
    forms::qt::QtRuntime runtime{[] {}};
    QTimer due;
    due.setSingleShot(true);
    bool fired = false;
    QObject::connect(&due, &QTimer::timeout, [&fired] { fired = true; });
    due.start(5);
    QElapsedTimer spinning;
    spinning.start();
    while (!fired && spinning.elapsed() < 5000) {
      runtime.DoEvents(0.0f);
    }
    QVERIFY(fired);
  }

  // A pause sleeps through its length in a few passes of the event loop, on either kind of
  // timer, and its own timer wakes it: it does not sleep on until some later event.
  void aPauseSleepsUntilItsEnd_data() {
    QTest::addColumn<Sleep>("sleep");
    QTest::newRow("kernel timer") << Sleep::onKernelTimer;
    QTest::newRow("Qt timer") << Sleep::onQtTimer;
  }
  void aPauseSleepsUntilItsEnd() {
    QFETCH(Sleep, sleep);
    Screen screen(sleep);
    QVERIFY(QTest::qWaitForWindowExposed(&screen.window));
    QCoreApplication::processEvents();
    QTimer later;
    bool stillAsleep = false;
    QObject::connect(&later, &QTimer::timeout, [&stillAsleep] { stillAsleep = true; });
    later.start(1000);
    const PassCount count;
    float delay = 0.05f;
    screen.runtime.dispatch([&] { screen.form.subDelay(delay); });
    QVERIFY(!stillAsleep);
    QVERIFY2(count.passes < 10, qPrintable(QString::number(count.passes)));
  }

  // Runs started inside the newest run's pause, far deeper than anyone would by hand, each
  // nested on the real stack: the program does not crash, and Quit still ends it at once.
  void deepNestingNeverCrashes() {
    Screen screen;
    QVERIFY(QTest::qWaitForWindowExposed(&screen.window));
    int attempts = 0;
    std::function<void()> attempt = [&] {
      if (++attempts > 5000) {
        click(screen, "cmdQuit");
        return;
      }
      QMetaObject::invokeMethod(&screen.window, attempt, Qt::QueuedConnection);
      click(screen, "cmdReset");
      type(screen, "txtNumDisks", "1");
      type(screen, "txtDelay", "1e9");
      click(screen, "cmdMoves");
    };
    attempt();
    QCOMPARE(attempts, 5001);
    QVERIFY(screen.runtime.ended() && screen.endRequested && !screen.window.isVisible());
  }
};

int main(int argc, char** argv) {
  QtPumpTest test;
  return runTests(test, argc, argv);
}

#include "test_qt_pump.moc"
