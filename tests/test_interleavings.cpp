#include <QtTest>

#include "board_fixture.h"

// Handlers that run inside a run's pauses, as clicks and typing do while disks move.
class InterleavingsTest : public QObject {
  Q_OBJECT

 private slots:
  // After a reset the stopped run still finishes its phase; a new run started in that time
  // goes to its end first. The first run then carries on with its own records, towards the
  // peg the second run left in intTo, and the board ends solved all the same.
  void newRunInsideAStoppedRun() {
    Board board;
    board.prepare("2");
    bool secondRunDone = false;
    board.runtime.atPump(50, [&] {
      board.press(board.form.cmdReset);
      board.type(board.form.txtNumDisks, "1");
      board.press(board.form.cmdMoves);
      secondRunDone = true;
      // The second run has carried disk 0 to the right peg; disk 1 has not moved on since.
      QCOMPARE(board.form.Picture1[0].Left(), 9848.0f);
      QCOMPARE(board.form.Picture1[0].Top(), 6158.0f);
      QCOMPARE(board.form.Picture1[1].Top(), 5678.0f);
      QCOMPARE(board.form.intTo, std::int16_t{2});
      QCOMPARE(board.form.blnIdle, forms::False);
    });
    board.press(board.form.cmdMoves);
    QVERIFY(secondRunDone);
    QCOMPARE(board.form.Picture1[0].Left(), 9848.0f);
    QCOMPARE(board.form.Picture1[0].Top(), 6158.0f);
    QCOMPARE(board.form.Picture1[1].Left(), 10088.0f);
    QCOMPARE(board.form.Picture1[1].Top(), 5678.0f);
    QCOMPARE(board.visibleDisks(), std::vector<int>{0});
  }

  // Runs nested several deep, each started in the pause of the one before after a reset; a
  // quit from the innermost pause unwinds them all without one more step.
  void nestedRunsEndedByQuit() {
    Board board;
    board.prepare("3");
    int depth = 0;
    std::function<void()> nest = [&] {
      board.press(board.form.cmdReset);
      board.type(board.form.txtNumDisks, "3");
      if (++depth < 4) {
        board.runtime.atPump(board.runtime.pumps() + 20, nest);
      } else {
        board.runtime.atPump(board.runtime.pumps() + 20, [&] { board.press(board.form.cmdQuit); });
      }
      board.press(board.form.cmdMoves);
    };
    board.runtime.atPump(20, nest);
    board.press(board.form.cmdMoves);
    QVERIFY(board.runtime.ended());
    QCOMPARE(depth, 4);
    QCOMPARE(board.runtime.pumps(), 100L);
  }

  void resetTwiceMidRun() {
    Board board;
    board.prepare("2");
    forms::RectF afterFirst;
    board.runtime.atPump(30, [&] {
      board.press(board.form.cmdReset);
      afterFirst = board.form.Picture1[1].rect();
      board.press(board.form.cmdReset);
      QCOMPARE(board.form.Picture1[1].rect(), afterFirst);
      QVERIFY(board.visibleDisks().empty());
    });
    board.press(board.form.cmdMoves);
    QCOMPARE(board.form.blnIdle, forms::True);
    QVERIFY(board.visibleDisks().empty());
    // Ready again: a new run works from the start.
    board.type(board.form.txtNumDisks, "1");
    board.press(board.form.cmdMoves);
    QCOMPARE(board.form.Picture1[0].Left(), 9848.0f);
  }
};

QTEST_APPLESS_MAIN(InterleavingsTest)
#include "test_interleavings.moc"
