#include <QtTest>

#include <time.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFontInfo>
#include <QLineEdit>
#include <QPaintEvent>
#include <QRegion>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

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

// Design twips to the window's pixels; the offscreen screen has one device pixel per pixel.
int px(double twips) {
  return static_cast<int>(std::lround(twips / board::kTwipsPerPixel));
}

QRgb rgbAt(const QImage& image, int x, int y) {
  return image.pixel(x, y) & 0xFFFFFFu;
}
QRgb rgbAt(const forms::Image& picture, int x, int y) {
  return picture.pixel(x, y) & 0xFFFFFFu;
}

QString hex(QRgb rgb) {
  return QStringLiteral("#%1").arg(rgb, 6, 16, QLatin1Char('0'));
}

bool nearWhite(QRgb rgb) {
  return qRed(rgb) >= 0xC0 && qGreen(rgb) >= 0xC0 && qBlue(rgb) >= 0xC0;
}

// A disk's design place, in pixels, and the column of its highlight.
struct DiskPlace {
  int left;
  int top;
  int highlight;
};
DiskPlace diskPlace(std::size_t disk) {
  const board::DiskDesign& design = board::kDisks[disk];
  return {px(design.rect.left), px(design.rect.top), design.highlightColumn};
}

// Processor seconds used by this process so far.
double processSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Collects the areas of the window that get repainted.
class PaintWatch : public QObject {
 public:
  QRegion painted;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      painted += static_cast<QPaintEvent*>(event)->region();
    }
    return false;
  }
};

void addPixelRow(const QString& name, int x, int y, QRgb expected) {
  QTest::newRow(qPrintable(name)) << x << y << static_cast<uint>(expected);
}

}  // namespace

class WindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

  void windowIsAFixedDialogOfTheDesignSize() {
    Screen screen;
    QVERIFY(QTest::qWaitForWindowExposed(&screen.window));
    QCOMPARE(screen.window.size(), QSize(992, 734));
    QCOMPARE(screen.window.minimumSize(), screen.window.maximumSize());
    QCOMPARE(screen.window.windowTitle(), QString("Corvane by Ambrell"));
    const Qt::WindowFlags flags = screen.window.windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    const QList<QSize> iconSizes = screen.window.windowIcon().availableSizes();
    for (const int side : {16, 32, 48, 64}) {
      QVERIFY2(iconSizes.contains(QSize(side, side)), qPrintable(QString::number(side)));
    }
  }

  void entryBoxes_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("prompt");
    QTest::addColumn<uint>("background");
    QTest::newRow("count") << "txtNumDisks"
                           << "Disks (1-7)" << 0x070000u;
    QTest::newRow("delay") << "txtDelay"
                           << "Delay (s)" << 0x000000u;
  }
  void entryBoxes() {
    QFETCH(QString, name);
    QFETCH(QString, prompt);
    QFETCH(uint, background);
    Screen screen;
    QVERIFY(QTest::qWaitForWindowExposed(&screen.window));
    QLineEdit* edit = screen.edit(qPrintable(name));
    QVERIFY(edit != nullptr);
    QCOMPARE(edit->text(), prompt);

    // The family has no metric twin under its own name everywhere; any serif stand-in will do.
    const QFontInfo font(edit->font());
    QVERIFY2(font.family().contains("Serif") || font.family().contains("Times"),
             qPrintable(font.family()));
    QVERIFY(font.bold());
    QCOMPARE(edit->font().pointSizeF(), 9.75);

    // White text on the box's own black: the far end of the box is background, the prompt has
    // white strokes.
    const QImage image = screen.grab();
    const QRect box = edit->geometry();
    QCOMPARE(hex(rgbAt(image, box.right() - 4, box.center().y())), hex(background));
    int white = 0;
    for (int y = box.top() + 2; y < box.bottom() - 2; ++y) {
      for (int x = box.left() + 2; x < box.center().x(); ++x) {
        white += nearWhite(rgbAt(image, x, y)) ? 1 : 0;
      }
    }
    QVERIFY2(white > 20, qPrintable(QString::number(white)));
  }

  void tabOrderStartsAtReset() {
    Screen screen;
    QVERIFY(QTest::qWaitForWindowActive(&screen.window));
    QCOMPARE(QApplication::focusWidget(), screen.button("cmdReset"));
    const char* const order[] = {"txtNumDisks", "txtDelay", "cmdMoves", "cmdQuit", "cmdReset"};
    for (const char* name : order) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QCOMPARE(QApplication::focusWidget()->objectName(), QString(name));
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget()->objectName(), QString("cmdQuit"));
  }

  void pictureAfterLoad_data() {
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<uint>("expected");
    const forms::Image post = board::postPicture(1.0);
    for (std::size_t p = 0; p < 3; ++p) {
      const int postLeft = px(board::kPosts[p].rect.left);
      const int postTop = px(board::kPosts[p].rect.top);
      const int baseLeft = px(board::kBases[p].rect.left);
      const int baseTop = px(board::kBases[p].rect.top);
      const forms::Image base = board::basePicture(static_cast<int>(p), 1.0);
      const QString peg = QString::number(p);
      addPixelRow("post " + peg + " glint", postLeft + 4, 210, 0xFE8437);
      addPixelRow("post " + peg + " top row", postLeft + 8, postTop, rgbAt(post, 8, 0));
      addPixelRow("post " + peg + " last column", postLeft + 19, 300, 0x1C1C1C);
      addPixelRow("post " + peg + " foot behind the base", postLeft + 4, baseTop,
                  rgbAt(base, postLeft + 4 - baseLeft, 0));
      addPixelRow("base " + peg + " top left", baseLeft, baseTop, rgbAt(base, 0, 0));
      addPixelRow("base " + peg + " bottom right", baseLeft + 249, baseTop + 88,
                  rgbAt(base, 249, 88));
      addPixelRow("base " + peg + " numeral area", baseLeft + 125, baseTop + 44,
                  rgbAt(base, 125, 44));
      addPixelRow("base " + peg + " top line", baseLeft + 100, baseTop + 16, 0xC0C0C0);
      addPixelRow("base " + peg + " top line, upper edge", baseLeft + 100, baseTop + 15, 0xC0C0C0);
      addPixelRow("base " + peg + " top line, lower edge", baseLeft + 100, baseTop + 17, 0xC0C0C0);
      addPixelRow("base " + peg + " above the top line", baseLeft + 100, baseTop + 14,
                  rgbAt(base, 100, 14));
      addPixelRow("base " + peg + " below the top line", baseLeft + 100, baseTop + 18,
                  rgbAt(base, 100, 18));
      addPixelRow("base " + peg + " left line", baseLeft + 16, baseTop + 40, 0x404040);
      addPixelRow("base " + peg + " bottom line", baseLeft + 100, baseTop + 72, 0x808080);
      addPixelRow("base " + peg + " right line", baseLeft + 232, baseTop + 40, 0xE0E0E0);
      addPixelRow("beside base " + peg, baseLeft - 1, baseTop + 40, 0x000000);
    }
    addPixelRow("background top left", 0, 0, 0x000000);
    addPixelRow("background bottom right", 991, 733, 0x000000);
    addPixelRow("background above the posts", 500, 100, 0x000000);
    // Start-up hides every disk.
    for (std::size_t i = 0; i < board::kDisks.size(); ++i) {
      const DiskPlace disk = diskPlace(i);
      addPixelRow("hidden disk " + QString::number(i), disk.left + disk.highlight, disk.top + 16,
                  0x000000);
    }
  }
  void pictureAfterLoad() {
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(uint, expected);
    Screen screen;
    QVERIFY(QTest::qWaitForWindowExposed(&screen.window));
    QCOMPARE(hex(rgbAt(screen.grab(), x, y)), hex(expected));
  }

  void buttonsShowTheirWords_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("word");
    QTest::newRow("moves") << "cmdMoves"
                           << "Moves";
    QTest::newRow("reset") << "cmdReset"
                           << "Reset";
    QTest::newRow("quit") << "cmdQuit"
                          << "Quit";
  }
  void buttonsShowTheirWords() {
    QFETCH(QString, name);
    QFETCH(QString, word);
    Screen screen;
    QVERIFY(QTest::qWaitForWindowExposed(&screen.window));
    QAbstractButton* button = screen.button(qPrintable(name));
    QVERIFY(button != nullptr);
    QVERIFY(button->text().isEmpty());
    QCOMPARE(button->accessibleName(), word);
    QCOMPARE(button->size(), QSize(57, 33));

    const QImage image = screen.grab();
    const QRect face = button->geometry();
    // Inside the edge the face is black; the word's white strokes sit in its middle.
    QCOMPARE(hex(rgbAt(image, face.left() + 2, face.center().y())), hex(0x000000));
    QCOMPARE(hex(rgbAt(image, face.right() - 2, face.center().y())), hex(0x000000));
    QRect strokes;
    for (int y = face.top() + 4; y < face.bottom() - 3; ++y) {
      for (int x = face.left() + 4; x < face.right() - 3; ++x) {
        if (nearWhite(rgbAt(image, x, y))) {
          strokes |= QRect(x, y, 1, 1);
        }
      }
    }
    QVERIFY(strokes.width() > 20);
    QVERIFY(strokes.height() > 8);
    QVERIFY2(std::abs(strokes.center().x() - face.center().x()) <= 3,
             qPrintable(QString("word centred at %1").arg(strokes.center().x() - face.left())));
    QVERIFY2(std::abs(strokes.center().y() - face.center().y()) <= 3,
             qPrintable(QString("word centred at %1").arg(strokes.center().y() - face.top())));
  }

  // With every disk shown at its design place: a stack in 32-pixel steps, each disk in front of
  // the post, the base in front of the lowest disk's last row, disk 0 in front of disk 1 and
  // every other upper disk in front of the one below it.
  void stackedDisks_data() {
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<uint>("expected");
    std::array<forms::Image, 7> pictures;
    for (std::size_t i = 0; i < pictures.size(); ++i) {
      pictures[i] = board::diskPicture(static_cast<int>(i), 1.0);
    }
    const int postColumn = px(board::kPosts[0].rect.left) + 4;
    for (std::size_t i = 0; i < pictures.size(); ++i) {
      const DiskPlace disk = diskPlace(i);
      const QString name = "disk " + QString::number(i);
      QCOMPARE(disk.top, diskPlace(0).top - 32 * static_cast<int>(i));
      addPixelRow(name + " highlight", disk.left + disk.highlight, disk.top + 16,
                  board::kDisks[i].highlight);
      addPixelRow(name + " left edge", disk.left, disk.top + 16, board::kDisks[i].leftEdge);
      addPixelRow(name + " right edge", disk.left + pictures[i].width - 1, disk.top + 16,
                  board::kDisks[i].rightEdge);
      addPixelRow(name + " over the post", postColumn, disk.top + 16,
                  rgbAt(pictures[i], postColumn - disk.left, 16));
      if (i + 1 < pictures.size()) {
        // The top row of disk i is also the bottom row of disk i + 1.
        const DiskPlace upper = diskPlace(i + 1);
        const int x = upper.left + upper.highlight;
        const QRgb front = i == 0 ? rgbAt(pictures[0], x - disk.left, 0)
                                  : rgbAt(pictures[i + 1], upper.highlight, 32);
        addPixelRow(name + " and the disk above", x, disk.top, front);
      }
    }
    const DiskPlace lowest = diskPlace(0);
    const int baseLeft = px(board::kBases[0].rect.left);
    const int baseTop = px(board::kBases[0].rect.top);
    const int x = baseLeft + 30;
    addPixelRow("disk 0 last row behind the base", x, baseTop,
                rgbAt(board::basePicture(0, 1.0), 30, 0));
    addPixelRow("disk 0 row above the base", x, baseTop - 1,
                rgbAt(pictures[0], x - lowest.left, baseTop - 1 - lowest.top));
    QCOMPARE(baseTop - lowest.top, 32);
  }
  void stackedDisks() {
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(uint, expected);
    Screen screen;
    for (auto& disk : screen.form.Picture1) {
      disk.setVisible(forms::True);
    }
    QVERIFY(QTest::qWaitForWindowExposed(&screen.window));
    QCOMPARE(hex(rgbAt(screen.grab(), x, y)), hex(expected));
  }

  // A step of the animation repaints the disk's old and new places, not the window.
  void aMoveRepaintsOnlyWhereTheDiskWas() {
    Screen screen;
    forms::PictureBox& disk = screen.form.Picture1[6];
    disk.setVisible(forms::True);
    QVERIFY(QTest::qWaitForWindowExposed(&screen.window));
    QCoreApplication::processEvents();
    PaintWatch watch;
    screen.window.installEventFilter(&watch);

    const QRect before = screen.window.toPixels(disk.rect()).toAlignedRect();
    disk.setLeft(disk.Left() + 40);
    const QRect after = screen.window.toPixels(disk.rect()).toAlignedRect();
    QTRY_VERIFY(!watch.painted.isEmpty());
    const QRegion allowed = QRegion(before.adjusted(-1, -1, 1, 1)) + after.adjusted(-1, -1, 1, 1);
    QCOMPARE(watch.painted - allowed, QRegion());
    QVERIFY(watch.painted.contains(before));
    QVERIFY(watch.painted.contains(after));

    const QImage image = screen.grab();
    const int highlight = board::kDisks[6].highlightColumn;
    QCOMPARE(hex(rgbAt(image, after.left() + highlight, after.top() + 16)),
             hex(board::kDisks[6].highlight));
    // The disk's old left columns are background again.
    QCOMPARE(hex(rgbAt(image, before.left(), before.top() + 16)), hex(0x000000));

    watch.painted = QRegion();
    disk.setVisible(forms::False);
    QTRY_VERIFY(!watch.painted.isEmpty());
    QCOMPARE(watch.painted - QRegion(after.adjusted(-1, -1, 1, 1)), QRegion());
    QCOMPARE(hex(rgbAt(screen.grab(), after.left() + highlight, after.top() + 16)), hex(0x000000));
  }

  void typingACountShowsTheStack_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("disks");
    QTest::newRow("one") << "1" << 1;
    QTest::newRow("three") << "3" << 3;
    QTest::newRow("seven") << "7" << 7;
  }
  void typingACountShowsTheStack() {
    QFETCH(QString, text);
    QFETCH(int, disks);
    Screen screen;
    QVERIFY(QTest::qWaitForWindowExposed(&screen.window));
    QTest::mouseClick(screen.edit("txtNumDisks"), Qt::LeftButton);
    // The first click takes the prompt away.
    QCOMPARE(screen.edit("txtNumDisks")->text(), QString());
    QVERIFY(screen.form.txtNumDisks.Text().empty());
    QTest::keyClicks(screen.edit("txtNumDisks"), text);
    QCOMPARE(QString::fromStdString(screen.form.txtNumDisks.Text()), text);
    const QImage image = screen.grab();
    for (std::size_t i = 0; i < board::kDisks.size(); ++i) {
      const DiskPlace disk = diskPlace(i);
      const QRgb expected =
          static_cast<int>(i) < disks ? board::kDisks[i].highlight : QRgb{0x000000};
      QCOMPARE(hex(rgbAt(image, disk.left + disk.highlight, disk.top + 16)), hex(expected));
    }
  }

  void delayTyped() {
    Screen screen;
    QVERIFY(QTest::qWaitForWindowExposed(&screen.window));
    screen.type("txtDelay", "0.2");
    QCOMPARE(screen.form.txtDelay.Text(), std::string("0.2"));
    QCOMPARE(screen.form.sngStepDelay, 0.2f);
    QCOMPARE(screen.edit("txtDelay")->cursorPosition(), 3);
  }

  // Reset answers the mouse, the Space bar and both Enter keys alike.
  void buttonsAnswerMouseAndKeys_data() {
    QTest::addColumn<int>("key");
    QTest::newRow("mouse") << 0;
    QTest::newRow("space") << int(Qt::Key_Space);
    QTest::newRow("return") << int(Qt::Key_Return);
    QTest::newRow("enter") << int(Qt::Key_Enter);
  }
  void buttonsAnswerMouseAndKeys() {
    QFETCH(int, key);
    Screen screen;
    QVERIFY(QTest::qWaitForWindowExposed(&screen.window));
    screen.type("txtNumDisks", "3");
    screen.type("txtDelay", "1");
    QAbstractButton* reset = screen.button("cmdReset");
    if (key == 0) {
      QTest::mouseClick(reset, Qt::LeftButton);
    } else {
      reset->setFocus();
      QTest::keyClick(reset, static_cast<Qt::Key>(key));
    }
    QCOMPARE(screen.edit("txtNumDisks")->text(), QString());
    QCOMPARE(screen.edit("txtDelay")->text(), QString());
    const QImage image = screen.grab();
    const DiskPlace disk = diskPlace(0);
    QCOMPARE(hex(rgbAt(image, disk.left + disk.highlight, disk.top + 16)), hex(0x000000));
  }

  // A whole run happens inside the click; the disks are drawn where the run leaves them.
  void aRunEndsOnTheRightPeg() {
    Screen screen;
    QVERIFY(QTest::qWaitForWindowExposed(&screen.window));
    screen.type("txtNumDisks", "3");
    screen.type("txtDelay", "0");
    QTest::mouseClick(screen.button("cmdMoves"), Qt::LeftButton);

    const QImage image = screen.grab();
    const int rightPost = px(board::kPosts[2].rect.left) + 4;
    for (std::size_t i = 0; i < 3; ++i) {
      const forms::PictureBox& box = screen.form.Picture1[i];
      QCOMPARE(box.Top(), board::kDisks[i].rect.top);
      const float postCentre = board::kPosts[2].rect.left + board::kPosts[2].rect.width / 2;
      QVERIFY(std::abs(box.Left() + box.Width() / 2 - postCentre) <= 40);
      const DiskPlace home = diskPlace(i);
      const int x = px(box.Left());
      QCOMPARE(hex(rgbAt(image, x + home.highlight, home.top + 16)),
               hex(board::kDisks[i].highlight));
      QCOMPARE(hex(rgbAt(image, x, home.top + 16)), hex(board::kDisks[i].leftEdge));
      QCOMPARE(hex(rgbAt(image, rightPost, home.top + 16)),
               hex(rgbAt(board::diskPicture(static_cast<int>(i), 1.0), rightPost - x, 16)));
      QCOMPARE(hex(rgbAt(image, home.left + home.highlight, home.top + 16)), hex(0x000000));
    }
  }

  // A reset clicked inside a pause of a run hides the board at once; the run winds down
  // without showing anything again.
  void resetInTheMiddleOfARun() {
    Screen screen;
    QVERIFY(QTest::qWaitForWindowExposed(&screen.window));
    screen.type("txtNumDisks", "3");
    screen.type("txtDelay", "0");
    bool runningAtReset = false;
    QString countAfterReset = "not reset";
    QString delayAfterReset = "not reset";
    QMetaObject::invokeMethod(
        &screen.window,
        [&] {
          runningAtReset = screen.form.blnIdle == forms::False;
          QTest::mouseClick(screen.button("cmdReset"), Qt::LeftButton);
          countAfterReset = screen.edit("txtNumDisks")->text();
          delayAfterReset = screen.edit("txtDelay")->text();
          // The emptied delay box would pause the rest of the phase at the default delay.
          QTest::keyClicks(screen.edit("txtDelay"), "0");
        },
        Qt::QueuedConnection);
    QTest::mouseClick(screen.button("cmdMoves"), Qt::LeftButton);

    QVERIFY(runningAtReset);
    QCOMPARE(countAfterReset, QString());
    QCOMPARE(delayAfterReset, QString());
    QCOMPARE(screen.form.blnIdle, forms::True);
    const QImage image = screen.grab();
    for (std::size_t i = 0; i < 3; ++i) {
      const forms::PictureBox& box = screen.form.Picture1[i];
      QCOMPARE(box.Visible(), forms::False);
      const QRect drawn = screen.window.toPixels(box.rect()).toRect();
      const DiskPlace home = diskPlace(i);
      QCOMPARE(hex(rgbAt(image, drawn.left() + home.highlight, drawn.top() + 16)), hex(0x000000));
    }
  }

  // Quitting, by the button or the close box, at rest or inside a pause of a run: the program
  // ends, the window goes away, and the run does not go on.
  void quit_data() {
    QTest::addColumn<bool>("closeBox");
    QTest::addColumn<bool>("duringRun");
    QTest::newRow("button at rest") << false << false;
    QTest::newRow("close box at rest") << true << false;
    QTest::newRow("button during a run") << false << true;
    QTest::newRow("close box during a run") << true << true;
  }
  void quit() {
    QFETCH(bool, closeBox);
    QFETCH(bool, duringRun);
    Screen screen;
    QVERIFY(QTest::qWaitForWindowExposed(&screen.window));
    const auto quitNow = [&screen, closeBox] {
      if (closeBox) {
        screen.window.close();
      } else {
        QTest::mouseClick(screen.button("cmdQuit"), Qt::LeftButton);
      }
    };
    if (duringRun) {
      screen.type("txtNumDisks", "3");
      screen.type("txtDelay", "0");
      QMetaObject::invokeMethod(&screen.window, quitNow, Qt::QueuedConnection);
      QTest::mouseClick(screen.button("cmdMoves"), Qt::LeftButton);
      // The first move lifted its disk one step before the pause that took the quit.
      QCOMPARE(screen.form.Picture1[2].Top(), board::kDisks[2].rect.top - 40);
    } else {
      quitNow();
    }
    QVERIFY(screen.runtime.ended());
    QVERIFY(screen.leaveRequested);
    QVERIFY(!screen.window.isVisible());

    // Nothing runs after the end.
    screen.form.blnIdle = forms::True;
    QTest::mouseClick(screen.button("cmdMoves"), Qt::LeftButton);
    QCOMPARE(screen.form.blnIdle, forms::True);
  }

  // However long a pump may wait, the next event ends the wait.
  void aLongWaitEndsAtTheNextEvent_data() {
    QTest::addColumn<float>("wait");
    QTest::newRow("two hours") << 7200.0f;
    QTest::newRow("largest float") << std::numeric_limits<float>::max();
    QTest::newRow("infinity") << std::numeric_limits<float>::infinity();
  }
  void aLongWaitEndsAtTheNextEvent() {
    QFETCH(float, wait);
    forms::qt::QtRuntime runtime{[] {}};
    bool fired = false;
    QTimer::singleShot(20, [&fired] { fired = true; });
    int pumps = 0;
    while (!fired) {
      runtime.DoEvents(wait);
      ++pumps;
    }
    // Spinning instead of sleeping would take thousands of pumps.
    QVERIFY2(pumps < 50, qPrintable(QString::number(pumps)));
  }

  // A wait of nothing, less than nothing or not a number does not sleep.
  void noWaitDoesNotSleep_data() {
    QTest::addColumn<float>("wait");
    QTest::newRow("zero") << 0.0f;
    QTest::newRow("negative") << -5.0f;
    QTest::newRow("not a number") << std::numeric_limits<float>::quiet_NaN();
  }
  void noWaitDoesNotSleep() {
    QFETCH(float, wait);
    forms::qt::QtRuntime runtime{[] {}};
    bool fired = false;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, [&fired] { fired = true; });
    timer.start(60'000);
    for (int i = 0; i < 10; ++i) {
      runtime.DoEvents(wait);
    }
    QVERIFY(!fired);
  }

  // Pauses sleep in the event dispatcher instead of spinning.
  void pausesLeaveTheProcessorFree() {
    Screen screen;
    QVERIFY(QTest::qWaitForWindowExposed(&screen.window));
    const auto wallStart = std::chrono::steady_clock::now();
    const double cpuStart = processSeconds();
    for (int i = 0; i < 20; ++i) {
      float delay = 0.05f;
      screen.form.subDelay(delay);
    }
    const double cpu = processSeconds() - cpuStart;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    QVERIFY2(cpu < wall / 2, qPrintable(QString("cpu %1 s of %2 s").arg(cpu).arg(wall)));
  }
};

QTEST_MAIN(WindowTest)
#include "test_window.moc"
