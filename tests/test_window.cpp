#include <QtTest>

#include <QAbstractButton>
#include <QApplication>
#include <QFontInfo>
#include <QLineEdit>
#include <QProcess>
#include <chrono>
#include <cmath>
#include <ctime>
#include <limits>
#include <string>
#include <tuple>
#include <utility>

#include "board/corvane.h"
#include "board/layout.h"
#include "board/pictures.h"
#include "forms/qt/form_window.h"
#include "forms/qt/qt_runtime.h"

namespace {

// The real window on the offscreen platform, loaded and shown as the program shows it. An end
// of the program is recorded instead of leaving an event loop, so that it does not stop the
// test.
struct Screen {
  bool leaveRequested = false;
  forms::qt::QtRuntime runtime{[this] { leaveRequested = true; }};
  Corvane form{runtime};
  forms::qt::FormWindow window{runtime, form.describe()};

  Screen() {
    window.load();
    window.present();
  }
  QLineEdit* edit(const char* name) { return window.findChild<QLineEdit*>(name); }
  QAbstractButton* button(const char* name) { return window.findChild<QAbstractButton*>(name); }
  QImage grab() { return window.grab().toImage(); }
  // As a user does it: click into the box, then type.
  void type(const char* box, const QString& text) {
    QTest::mouseClick(edit(box), Qt::LeftButton);
    QTest::keyClicks(edit(box), text);
  }
};

// Design twips to device pixels; unless a test says otherwise, one device pixel per pixel.
int px(double twips, double ratio = 1.0) {
  return static_cast<int>(std::lround(twips / board::kTwipsPerPixel * ratio));
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

}  // namespace

class WindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

  // A fixed dialog of the design size with a close box only. The entry boxes show their prompts
  // in bold serif type, white on the box's own colour; the buttons their words in white, centred
  // on a black face, where a focus mark shows and leaves the edge and the word as they were.
  void windowAndControls() {
    Screen screen;
    QVERIFY(QTest::qWaitForWindowActive(&screen.window));
    QCOMPARE(screen.window.size(), QSize(992, 734));
    QCOMPARE(screen.window.minimumSize(), screen.window.maximumSize());
    QCOMPARE(screen.window.windowTitle(), QString("Corvane by Ambrell"));
    const Qt::WindowFlags flags = screen.window.windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testAnyFlags(Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    QVERIFY(!screen.window.windowIcon().isNull());

    const QImage image = screen.grab();
    for (const auto& [name, prompt, background] :
         {std::tuple{"txtNumDisks", "Disks (1-7)", 0x070000u}, {"txtDelay", "Delay (s)", 0x0u}}) {
      const QLineEdit* edit = screen.edit(name);
      QCOMPARE(edit->text(), QString(prompt));
      QCOMPARE(edit->font().pointSizeF(), 9.75);
      // The family has no metric twin under its own name everywhere; any serif stand-in will do.
      const QFontInfo font(edit->font());
      QVERIFY2((font.family().contains("Serif") || font.family().contains("Times")) && font.bold(),
               qPrintable(font.family()));
      const QRect area = edit->geometry();
      QCOMPARE(at(image, area.right() - 4, area.center().y()), hex(background));
      QVERIFY2(ink(image, area).width() > 20, name);
    }

    for (const char* name : {"cmdMoves", "cmdReset", "cmdQuit"}) {
      const QRect face = screen.button(name)->geometry();
      screen.edit("txtDelay")->setFocus();
      const QImage plain = screen.grab();
      screen.button(name)->setFocus(Qt::TabFocusReason);
      const QImage focused = screen.grab();
      const QRect word = ink(plain, face);
      QVERIFY2(word.width() > 20 && word.height() > 8, name);
      QVERIFY2((word.center() - face.center()).manhattanLength() <= 4, name);
      QCOMPARE(at(plain, face.left() + 2, face.center().y()), hex(0x000000));
      int marked = 0;
      for (int y = face.top(); y <= face.bottom(); ++y) {
        for (int x = face.left(); x <= face.right(); ++x) {
          if (plain.pixel(x, y) != focused.pixel(x, y)) {
            ++marked;
            QVERIFY2(face.adjusted(2, 2, -2, -2).contains(x, y) && at(plain, x, y) == hex(0), name);
          }
        }
      }
      QVERIFY2(marked > 40, name);
    }
  }

  // Sampled colours right after start-up (every disk hidden) and with all seven disks shown at
  // their design places: each disk in front of the post, the base in front of the lowest disk's
  // last row, disk 0 in front of disk 1 and every other upper disk in front of the one below it.
  void sampledColours() {
    Screen screen;
    QVERIFY(QTest::qWaitForWindowExposed(&screen.window));
    const QImage atStart = screen.grab();
    for (auto& disk : screen.form.Picture1) {
      disk.setVisible(forms::True);
    }
    const QImage stacked = screen.grab();
    QStringList wrong;
    const auto expect = [&wrong](const QImage& image, const QString& what, QPoint p, QRgb rgb) {
      if (at(image, p.x(), p.y()) != hex(rgb)) {
        wrong << what + ": " + at(image, p.x(), p.y()) + " instead of " + hex(rgb);
      }
    };
    expect(atStart, "background", {991, 733}, 0x000000);
    for (std::size_t p = 0; p < 3; ++p) {
      const QPoint post(px(board::kPosts[p].rect.left), px(board::kPosts[p].rect.top));
      const QPoint base(px(board::kBases[p].rect.left), px(board::kBases[p].rect.top));
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
      const QPoint origin(px(board::kDisks[i].rect.left), px(board::kDisks[i].rect.top));
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
    const QPoint base(px(board::kBases[0].rect.left) + 30, px(board::kBases[0].rect.top));
    expect(stacked, "base over disk 0", base, board::basePicture(0, 1.0).pixel(30, 0));
    expect(stacked, "disk 0 above the base", base - QPoint(0, 1),
           board::diskPicture(0, 1.0).pixel(base.x() - px(board::kDisks[0].rect.left), 31));
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join('\n')));
  }

  // Everything from the keyboard alone, in the tab order Reset, count, delay, Moves, Quit. A
  // box entered with Tab has its prompt selected, so typing replaces it. A focused button
  // answers the Space bar and both Enter keys. The whole run happens inside the key press, and
  // the disks are drawn where it leaves them.
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
    const auto press = [](int pressed) {
      QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(pressed));
      return QApplication::focusWidget()->objectName();
    };
    QCOMPARE(QApplication::focusWidget(), screen.button("cmdReset"));
    QCOMPARE(press(Qt::Key_Tab), QString("txtNumDisks"));
    QTest::keyClicks(QApplication::focusWidget(), "3");
    QCOMPARE(press(Qt::Key_Tab), QString("txtDelay"));
    QTest::keyClicks(QApplication::focusWidget(), "0");
    QCOMPARE(screen.form.txtNumDisks.Text(), std::string("3"));
    QCOMPARE(press(Qt::Key_Tab), QString("cmdMoves"));
    press(key);

    const QImage image = screen.grab();
    for (std::size_t i = 0; i < 3; ++i) {
      QCOMPARE(screen.form.Picture1[i].Top(), board::kDisks[i].rect.top);
      const QPoint now = highlight(i, screen.form.Picture1[i].Left());
      QVERIFY(now.x() > px(board::kBases[2].rect.left));
      QCOMPARE(at(image, now.x(), now.y()), hex(board::kDisks[i].highlight));
      QCOMPARE(at(image, highlight(i).x(), now.y()), hex(0x000000));
    }

    QCOMPARE(press(Qt::Key_Tab), QString("cmdQuit"));
    QCOMPARE(press(Qt::Key_Tab), QString("cmdReset"));
    QCOMPARE(press(Qt::Key_Backtab), QString("cmdQuit"));
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
        QTest::mouseClick(screen.button(qPrintable(control)), Qt::LeftButton);
      }
      if (control == "cmdReset") {
        // The emptied delay box would pause the rest of the phase at the default delay.
        QTest::keyClicks(screen.edit("txtDelay"), "0");
      }
    };
    if (duringRun) {
      screen.type("txtNumDisks", "3");
      screen.type("txtDelay", "0");
      QMetaObject::invokeMethod(&screen.window, interrupt, Qt::QueuedConnection);
      QTest::mouseClick(screen.button("cmdMoves"), Qt::LeftButton);
    } else {
      interrupt();
    }
    QCOMPARE(running, duringRun);

    if (control == "cmdReset") {
      // The board, above the controls, looks as at start-up; the boxes are empty.
      const QRect area(0, 0, 992, px(board::kMovesButton.rect.top));
      QCOMPARE(screen.grab().copy(area), Screen().grab().copy(area));
      QCOMPARE(screen.edit("txtNumDisks")->text(), QString());
      QCOMPARE(screen.edit("txtDelay")->text(), QString("0"));
      QCOMPARE(screen.form.blnIdle, forms::True);
      return;
    }
    if (duringRun) {
      // The first move lifted its disk one step before the pause that took the quit.
      QCOMPARE(screen.form.Picture1[2].Top(), board::kDisks[2].rect.top - 40);
    }
    QVERIFY(screen.runtime.ended() && screen.leaveRequested);
    QVERIFY(!screen.window.isVisible());
    // Nothing runs after the end.
    screen.form.blnIdle = forms::True;
    QTest::mouseClick(screen.button("cmdMoves"), Qt::LeftButton);
    QCOMPARE(screen.form.blnIdle, forms::True);
  }

  // A pump asked to wait sleeps until the next event, however long the wait; one asked not to
  // wait (nothing, less than nothing, not a number) does not sleep at all.
  void aPumpSleepsOnlyWhenAsked() {
    constexpr float kLargest = std::numeric_limits<float>::max();
    const std::pair<float, bool> cases[] = {{7200.0f, true}, {kLargest, true}, {INFINITY, true},
                                            {0.0f, false},   {-5.0f, false},   {NAN, false}};
    for (const auto& [wait, sleeps] : cases) {
      forms::qt::QtRuntime runtime{[] {}};
      QObject scope;
      bool fired = false;
      QTimer::singleShot(sleeps ? 20 : 60'000, &scope, [&fired] { fired = true; });
      // Spinning would run through these pumps long before the event.
      for (int pumps = 0; pumps < 50 && !fired; ++pumps) {
        runtime.DoEvents(wait);
      }
      QVERIFY2(fired == sleeps, qPrintable(QString::number(wait)));
    }
  }

  // Pauses sleep in the event dispatcher instead of spinning.
  void pausesLeaveTheProcessorFree() {
    Screen screen;
    QVERIFY(QTest::qWaitForWindowExposed(&screen.window));
    const auto wallStart = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    for (int i = 0; i < 20; ++i) {
      float delay = 0.05f;
      screen.form.subDelay(delay);
    }
    const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    QVERIFY2(cpu < wall / 2, qPrintable(QString("cpu %1 s of %2 s").arg(cpu).arg(wall)));
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
    const QImage image = screen.grab();
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

QTEST_MAIN(WindowTest)
#include "test_window.moc"
