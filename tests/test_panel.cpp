#include <QtTest>

#include <limits>

#include "board_fixture.h"

using Disks = std::vector<int>;
Q_DECLARE_METATYPE(Disks)

class PanelTest : public QObject {
  Q_OBJECT

 private slots:
  void countShowsItsStartingStack_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<Disks>("shown");
    QTest::newRow("7") << "7" << Disks{0, 1, 2, 3, 4, 5, 6};
    QTest::newRow("1") << "1" << Disks{0};
    QTest::newRow("2.5") << "2.5" << Disks{0, 1};
    QTest::newRow("6.9") << "6.9" << Disks{0, 1, 2, 3, 4, 5};
    QTest::newRow("3.5 shows three") << "3.5" << Disks{0, 1, 2};
    QTest::newRow("3abc") << "3abc" << Disks{0, 1, 2};
    QTest::newRow(" 3") << " 3" << Disks{0, 1, 2};
    QTest::newRow("7.5 is out of range") << "7.5" << Disks{0};
    QTest::newRow("0") << "0" << Disks{0};
    QTest::newRow("8") << "8" << Disks{0};
    QTest::newRow("-3") << "-3" << Disks{0};
    QTest::newRow("abc") << "abc" << Disks{0};
    QTest::newRow("prompt with a digit behind") << "Disks (1-7)4" << Disks{0};
    QTest::newRow("too large for a double") << "1e999" << Disks{0};
    QTest::newRow("too small for a double") << "-1e999" << Disks{0};
    QTest::newRow("empty") << "" << Disks{};
  }
  void countShowsItsStartingStack() {
    QFETCH(QString, text);
    QFETCH(Disks, shown);
    Board board;
    // Disks left elsewhere, as after a run, come home before the new stack shows.
    board.form.Picture1[0].setLeft(9848);
    board.form.Picture1[0].setTop(2038);
    board.form.Picture1[6].setVisible(forms::True);
    board.type(board.form.txtNumDisks, "5");  // something to change from
    board.type(board.form.txtNumDisks, text.toStdString());
    QCOMPARE(board.visibleDisks(), shown);
    QVERIFY(board.disksAtHome());
  }

  void firstClickClearsThePromptOnce() {
    Board board;
    board.click(board.form.txtNumDisks);
    QCOMPARE(QString::fromStdString(board.form.txtNumDisks.Text()), QString(""));
    QCOMPARE(board.form.blnClearNumDisks, forms::False);
    board.type(board.form.txtNumDisks, "4");
    board.click(board.form.txtNumDisks);
    QCOMPARE(QString::fromStdString(board.form.txtNumDisks.Text()), QString("4"));
    QCOMPARE(board.visibleDisks(), (Disks{0, 1, 2, 3}));

    board.click(board.form.txtDelay);
    QCOMPARE(QString::fromStdString(board.form.txtDelay.Text()), QString(""));
    QCOMPARE(board.form.sngStepDelay, 0.05f);
    board.type(board.form.txtDelay, "0.2");
    board.click(board.form.txtDelay);
    QCOMPARE(QString::fromStdString(board.form.txtDelay.Text()), QString("0.2"));
    QCOMPARE(board.form.sngStepDelay, 0.2f);
  }

  // A box reached by keyboard keeps its prompt in front of what is typed.
  void promptStaysUntilClicked() {
    Board board;
    board.type(board.form.txtNumDisks, "Disks (1-7)3");
    QCOMPARE(board.visibleDisks(), Disks{0});
    QCOMPARE(board.form.blnClearNumDisks, forms::True);
  }

  void delayStoresItsValue_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<float>("stored");
    QTest::newRow("0.2") << "0.2" << 0.2f;
    QTest::newRow("2abc") << "2abc" << 2.0f;
    QTest::newRow("-1 is kept") << "-1" << -1.0f;
    QTest::newRow("0 gives the default") << "0" << 0.05f;
    QTest::newRow("0.0 gives the default") << "0.0" << 0.05f;
    QTest::newRow("abc gives the default") << "abc" << 0.05f;
    QTest::newRow("empty gives the default") << "" << 0.05f;
    QTest::newRow("beyond single range is bounded") << "1e39" << std::numeric_limits<float>::max();
    QTest::newRow("beyond double range is bounded") << "1e999" << std::numeric_limits<float>::max();
    QTest::newRow("negative beyond range") << "-1e999" << -std::numeric_limits<float>::max();
  }
  void delayStoresItsValue() {
    QFETCH(QString, text);
    QFETCH(float, stored);
    Board board;
    board.type(board.form.txtDelay, "7");
    board.type(board.form.txtDelay, text.toStdString());
    QCOMPARE(board.form.sngStepDelay, stored);
  }

  void resetRestoresTheBoard() {
    Board board;
    board.type(board.form.txtNumDisks, "4");
    board.type(board.form.txtDelay, "0.3");
    board.form.Picture1[2].setLeft(10318);
    board.form.blnIdle = forms::False;
    board.press(board.form.cmdReset);
    QCOMPARE(board.form.blnIdle, forms::True);
    QVERIFY(board.visibleDisks().empty());
    QVERIFY(board.disksAtHome());
    QCOMPARE(QString::fromStdString(board.form.txtNumDisks.Text()), QString(""));
    QCOMPARE(QString::fromStdString(board.form.txtDelay.Text()), QString(""));
    QCOMPARE(board.form.sngStepDelay, 0.05f);
    // The prompt flags are not re-armed; pressing twice changes nothing.
    QCOMPARE(board.form.blnClearNumDisks, forms::True);
    board.press(board.form.cmdReset);
    QVERIFY(board.visibleDisks().empty());
    QVERIFY(board.disksAtHome());
  }

  // Reset before the boxes were ever clicked: the first later click empties a box once more,
  // erasing what was typed in between.
  void firstClickAfterResetStillClears() {
    Board board;
    board.press(board.form.cmdReset);
    board.type(board.form.txtNumDisks, "4");
    QCOMPARE(board.visibleDisks(), (Disks{0, 1, 2, 3}));
    board.click(board.form.txtNumDisks);
    QCOMPARE(QString::fromStdString(board.form.txtNumDisks.Text()), QString(""));
    QVERIFY(board.visibleDisks().empty());
    board.type(board.form.txtNumDisks, "4");
    board.press(board.form.cmdMoves);
    QCOMPARE(board.form.blnIdle, forms::False);
    QCOMPARE(board.form.Picture1[0].Left(), 9848.0f);
  }

  void quitEndsTheProgram() {
    Board board;
    board.press(board.form.cmdQuit);
    QVERIFY(board.runtime.ended());
    QVERIFY(board.runtime.unloaded());
  }
};

QTEST_APPLESS_MAIN(PanelTest)
#include "test_panel.moc"
