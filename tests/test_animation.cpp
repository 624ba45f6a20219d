#include <QtTest>

#include <limits>

#include "board_fixture.h"

namespace {

// Steps of the moving disk, by direction, in the order they happened: "U" up, "R" right,
// "L" left, "D" down. Changes made by handlers (a reset) are not steps and are ignored.
struct StepLog : forms::ControlObserver {
  std::string steps;
  bool listening = true;
  void pictureChanged(const forms::PictureBox& box, const forms::RectF& before, bool) override {
    if (!listening) {
      return;
    }
    if (box.Top() == before.top - 40) {
      steps += 'U';
    } else if (box.Top() == before.top + 40) {
      steps += 'D';
    } else if (box.Left() == before.left + 40) {
      steps += 'R';
    } else if (box.Left() == before.left - 40) {
      steps += 'L';
    }
  }
  void textChanged(const forms::TextBox&) override {}
  int count(char direction) const {
    return static_cast<int>(std::count(steps.begin(), steps.end(), direction));
  }
};

// A disk about to be carried to peg 2, as the move step hands it over.
struct Carry {
  Board board;
  StepLog log;
  Corvane::StackTops levels{6638, 6638, 6638};
  std::int16_t to = 2;
  static constexpr int kDisk = 2;  // design Left 1718, width 2895

  Carry() {
    board.type(board.form.txtDelay, "0");
    board.form.blnIdle = forms::False;
    disk().setObserver(&log);
  }
  forms::PictureBox& disk() { return board.form.Picture1[kDisk]; }
  // Where the disk's Left centres it on post 2.
  float target() const { return 11648 + 150 - 2895.0f / 2; }
  void run() {
    board.runtime.dispatch([this] { board.form.subAnimateDisk(to, levels, kDisk); });
  }
};

}  // namespace

class AnimationTest : public QObject {
  Q_OBJECT

 private slots:
  void slidingStopsJustLeftOfCentre_data() {
    QTest::addColumn<float>("offset");  // the disk's Left relative to the centring target
    QTest::addColumn<int>("right");
    QTest::addColumn<int>("left");
    QTest::addColumn<float>("rest");  // relative to the centring target
    QTest::newRow("exactly on the target") << 0.0f << 1 << 2 << -40.0f;
    QTest::newRow("less than 40 left of it") << -10.0f << 1 << 1 << -10.0f;
    QTest::newRow("less than 40 right of it") << 10.0f << 0 << 1 << -30.0f;
    QTest::newRow("exactly 40 left of it") << -40.0f << 2 << 2 << -40.0f;
    QTest::newRow("far left") << -8632.5f << 216 << 1 << -32.5f;
    QTest::newRow("far right") << 4000.0f << 0 << 101 << -40.0f;
  }
  void slidingStopsJustLeftOfCentre() {
    QFETCH(float, offset);
    QFETCH(int, right);
    QFETCH(int, left);
    QFETCH(float, rest);
    Carry carry;
    carry.disk().setTop(2038);
    carry.disk().setLeft(carry.target() + offset);
    carry.run();
    QCOMPARE(carry.log.count('R'), right);
    QCOMPARE(carry.log.count('L'), left);
    QCOMPARE(carry.disk().Left(), carry.target() + rest);
    // Right always comes before left.
    QVERIFY(carry.log.steps.find('R', carry.log.steps.find('L')) == std::string::npos);
  }

  void liftingAndLoweringStopOnTheGrid_data() {
    QTest::addColumn<float>("startTop");
    QTest::addColumn<int>("landing");
    QTest::addColumn<int>("up");
    QTest::addColumn<int>("down");
    QTest::addColumn<float>("restTop");
    QTest::newRow("design place onto an empty peg") << 5198.0f << 6638 << 79 << 103 << 6158.0f;
    QTest::newRow("already at the lift level") << 2038.0f << 6638 << 0 << 103 << 6158.0f;
    QTest::newRow("above the lift level") << 1000.0f << 6638 << 0 << 129 << 6160.0f;
    QTest::newRow("off the grid") << 5200.0f << 6638 << 80 << 104 << 6160.0f;
    QTest::newRow("landing on a disk") << 5198.0f << 5678 << 79 << 79 << 5198.0f;
    QTest::newRow("already low: no lowering") << 1000.0f << 1400 << 0 << 0 << 1000.0f;
  }
  void liftingAndLoweringStopOnTheGrid() {
    QFETCH(float, startTop);
    QFETCH(int, landing);
    QFETCH(int, up);
    QFETCH(int, down);
    QFETCH(float, restTop);
    Carry carry;
    carry.disk().setTop(startTop);
    carry.levels[2] = static_cast<std::int16_t>(landing);
    carry.run();
    QCOMPARE(carry.log.count('U'), up);
    QCOMPARE(carry.log.count('D'), down);
    QCOMPARE(carry.disk().Top(), restTop);
  }

  // One pump per step when the box gives no delay, whatever was stored before.
  void delayBoxIsReadAtTheStartOfEveryMove_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << "";
    QTest::newRow("zero") << "0";
    QTest::newRow("letters") << "abc";
    QTest::newRow("negative") << "-1";
  }
  void delayBoxIsReadAtTheStartOfEveryMove() {
    QFETCH(QString, text);
    Carry carry;
    carry.board.type(carry.board.form.txtDelay, text.toStdString());
    carry.board.form.sngStepDelay = 0.05f;
    carry.run();
    QCOMPARE(carry.log.steps.size(), std::size_t{399});
    QCOMPARE(carry.board.runtime.pumps(), 399L);
    QCOMPARE(carry.board.runtime.clock(), 0.0);
    QVERIFY(carry.board.form.sngStepDelay <= 0.0f);
  }

  void stoppedBoardAnimatesNothing() {
    Carry carry;
    carry.board.form.blnIdle = forms::True;
    carry.board.type(carry.board.form.txtDelay, "0.25");
    carry.board.form.sngStepDelay = 1;
    carry.run();
    QVERIFY(carry.log.steps.empty());
    QCOMPARE(carry.board.runtime.pumps(), 0L);
    QCOMPARE(carry.board.form.sngStepDelay, 0.25f);
  }

  // A delay typed mid-move governs the rest of that move; the next move reads the box again.
  void delayEditedMidMove() {
    Carry carry;
    carry.board.type(carry.board.form.txtDelay, "0.5");
    carry.board.runtime.atPump(20, [&] { carry.board.type(carry.board.form.txtDelay, "1"); });
    carry.run();
    // Pumps 1..20 belong to the first ten pauses of half a second (two pumps each: one that
    // waits, one after the time is up). The edit lands in the tenth pause, which keeps its own
    // length; the remaining 389 pauses wait a second each.
    QCOMPARE(carry.board.runtime.clock(), 10 * 0.5 + 389 * 1.0);
    QCOMPARE(carry.board.form.sngStepDelay, 1.0f);
  }

  void pauseEndsByItsOwnRule_data() {
    QTest::addColumn<float>("delay");
    QTest::addColumn<double>("origin");
    QTest::addColumn<long>("pumps");
    QTest::addColumn<double>("elapsed");
    QTest::newRow("zero: one pump") << 0.0f << 0.0 << 1L << 0.0;
    QTest::newRow("negative: one pump") << -3.0f << 0.0 << 1L << 0.0;
    QTest::newRow("positive: waits, then one more pump") << 0.25f << 0.0 << 2L << 0.25;
    QTest::newRow("late clock origin") << 0.25f << 86399.875 << 2L << 0.25;
    QTest::newRow("largest single stays finite")
        << std::numeric_limits<float>::max() << 0.0 << 2L
        << static_cast<double>(std::numeric_limits<float>::max());
  }
  void pauseEndsByItsOwnRule() {
    QFETCH(float, delay);
    QFETCH(double, origin);
    QFETCH(long, pumps);
    QFETCH(double, elapsed);
    Board board;
    board.runtime.advance(origin - board.runtime.clock());
    board.runtime.dispatch([&] { board.form.subDelay(delay); });
    QCOMPARE(board.runtime.pumps(), pumps);
    QCOMPARE(board.runtime.clock() - origin, elapsed);
  }

  // The pauses of a run keep their length however long the program has been open.
  void pausesKeepTheirLengthAtAnyUptime_data() {
    QTest::addColumn<double>("uptime");
    QTest::newRow("just started") << 0.0;
    QTest::newRow("one day") << 86400.0;
    QTest::newRow("twelve days") << 1048576.0;
    QTest::newRow("ten years") << 10 * 365.25 * 86400;
  }
  void pausesKeepTheirLengthAtAnyUptime() {
    QFETCH(double, uptime);
    Board board(uptime);
    board.prepare("1", "0.05");
    board.press(board.form.cmdMoves);
    QCOMPARE(board.runtime.pumps(), 2L * 424);
    QVERIFY2(std::abs(board.runtime.clock() - uptime - 424 * 0.05) < 1e-4,
             qPrintable(QString::number(board.runtime.clock() - uptime, 'g', 12)));
  }

  // A handler inside a pump that outlasts the delay: the clock is read once more, the queue
  // pumped once more, and the pause ends.
  void handlerLongerThanTheDelay() {
    Board board;
    float delay = 0.05f;
    board.runtime.atPump(1, [&] { board.runtime.advance(3.0); });
    board.runtime.dispatch([&] { board.form.subDelay(delay); });
    QCOMPARE(board.runtime.pumps(), 2L);
  }

  void pauseKeepsItsTargetWhenTheDelayChanges() {
    Board board;
    board.form.sngStepDelay = 1.0f;
    board.runtime.atPump(1, [&] { board.form.sngStepDelay = 100.0f; });
    board.runtime.dispatch([&] { board.form.subDelay(board.form.sngStepDelay); });
    QCOMPARE(board.runtime.clock(), 1.0);
  }

  // Clicks made during a pause are handled during it.
  void clicksRunInsideThePause() {
    Board board;
    float delay = 0.05f;
    bool resetSeenInside = false;
    board.form.blnIdle = forms::False;
    board.runtime.atTime(0.02, [&] { board.press(board.form.cmdReset); });
    board.runtime.dispatch([&] {
      board.form.subDelay(delay);
      resetSeenInside = board.form.blnIdle == forms::True;
    });
    QVERIFY(resetSeenInside);
    QVERIFY(board.runtime.clock() >= 0.05);
  }

  // A reset in a phase lets that phase finish on the hidden disk from its design place, and
  // nothing after it moves.
  void resetStopsAtTheNextPhaseBoundary_data() {
    QTest::addColumn<long>("resetAtPump");
    QTest::addColumn<QString>("steps");
    // The first move of a three-disk run: 79 up, 216 right, 1 left, 103 down, one pump a step.
    // The reset runs in the pause after the step of the same number and sends the disk home
    // (Left 1718, Top 5198), from where the phase under way carries on.
    const QString up = QString("U").repeated(79);
    const QString right = QString("R").repeated(216);
    QTest::newRow("during lifting") << 10L << QString("U").repeated(10) + up;
    QTest::newRow("during sliding right") << 100L << up + QString("R").repeated(21) + right;
    // Sinking from Top 5198 towards the empty peg's base takes 24 steps, as before the reset.
    QTest::newRow("during lowering")
        << 320L << up + right + "L" + QString("D").repeated(24) + QString("D").repeated(24);
  }
  void resetStopsAtTheNextPhaseBoundary() {
    QFETCH(long, resetAtPump);
    QFETCH(QString, steps);
    Board board;
    StepLog log;
    board.prepare("3");
    for (auto& disk : board.form.Picture1) {
      disk.setObserver(&log);
    }
    board.runtime.atPump(resetAtPump, [&] { board.press(board.form.cmdReset); });
    board.press(board.form.cmdMoves);
    QCOMPARE(QString::fromStdString(log.steps), steps);
    QVERIFY(board.visibleDisks().empty());
    // Only the disk that was moving has left its design place.
    for (std::size_t d = 0; d < 7; ++d) {
      if (d != 2) {
        QCOMPARE(board.form.Picture1[d].Left(), static_cast<float>(board.form.intHomeLeft[d]));
        QCOMPARE(board.form.Picture1[d].Top(), static_cast<float>(board.form.intHomeTop[d]));
      }
    }
    // Emptying the delay box stored the default delay, which the rest of the phase uses: each of
    // those pauses waits and then pumps once more.
    const long stepsAfterReset = steps.size() - resetAtPump;
    QCOMPARE(board.runtime.pumps(), resetAtPump + 2 * stepsAfterReset);
  }
};

QTEST_APPLESS_MAIN(AnimationTest)
#include "test_animation.moc"
