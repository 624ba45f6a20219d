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
  void everyCountSolvesInTheLeastMoves_data() {
    QTest::addColumn<int>("disks");
    for (int n = 1; n <= 7; ++n) {
      QTest::newRow(qPrintable(QString::number(n))) << n;
    }
  }
  void everyCountSolvesInTheLeastMoves() {
    QFETCH(int, disks);
    Board board;
    MoveLog log;
    log.attach(board);
    board.prepare(std::to_string(disks));
    board.press(board.form.cmdMoves);
    QCOMPARE(log.moves.size(), (std::size_t{1} << disks) - 1);
    QVERIFY(solvesThePuzzle(log.pegs(), disks));
    // Every disk comes to rest at its design height on the right peg.
    for (int d = 0; d < disks; ++d) {
      QCOMPARE(board.form.Picture1[static_cast<std::size_t>(d)].Top(),
               static_cast<float>(board.form.intHomeTop[static_cast<std::size_t>(d)]));
    }
    QCOMPARE(board.form.Picture1[0].Left(), 9848.0f);
    QCOMPARE(board.form.blnIdle, forms::False);
  }

  void movesComeInTheClassicOrder() {
    Board two;
    MoveLog twoLog;
    twoLog.attach(two);
    two.prepare("2");
    two.press(two.form.cmdMoves);
    QCOMPARE(twoLog.pegs(), (Moves{{0, 1}, {0, 2}, {1, 2}}));

    Board three;
    MoveLog threeLog;
    threeLog.attach(three);
    three.prepare("3");
    three.press(three.form.cmdMoves);
    QCOMPARE(threeLog.pegs(), (Moves{{0, 2}, {0, 1}, {2, 1}, {0, 2}, {1, 0}, {1, 2}, {0, 2}}));
  }

  void stepCountsMatchTheBoardGeometry() {
    Board one;
    MoveLog oneLog;
    oneLog.attach(one);
    one.prepare("1");
    one.press(one.form.cmdMoves);
    QCOMPARE(oneLog.moves.size(), std::size_t{1});
    QCOMPARE(oneLog.moves[0].pumps, 424L);

    Board three;
    MoveLog threeLog;
    threeLog.attach(three);
    three.prepare("3");
    three.press(three.form.cmdMoves);
    QCOMPARE(threeLog.moves[0].pumps, 399L);

    Board seven;
    seven.prepare("7");
    const long before = seven.runtime.pumps();
    seven.press(seven.form.cmdMoves);
    QCOMPARE(seven.runtime.pumps() - before, 39171L);
    for (const auto& disk : seven.form.Picture1) {
      QVERIFY(disk.Visible() != forms::False);
    }
  }

  // The run's records and landing levels after each move of a three-disk run, watched from
  // inside the animation of that move.
  void recordsAndLevelsFollowEveryMove() {
    Board board;
    board.prepare("3");
    board.form.blnIdle = forms::False;
    Corvane::PegRecords records{" 0 1 2", "", ""};
    Corvane::StackTops levels{0, 6638, 6638};
    struct Seen {
      Corvane::PegRecords records;
      std::int16_t targetLevel;
      std::int16_t sourceLevel;
    };
    std::vector<Seen> seen;
    int lastFrom = -1;
    int lastTo = -1;
    board.runtime.onPump = [&](long) {
      const int from = board.form.intFrom;
      const int to = board.form.intTo;
      if (from != lastFrom || to != lastTo) {
        seen.push_back({records, levels[static_cast<std::size_t>(to)],
                        levels[static_cast<std::size_t>(from)]});
        lastFrom = from;
        lastTo = to;
      }
      QVERIFY(board.form.strDisk.empty());
      QVERIFY(board.form.strPegRest.empty());
    };
    board.runtime.dispatch([&] { board.form.subSolve(3, "0", "2", "1", levels, records); });

    const std::vector<Corvane::PegRecords> expected{
        {" 0 1", "", " 2"}, {" 0", " 1", " 2"}, {" 0", " 1 2", ""}, {"", " 1 2", " 0"},
        {" 2", " 1", " 0"}, {" 2", "", " 0 1"}, {"", "", " 0 1 2"}};
    // The level each move lands on (the Top of the piece under it) and the level it leaves.
    const std::vector<std::pair<int, int>> expectedLevels{{6638, 5678}, {6638, 6158}, {6158, 6638},
                                                          {6638, 6638}, {6638, 6158}, {6158, 6638},
                                                          {5678, 6638}};
    QCOMPARE(seen.size(), expected.size());
    for (std::size_t k = 0; k < seen.size(); ++k) {
      QCOMPARE(seen[k].records, expected[k]);
      QCOMPARE(int{seen[k].targetLevel}, expectedLevels[k].first);
      QCOMPARE(int{seen[k].sourceLevel}, expectedLevels[k].second);
    }
    QCOMPARE(records, (Corvane::PegRecords{"", "", " 0 1 2"}));
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
    std::int16_t from = 1;
    std::int16_t to = 0;
    board.form.subMoveDisk(from, to, levels, records);
    QCOMPARE(records, (Corvane::PegRecords{" 0 1", "", ""}));
    QCOMPARE(int{levels[0]}, 5000);
    QCOMPARE(int{levels[1]}, 7002);
    QCOMPARE(int{levels[2]}, 0);
    QVERIFY(board.form.strDisk.empty());
    QVERIFY(board.form.strPegRest.empty());
  }

  void countTextDecidesTheRun_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("moves");
    QTest::newRow(" 3") << " 3" << 7;
    QTest::newRow("3x") << "3x" << 7;
    QTest::newRow("2.5 rounds to even") << "2.5" << 3;
    QTest::newRow("0.6") << "0.6" << 1;
    QTest::newRow("3.5 solves four") << "3.5" << 15;
    QTest::newRow("7.5 rounds to 8") << "7.5" << 0;
    QTest::newRow("0") << "0" << 0;
    QTest::newRow("-1") << "-1" << 0;
    QTest::newRow("8") << "8" << 0;
    QTest::newRow("99999") << "99999" << 0;
    QTest::newRow("1e999") << "1e999" << 0;
    QTest::newRow("abc") << "abc" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("prompt") << "Disks (1-7)" << 0;
  }
  void countTextDecidesTheRun() {
    QFETCH(QString, text);
    QFETCH(int, moves);
    Board board;
    MoveLog log;
    log.attach(board);
    board.type(board.form.txtDelay, "0");
    board.type(board.form.txtNumDisks, text.toStdString());
    board.press(board.form.cmdMoves);
    QCOMPARE(static_cast<int>(log.moves.size()), moves);
    // Spent either way: a later press with a good count does nothing until a reset.
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

  // With 7.4 the stack shown is the widest disk alone, yet seven disks are solved, the hidden
  // ones unseen.
  void solvesDisksWhetherShownOrNot() {
    Board board;
    board.prepare("7.4");
    QCOMPARE(board.visibleDisks(), std::vector<int>{0});
    board.press(board.form.cmdMoves);
    QCOMPARE(board.visibleDisks(), std::vector<int>{0});
    for (std::size_t d = 0; d < 7; ++d) {
      QCOMPARE(board.form.Picture1[d].Top(), static_cast<float>(board.form.intHomeTop[d]));
    }
  }
};

QTEST_APPLESS_MAIN(SolverTest)
#include "test_solver.moc"
