#include <QtTest>

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
    QCOMPARE(seen.size(), std::size_t{1});
    QCOMPARE(QString::fromStdString(seen.back()), QString("3"));
    // The same text again is no change.
    box.setText("3");
    QCOMPARE(seen.size(), std::size_t{1});
    box.setText("");
    QCOMPARE(seen.size(), std::size_t{2});
  }

  void pictureReadsBackWhatWasWritten() {
    forms::PictureBox box({1208, 6158, 3855, 495});
    box.setLeft(10318.5f);
    box.setTop(-40.25f);
    QCOMPARE(box.Left(), 10318.5f);
    QCOMPARE(box.Top(), -40.25f);
    box.setVisible(forms::False);
    QCOMPARE(box.Visible(), forms::False);
    QCOMPARE(box.Left(), 10318.5f);
    box.setVisible(1);  // any non-zero value shows
    QCOMPARE(box.Visible(), forms::True);
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

  void endUnwindsToTheDispatchThatStartedTheRun() {
    HeadlessRuntime runtime;
    bool resumed = false;
    bool laterHandlerRan = false;
    runtime.atPump(3, [&] {
      runtime.Unload();
      runtime.End();
    });
    runtime.atPump(3, [&] { laterHandlerRan = true; });
    long outerPumps = 0;
    runtime.dispatch([&] {
      // A run pumping in a loop, as the pause does; it must never get past the ending pump.
      for (;;) {
        runtime.DoEvents();
        ++outerPumps;
        if (outerPumps > 10) {
          resumed = true;
          return;
        }
      }
    });
    QVERIFY(runtime.ended());
    QVERIFY(runtime.unloaded());
    QCOMPARE(outerPumps, 2L);
    QVERIFY(!resumed);
    QVERIFY(!laterHandlerRan);
    // After the end nothing dispatches and pumping does not return normally.
    bool ranAfter = false;
    runtime.dispatch([&] { ranAfter = true; });
    QVERIFY(!ranAfter);
    QVERIFY_THROWS_EXCEPTION(EndProgram, runtime.DoEvents());
  }
};

QTEST_APPLESS_MAIN(RuntimeTest)
#include "test_runtime.moc"
