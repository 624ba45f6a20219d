#include <QAbstractButton>
#include <QAbstractEventDispatcher>
#include <QAccessible>
#include <QClipboard>
#include <QFontInfo>
#include <QPaintEvent>
#include <QWindow>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "board/layout.h"
#include "forms/application.h"
#include "forms/qt/command_line.h"
#include "window_fixture.h"

Q_DECLARE_METATYPE(forms::qt::QtRuntime::Sleep)

using namespace window_test;

namespace {

// The bounds of the light ink inside a control, two pixels in from its edges.
QRect ink(const QImage& image, const QRect& control) {
  QRect bounds;
  for (int y = control.top() + 2; y <= control.bottom() - 2; ++y) {
    for (int x = control.left() + 2; x <= control.right() - 2; ++x) {
      bounds |= qGray(image.pixel(x, y)) >= 0xC0 ? QRect(x, y, 1, 1) : QRect();
    }
  }
  return bounds;
}

// Counts every pass of the event dispatcher, whether it sleeps or not.
struct PassCount : QObject {
  int passes = 0;
  PassCount() {
    const auto* dispatcher = QAbstractEventDispatcher::instance();
    connect(dispatcher, &QAbstractEventDispatcher::awake, this, [this] { ++passes; });
    connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] { ++passes; });
  }
};

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

// The real window: where its controls stand, what it draws, the keyboard, interruptions, undo;
// the desktop's pump, when it sleeps and what wakes it; what assistive technology is told; the
// command line's demo options; and how the whole program ends.
class WindowTest : public QObject {
  Q_OBJECT

 private slots:
  // The window and its controls stand where the description puts them, in a fixed dialog with
  // a close box only. The entry boxes show their texts in bold serif type; the buttons their
  // words centred on their faces, where a focus mark shows inside the edge.
  void laidOutAsDescribed() {
    Screen screen;
    QVERIFY(QTest::qWaitForWindowActive(&screen.window));
    const forms::FormDescription described = screen.form.describe();
    QCOMPARE(screen.window.size(),
             px({0, 0, described.clientWidth, described.clientHeight}).size());
    QCOMPARE(screen.window.minimumSize(), screen.window.maximumSize());
    QCOMPARE(screen.window.windowTitle().toStdString(), described.caption);
    const Qt::WindowFlags flags = screen.window.windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint) && !screen.window.windowIcon().isNull());
    QVERIFY(!flags.testAnyFlags(Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    // This screen is smaller than the window: its title bar must still be on it.
    QVERIFY(screen.window.screen()->availableGeometry().contains(screen.window.pos()));

    const QImage image = grab(screen);
    for (const forms::TextBoxEntry& box : described.textBoxes) {
      const QRect area = px(box.rect);
      QCOMPARE(control(screen, box.name.c_str())->geometry(), area);
      QCOMPARE(shownText(screen, box.name.c_str()).toStdString(), box.box->Text());
      // The family has no metric twin under its own name everywhere; any serif stand-in will do.
      const QFontInfo font(control(screen, box.name.c_str())->font());
      QVERIFY2((font.family().contains("Serif") || font.family().contains("Times")) && font.bold(),
               qPrintable(font.family()));
      QCOMPARE(image.pixel(area.right() - 4, area.center().y()) & 0xFFFFFFu, box.backColor);
      QVERIFY(ink(image, area).width() > 20);
    }
    for (const forms::ButtonEntry& button : described.buttons) {
      const QRect face = px(button.rect);
      QCOMPARE(control(screen, button.name.c_str())->geometry(), face);
      control(screen, "txtDelay")->setFocus();
      const QImage plain = grab(screen);
      control(screen, button.name.c_str())->setFocus(Qt::TabFocusReason);
      const QImage focused = grab(screen);
      const QRect word = ink(plain, face);
      QVERIFY(word.width() > 20 && word.height() > 8);
      QVERIFY((word.center() - face.center()).manhattanLength() <= 4);
      QCOMPARE(plain.pixel(face.left() + 2, face.center().y()) & 0xFFFFFFu, button.faceColor);
      QRect marked;
      for (int y = face.top(); y <= face.bottom(); ++y) {
        for (int x = face.left(); x <= face.right(); ++x) {
          const bool changed = plain.pixel(x, y) != focused.pixel(x, y);
          marked |= changed ? QRect(x, y, 1, 1) : QRect();
          QVERIFY(!changed || (plain.pixel(x, y) & 0xFFFFFFu) == button.faceColor);
        }
      }
      QVERIFY(marked.width() > 40 && face.adjusted(2, 2, -2, -2).contains(marked));
    }

    // Maximised all the same (a Wayland compositor must then be obeyed), it takes any size it
    // is given; restored, it has its own size again.
    const QSize designed = screen.window.size();
    screen.window.windowHandle()->setWindowStates(Qt::WindowMaximized);
    QCOMPARE(screen.window.maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    screen.window.windowHandle()->setWindowStates(Qt::WindowNoState);
    QCOMPARE(screen.window.minimumSize(), designed);
    QCOMPARE(screen.window.maximumSize(), designed);
  }

  // Every device pixel of the board shows the frontmost visible picture box there, its picture
  // drawn at the screen's resolution from the box's corner, or else the window's background;
  // frame lines are as wide as their design pixels scaled. Other ratios run in a copy.
  void drawnAsDescribed_data() {
    QTest::addColumn<double>("ratio");
    QTest::newRow("1") << 1.0;
    QTest::newRow("1.5") << 1.5;
    QTest::newRow("2") << 2.0;
  }
  void drawnAsDescribed() {
    QFETCH(double, ratio);
    if (qApp->devicePixelRatio() != ratio) {
      QVERIFY2(qEnvironmentVariable("QT_SCALE_FACTOR") != QString::number(ratio),
               "the scale factor was not taken");
      QProcess copy;
      QVERIFY(runAgain(copy, {QString("drawnAsDescribed:") + QTest::currentDataTag()}, ratio));
      QVERIFY2(copy.exitStatus() == QProcess::NormalExit && copy.exitCode() == 0,
               copy.readAllStandardOutput().constData());
      return;
    }
    // The stack at its design place, and one disk in front of the middle post.
    Screen screen;
    for (auto& disk : screen.form.Picture1) {
      disk.setVisible(forms::True);
    }
    screen.form.Picture1[6].setLeft(7100);
    QVERIFY(QTest::qWaitForWindowExposed(&screen.window));
    const QImage image = grab(screen);
    const forms::FormDescription described = screen.form.describe();

    std::vector<std::tuple<QRect, const forms::PictureBoxEntry*, forms::Image>> frontToBack;
    QRegion lines;
    for (const std::string& name : described.frontToBack) {
      for (const forms::PictureBoxEntry& entry : described.pictureBoxes) {
        if (entry.name != name || entry.box->Visible() == forms::False) {
          continue;
        }
        const QRect box = px(entry.box->rect(), ratio);
        frontToBack.emplace_back(box, &entry, entry.picture(ratio));
        for (const forms::LineEntry& line : entry.lines) {
          const int width = std::max(1, static_cast<int>(std::lround(line.widthPixels * ratio)));
          const QPoint from =
              box.topLeft() + QPoint(px(line.line.x1, ratio), px(line.line.y1, ratio));
          const QPoint to =
              box.topLeft() + QPoint(px(line.line.x2, ratio), px(line.line.y2, ratio));
          lines += QRect(from, to).adjusted(-width, -width, width, width);
          // Across its middle, exactly `width` pixels of its colour.
          const QPoint middle = (from + to) / 2;
          const QPoint across = from.y() == to.y() ? QPoint(0, 1) : QPoint(1, 0);
          int drawn = 0;
          for (int k = -width; k <= width; ++k) {
            drawn += (image.pixel(middle + k * across) & 0xFFFFFFu) == line.color ? 1 : 0;
          }
          QCOMPARE(drawn, width);
        }
      }
    }
    int wrong = 0;
    const int boardBottom = px(described.textBoxes.front().rect.top, ratio);
    for (int y = 0; y < boardBottom; ++y) {
      for (int x = 0; x < image.width(); ++x) {
        std::uint32_t expected = described.backColor;
        for (const auto& [box, entry, picture] : frontToBack) {
          if (box.contains(x, y)) {
            const int col = x - box.left();
            const int row = y - box.top();
            expected = col < picture.width && row < picture.height ? picture.pixel(col, row)
                                                                   : entry->backColor;
            break;
          }
        }
        wrong +=
            !lines.contains({x, y}) && (image.pixel(x, y) & 0xFFFFFFu) != (expected & 0xFFFFFFu);
      }
    }
    QCOMPARE(wrong, 0);
  }

  // Everything from the keyboard alone, in the tab order Reset, count, delay, Moves, Quit. A
  // box entered with Tab has its prompt selected, so typing replaces it at the cursor. A focused
  // button answers Space and both Enter keys, once however long the key is held. The run's
  // steps repaint the board only, and the screen ends up as a fresh paint of it.
  void aRunFromTheKeyboardAlone_data() {
    QTest::addColumn<int>("key");
    QTest::newRow("space") << int(Qt::Key_Space);
    QTest::newRow("return") << int(Qt::Key_Return);
    QTest::newRow("enter") << int(Qt::Key_Enter);
  }
  void aRunFromTheKeyboardAlone() {
    QFETCH(int, key);
    Screen screen;
    QVERIFY(QTest::qWaitForWindowActive(&screen.window));
    struct PaintWatch : QObject {
      QRegion painted;
      bool eventFilter(QObject*, QEvent* event) override {
        painted +=
            event->type() == QEvent::Paint ? static_cast<QPaintEvent*>(event)->region() : QRegion();
        return false;
      }
    } watch;
    int presses = 0;
    screen.form.cmdMoves.onClick = [&] {
      ++presses;
      screen.window.installEventFilter(&watch);
      screen.form.cmdMoves_Click();
      screen.window.removeEventFilter(&watch);
    };
    const auto tab = [](Qt::Key pressed = Qt::Key_Tab) {
      QTest::keyClick(QApplication::focusWidget(), pressed);
      return QApplication::focusWidget()->objectName();
    };
    QCOMPARE(QApplication::focusWidget()->objectName(), QString("cmdReset"));
    // A right click is not the first click that clears a prompt.
    const QString prompt = shownText(screen, "txtNumDisks");
    click(screen, "txtNumDisks", Qt::RightButton);
    QCOMPARE(shownText(screen, "txtNumDisks"), prompt);
    control(screen, "cmdReset")->setFocus();
    QCOMPARE(tab(), QString("txtNumDisks"));
    QTest::keyClicks(QApplication::focusWidget(), "3");
    QCOMPARE(tab(), QString("txtDelay"));
    // Typed where the cursor stands, not where an echo of the text would put it.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Period);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left);
    QTest::keyClicks(QApplication::focusWidget(), "00");
    QCOMPARE(shownText(screen, "txtDelay"), QString("00."));
    QCOMPARE(screen.form.txtNumDisks.Text(), std::string("3"));
    QCOMPARE(tab(), QString("cmdMoves"));
    // Held down, a key repeats as pairs of release and press marked as repeats.
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
    QKeyEvent repeatedUp(QEvent::KeyRelease, key, Qt::NoModifier, QString(), true);
    QKeyEvent repeatedDown(QEvent::KeyPress, key, Qt::NoModifier, QString(), true);
    QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier);
    for (QKeyEvent* event : {&down, &repeatedUp, &repeatedDown, &repeatedUp, &repeatedDown, &up}) {
      QApplication::sendEvent(QApplication::focusWidget(), event);
    }
    QCOMPARE(presses, 1);
    QCOMPARE(screen.form.Picture1[0].Left(), 9848.0f);
    const QImage shown = onScreen(screen);
    QCOMPARE(shown, grab(screen));
    const QRect belowTheControls(0, control(screen, "cmdMoves")->geometry().bottom() + 2,
                                 shown.width(), shown.height());
    QCOMPARE(watch.painted & belowTheControls, QRegion());
    QCOMPARE(tab(), QString("cmdQuit"));
    QCOMPARE(tab(), QString("cmdReset"));
    QCOMPARE(tab(Qt::Key_Backtab), QString("cmdQuit"));
  }

  // Reset inside a pause of a run hides the board at once, and the run winds down without
  // showing anything again. Quit, by the button or the close box, at rest or inside a pause:
  // the program ends, the window goes away, and the run does not go on.
  void interruptions_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<bool>("duringRun");
    QTest::newRow("reset during a run") << QString("cmdReset") << true;
    QTest::newRow("quit at rest") << QString("cmdQuit") << false;
    QTest::newRow("close box at rest") << QString() << false;
    QTest::newRow("quit during a run") << QString("cmdQuit") << true;
    QTest::newRow("close box during a run") << QString() << true;
  }
  void interruptions() {
    QFETCH(QString, control);
    QFETCH(bool, duringRun);
    Screen screen;
    QVERIFY(QTest::qWaitForWindowExposed(&screen.window));
    bool running = false;
    const auto interrupt = [&] {
      running = screen.form.blnIdle == forms::False;
      if (control.isEmpty()) {
        screen.window.close();
      } else {
        click(screen, qPrintable(control));
      }
      if (control == "cmdReset") {
        // Emptied, the delay box stores the default pause for the rest of the phase, as would
        // 0; a short pause keeps the wind-down quick.
        QTest::keyClicks(::control(screen, "txtDelay"), "0.001");
      }
    };
    if (duringRun) {
      type(screen, "txtNumDisks", "3");
      type(screen, "txtDelay", "0");
      QMetaObject::invokeMethod(&screen.window, interrupt, Qt::QueuedConnection);
      click(screen, "cmdMoves");
    } else {
      interrupt();
    }
    QCOMPARE(running, duringRun);

    if (control == "cmdReset") {
      // The board, above the controls, looks as at start-up; the boxes are empty.
      const QRect board(0, 0, screen.window.width(), ::control(screen, "cmdMoves")->y());
      Screen fresh;
      QCOMPARE(onScreen(screen).copy(board), grab(fresh).copy(board));
      QCOMPARE(shownText(screen, "txtNumDisks"), QString());
      QCOMPARE(screen.form.blnIdle, forms::True);
      return;
    }
    if (duringRun) {
      // The first move lifted its disk one step before the pause that took the quit.
      QCOMPARE(screen.form.Picture1[2].Top(), screen.form.intHomeTop[2] - 40.0f);
    }
    QVERIFY(screen.runtime.ended() && screen.endRequested);
    QVERIFY(!screen.window.isVisible());
  }

  // Typing is undone as ever, and the program hears of it; but pasting over the whole text again
  // and again does not pile up an undo history without end.
  void undoHistoryIsBounded() {
    Screen screen;
    auto* delay = screen.window.findChild<QLineEdit*>("txtDelay");
    type(screen, "txtDelay", "1");
    QTest::keyClick(delay, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(screen.form.txtDelay.Text(), std::string());
    QGuiApplication::clipboard()->setText(QString(delay->maxLength(), QLatin1Char('9')));
    for (int i = 0; i < 6; ++i) {
      QTest::keyClick(delay, Qt::Key_A, Qt::ControlModifier);
      QTest::keyClick(delay, Qt::Key_V, Qt::ControlModifier);
      QCoreApplication::processEvents();
    }
    int undoable = 0;
    for (; delay->isUndoAvailable() && undoable < 6; ++undoable) {
      delay->undo();
    }
    QVERIFY2(undoable < 6, "every paste is still in the history");
  }

  // A pump sleeps until the next event when asked to wait, however long the wait, on the
  // kernel timer and on the Qt timer that stands in for it elsewhere. It does not sleep when
  // asked not to wait (nothing, less than nothing, not a number), nor after it has handled an
  // event: that event may have been the one the caller waits for.
  void aPumpSleepsOnlyWhenIdle_data() {
    QTest::addColumn<Sleep>("sleep");
    QTest::addColumn<float>("wait");
    QTest::addColumn<bool>("eventWaiting");
    QTest::addColumn<bool>("sleeps");
    for (const Sleep sleep : {Sleep::onKernelTimer, Sleep::onQtTimer}) {
      const char* on = sleep == Sleep::onKernelTimer ? "kernel timer" : "Qt timer";
      QTest::addRow("%s: two hours", on) << sleep << 7200.0f << false << true;
      QTest::addRow("%s: largest", on)
          << sleep << std::numeric_limits<float>::max() << false << true;
      QTest::addRow("%s: infinity", on) << sleep << INFINITY << false << true;
      QTest::addRow("%s: an event handled", on) << sleep << 7200.0f << true << false;
    }
    QTest::newRow("zero") << Sleep::onKernelTimer << 0.0f << false << false;
    QTest::newRow("negative") << Sleep::onKernelTimer << -5.0f << false << false;
    QTest::newRow("not a number") << Sleep::onKernelTimer << NAN << false << false;
  }
  void aPumpSleepsOnlyWhenIdle() {
    QFETCH(Sleep, sleep);
    QFETCH(float, wait);
    QFETCH(bool, eventWaiting);
    QFETCH(bool, sleeps);
    forms::qt::QtRuntime runtime{[] {}, sleep};
    // A timer that goes with the test, unlike a single shot that would wake later tests.
    QTimer marker;
    bool fired = false;
    QObject::connect(&marker, &QTimer::timeout, [&fired] { fired = true; });
    marker.start(sleeps ? 20 : 2000);
    if (eventWaiting) {
      QMetaObject::invokeMethod(
          &marker, [] {}, Qt::QueuedConnection);
    }
    // Spinning would run through these pumps long before the timer; one pump that has handled
    // an event must return at once.
    for (int pumps = 0; pumps < (eventWaiting ? 1 : 50) && !fired; ++pumps) {
      runtime.DoEvents(wait);
    }
    QCOMPARE(fired, sleeps);
  }

  // Pumps that may not wait, one after another as in a run without a pause, do not ask the
  // system for input at every pump, yet a timer that comes due still fires among them.
  void aRunWithoutPausesStillTakesInput() {
    forms::qt::QtRuntime runtime{[] {}};
    QTimer due;
    due.setSingleShot(true);
    bool fired = false;
    QObject::connect(&due, &QTimer::timeout, [&fired] { fired = true; });
    due.start(5);
    QElapsedTimer spinning;
    spinning.start();
    while (!fired && spinning.elapsed() < 5000) {
      runtime.DoEvents(0.0f);
    }
    QVERIFY(fired);
  }

  // A pause sleeps through its length in a few passes of the event loop, on either kind of
  // timer, and its own timer wakes it: it does not sleep on until some later event.
  void aPauseSleepsUntilItsEnd_data() {
    QTest::addColumn<Sleep>("sleep");
    QTest::newRow("kernel timer") << Sleep::onKernelTimer;
    QTest::newRow("Qt timer") << Sleep::onQtTimer;
  }
  void aPauseSleepsUntilItsEnd() {
    QFETCH(Sleep, sleep);
    Screen screen(sleep);
    QVERIFY(QTest::qWaitForWindowExposed(&screen.window));
    QCoreApplication::processEvents();
    QTimer later;
    bool stillAsleep = false;
    QObject::connect(&later, &QTimer::timeout, [&stillAsleep] { stillAsleep = true; });
    later.start(1000);
    const PassCount count;
    float delay = 0.05f;
    screen.runtime.dispatch([&] { screen.form.subDelay(delay); });
    QVERIFY(!stillAsleep);
    QVERIFY2(count.passes < 10, qPrintable(QString::number(count.passes)));
  }

  // Runs started inside the newest run's pause, far deeper than anyone would by hand, each
  // nested on the real stack: the program does not crash, and Quit still ends it at once.
  void deepNestingNeverCrashes() {
    Screen screen;
    QVERIFY(QTest::qWaitForWindowExposed(&screen.window));
    int attempts = 0;
    std::function<void()> attempt = [&] {
      if (++attempts > 5000) {
        click(screen, "cmdQuit");
        return;
      }
      QMetaObject::invokeMethod(&screen.window, attempt, Qt::QueuedConnection);
      click(screen, "cmdReset");
      type(screen, "txtNumDisks", "1");
      type(screen, "txtDelay", "1e9");
      click(screen, "cmdMoves");
    };
    attempt();
    QCOMPARE(attempts, 5001);
    QVERIFY(screen.runtime.ended() && screen.endRequested && !screen.window.isVisible());
  }

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

  // The demo options click into a box and type, or press Moves, through the user's handlers and
  // in their own order, whatever the order given; a value the box cannot use counts as typed.
  void demoOptions_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expected");
    QTest::newRow("count") << QStringList{"--disks", "3"} << "clicked 3: 3 shown, 0 right, idle";
    QTest::newRow("bad count") << QStringList{"--disks=9"} << "clicked 9: 1 shown, 0 right, idle";
    QTest::newRow("run") << QStringList{"--run", "--delay", "0", "--disks", "2"}
                         << "clicked 2: 2 shown, 2 right, busy";
    QTest::newRow("run alone") << QStringList{"--run"} << "Disks (1-7): 0 shown, 0 right, busy";
  }
  void demoOptions() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);
    const forms::CommandLine options{"corvane",
                                     "",
                                     "",
                                     {{"disks", "N", "", "txtNumDisks"},
                                      {"delay", "S", "", "txtDelay"},
                                      {"run", "", "", "cmdMoves"}}};
    std::vector<forms::qt::DemoRequest> demo;
    QVERIFY(!forms::qt::parseCommandLine(QStringList("corvane") + arguments, options, demo));
    Screen screen;
    forms::qt::scheduleDemo(screen.runtime, screen.window, screen.form.describe(), demo);
    const auto observed = [&form = screen.form, &screen] {
      const float middle = form.Picture3[1].Left() + form.Picture3[1].Width();
      int shown = 0;
      int right = 0;
      for (const forms::PictureBox& disk : form.Picture1) {
        shown += disk.Visible() ? 1 : 0;
        right += disk.Visible() && disk.Left() + disk.Width() / 2 > middle ? 1 : 0;
      }
      return QString("%1%2: %3 shown, %4 right, %5")
          .arg(form.blnClearNumDisks ? "" : "clicked ", shownText(screen, "txtNumDisks"))
          .arg(shown)
          .arg(right)
          .arg(form.blnIdle ? "idle" : "busy");
    };
    QTRY_COMPARE(observed(), expected);
  }

  // How a whole program ends, watched from outside: an end during start-up ends it quietly
  // before the window shows; a handler that fails, during start-up or later, ends it with one
  // line on standard error and a failure status.
  void howTheProgramEnds_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said");
    QTest::newRow("end during load") << "end during load" << 0 << QString();
    QTest::newRow("failure during load") << "failure during load" << 1 << "too long";
    QTest::newRow("failure in a click") << "failure in a click" << 1 << "bad_alloc";
  }
  void howTheProgramEnds() {
    QFETCH(QString, how);
    QFETCH(int, status);
    QFETCH(QString, said);
    QProcess child;
    QVERIFY2(runAgain(child, {"--child", how}), "the program did not end");
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), status);
    const QStringList ours =
        QString(child.readAllStandardError()).split('\n').filter(QRegularExpression("^corvane:"));
    QCOMPARE(ours.size(), said.isEmpty() ? 0 : 1);
    QVERIFY(said.isEmpty() || ours.first().contains(said));
  }
};

namespace {

// The test program run again as a child by howTheProgramEnds: the real application, with a
// form that ends or fails in the way asked.
class ChildForm final : public forms::Form {
 public:
  ChildForm(forms::Runtime& runtime, std::string how)
      : runtime_(runtime), how_(std::move(how)), form_(runtime) {}

  forms::FormDescription describe() override {
    forms::FormDescription description = form_.describe();
    if (how_ == "end during load") {
      description.onLoad = [this] {
        runtime_.Unload();
        runtime_.End();
      };
    } else if (how_ == "failure during load") {
      description.onLoad = [] { throw std::length_error("too long"); };
    } else {
      form_.cmdReset.onClick = [] { throw std::bad_alloc(); };
      QTimer::singleShot(0, [] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
          if (auto* reset = window->findChild<QAbstractButton*>("cmdReset")) {
            reset->click();
          }
        }
      });
    }
    return description;
  }

 private:
  forms::Runtime& runtime_;
  std::string how_;
  Corvane form_;
};

int runAsChild(const std::string& how) {
  int argc = 1;
  char name[] = "corvane";
  char* argv[] = {name, nullptr};
  const forms::CommandLine commandLine{"corvane", "", "", {}};
  return forms::runApplication(
      argc, argv, {"Corvane", "org.corvane.Corvane"}, commandLine,
      [&how](forms::Runtime& runtime) { return std::make_unique<ChildForm>(runtime, how); });
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--child") == 0) {
    return runAsChild(argv[2]);
  }
  WindowTest test;
  return runTests(test, argc, argv);
}

#include "test_window.moc"
