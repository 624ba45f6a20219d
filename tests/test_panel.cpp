#include <QtTest>

#include <limits>

#include "board_fixture.h"

using Disks = std::vector<int>;

class PanelTest : public QObject {
  Q_OBJECT

 private slots:
  // Start-up hides every disk and takes its home from where it stands, rounded half to even.
  void loadTakesTheHomesFromTheDisks() {
    forms::headless::HeadlessRuntime runtime;
    Corvane form(runtime);
    form.Picture1[3].setLeft(2000.5f);
    form.Picture1[3].setTop(4001.5f);
    form.Form_Load();
    QCOMPARE(form.intHomeLeft[3], std::int16_t{2000});
    QCOMPARE(form.intHomeTop[3], std::int16_t{4002});
    for (const auto& disk : form.Picture1) {
      QCOMPARE(disk.Visible(), forms::False);
    }
  }

  void countShowsItsStartingStack_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<Disks>("shown");
    QTest::newRow("7") << "7" << Disks{0, 1, 2, 3, 4, 5, 6};
    QTest::newRow("1") << "1" << Disks{0};
    QTest::newRow("2.5") << "2.5" << Disks{0, 1};
    QTest::newRow("3.5 shows three") << "3.5" << Disks{0, 1, 2};
    QTest::newRow("3abc") << "3abc" << Disks{0, 1, 2};
    QTest::newRow("7.5 is out of range") << "7.5" << Disks{0};
    QTest::newRow("0") << "0" << Disks{0};
    QTest::newRow("8") << "8" << Disks{0};
    QTest::newRow("-3") << "-3" << Disks{0};
    QTest::newRow("prompt with a digit behind") << "Disks (1-7)4" << Disks{0};
    QTest::newRow("too large for a double") << "1e999" << Disks{0};
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

  // The first click into a box clears its prompt, later clicks leave what was typed. Typed
  // behind the prompt, a count reads as no number. A reset re-arms nothing: if a box was never
  // clicked, its first click after the reset still empties it, erasing what was typed since.
  void firstClickClearsThePromptOnce() {
    Board board;
    board.type(board.form.txtNumDisks, "Disks (1-7)3");
    QCOMPARE(board.visibleDisks(), Disks{0});
    board.press(board.form.cmdReset);
    board.type(board.form.txtNumDisks, "4");
    board.click(board.form.txtNumDisks);
    QCOMPARE(board.form.txtNumDisks.Text(), std::string());
    QVERIFY(board.visibleDisks().empty());
    board.type(board.form.txtNumDisks, "4");
    board.click(board.form.txtNumDisks);
    QCOMPARE(board.form.txtNumDisks.Text(), std::string("4"));
    QCOMPARE(board.visibleDisks(), (Disks{0, 1, 2, 3}));

    board.click(board.form.txtDelay);
    QCOMPARE(board.form.txtDelay.Text(), std::string());
    QCOMPARE(board.form.sngStepDelay, 0.05f);
    board.type(board.form.txtDelay, "0.2");
    board.click(board.form.txtDelay);
    QCOMPARE(board.form.sngStepDelay, 0.2f);
  }

  void delayStoresItsValue_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<float>("stored");
    QTest::newRow("0.2") << "0.2" << 0.2f;
    QTest::newRow("2abc") << "2abc" << 2.0f;
    QTest::newRow("-1 is kept") << "-1" << -1.0f;
    QTest::newRow("0 gives the default") << "0" << 0.05f;
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

  // A reset brings every disk home hidden, also when the count box was already empty, and
  // empties both boxes; pressed again it changes nothing.
  void resetRestoresTheBoard() {
    Board board;
    board.type(board.form.txtNumDisks, "4");
    board.type(board.form.txtDelay, "0.3");
    board.type(board.form.txtNumDisks, "");
    board.form.Picture1[2].setLeft(10318);
    board.form.Picture1[2].setTop(2038);
    board.form.Picture1[2].setVisible(forms::True);
    board.form.blnIdle = forms::False;
    for (int press = 0; press < 2; ++press) {
      board.press(board.form.cmdReset);
      QCOMPARE(board.form.blnIdle, forms::True);
      QVERIFY(board.visibleDisks().empty() && board.disksAtHome());
      QVERIFY(board.form.txtNumDisks.Text().empty() && board.form.txtDelay.Text().empty());
      QCOMPARE(board.form.sngStepDelay, 0.05f);
    }
  }
};

QTEST_APPLESS_MAIN(PanelTest)
#include "test_panel.moc"
