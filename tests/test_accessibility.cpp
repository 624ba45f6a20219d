#include <QtTest>

#include <QAccessible>
#include <functional>
#include <tuple>

#include "board/layout.h"
#include "window_fixture.h"

using namespace window_test;

namespace {

QAccessibleInterface* accessibleOf(Screen& screen, const char* name) {
  return QAccessible::queryAccessibleInterface(control(screen, name));
}
QString boardSays(Screen& screen) {
  return accessibleOf(screen, "board")->text(QAccessible::Description);
}

const QString kEmptyBoard = "Left peg: none; middle peg: none; right peg: none";
const QString kThreeOnTheLeft = "Left peg: 3 disks; middle peg: none; right peg: none";
const QString kOneMoving = "Left peg: 2 disks; middle peg: none; right peg: none; 1 disk moving";
const QString kOneOnTheRight = "Left peg: 2 disks; middle peg: none; right peg: 1 disk";

}  // namespace

class AccessibilityTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

  // Every control a user reaches has a role, a name that outlives the boxes' prompts and a
  // description; the board is a picture that is not in the tab chain.
  void controlsAreNamed() {
    Screen screen;
    QVERIFY(QTest::qWaitForWindowExposed(&screen.window));
    click(screen, "txtNumDisks");
    click(screen, "txtDelay");
    QAccessibleInterface* window = QAccessible::queryAccessibleInterface(&screen.window);
    QCOMPARE(window->role(), QAccessible::Window);
    QCOMPARE(window->text(QAccessible::Name), QString(board::kCaption));
    const std::tuple<const char*, QAccessible::Role, QString> controls[] = {
        {"txtNumDisks", QAccessible::EditableText, "Number of disks (1 to 7)"},
        {"txtDelay", QAccessible::EditableText, "Pause after each step, in seconds"},
        {"cmdMoves", QAccessible::Button, "Moves"},
        {"cmdReset", QAccessible::Button, "Reset"},
        {"cmdQuit", QAccessible::Button, "Quit"},
        {"board", QAccessible::Graphic, "Board"}};
    for (const auto& [control, role, name] : controls) {
      QAccessibleInterface* accessible = accessibleOf(screen, control);
      QVERIFY2(accessible != nullptr && accessible->role() == role, control);
      QCOMPARE(accessible->text(QAccessible::Name), name);
      QVERIFY2(accessible->text(QAccessible::Description).size() > 10, control);
      QVERIFY2(accessible->state().focusable == (name != "Board"), control);
      QVERIFY2(window->indexOfChild(accessible) >= 0, control);
    }
  }

  // Whatever assistive technology does to a box's text reaches the program as one change, as
  // typing would.
  void assistiveEditsReachTheProgram() {
    Screen screen;
    click(screen, "txtNumDisks");
    int changes = 0;
    const std::function<void()> change = screen.form.txtNumDisks.onChange;
    screen.form.txtNumDisks.onChange = [&changes, &change] {
      ++changes;
      change();
    };
    QAccessibleInterface* box = accessibleOf(screen, "txtNumDisks");
    QAccessibleEditableTextInterface* text = box->editableTextInterface();
    QVERIFY(text != nullptr);
    const std::function<void()> edits[] = {
        [text] { text->insertText(0, "3"); }, [text] { text->insertText(1, "5"); },
        [text] { text->deleteText(1, 2); }, [text] { text->replaceText(0, 1, "1"); },
        [box] { box->setText(QAccessible::Value, "3"); }};
    QStringList boards;
    for (const auto& edit : edits) {
      edit();
      boards << boardSays(screen);
    }
    const QString oneDisk = "Left peg: 1 disk; middle peg: none; right peg: none";
    QCOMPARE(boards,
             QStringList({kThreeOnTheLeft, oneDisk, kThreeOnTheLeft, oneDisk, kThreeOnTheLeft}));
    QCOMPARE(changes, 5);
  }

  // Visible disks count for the peg whose post is nearest; a disk whose bottom is above the
  // posts is on its way.
  void boardDescription_data() {
    QTest::addColumn<int>("shown");
    QTest::addColumn<float>("left");
    QTest::addColumn<float>("top");
    QTest::addColumn<QString>("expected");
    const board::DiskDesign& disk = board::kDisks[2];
    const float postTop = board::kPosts[0].rect.top;
    const auto centredOn = [&disk](std::size_t peg) {
      return board::kPosts[peg].rect.left + board::kPosts[peg].rect.width / 2 - disk.rect.width / 2;
    };
    QTest::newRow("start-up") << 0 << disk.rect.left << disk.rect.top << kEmptyBoard;
    QTest::newRow("three") << 3 << disk.rect.left << disk.rect.top << kThreeOnTheLeft;
    QTest::newRow("rising, bottom still below the post top")
        << 3 << disk.rect.left << postTop - disk.rect.height + 1 << kThreeOnTheLeft;
    QTest::newRow("lifted clear of the posts")
        << 3 << disk.rect.left << postTop - disk.rect.height << kOneMoving;
    QTest::newRow("between pegs, nearer the middle")
        << 3 << centredOn(1) - 1500.0f << 4000.0f
        << "Left peg: 2 disks; middle peg: 1 disk; right peg: none";
    QTest::newRow("landed on the right") << 3 << centredOn(2) << disk.rect.top << kOneOnTheRight;
  }
  void boardDescription() {
    QFETCH(int, shown);
    QFETCH(float, left);
    QFETCH(float, top);
    QFETCH(QString, expected);
    Screen screen;
    for (int i = 0; i < shown; ++i) {
      screen.form.Picture1[static_cast<std::size_t>(i)].setVisible(forms::True);
    }
    screen.form.Picture1[2].setLeft(left);
    screen.form.Picture1[2].setTop(top);
    QCOMPARE(boardSays(screen), expected);
  }

  // While a client listens, the board announces a change of its description once for each
  // time the counts change, not for every step of the animation: a three-disk run of some
  // thousand steps is heard as each of its seven moves leaving a peg and landing on another.
  // Nobody listening, nothing is announced.
  void boardChangesAreAnnouncedOnce() {
    Screen screen;
    QVERIFY(QTest::qWaitForWindowExposed(&screen.window));
    QSignalSpy heard(&screen.window, &forms::qt::FormWindow::boardAnnounced);
    QAccessible::setActive(true);
    type(screen, "txtNumDisks", "3");
    type(screen, "txtDelay", "0");
    QCoreApplication::processEvents();
    QCOMPARE(heard.size(), 1);
    QCOMPARE(heard.at(0).at(0).toString(), kThreeOnTheLeft);
    click(screen, "cmdMoves");
    QCoreApplication::processEvents();
    QCOMPARE(heard.size(), 1 + 2 * 7);
    QCOMPARE(heard.at(1).at(0).toString(), kOneMoving);
    QCOMPARE(heard.at(2).at(0).toString(), kOneOnTheRight);
    QCOMPARE(heard.at(14).at(0).toString(), "Left peg: none; middle peg: none; right peg: 3 disks");
    QAccessible::setActive(false);
    heard.clear();
    click(screen, "cmdReset");
    QCoreApplication::processEvents();
    QCOMPARE(boardSays(screen), kEmptyBoard);
    QVERIFY(heard.isEmpty());
  }
};

QTEST_MAIN(AccessibilityTest)
#include "test_accessibility.moc"
