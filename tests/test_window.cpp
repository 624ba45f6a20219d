#include <QClipboard>
#include <QFontInfo>
#include <QPaintEvent>
#include <QWindow>

#include "window_fixture.h"

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

}  // namespace

// The real window: where its controls stand, what it draws, the keyboard, interruptions, undo.
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
};

int main(int argc, char** argv) {
  WindowTest test;
  return runTests(test, argc, argv);
}

#include "test_window.moc"
