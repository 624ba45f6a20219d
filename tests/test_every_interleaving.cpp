#include <QtTest>

#include <array>
#include <map>
#include <numeric>

#include "board_fixture.h"

namespace {

using Act = void (*)(Board&);

// Where an action leaves the board in the end, and how the run got there.
struct Seen {
  std::array<forms::RectF, 7> rects{};
  long pumps = 0;
  bool ended = false;
};

// A run of `disks` disks at no delay, started with the Moves button, with `act` (if any) done
// in pause number `pause`. The boxes are typed into without a click, so that a click in a
// pause is the first one.
Seen play(Board& board, int disks, long pause, Act act) {
  board.type(board.form.txtNumDisks, std::to_string(disks));
  board.type(board.form.txtDelay, "0");
  if (act != nullptr) {
    board.runtime.atPump(pause, [&board, act] { act(board); });
  }
  board.press(board.form.cmdMoves);
  Seen seen;
  for (std::size_t d = 0; d < 7; ++d) {
    seen.rects[d] = board.form.Picture1[d].rect();
  }
  seen.pumps = board.runtime.pumps();
  seen.ended = board.runtime.ended();
  return seen;
}

// What actions amount to, done directly on the board.
void sendHome(Board& board) {
  for (std::size_t d = 0; d < 7; ++d) {
    board.form.Picture1[d].setLeft(board.form.intHomeLeft[d]);
    board.form.Picture1[d].setTop(board.form.intHomeTop[d]);
  }
}
void stopAndSendHome(Board& board) {
  board.form.blnIdle = forms::True;
  sendHome(board);
}
void end(Board& board) {
  board.runtime.End();
}

// An action a user can take in a pause, and its outcome at the end of the run: the board as
// after what it amounts to (or as after no action at all), the flag, the boxes' texts ("%1"
// for the run's count) and whether the run takes as many pumps as that.
struct Row {
  const char* name;
  Act act;
  Act amountsTo;
  forms::Boolean idle;
  const char* count;
  const char* delay;
  bool sameTiming;
};
// A reset or a first click empties a delay box, which gives the rest of the move the default
// delay; a press of Moves finds the run going, or with a reset before it no count.
// clang-format off
const Row kRows[] = {
    {"reset", [](Board& b) { b.press(b.form.cmdReset); },
     stopAndSendHome, forms::True, "", "", false},
    {"reset then moves", [](Board& b) { b.press(b.form.cmdReset); b.press(b.form.cmdMoves); },
     sendHome, forms::False, "", "", false},
    {"moves", [](Board& b) { b.press(b.form.cmdMoves); },
     nullptr, forms::False, "%1", "0", true},
    {"quit", [](Board& b) { b.press(b.form.cmdQuit); },
     end, forms::False, "%1", "0", true},
    {"new count", [](Board& b) { b.type(b.form.txtNumDisks, "4"); },
     sendHome, forms::False, "4", "0", true},
    {"new delay", [](Board& b) { b.type(b.form.txtDelay, "0.01"); },
     nullptr, forms::False, "%1", "0.01", false},
    {"first click in the count box", [](Board& b) { b.click(b.form.txtNumDisks); },
     sendHome, forms::False, "", "0", true},
    {"first click in the delay box", [](Board& b) { b.click(b.form.txtDelay); },
     nullptr, forms::False, "%1", "", false},
};
// clang-format on

}  // namespace

class EveryInterleavingTest : public QObject {
  Q_OBJECT

 private slots:
  // Every action a user can take, in every pause of every run of one to three disks.
  void everyActionInEveryPause_data() {
    QTest::addColumn<int>("disks");
    for (int n = 1; n <= 3; ++n) {
      QTest::addRow("%d disks", n) << n;
    }
  }
  void everyActionInEveryPause() {
    QFETCH(int, disks);
    Board quiet;
    const Seen undisturbed = play(quiet, disks, 0, nullptr);
    for (long pause = 1; pause <= undisturbed.pumps; ++pause) {
      std::map<Act, Seen> amounts{{nullptr, undisturbed}};
      for (const Row& row : kRows) {
        if (amounts.count(row.amountsTo) == 0) {
          Board board;
          amounts[row.amountsTo] = play(board, disks, pause, row.amountsTo);
        }
        const Seen& expected = amounts[row.amountsTo];
        Board board;
        const Seen seen = play(board, disks, pause, row.act);
        const QString count = QString(row.count).replace("%1", QString::number(disks));
        std::vector<int> shown(static_cast<std::size_t>(count.toInt()));
        std::iota(shown.begin(), shown.end(), 0);
        const QByteArray where = QString("%1 in pause %2").arg(row.name).arg(pause).toUtf8();
        QVERIFY2(seen.rects == expected.rects && seen.ended == expected.ended, where);
        QVERIFY2(!row.sameTiming || seen.pumps == expected.pumps, where);
        QVERIFY2(board.form.blnIdle == row.idle && board.visibleDisks() == shown, where);
        QVERIFY2(QString::fromStdString(board.form.txtNumDisks.Text()) == count, where);
        QVERIFY2(board.form.txtDelay.Text() == row.delay, where);
      }
    }
  }

  // After a reset the stopped run still finishes its phase; a new run started in that time
  // goes to its end first. The first run then carries on with its own records, towards the
  // peg the second run left in intTo, and the board ends solved all the same.
  void newRunInsideAStoppedRun() {
    Board board;
    board.prepare("2");
    std::array<forms::RectF, 2> afterSecond;
    board.runtime.atPump(50, [&] {
      board.press(board.form.cmdReset);
      board.type(board.form.txtNumDisks, "1");
      board.press(board.form.cmdMoves);
      afterSecond = {board.form.Picture1[0].rect(), board.form.Picture1[1].rect()};
    });
    board.press(board.form.cmdMoves);
    // The second run has carried disk 0 to the right peg; disk 1 had not moved on since.
    QCOMPARE(afterSecond[0].left, 9848.0f);
    QCOMPARE(afterSecond[0].top, 6158.0f);
    QCOMPARE(afterSecond[1].top, 5678.0f);
    QCOMPARE(board.form.Picture1[0].rect(), afterSecond[0]);
    QCOMPARE(board.form.Picture1[1].Left(), 10088.0f);
    QCOMPARE(board.form.Picture1[1].Top(), 5678.0f);
    QCOMPARE(board.visibleDisks(), std::vector<int>{0});
  }

  // A new run started while a stopped run lowers its disk: the lowering goes on towards the peg
  // the new run moved to last, and takes that peg's level afresh at every step. In a three-disk
  // run, pump 950 is in the lowering of the third move, disk 2 onto the middle peg; the outer
  // disk, sent home by the reset, must then come down to the right peg's level, Top 6158.
  void newRunInsideALowering() {
    Board board;
    board.prepare("3");
    long innerRunEnded = 0;
    board.runtime.atPump(950, [&] {
      board.press(board.form.cmdReset);
      board.type(board.form.txtNumDisks, "1");
      board.press(board.form.cmdMoves);
      innerRunEnded = board.runtime.pumps();
    });
    // Where disk 2 stands when another disk takes the next step after the inner run.
    float loweredTo = 0;
    std::array<forms::RectF, 3> before{};
    board.runtime.onPump = [&](long pump) {
      for (std::size_t d = 0; d < 3; ++d) {
        const forms::RectF now = board.form.Picture1[d].rect();
        if (innerRunEnded != 0 && pump > innerRunEnded && loweredTo == 0 && d != 2 &&
            !(now == before[d])) {
          loweredTo = board.form.Picture1[2].Top();
        }
        before[d] = now;
      }
    };
    board.press(board.form.cmdMoves);
    board.runtime.onPump = nullptr;
    QCOMPARE(loweredTo, 6158.0f);
  }

  // Runs started inside the newest run's pause, far deeper than anyone would by hand: the
  // program does not let them exhaust its stack, and a quit from the deepest pause ends it
  // without one more step.
  void deepNestingNeverCrashes() {
    Board board;
    long attempts = 0;
    int deepest = 0;
    std::function<void()> attempt = [&] {
      deepest = std::max(deepest, board.runtime.pumpDepth());
      if (++attempts > 100'000) {
        board.press(board.form.cmdQuit);
        return;
      }
      board.runtime.atPump(board.runtime.pumps() + 1, attempt);
      board.press(board.form.cmdReset);
      board.prepare("1", "1e9");
      board.press(board.form.cmdMoves);
    };
    board.runtime.dispatch(attempt);
    QCOMPARE(attempts, 100'001L);
    QVERIFY(board.runtime.ended() && board.runtime.unloaded());
    QCOMPARE(board.runtime.pumps(), 100'000L);
    QVERIFY(deepest >= 100);
  }
};

QTEST_APPLESS_MAIN(EveryInterleavingTest)
#include "test_every_interleaving.moc"
