#include <QtTest>

#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QWidget>

#include "board/corvane.h"
#include "board/layout.h"
#include "forms/qt/form_window.h"
#include "forms/qt/qt_runtime.h"

namespace {

struct Screen {
  forms::qt::QtRuntime runtime{[] {}};
  Corvane form{runtime};
  forms::qt::FormWindow window{runtime, form.describe()};

  Screen() {
    window.load();
    window.present();
  }

  QAccessibleInterface* accessible(const char* name) {
    return QAccessible::queryAccessibleInterface(window.findChild<QWidget*>(name));
  }
  void type(const char* box, const QString& text) {
    QTest::mouseClick(window.findChild<QLineEdit*>(box), Qt::LeftButton);
    QTest::keyClicks(window.findChild<QLineEdit*>(box), text);
  }
};

// Whether an accessibility client counts as listening, for as long as this lives.
struct Listening {
  Listening() { QAccessible::setActive(true); }
  ~Listening() { QAccessible::setActive(false); }
};

const QString kEmptyBoard = "Left peg: none; middle peg: none; right peg: none";

}  // namespace

class AccessibilityTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

  // Every control a user reaches has a role, a name that outlives the boxes' prompts and a
  // description; the board is a picture that is not in the tab chain.
  void controlsAreNamed_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("role");
    QTest::addColumn<QString>("name");
    QTest::newRow("count") << QString("txtNumDisks") << int(QAccessible::EditableText)
                           << QString("Number of disks (1 to 7)");
    QTest::newRow("delay") << QString("txtDelay") << int(QAccessible::EditableText)
                           << QString("Pause after each step, in seconds");
    for (const char* word : {"Moves", "Reset", "Quit"}) {
      QTest::newRow(word) << QString("cmd") + word << int(QAccessible::Button) << QString(word);
    }
    QTest::newRow("board") << QString("board") << int(QAccessible::Graphic) << QString("Board");
  }
  void controlsAreNamed() {
    QFETCH(QString, control);
    QFETCH(int, role);
    QFETCH(QString, name);
    Screen screen;
    QVERIFY(QTest::qWaitForWindowExposed(&screen.window));
    screen.type("txtNumDisks", "");
    screen.type("txtDelay", "");
    QAccessibleInterface* accessible = screen.accessible(qPrintable(control));
    QVERIFY(accessible != nullptr);
    QCOMPARE(int(accessible->role()), role);
    QCOMPARE(accessible->text(QAccessible::Name), name);
    QVERIFY(accessible->text(QAccessible::Description).size() > 10);
    QCOMPARE(accessible->state().focusable, control != "board");
    QVERIFY(QAccessible::queryAccessibleInterface(&screen.window)->indexOfChild(accessible) >= 0);
  }

  // Visible disks count for the peg whose post is nearest; a disk whose bottom is above the
  // posts is on its way.
  void boardDescription_data() {
    QTest::addColumn<int>("shown");
    QTest::addColumn<float>("left");
    QTest::addColumn<float>("top");
    QTest::addColumn<QString>("expected");
    const float left = board::kDisks[2].rect.left;
    const float top = board::kDisks[2].rect.top;
    const float width = board::kDisks[2].rect.width;
    const auto centredOn = [width](std::size_t peg) {
      return board::kPosts[peg].rect.left + board::kPosts[peg].rect.width / 2 - width / 2;
    };
    QTest::newRow("start-up") << 0 << left << top << kEmptyBoard;
    QTest::newRow("three") << 3 << left << top
                           << "Left peg: 3 disks; middle peg: none; right peg: none";
    QTest::newRow("seven") << 7 << left << top
                           << "Left peg: 7 disks; middle peg: none; right peg: none";
    QTest::newRow("rising, bottom still below the post top")
        << 3 << left << 3038.0f - 495.0f + 1.0f
        << "Left peg: 3 disks; middle peg: none; right peg: none";
    QTest::newRow("lifted clear of the posts")
        << 3 << left << 3038.0f - 495.0f
        << "Left peg: 2 disks; middle peg: none; right peg: none; 1 disk moving";
    QTest::newRow("between pegs, nearer the middle")
        << 3 << centredOn(1) - 1500.0f << 4000.0f
        << "Left peg: 2 disks; middle peg: 1 disk; right peg: none";
    QTest::newRow("landed on the right")
        << 3 << centredOn(2) << top << "Left peg: 2 disks; middle peg: none; right peg: 1 disk";
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
    QCOMPARE(screen.accessible("board")->text(QAccessible::Description), expected);
  }

  // While a client listens, the board announces a change of its description once for each
  // time the counts change, not for every step of the animation: a three-disk run of some
  // thousand steps is heard as each of its seven moves leaving a peg and landing on another.
  // Nobody listening, nothing is announced.
  void boardChangesAreAnnouncedOnce() {
    Screen screen;
    QVERIFY(QTest::qWaitForWindowExposed(&screen.window));
    QSignalSpy heard(&screen.window, &forms::qt::FormWindow::boardAnnounced);
    const auto said = [&heard](qsizetype i) { return heard.at(i).at(0).toString(); };
    {
      Listening listening;
      screen.type("txtNumDisks", "3");
      screen.type("txtDelay", "0");
      QCoreApplication::processEvents();
      QCOMPARE(heard.size(), 1);
      QCOMPARE(said(0), "Left peg: 3 disks; middle peg: none; right peg: none");
      QTest::mouseClick(screen.window.findChild<QWidget*>("cmdMoves"), Qt::LeftButton);
      QCoreApplication::processEvents();
      QCOMPARE(heard.size(), 1 + 2 * 7);
      QCOMPARE(said(1), "Left peg: 2 disks; middle peg: none; right peg: none; 1 disk moving");
      QCOMPARE(said(2), "Left peg: 2 disks; middle peg: none; right peg: 1 disk");
      QCOMPARE(said(14), "Left peg: none; middle peg: none; right peg: 3 disks");
    }
    heard.clear();
    QTest::mouseClick(screen.window.findChild<QWidget*>("cmdReset"), Qt::LeftButton);
    QCoreApplication::processEvents();
    QCOMPARE(screen.accessible("board")->text(QAccessible::Description), kEmptyBoard);
    QVERIFY(heard.isEmpty());
  }
};

QTEST_MAIN(AccessibilityTest)
#include "test_accessibility.moc"
