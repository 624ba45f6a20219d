#include <QtTest>

#include <QAbstractButton>
#include <QApplication>
#include <QFontInfo>
#include <QLineEdit>
#include <QPaintEvent>
#include <QProcess>
#include <QRegion>
#include <chrono>
#include <cmath>
#include <ctime>
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

// Design twips to device pixels; unless a test says otherwise, one device pixel per pixel.
int px(double twips, double ratio = 1.0) {
  return static_cast<int>(std::lround(twips / board::kTwipsPerPixel * ratio));
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

// Where disk i's highlight shows when its left edge is at `left` twips and its top at home.
QPoint highlight(std::size_t disk, double left) {
  return {px(left) + board::kDisks[disk].highlightColumn, px(board::kDisks[disk].rect.top) + 16};
}
QPoint highlightAtHome(std::size_t disk) {
  return highlight(disk, board::kDisks[disk].rect.left);
}

double processSeconds() {
  return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
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

void addPixelRow(const QString& name, bool stacked, QPoint at, QRgb expected) {
  QTest::newRow(qPrintable(name)) << stacked << at << static_cast<uint>(expected);
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

  // Each box shows its prompt in bold serif type, white on the box's own black.
  void entryBoxes_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("prompt");
    QTest::addColumn<uint>("background");
    QTest::newRow("count") << QString("txtNumDisks") << QString("Disks (1-7)") << 0x070000u;
    QTest::newRow("delay") << QString("txtDelay") << QString("Delay (s)") << 0x000000u;
  }
  void entryBoxes() {
    QFETCH(QString, name);
    QFETCH(QString, prompt);
    QFETCH(uint, background);
    Screen screen;
    QVERIFY(QTest::qWaitForWindowExposed(&screen.window));
    QLineEdit* edit = screen.edit(qPrintable(name));
    QCOMPARE(edit->text(), prompt);
    // The family has no metric twin under its own name everywhere; any serif stand-in will do.
    const QFontInfo font(edit->font());
    QVERIFY2(font.family().contains("Serif") || font.family().contains("Times"),
             qPrintable(font.family()));
    QVERIFY(font.bold());
    QCOMPARE(edit->font().pointSizeF(), 9.75);
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

  // Sampled colours right after start-up (every disk hidden) and with all seven disks shown at
  // their design places: a stack in 32-pixel steps, each disk in front of the post, the base in
  // front of the lowest disk's last row, disk 0 in front of disk 1 and every other upper disk in
  // front of the one below it.
  void pixels_data() {
    QTest::addColumn<bool>("stacked");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<uint>("expected");
    for (std::size_t p = 0; p < 3; ++p) {
      const QPoint post(px(board::kPosts[p].rect.left), px(board::kPosts[p].rect.top));
      const QPoint base(px(board::kBases[p].rect.left), px(board::kBases[p].rect.top));
      const forms::Image picture = board::basePicture(static_cast<int>(p), 1.0);
      const auto baseAt = [&](int x, int y) { return rgbAt(picture, x, y); };
      const QString peg = QString::number(p);
      addPixelRow("post glint " + peg, false, post + QPoint(4, 10), 0xFE8437);
      addPixelRow("post last column " + peg, false, post + QPoint(19, 100), 0x1C1C1C);
      addPixelRow("post foot behind the base " + peg, false, QPoint(post.x() + 4, base.y()),
                  baseAt(post.x() + 4 - base.x(), 0));
      addPixelRow("base top left " + peg, false, base, baseAt(0, 0));
      addPixelRow("base numeral " + peg, false, base + QPoint(125, 44), baseAt(125, 44));
      // The top line is exactly three pixels wide.
      for (int dy = 14; dy <= 18; ++dy) {
        addPixelRow(QString("base %1 top line, row %2").arg(peg).arg(dy), false,
                    base + QPoint(100, dy), dy == 14 || dy == 18 ? baseAt(100, dy) : 0xC0C0C0);
      }
      addPixelRow("base left line " + peg, false, base + QPoint(16, 40), 0x404040);
      addPixelRow("base bottom line " + peg, false, base + QPoint(100, 72), 0x808080);
      addPixelRow("base right line " + peg, false, base + QPoint(232, 40), 0xE0E0E0);
      addPixelRow("beside base " + peg, false, base + QPoint(-1, 40), 0x000000);
    }
    addPixelRow("background top left", false, {0, 0}, 0x000000);
    addPixelRow("background bottom right", false, {991, 733}, 0x000000);

    const int postColumn = px(board::kPosts[0].rect.left) + 4;
    for (std::size_t i = 0; i < board::kDisks.size(); ++i) {
      const board::DiskDesign& disk = board::kDisks[i];
      const forms::Image picture = board::diskPicture(static_cast<int>(i), 1.0);
      const QPoint origin(px(disk.rect.left), px(disk.rect.top));
      const QString name = "disk " + QString::number(i);
      addPixelRow(name + " hidden at start-up", false, highlightAtHome(i), 0x000000);
      addPixelRow(name + " highlight", true, highlightAtHome(i), disk.highlight);
      addPixelRow(name + " left edge", true, origin + QPoint(0, 16), disk.leftEdge);
      addPixelRow(name + " right edge", true, origin + QPoint(picture.width - 1, 16),
                  disk.rightEdge);
      addPixelRow(name + " over the post", true, QPoint(postColumn, origin.y() + 16),
                  rgbAt(picture, postColumn - origin.x(), 16));
      if (i + 1 < board::kDisks.size()) {
        // The top row of disk i is also the bottom row of disk i + 1.
        QCOMPARE(px(board::kDisks[i + 1].rect.top), origin.y() - 32);
        const int x = highlightAtHome(i + 1).x();
        const QRgb front = i == 0 ? rgbAt(picture, x - origin.x(), 0)
                                  : rgbAt(board::diskPicture(static_cast<int>(i + 1), 1.0),
                                          board::kDisks[i + 1].highlightColumn, 32);
        addPixelRow(name + " under the disk above", true, QPoint(x, origin.y()), front);
      }
    }
    const QPoint base(px(board::kBases[0].rect.left) + 30, px(board::kBases[0].rect.top));
    addPixelRow("disk 0 last row behind the base", true, base,
                rgbAt(board::basePicture(0, 1.0), 30, 0));
    addPixelRow("disk 0 row above the base", true, base - QPoint(0, 1),
                rgbAt(board::diskPicture(0, 1.0), base.x() - px(board::kDisks[0].rect.left), 31));
  }
  void pixels() {
    QFETCH(bool, stacked);
    QFETCH(QPoint, at);
    QFETCH(uint, expected);
    Screen screen;
    for (auto& disk : screen.form.Picture1) {
      disk.setVisible(stacked ? forms::True : forms::False);
    }
    QVERIFY(QTest::qWaitForWindowExposed(&screen.window));
    QCOMPARE(hex(rgbAt(screen.grab(), at.x(), at.y())), hex(expected));
  }

  // Each button shows its word in white, centred on a black face. The focus mark lies on the
  // black face only: the edge and the word stay as they were.
  void buttonFaces_data() {
    QTest::addColumn<QString>("name");
    for (const char* name : {"cmdMoves", "cmdReset", "cmdQuit"}) {
      QTest::newRow(name) << QString(name);
    }
  }
  void buttonFaces() {
    QFETCH(QString, name);
    Screen screen;
    QVERIFY(QTest::qWaitForWindowActive(&screen.window));
    QAbstractButton* button = screen.button(qPrintable(name));
    screen.edit("txtDelay")->setFocus();
    QVERIFY(button->text().isEmpty());
    QCOMPARE(button->size(), QSize(57, 33));
    const QRect face = button->geometry();
    const QImage plain = screen.grab().copy(face);
    button->setFocus(Qt::TabFocusReason);
    const QImage focused = screen.grab().copy(face);
    QRect strokes;
    int marked = 0;
    for (int y = 0; y < face.height(); ++y) {
      for (int x = 0; x < face.width(); ++x) {
        const bool edge = x < 2 || y < 2 || x >= face.width() - 2 || y >= face.height() - 2;
        if (!edge && nearWhite(rgbAt(plain, x, y))) {
          strokes |= QRect(x, y, 1, 1);
        }
        if (plain.pixel(x, y) != focused.pixel(x, y)) {
          ++marked;
          QVERIFY(!edge);
          QCOMPARE(hex(rgbAt(plain, x, y)), hex(0x000000));
        }
      }
    }
    QCOMPARE(hex(rgbAt(plain, 2, face.height() / 2)), hex(0x000000));
    QCOMPARE(hex(rgbAt(plain, face.width() - 3, face.height() / 2)), hex(0x000000));
    QVERIFY(strokes.width() > 20 && strokes.height() > 8);
    QVERIFY(std::abs(strokes.center().x() - face.width() / 2) <= 3);
    QVERIFY(std::abs(strokes.center().y() - face.height() / 2) <= 3);
    QVERIFY2(marked > 40, qPrintable(QString::number(marked)));
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
    QVERIFY(watch.painted.contains(before) && watch.painted.contains(after));
    const QImage image = screen.grab();
    QCOMPARE(hex(rgbAt(image, highlight(6, disk.Left()).x(), highlight(6, 0).y())),
             hex(board::kDisks[6].highlight));
    QCOMPARE(hex(rgbAt(image, before.left(), before.top() + 16)), hex(0x000000));

    watch.painted = QRegion();
    disk.setVisible(forms::False);
    QTRY_VERIFY(!watch.painted.isEmpty());
    QCOMPARE(watch.painted - QRegion(after.adjusted(-1, -1, 1, 1)), QRegion());
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
    const auto press = [](Qt::Key pressed) {
      QTest::keyClick(QApplication::focusWidget(), pressed);
      return QApplication::focusWidget()->objectName();
    };
    QCOMPARE(QApplication::focusWidget(), screen.button("cmdReset"));
    QCOMPARE(press(Qt::Key_Tab), QString("txtNumDisks"));
    QTest::keyClicks(QApplication::focusWidget(), "3");
    QCOMPARE(press(Qt::Key_Tab), QString("txtDelay"));
    QTest::keyClicks(QApplication::focusWidget(), "0");
    QCOMPARE(screen.form.txtNumDisks.Text(), std::string("3"));
    QCOMPARE(press(Qt::Key_Tab), QString("cmdMoves"));
    press(static_cast<Qt::Key>(key));

    const QImage image = screen.grab();
    const float postCentre = board::kPosts[2].rect.left + board::kPosts[2].rect.width / 2;
    for (std::size_t i = 0; i < 3; ++i) {
      const forms::PictureBox& box = screen.form.Picture1[i];
      QCOMPARE(box.Top(), board::kDisks[i].rect.top);
      QVERIFY(std::abs(box.Left() + box.Width() / 2 - postCentre) <= 40);
      const QPoint now = highlight(i, box.Left());
      QCOMPARE(hex(rgbAt(image, now.x(), now.y())), hex(board::kDisks[i].highlight));
      QCOMPARE(hex(rgbAt(image, highlightAtHome(i).x(), now.y())), hex(0x000000));
    }

    QCOMPARE(press(Qt::Key_Tab), QString("cmdQuit"));
    QCOMPARE(press(Qt::Key_Tab), QString("cmdReset"));
    press(static_cast<Qt::Key>(key));
    QCOMPARE(screen.form.blnIdle, forms::True);
    QCOMPARE(screen.edit("txtNumDisks")->text(), QString());
    QCOMPARE(hex(rgbAt(screen.grab(), highlightAtHome(0).x(), highlightAtHome(0).y())),
             hex(0x000000));
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
        return;
      }
      QTest::mouseClick(screen.button(qPrintable(control)), Qt::LeftButton);
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
      QCOMPARE(screen.edit("txtNumDisks")->text(), QString());
      QCOMPARE(screen.form.blnIdle, forms::True);
      const QImage image = screen.grab();
      for (std::size_t i = 0; i < 3; ++i) {
        const forms::PictureBox& box = screen.form.Picture1[i];
        QCOMPARE(box.Visible(), forms::False);
        const QPoint at = screen.window.toPixels(box.rect()).toRect().topLeft();
        QCOMPARE(hex(rgbAt(image, at.x() + board::kDisks[i].highlightColumn, at.y() + 16)),
                 hex(0x000000));
      }
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
  void aPumpSleepsOnlyWhenAsked_data() {
    QTest::addColumn<float>("wait");
    QTest::addColumn<bool>("sleeps");
    QTest::newRow("two hours") << 7200.0f << true;
    QTest::newRow("largest float") << std::numeric_limits<float>::max() << true;
    QTest::newRow("infinity") << std::numeric_limits<float>::infinity() << true;
    QTest::newRow("zero") << 0.0f << false;
    QTest::newRow("negative") << -5.0f << false;
    QTest::newRow("not a number") << std::numeric_limits<float>::quiet_NaN() << false;
  }
  void aPumpSleepsOnlyWhenAsked() {
    QFETCH(float, wait);
    QFETCH(bool, sleeps);
    forms::qt::QtRuntime runtime{[] {}};
    bool fired = false;
    QTimer::singleShot(sleeps ? 20 : 60'000, [&fired] { fired = true; });
    // Spinning would run through these pumps long before the event.
    for (int pumps = 0; pumps < 50 && !fired; ++pumps) {
      runtime.DoEvents(wait);
    }
    QCOMPARE(fired, sleeps);
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

  // On a scaled screen every picture comes from its generator at the device resolution, pixel
  // for pixel, where its twips put it. A ratio this process was not started with is checked by
  // a copy of this test started with it.
  void drawnAtDeviceResolution_data() {
    QTest::addColumn<double>("ratio");
    QTest::newRow("1") << 1.0;
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

    // The middle post, nothing in front of it: exactly its picture's columns, and at a whole
    // ratio each design colour as many times over as the ratio says.
    const forms::Image post = board::postPicture(ratio);
    const board::PieceDesign& middle = board::kPosts[1];
    const int postLeft = px(middle.rect.left, ratio);
    QCOMPARE(px(middle.rect.left + middle.rect.width, ratio) - postLeft, post.width);
    const int row = px(4000, ratio);
    QCOMPARE(hex(rgbAt(image, postLeft - 1, row)), hex(0x000000));
    QCOMPARE(hex(rgbAt(image, postLeft + post.width, row)), hex(0x000000));
    for (int x = 0; x < post.width; ++x) {
      QCOMPARE(hex(rgbAt(image, postLeft + x, row)), hex(rgbAt(post, x, 0)));
      if (ratio == std::floor(ratio)) {
        const auto column = static_cast<std::size_t>(x / static_cast<int>(ratio));
        QCOMPARE(hex(rgbAt(image, postLeft + x, row)), hex(board::kPostColumns[column]));
      }
    }

    // A disk's edges are sharp: background right above and below it, its own picture on its
    // first and last rows.
    const forms::Image picture = board::diskPicture(6, ratio);
    const int left = px(disk.Left(), ratio);
    const int top = px(disk.Top(), ratio);
    const int bottom = px(disk.Top() + disk.Height(), ratio);
    for (int x = 0; left + x < px(board::kPosts[0].rect.left, ratio); ++x) {
      QCOMPARE(hex(rgbAt(image, left + x, top - 1)), hex(0x000000));
      QCOMPARE(hex(rgbAt(image, left + x, top)), hex(rgbAt(picture, x, 0)));
      QCOMPARE(hex(rgbAt(image, left + x, bottom - 1)), hex(rgbAt(picture, x, bottom - 1 - top)));
      QCOMPARE(hex(rgbAt(image, left + x, bottom)), hex(0x000000));
    }

    // A frame line is as many device pixels wide as its design pixels scaled.
    const int width = std::max(1, static_cast<int>(std::lround(board::kFrameLinePixels * ratio)));
    const int lineRow = px(board::kBases[0].rect.top, ratio) + px(board::kFrame[0].line.y1, ratio);
    const int lineColumn = px(board::kBases[0].rect.left + 1500, ratio);
    int lineRows = 0;
    for (int y = lineRow - width; y <= lineRow + width; ++y) {
      lineRows += rgbAt(image, lineColumn, y) == board::kFrame[0].color ? 1 : 0;
    }
    QCOMPARE(lineRows, width);
  }
};

QTEST_MAIN(WindowTest)
#include "test_window.moc"
