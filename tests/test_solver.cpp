#include <QtTest>

#include <array>

#include "board_fixture.h"

using Moves = std::vector<std::pair<int, int>>;

namespace {

// Plays a list of moves on three pegs and says whether every move was legal and the whole
// stack of `disks` ended on the right peg.
bool solvesThePuzzle(const Moves& moves, int disks) {
  std::array<std::vector<int>, 3> pegs;
  for (int d = 0; d < disks; ++d) {
    pegs[0].push_back(d);
  }
  for (const auto& [from, to] : moves) {
    auto& source = pegs[static_cast<std::size_t>(from)];
    auto& target = pegs[static_cast<std::size_t>(to)];
    // Higher numbers are narrower: a disk may only land on a wider one.
    if (source.empty() || (!target.empty() && target.back() > source.back())) {
      return false;
    }
    target.push_back(source.back());
    source.pop_back();
  }
  return pegs[0].empty() && pegs[1].empty() && static_cast<int>(pegs[2].size()) == disks;
}

}  // namespace

class SolverTest : public QObject {
  Q_OBJECT

 private slots:
  // Every count is solved in the fewest legal moves, in the classic order, each taking the steps
  // the board's geometry gives (where a row names them); every disk of the run comes to rest on
  // the right peg at its design height, just left of centring on the post.
  void everyCountIsSolved_data() {
    QTest::addColumn<int>("disks");
    QTest::addColumn<Moves>("order");  // empty: not listed here
    QTest::addColumn<long>("firstMoveSteps");
    QTest::addColumn<long>("steps");  // 0: not listed here
    QTest::newRow("1") << 1 << Moves{{0, 2}} << 424L << 424L;
    QTest::newRow("2") << 2 << Moves{{0, 1}, {0, 2}, {1, 2}} << 0L << 0L;
    QTest::newRow("3") << 3 << Moves{{0, 2}, {0, 1}, {2, 1}, {0, 2}, {1, 0}, {1, 2}, {0, 2}} << 399L
                       << 0L;
    for (int n = 4; n <= 6; ++n) {
      QTest::addRow("%d", n) << n << Moves{} << 0L << 0L;
    }
    QTest::newRow("7") << 7 << Moves{} << 0L << 39171L;
  }
  void everyCountIsSolved() {
    QFETCH(int, disks);
    QFETCH(Moves, order);
    QFETCH(long, firstMoveSteps);
    QFETCH(long, steps);
    Board board;
    board.prepare(std::to_string(disks));
    const MoveLog log(board);
    board.press(board.form.cmdMoves);
    QCOMPARE(log.pegs.size(), (std::size_t{1} << disks) - 1);
    QVERIFY(solvesThePuzzle(log.pegs, disks));
    QVERIFY(order.empty() || log.pegs == order);
    QVERIFY(firstMoveSteps == 0 || log.pumps.front() == firstMoveSteps);
    QVERIFY(steps == 0 || board.runtime.pumps() == steps);
    const forms::PictureBox& post = board.form.Picture2[2];
    for (std::size_t d = 0; d < static_cast<std::size_t>(disks); ++d) {
      const forms::PictureBox& disk = board.form.Picture1[d];
      const float offCentre = post.Left() + post.Width() / 2 - disk.Width() / 2 - disk.Left();
      QVERIFY(offCentre > 0 && offCentre <= 40);
      QCOMPARE(disk.Top(), static_cast<float>(board.form.intHomeTop[d]));
    }
  }

  // Levels come from where the pieces stand at the time of the move, not from the records:
  // a handler in an earlier pause may have moved them. Stored levels round half to even.
  void levelsAreReadFromTheScreen() {
    Board board;
    // A stopped run books its moves without animating them.
    board.form.blnIdle = forms::True;
    Corvane::PegRecords records{" 0", " 1", ""};
    Corvane::StackTops levels{0, 0, 0};
    board.form.Picture1[0].setTop(5000.5f);
    board.form.Picture3[1].setTop(7001.5f);
    const auto move = [&](std::int16_t from, std::int16_t to) {
      board.form.subMoveDisk(from, to, levels, records);
    };
    move(1, 0);
    QCOMPARE(levels, (Corvane::StackTops{5000, 7002, 0}));
    // Disk 1 now tops the left peg: moving it on leaves disk 0's level behind there.
    board.form.Picture1[1].setTop(4000.0f);
    board.form.Picture3[2].setTop(6500.5f);
    move(0, 2);
    QCOMPARE(levels, (Corvane::StackTops{5000, 7002, 6500}));
    // And disk 1 is on the right peg: the next disk to arrive there lands on it, and the left
    // peg, emptied, is at its base.
    move(0, 2);
    QCOMPARE(levels, (Corvane::StackTops{6638, 7002, 4000}));
  }

  // The count is read as a 16-bit integer, half to even. Whatever it was, the press is spent
  // until a reset, and a run never changes which disks are shown: with 7.4 the widest disk
  // alone shows while seven are solved unseen.
  void countTextDecidesTheRun_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("moves");
    QTest::newRow("3x") << "3x" << 7;
    QTest::newRow("2.5 rounds to even") << "2.5" << 3;
    QTest::newRow("0.6") << "0.6" << 1;
    QTest::newRow("3.5 solves four") << "3.5" << 15;
    QTest::newRow("7.4 solves seven") << "7.4" << 127;
    QTest::newRow("7.5 rounds to 8") << "7.5" << 0;
    QTest::newRow("0") << "0" << 0;
    QTest::newRow("-1") << "-1" << 0;
    QTest::newRow("99999") << "99999" << 0;
    QTest::newRow("1e999") << "1e999" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("prompt") << "Disks (1-7)" << 0;
  }
  void countTextDecidesTheRun() {
    QFETCH(QString, text);
    QFETCH(int, moves);
    Board board;
    board.type(board.form.txtDelay, "0");
    board.type(board.form.txtNumDisks, text.toStdString());
    const std::vector<int> shown = board.visibleDisks();
    {
      const MoveLog log(board);
      board.press(board.form.cmdMoves);
      QCOMPARE(static_cast<int>(log.pegs.size()), moves);
    }
    QCOMPARE(board.visibleDisks(), shown);
    QCOMPARE(board.form.blnIdle, forms::False);
    board.type(board.form.txtNumDisks, "1");
    const long pumps = board.runtime.pumps();
    board.press(board.form.cmdMoves);
    QCOMPARE(board.runtime.pumps(), pumps);
    board.press(board.form.cmdReset);
    board.type(board.form.txtNumDisks, "1");
    board.press(board.form.cmdMoves);
    QCOMPARE(board.runtime.pumps() - pumps, 424L);
  }
};

QTEST_APPLESS_MAIN(SolverTest)
#include "test_solver.moc"
