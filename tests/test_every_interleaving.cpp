#include <QtTest>

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <numeric>

#include "board/layout.h"
#include "board_fixture.h"

namespace {

using Act = void (*)(Board&);

// Where an action leaves the board in the end, and how the run got there.
struct Seen {
  std::array<forms::RectF, 7> rects{};
  long pumps = 0;
  bool ended = false;
  // Whether, right after the action, every disk stood at its place in the window's design.
  bool allHomeAfterAct = false;
};

std::array<forms::RectF, 7> rectsOf(const Board& board) {
  std::array<forms::RectF, 7> rects{};
  for (std::size_t d = 0; d < 7; ++d) {
    rects[d] = board.form.Picture1[d].rect();
  }
  return rects;
}
bool allAtDesignPlaces(const Board& board) {
  const std::array<forms::RectF, 7> rects = rectsOf(board);
  return std::equal(
      rects.begin(), rects.end(), board::kDisks.begin(),
      [](const forms::RectF& rect, const auto& design) { return rect == design.rect; });
}

// A run of `disks` disks at no delay, started with the Moves button, with `act` (if any) done
// in pause number `pause`. The boxes are typed into without a click, so that a click in a
// pause is the first one.
Seen play(Board& board, int disks, long pause, Act act) {
  board.type(board.form.txtNumDisks, std::to_string(disks));
  board.type(board.form.txtDelay, "0");
  Seen seen;
  if (act != nullptr) {
    board.runtime.atPump(pause, [&board, &seen, act] {
      act(board);
      seen.allHomeAfterAct = allAtDesignPlaces(board);
    });
  }
  board.press(board.form.cmdMoves);
  seen.rects = rectsOf(board);
  seen.pumps = board.runtime.pumps();
  seen.ended = board.runtime.ended();
  return seen;
}

// A run of `disks` disks at no delay; in pause `pause`, a reset and a one-disk run, after which
// `inner` looks at the board.
void nestedRun(Board& board, const char* disks, long pause, const std::function<void()>& inner) {
  board.prepare(disks);
  board.runtime.atPump(pause, [&board, inner] {
    board.press(board.form.cmdReset);
    board.type(board.form.txtNumDisks, "1");
    board.press(board.form.cmdMoves);
    inner();
  });
  board.press(board.form.cmdMoves);
}

// What an action does to a run, as a user sees it.
enum class Outcome {
  // Nothing the eye can tell: the run ends where it would have ended anyway.
  none,
  // Every disk back at its place at once, and the run carries on from there.
  sentHome,
  // Every disk back at its place, hidden; the run stops after the phase under way.
  stopped,
  // The program ends there and then: the disks stay where they stood.
  ended,
};

// An action a user can take in a pause, and its outcome at the end of the run: what it does to
// the run, the flag, the boxes' texts ("%1" for the run's count) and whether the run takes as
// many pumps as the other actions of that outcome that keep the delay (for no outcome at all, as
// many as a run left alone).
struct Row {
  const char* name;
  Act act;
  Outcome outcome;
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
     Outcome::stopped, forms::True, "", "", false},
    {"reset then moves", [](Board& b) { b.press(b.form.cmdReset); b.press(b.form.cmdMoves); },
     Outcome::sentHome, forms::False, "", "", false},
    {"moves", [](Board& b) { b.press(b.form.cmdMoves); },
     Outcome::none, forms::False, "%1", "0", true},
    {"quit", [](Board& b) { b.press(b.form.cmdQuit); },
     Outcome::ended, forms::False, "%1", "0", false},
    {"new count", [](Board& b) { b.type(b.form.txtNumDisks, "4"); },
     Outcome::sentHome, forms::False, "4", "0", true},
    {"new delay", [](Board& b) { b.type(b.form.txtDelay, "0.01"); },
     Outcome::none, forms::False, "%1", "0.01", false},
    {"first click in the count box", [](Board& b) { b.click(b.form.txtNumDisks); },
     Outcome::sentHome, forms::False, "", "0", true},
    {"first click in the delay box", [](Board& b) { b.click(b.form.txtDelay); },
     Outcome::none, forms::False, "%1", "", false},
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
      // Actions with the same outcome leave the board alike, whichever of them it was.
      std::map<Outcome, Seen> firstSeen;
      std::map<Outcome, long> timing;
      for (const Row& row : kRows) {
        Board board;
        std::array<forms::RectF, 7> whenActed{};
        board.runtime.atPump(pause, [&] { whenActed = rectsOf(board); });
        const Seen seen = play(board, disks, pause, row.act);
        const QByteArray where = QString("%1 in pause %2").arg(row.name).arg(pause).toUtf8();
        const auto [first, isFirst] = firstSeen.try_emplace(row.outcome, seen);
        QVERIFY2(isFirst || seen.rects == first->second.rects, where);
        switch (row.outcome) {
          case Outcome::none:
            QVERIFY2(seen.rects == undisturbed.rects && !seen.ended, where);
            break;
          case Outcome::sentHome:
          case Outcome::stopped:
            QVERIFY2(seen.allHomeAfterAct && !seen.ended, where);
            break;
          case Outcome::ended:
            QVERIFY2(seen.ended && seen.rects == whenActed && seen.pumps == pause, where);
            break;
        }
        if (row.sameTiming) {
          const auto [timed, _] = timing.try_emplace(
              row.outcome, row.outcome == Outcome::none ? undisturbed.pumps : seen.pumps);
          QVERIFY2(seen.pumps == timed->second, where);
        }
        const QString count = QString(row.count).replace("%1", QString::number(disks));
        std::vector<int> shown(static_cast<std::size_t>(count.toInt()));
        std::iota(shown.begin(), shown.end(), 0);
        QVERIFY2(board.form.blnIdle == row.idle && board.visibleDisks() == shown, where);
        QVERIFY2(QString::fromStdString(board.form.txtNumDisks.Text()) == count, where);
        QVERIFY2(board.form.txtDelay.Text() == row.delay, where);
        // Once stopped, the board is ready: the same run again ends as on a fresh board, in as
        // many steps.
        if (row.outcome == Outcome::stopped) {
          const long before = board.runtime.pumps();
          const Seen again = play(board, disks, 0, nullptr);
          QVERIFY2(again.rects == undisturbed.rects, where);
          QVERIFY2(again.pumps - before == undisturbed.pumps, where);
        }
      }
    }
  }

  // After a reset the stopped run still finishes its phase; a new run started in that time
  // goes to its end first. The first run then carries on with its own records, towards the
  // peg the second run left in intTo, and the board ends solved all the same.
  void newRunInsideAStoppedRun() {
    Board board;
    std::array<forms::RectF, 2> afterSecond;
    nestedRun(board, "2", 50, [&] {
      afterSecond = {board.form.Picture1[0].rect(), board.form.Picture1[1].rect()};
    });
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
    long innerRunEnded = 0;
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
    nestedRun(board, "3", 950, [&] { innerRunEnded = board.runtime.pumps(); });
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
