#include <QtTest>

#include <QAbstractButton>
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QFontInfo>
#include <QLineEdit>
#include <QPaintEvent>
#include <QProcess>
#include <QScreen>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>

#include "board/corvane.h"
#include "board/layout.h"
#include "board/pictures.h"
#include "forms/qt/application.h"
#include "forms/qt/stage.h"

Q_DECLARE_METATYPE(forms::qt::QtRuntime::Sleep)

namespace {

using Screen = forms::qt::Stage<Corvane>;
using Sleep = forms::qt::QtRuntime::Sleep;

QWidget* control(Screen& screen, const char* name) {
  return screen.window.findChild<QWidget*>(name);
}
QString shownText(Screen& screen, const char* box) {
  return screen.window.findChild<QLineEdit*>(box)->text();
}
void click(Screen& screen, const char* name, Qt::MouseButton button = Qt::LeftButton) {
  QTest::mouseClick(control(screen, name), button);
}
// As a user does it: click into the box, then type.
void type(Screen& screen, const char* box, const QString& text) {
  click(screen, box);
  QTest::keyClicks(control(screen, box), text);
}
// The whole window painted afresh.
QImage grab(Screen& screen) {
  return screen.window.grab().toImage();
}
// What the screen shows: on the offscreen platform, what the window has painted step by step.
QImage onScreen(Screen& screen) {
  QCoreApplication::processEvents();
  return screen.window.screen()->grabWindow(screen.window.winId()).toImage();
}

// Design twips to device pixels; unless a test says otherwise, one device pixel per pixel.
int px(double twips, double ratio = 1.0) {
  return static_cast<int>(std::lround(twips / board::kTwipsPerPixel * ratio));
}
QRect px(const forms::RectF& twips) {
  return {px(twips.left), px(twips.top), px(twips.width), px(twips.height)};
}
QString hex(QRgb rgb) {
  return QStringLiteral("#%1").arg(rgb & 0xFFFFFFu, 6, 16, QLatin1Char('0'));
}
// The colour of a pixel of a grabbed window or a generated picture, for comparing with hex().
template <typename Picture>
QString at(const Picture& picture, int x, int y) {
  return hex(picture.pixel(x, y));
}

// The bounds of the white ink inside a control, two pixels in from its edges.
QRect ink(const QImage& image, const QRect& control) {
  QRect bounds;
  for (int y = control.top() + 2; y <= control.bottom() - 2; ++y) {
    for (int x = control.left() + 2; x <= control.right() - 2; ++x) {
      bounds |= qGray(image.pixel(x, y)) >= 0xC0 ? QRect(x, y, 1, 1) : QRect();
    }
  }
  return bounds;
}

// Where disk i's highlight shows when its left edge is at `left` twips and its top at home.
QPoint highlight(std::size_t disk, double left) {
  return {px(left) + board::kDisks[disk].highlightColumn, px(board::kDisks[disk].rect.top) + 16};
}
QPoint highlight(std::size_t disk) {
  return highlight(disk, board::kDisks[disk].rect.left);
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

}  // namespace

class WindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

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
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testAnyFlags(Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    QVERIFY(!screen.window.windowIcon().isNull());

    const QImage image = grab(screen);
    for (const forms::TextBoxEntry& box : described.textBoxes) {
      const char* name = box.name.c_str();
      QCOMPARE(control(screen, name)->geometry(), px(box.rect));
      QCOMPARE(shownText(screen, name).toStdString(), box.box->Text());
      // The family has no metric twin under its own name everywhere; any serif stand-in will do.
      const QFontInfo font(control(screen, name)->font());
      QVERIFY2((font.family().contains("Serif") || font.family().contains("Times")) && font.bold(),
               qPrintable(font.family()));
      QCOMPARE(at(image, px(box.rect).right() - 4, px(box.rect).center().y()), hex(box.backColor));
      QVERIFY2(ink(image, px(box.rect)).width() > 20, name);
    }
    for (const forms::ButtonEntry& button : described.buttons) {
      const char* name = button.name.c_str();
      const QRect face = px(button.rect);
      QCOMPARE(control(screen, name)->geometry(), face);
      control(screen, "txtDelay")->setFocus();
      const QImage plain = grab(screen);
      control(screen, name)->setFocus(Qt::TabFocusReason);
      const QImage focused = grab(screen);
      const QRect word = ink(plain, face);
      QVERIFY2(word.width() > 20 && word.height() > 8, name);
      QVERIFY2((word.center() - face.center()).manhattanLength() <= 4, name);
      QCOMPARE(at(plain, face.left() + 2, face.center().y()), hex(button.faceColor));
      QRegion marked;
      for (int y = face.top(); y <= face.bottom(); ++y) {
        for (int x = face.left(); x <= face.right(); ++x) {
          marked += plain.pixel(x, y) != focused.pixel(x, y) ? QRect(x, y, 1, 1) : QRect();
          QVERIFY2(plain.pixel(x, y) == focused.pixel(x, y) || at(plain, x, y) == hex(0), name);
        }
      }
      QVERIFY2(marked.boundingRect().width() > 40 &&
                   face.adjusted(2, 2, -2, -2).contains(marked.boundingRect()),
               name);
    }
  }

  // Sampled colours right after start-up (every disk hidden) and with all seven disks shown at
  // their design places: each disk in front of the post, the base in front of the lowest disk's
  // last row, disk 0 in front of disk 1 and every other upper disk in front of the one below it.
  void sampledColours() {
    Screen screen;
    QVERIFY(QTest::qWaitForWindowExposed(&screen.window));
    const QImage atStart = grab(screen);
    for (auto& disk : screen.form.Picture1) {
      disk.setVisible(forms::True);
    }
    const QImage stacked = grab(screen);
    QStringList wrong;
    const auto expect = [&wrong](const QImage& image, const QString& what, QPoint p, QRgb rgb) {
      if (at(image, p.x(), p.y()) != hex(rgb)) {
        wrong << what + ": " + at(image, p.x(), p.y()) + " instead of " + hex(rgb);
      }
    };
    expect(atStart, "background", {991, 733}, 0x000000);
    for (std::size_t p = 0; p < 3; ++p) {
      const QPoint post = px(board::kPosts[p].rect).topLeft();
      const QPoint base = px(board::kBases[p].rect).topLeft();
      const forms::Image marble = board::basePicture(static_cast<int>(p), 1.0);
      const QString peg = " " + QString::number(p);
      expect(atStart, "post glint" + peg, post + QPoint(4, 10), 0xFE8437);
      expect(atStart, "post last column" + peg, post + QPoint(19, 100), 0x1C1C1C);
      expect(atStart, "base over the post foot" + peg, {post.x() + 4, base.y()},
             marble.pixel(post.x() + 4 - base.x(), 0));
      expect(atStart, "numeral" + peg, base + QPoint(125, 44), marble.pixel(125, 44));
      expect(atStart, "beside the base" + peg, base + QPoint(-1, 40), 0x000000);
      for (const board::FrameLineDesign& frame : board::kFrame) {
        const forms::Line& line = frame.line;
        const QPoint middle(px((line.x1 + line.x2) / 2), px((line.y1 + line.y2) / 2));
        expect(atStart, frame.name + peg, base + middle, frame.color);
      }
    }
    const int postColumn = px(board::kPosts[0].rect.left) + 4;
    for (std::size_t i = 0; i < board::kDisks.size(); ++i) {
      const forms::Image picture = board::diskPicture(static_cast<int>(i), 1.0);
      const QPoint origin = px(board::kDisks[i].rect).topLeft();
      const QString disk = "disk " + QString::number(i);
      expect(atStart, disk + " at start-up", highlight(i), 0x000000);
      expect(stacked, disk + " highlight", highlight(i), board::kDisks[i].highlight);
      expect(stacked, disk + " over the post", {postColumn, origin.y() + 16},
             picture.pixel(postColumn - origin.x(), 16));
      if (i + 1 < board::kDisks.size()) {
        // The top row of disk i is also the bottom row of disk i + 1.
        const int x = highlight(i + 1).x();
        expect(stacked, disk + " under the disk above", {x, origin.y()},
               i == 0 ? picture.pixel(x - origin.x(), 0) : board::kDisks[i + 1].highlight);
      }
    }
    const QPoint base = px(board::kBases[0].rect).topLeft() + QPoint(30, 0);
    expect(stacked, "base over disk 0", base, board::basePicture(0, 1.0).pixel(30, 0));
    expect(stacked, "disk 0 above the base", base - QPoint(0, 1),
           board::diskPicture(0, 1.0).pixel(base.x() - px(board::kDisks[0].rect.left), 31));
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join('\n')));
  }

  // A step of the animation repaints the disk's old and new places, not the whole window.
  void aStepRepaintsOnlyWhereTheDiskWas() {
    Screen screen;
    forms::PictureBox& disk = screen.form.Picture1[6];
    disk.setVisible(forms::True);
    QVERIFY(QTest::qWaitForWindowExposed(&screen.window));
    QCoreApplication::processEvents();
    struct PaintWatch : QObject {
      QRegion painted;
      bool eventFilter(QObject*, QEvent* event) override {
        painted +=
            event->type() == QEvent::Paint ? static_cast<QPaintEvent*>(event)->region() : QRegion();
        return false;
      }
    } watch;
    screen.window.installEventFilter(&watch);
    const QRect before = px(disk.rect());
    disk.setLeft(disk.Left() + 40);
    const QRect after = px(disk.rect());
    QTRY_VERIFY(!watch.painted.isEmpty());
    const QRegion allowed = QRegion(before.adjusted(-1, -1, 1, 1)) + after.adjusted(-1, -1, 1, 1);
    QCOMPARE(watch.painted - allowed, QRegion());
  }

  // Everything from the keyboard alone, in the tab order Reset, count, delay, Moves, Quit. A
  // box entered with Tab has its prompt selected, so typing replaces it. A focused button
  // answers the Space bar and both Enter keys, once however long the key is held. The whole run
  // happens inside the key press, and the screen shows the disks where it leaves them, with
  // nothing left behind on the way.
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
    int presses = 0;
    screen.form.cmdMoves.onClick = [&screen, &presses] {
      ++presses;
      screen.form.cmdMoves_Click();
    };
    const auto tab = [](Qt::Key pressed = Qt::Key_Tab) {
      QTest::keyClick(QApplication::focusWidget(), pressed);
      return QApplication::focusWidget()->objectName();
    };
    QCOMPARE(QApplication::focusWidget()->objectName(), QString("cmdReset"));
    QCOMPARE(tab(), QString("txtNumDisks"));
    QTest::keyClicks(QApplication::focusWidget(), "3");
    QCOMPARE(tab(), QString("txtDelay"));
    QTest::keyClicks(QApplication::focusWidget(), "0");
    QCOMPARE(screen.form.txtNumDisks.Text(), std::string("3"));
    QCOMPARE(tab(), QString("cmdMoves"));
    // Held down: the key repeats as pairs of release and press marked as repeats.
    QWidget* moves = QApplication::focusWidget();
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
    QKeyEvent repeatedUp(QEvent::KeyRelease, key, Qt::NoModifier, QString(), true);
    QKeyEvent repeatedDown(QEvent::KeyPress, key, Qt::NoModifier, QString(), true);
    QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(moves, &down);
    for (int i = 0; i < 3; ++i) {
      QApplication::sendEvent(moves, &repeatedUp);
      QApplication::sendEvent(moves, &repeatedDown);
    }
    QApplication::sendEvent(moves, &up);
    QCOMPARE(presses, 1);

    const QImage image = onScreen(screen);
    QCOMPARE(image, grab(screen));
    for (std::size_t i = 0; i < 3; ++i) {
      QCOMPARE(screen.form.Picture1[i].Top(), board::kDisks[i].rect.top);
      const QPoint now = highlight(i, screen.form.Picture1[i].Left());
      QVERIFY(now.x() > px(board::kBases[2].rect.left));
      QCOMPARE(at(image, now.x(), now.y()), hex(board::kDisks[i].highlight));
      QCOMPARE(at(image, highlight(i).x(), now.y()), hex(0x000000));
    }
    QCOMPARE(tab(), QString("cmdQuit"));
    QCOMPARE(tab(), QString("cmdReset"));
    QCOMPARE(tab(Qt::Key_Backtab), QString("cmdQuit"));
  }

  // Only the first left click into a box clears its prompt; what is typed stays where it was
  // typed, also in the middle of the text.
  void boxesTakeWhatIsTyped() {
    Screen screen;
    QVERIFY(QTest::qWaitForWindowActive(&screen.window));
    const QString prompt = shownText(screen, "txtNumDisks");
    click(screen, "txtNumDisks", Qt::RightButton);
    QCOMPARE(shownText(screen, "txtNumDisks"), prompt);
    type(screen, "txtNumDisks", "13");
    QTest::keyClick(control(screen, "txtNumDisks"), Qt::Key_Left);
    QTest::keyClicks(control(screen, "txtNumDisks"), "24");
    QCOMPARE(shownText(screen, "txtNumDisks"), QString("1243"));
    QCOMPARE(screen.form.txtNumDisks.Text(), std::string("1243"));
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
        // The emptied delay box would pause the rest of the phase at the default delay.
        QTest::keyClicks(::control(screen, "txtDelay"), "0");
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
      const QRect area(0, 0, screen.window.width(), px(board::kMovesButton.rect.top));
      Screen fresh;
      QCOMPARE(onScreen(screen).copy(area), grab(fresh).copy(area));
      QCOMPARE(shownText(screen, "txtNumDisks"), QString());
      QCOMPARE(screen.form.blnIdle, forms::True);
      return;
    }
    if (duringRun) {
      // The first move lifted its disk one step before the pause that took the quit.
      QCOMPARE(screen.form.Picture1[2].Top(), board::kDisks[2].rect.top - 40);
    }
    QVERIFY(screen.runtime.ended() && screen.endRequested);
    QVERIFY(!screen.window.isVisible());
    // Nothing runs after the end.
    screen.form.blnIdle = forms::True;
    click(screen, "cmdMoves");
    QCOMPARE(screen.form.blnIdle, forms::True);
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
    child.start(QCoreApplication::applicationFilePath(), {"--child", how});
    QVERIFY2(child.waitForFinished(60'000), "the program did not end");
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), status);
    const QStringList ours =
        QString(child.readAllStandardError()).split('\n').filter(QRegularExpression("^corvane:"));
    QCOMPARE(ours.size(), said.isEmpty() ? 0 : 1);
    QVERIFY(said.isEmpty() || ours.first().contains(said));
  }

  // On a scaled screen every picture comes from its generator at the device resolution, pixel
  // for pixel, where its twips put it. A ratio this process was not started with is checked by
  // a copy of this test started with it.
  void drawnAtDeviceResolution_data() {
    QTest::addColumn<double>("ratio");
    QTest::newRow("1.5") << 1.5;
    QTest::newRow("2") << 2.0;
  }
  void drawnAtDeviceResolution() {
    QFETCH(double, ratio);
    if (qApp->devicePixelRatio() != ratio) {
      QVERIFY2(qEnvironmentVariable("QT_SCALE_FACTOR") != QString::number(ratio),
               "the scale factor was not taken");
      QProcess copy;
      QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
      environment.insert("QT_SCALE_FACTOR", QString::number(ratio));
      copy.setProcessEnvironment(environment);
      copy.setProcessChannelMode(QProcess::MergedChannels);
      copy.start(QCoreApplication::applicationFilePath(),
                 {QString("drawnAtDeviceResolution:") + QTest::currentDataTag()});
      QVERIFY(copy.waitForFinished(-1));
      QVERIFY2(copy.exitStatus() == QProcess::NormalExit && copy.exitCode() == 0,
               copy.readAll().constData());
      return;
    }
    Screen screen;
    forms::PictureBox& disk = screen.form.Picture1[6];
    disk.setVisible(forms::True);
    QVERIFY(QTest::qWaitForWindowExposed(&screen.window));
    const QImage image = grab(screen);
    QCOMPARE(image.size(), QSize(px(board::kClientWidth, ratio), px(board::kClientHeight, ratio)));

    // The middle post, nothing in front of it: exactly its picture's columns.
    const forms::Image post = board::postPicture(ratio);
    const board::PieceDesign& middle = board::kPosts[1];
    const int postLeft = px(middle.rect.left, ratio);
    QCOMPARE(px(middle.rect.left + middle.rect.width, ratio) - postLeft, post.width);
    const int row = px(4000, ratio);
    QCOMPARE(at(image, postLeft - 1, row), hex(0x000000));
    QCOMPARE(at(image, postLeft + post.width, row), hex(0x000000));
    for (int x = 0; x < post.width; ++x) {
      QCOMPARE(at(image, postLeft + x, row), at(post, x, 0));
    }

    // A disk's edges are sharp: background right above and below it, its own picture on its
    // first and last rows.
    const forms::Image picture = board::diskPicture(6, ratio);
    const int left = px(disk.Left(), ratio);
    const int top = px(disk.Top(), ratio);
    const int bottom = px(disk.Top() + disk.Height(), ratio);
    for (int x = 0; left + x < px(board::kPosts[0].rect.left, ratio); ++x) {
      QCOMPARE(at(image, left + x, top - 1), hex(0x000000));
      QCOMPARE(at(image, left + x, top), at(picture, x, 0));
      QCOMPARE(at(image, left + x, bottom - 1), at(picture, x, bottom - 1 - top));
      QCOMPARE(at(image, left + x, bottom), hex(0x000000));
    }

    // A frame line is as many device pixels wide as its design pixels scaled.
    const int width = std::max(1, static_cast<int>(std::lround(board::kFrameLinePixels * ratio)));
    const int lineRow = px(board::kBases[0].rect.top, ratio) + px(board::kFrame[0].line.y1, ratio);
    const int lineColumn = px(board::kBases[0].rect.left + 1500, ratio);
    int lineRows = 0;
    for (int y = lineRow - width; y <= lineRow + width; ++y) {
      lineRows += at(image, lineColumn, y) == hex(board::kFrame[0].color) ? 1 : 0;
    }
    QCOMPARE(lineRows, width);
  }
};

// The test program run again as a child by howTheProgramEnds: the real application, with a
// form that ends or fails in the way asked.
int runAsChild(const std::string& how) {
  int argc = 1;
  char name[] = "corvane";
  char* argv[] = {name, nullptr};
  std::unique_ptr<Corvane> form;
  return forms::qt::runApplication(argc, argv, [&](forms::Runtime& runtime) {
    form = std::make_unique<Corvane>(runtime);
    forms::FormDescription description = form->describe();
    if (how == "end during load") {
      description.onLoad = [&runtime] {
        runtime.Unload();
        runtime.End();
      };
    } else if (how == "failure during load") {
      description.onLoad = [] { throw std::length_error("too long"); };
    } else {
      form->cmdReset.onClick = [] { throw std::bad_alloc(); };
      QTimer::singleShot(0, [] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
          if (auto* reset = window->findChild<QAbstractButton*>("cmdReset")) {
            reset->click();
          }
        }
      });
    }
    return description;
  });
}

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--child") == 0) {
    return runAsChild(argv[2]);
  }
  QApplication application(argc, argv);
  QApplication::setAttribute(Qt::AA_Use96Dpi);
  WindowTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "test_window.moc"
