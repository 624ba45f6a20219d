#include <QtTest>

#include <stdexcept>
#include <string>
#include <vector>

#include "forms/controls.h"
#include "forms/headless/headless_runtime.h"

using forms::EndProgram;
using forms::headless::HeadlessRuntime;

// The runtime contract every handler relies on, checked on the headless backend.
class RuntimeTest : public QObject {
  Q_OBJECT

 private slots:
  void textWriteRaisesChangeBeforeReturning() {
    forms::TextBox box("prompt");
    std::vector<std::string> seen;
    box.onChange = [&] { seen.push_back(box.Text()); };
    box.setText("3");
    QCOMPARE(seen, std::vector<std::string>{"3"});
    // The same text again is no change.
    box.setText("3");
    box.setText("");
    QCOMPARE(seen, (std::vector<std::string>{"3", ""}));
  }

  void scheduledEventsRunInsideTheirPump() {
    HeadlessRuntime runtime;
    std::vector<long> ran;
    runtime.atPump(2, [&] { ran.push_back(runtime.pumps()); });
    runtime.atTime(1.0, [&] { ran.push_back(-runtime.pumps()); });
    runtime.DoEvents();
    QVERIFY(ran.empty());
    runtime.DoEvents();
    QCOMPARE(ran, std::vector<long>{2});
    // A pump that may wait is woken by the timed event, not later than it.
    runtime.DoEvents(5.0f);
    QCOMPARE(ran, (std::vector<long>{2, -3}));
    QCOMPARE(runtime.clock(), 1.0);
    // Nothing left: a waiting pump sleeps its whole time.
    runtime.DoEvents(0.5f);
    QCOMPARE(runtime.clock(), 1.5);
  }

  // An End, or a handler that fails, inside a pump unwinds the run that pumped to the dispatch
  // that started it, without resuming it and without running another handler; a failure ends
  // the program with a failure status. After the end nothing dispatches and pumping does not
  // return normally.
  void anEndUnwindsTheRun_data() {
    QTest::addColumn<bool>("fails");
    QTest::newRow("end") << false;
    QTest::newRow("a handler that throws") << true;
  }
  void anEndUnwindsTheRun() {
    QFETCH(bool, fails);
    HeadlessRuntime runtime;
    bool laterHandlerRan = false;
    runtime.atPump(3, [&] {
      if (fails) {
        throw std::length_error("too long");
      }
      runtime.Unload();
      runtime.End();
    });
    runtime.atPump(3, [&] { laterHandlerRan = true; });
    long outerPumps = 0;
    runtime.dispatch([&] {
      // A run pumping in a loop, as the pause does; it must never get past the ending pump.
      while (outerPumps < 10) {
        runtime.DoEvents();
        ++outerPumps;
      }
    });
    QVERIFY(runtime.ended() && !laterHandlerRan);
    QCOMPARE(outerPumps, 2L);
    QCOMPARE(runtime.unloaded(), !fails);
    QCOMPARE(runtime.exitStatus(), fails ? 1 : 0);
    bool ranAfter = false;
    runtime.dispatch([&] { ranAfter = true; });
    QVERIFY(!ranAfter);
    QVERIFY_THROWS_EXCEPTION(EndProgram, runtime.DoEvents());
  }
};

QTEST_APPLESS_MAIN(RuntimeTest)
#include "test_runtime.moc"
