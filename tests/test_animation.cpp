#include <QtTest>

#include <limits>

#include "board_fixture.h"
#include "rows.h"

using Handler = void (*)(Board&);

namespace {

// Steps of the moving disk, by direction, in the order they happened: "U" up, "R" right,
// "L" left, "D" down. Changes made by handlers (a reset) are not steps and are ignored.
struct StepLog : forms::ControlObserver {
  std::string steps;
  void pictureChanged(const forms::PictureBox& box, const forms::RectF& before, bool) override {
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
};

// A move from where the disk stands (Top, and Left relative to the centring target) onto a
// landing level: the steps it takes up, right, left and down, and where it comes to rest.
struct Grid {
  float top, offset;
  int landing;
  QList<int> steps;
  float restTop, restOffset;
};

// What the delay box holds, whether the board is stopped and what is typed into the box in pump
// 20; how many pumps the move takes, the clock after it and the delay stored.
struct DelayRow {
  QString text;
  bool stopped;
  QString typedInPump20;
  long pumps;
  double clock;
  float stored;
};

// The program's uptime, the pause's delay and a handler run in its first pump; how many pumps
// the pause takes and how long.
struct PauseRow {
  double uptime;
  float delay;
  Handler handler;
  long pumps;
  double elapsed;
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
  // A disk rises to the lift level, slides right, then left, until it rests just left of
  // centring on the target post, and sinks until it overlaps what it lands on, in steps of 40
  // twips on its own grid; a phase whose end it has already reached takes no step.
  void aMoveStopsOnItsGrid_data() {
    // Left is given relative to the centring target; steps up, right, left and down.
    addRows<Grid>({
        {"design place onto an empty peg", {5198, -8632.5f, 6638, {79, 216, 1, 103}, 6158, -32.5f}},
        {"exactly on the target", {2038, 0, 6638, {0, 1, 2, 103}, 6158, -40}},
        {"less than 40 left of it", {2038, -10, 6638, {0, 1, 1, 103}, 6158, -10}},
        {"less than 40 right of it", {2038, 10, 6638, {0, 0, 1, 103}, 6158, -30}},
        {"exactly 40 left of it", {2038, -40, 6638, {0, 2, 2, 103}, 6158, -40}},
        {"far right", {2038, 4000, 6638, {0, 0, 101, 103}, 6158, -40}},
        {"above the lift level", {1000, 0, 6638, {0, 1, 2, 129}, 6160, -40}},
        {"off the grid", {5200, 0, 6638, {80, 1, 2, 104}, 6160, -40}},
        {"landing on a disk", {5198, 0, 5678, {79, 1, 2, 79}, 5198, -40}},
        {"already low: no lowering", {1000, 0, 1400, {0, 1, 2, 0}, 1000, -40}},
    });
  }
  void aMoveStopsOnItsGrid() {
    QFETCH(Grid, row);
    const auto [top, offset, landing, steps, restTop, restOffset] = row;
    Carry carry;
    carry.disk().setTop(top);
    carry.disk().setLeft(carry.target() + offset);
    carry.levels[2] = static_cast<std::int16_t>(landing);
    carry.run();
    const QString expected = QString("U").repeated(steps[0]) + QString("R").repeated(steps[1]) +
                             QString("L").repeated(steps[2]) + QString("D").repeated(steps[3]);
    QCOMPARE(QString::fromStdString(carry.log.steps), expected);
    QCOMPARE(carry.disk().Top(), restTop);
    QCOMPARE(carry.disk().Left(), carry.target() + restOffset);
  }

  // Every move reads the delay box when it starts, whatever was stored before: no delay in it
  // means one pump per step. A stopped board moves nothing and makes no pause. A delay typed
  // mid-move governs the rest of that move.
  void eachMoveReadsTheDelayBox_data() {
    // Pumps 1..20 are the first ten pauses of half a second, two pumps each (one that waits,
    // one after the time is up); the tenth keeps its length, the other 389 wait a second.
    addRows<DelayRow>({
        {"empty", {"", false, "", 399, 0.0, 0.0f}},
        {"zero", {"0", false, "", 399, 0.0, 0.0f}},
        {"letters", {"abc", false, "", 399, 0.0, 0.0f}},
        {"negative", {"-1", false, "", 399, 0.0, -1.0f}},
        {"stopped", {"0.25", true, "", 0, 0.0, 0.25f}},
        {"typed mid-move", {"0.5", false, "1", 2 * 399, 10 * 0.5 + 389 * 1.0, 1.0f}},
    });
  }
  void eachMoveReadsTheDelayBox() {
    QFETCH(DelayRow, row);
    const auto [text, stopped, typedInPump20, pumps, clock, stored] = row;
    Carry carry;
    Board& board = carry.board;
    board.type(board.form.txtDelay, text.toStdString());
    board.form.sngStepDelay = 0.05f;
    board.form.blnIdle = stopped ? forms::True : forms::False;
    if (!typedInPump20.isEmpty()) {
      board.runtime.atPump(20,
                           [&] { board.type(board.form.txtDelay, typedInPump20.toStdString()); });
    }
    carry.run();
    QCOMPARE(static_cast<long>(carry.log.steps.size()), stopped ? 0L : 399L);
    QCOMPARE(board.runtime.pumps(), pumps);
    QCOMPARE(board.runtime.clock(), clock);
    QCOMPARE(board.form.sngStepDelay, stored);
  }

  // A pause pumps at least once and ends with the first pump after the clock has reached its
  // start plus the delay it was given, whatever a handler inside it does: one slower than the
  // delay is followed by one more pump, and a new delay applies only from the next pause on. A
  // pause keeps its length however long the program has been open.
  void pauseEndsByItsOwnRule_data() {
    const Handler slow = [](Board& board) { board.runtime.advance(3.0); };
    const Handler newDelay = [](Board& board) { board.form.sngStepDelay = 100.0f; };
    constexpr float largest = std::numeric_limits<float>::max();
    addRows<PauseRow>({
        {"zero: one pump", {0.0, 0.0f, nullptr, 1, 0.0}},
        {"negative: one pump", {0.0, -3.0f, nullptr, 1, 0.0}},
        {"positive: waits, then one more pump", {0.0, 0.25f, nullptr, 2, 0.25}},
        {"largest single stays finite", {0.0, largest, nullptr, 2, largest}},
        {"a handler slower than the delay", {0.0, 0.05f, slow, 2, 3.0}},
        {"the delay changed inside", {0.0, 1.0f, newDelay, 3, 1.0}},
        {"after twelve days", {1048576.0, 0.05f, nullptr, 2, 0.05}},
        {"after ten years", {10 * 365.25 * 86400, 0.05f, nullptr, 2, 0.05}},
    });
  }
  void pauseEndsByItsOwnRule() {
    QFETCH(PauseRow, row);
    const auto [uptime, delay, handler, pumps, elapsed] = row;
    Board board(uptime);
    board.form.sngStepDelay = delay;
    if (handler != nullptr) {
      board.runtime.atPump(1, [&board, handler] { handler(board); });
    }
    board.runtime.dispatch([&board] { board.form.subDelay(board.form.sngStepDelay); });
    QCOMPARE(board.runtime.pumps(), pumps);
    QVERIFY2(std::abs(board.runtime.clock() - uptime - elapsed) <= 1e-6 * std::max(1.0, elapsed),
             qPrintable(QString::number(board.runtime.clock() - uptime, 'g', 12)));
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
    // Emptying the delay box stored the default delay, which the rest of the phase uses: each of
    // those pauses waits and then pumps once more.
    const long stepsAfterReset = steps.size() - resetAtPump;
    QCOMPARE(board.runtime.pumps(), resetAtPump + 2 * stepsAfterReset);
  }
};

QTEST_APPLESS_MAIN(AnimationTest)
#include "test_animation.moc"
