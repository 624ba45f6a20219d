#include <QtTest>

#include <QBackingStore>

#include "board/corvane.h"
#include "forms/qt/form_window.h"
#include "forms/qt/qt_runtime.h"

struct Shown : QObject, forms::ControlObserver {
  forms::qt::QtRuntime runtime{[] {}};
  Corvane form{runtime};
  forms::qt::FormWindow window{runtime, form.describe()};
  long steps = 0;
  long firstWrong = 0;
  bool exposed = (window.load(), window.present(), QTest::qWaitForWindowExposed(&window));

  // What the window shows: its own image, the one sent to the screen.
  QImage& image() { return *static_cast<QImage*>(window.backingStore()->paintDevice()); }

  // Passes every change of a disk on; once the step has been painted, compares what the window
  // shows with the whole window painted afresh.
  void pictureChanged(const forms::PictureBox& box, const forms::RectF& before,
                      bool wasVisible) override {
    window.pictureChanged(box, before, wasVisible);
    // Posted after anything the window posts for itself, so it comes after the painting.
    QCoreApplication::postEvent(this, new QEvent(QEvent::User), Qt::LowEventPriority);
  }
  void textChanged(const forms::TextBox&) override {}
  void customEvent(QEvent*) override {
    const QImage whole = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ++steps;
    firstWrong =
        firstWrong == 0 && image().convertToFormat(whole.format()) != whole ? steps : firstWrong;
  }
};

class DamageTest : public QObject {
  Q_OBJECT

 private slots:
  // A run of two disks, each step painted as only the change asks, shows after each step
  // exactly what painting the whole window shows, at the ratio the test was started with.
  void everyStepShowsWhatAWholeRepaintShows() {
    Shown shown;
    QVERIFY(shown.exposed);
    QCOMPARE(shown.window.devicePixelRatioF(),
             qEnvironmentVariable("QT_SCALE_FACTOR", "1").toDouble());
    QCOMPARE(shown.window.backingStore()->paintDevice()->devType(), int(QInternal::Image));
    shown.runtime.dispatch([&shown] {
      shown.form.txtNumDisks.setText("2");
      shown.form.txtDelay.setText("0");
      for (forms::PictureBox& disk : shown.form.Picture1) {
        disk.setObserver(&shown);
      }
      shown.form.cmdMoves.click();
    });
    QCoreApplication::processEvents();
    QVERIFY(shown.steps > 100);
    QCOMPARE(shown.firstWrong, 0);
  }

  // A pixel that a step cannot change is not painted again: a mark in the middle of a disk
  // stays where it is when the disk moves up, all its rows being alike, and travels with the
  // disk when it moves sideways, its pixels being moved rather than painted.
  void unchangedPixelsAreLeftAlone() {
    if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR")) {
      QSKIP("On a scaled screen a step need not move a disk by whole pixels of both scales");
    }
    Shown shown;
    forms::PictureBox& disk = shown.form.Picture1[6];
    const auto place = [&] { return shown.window.toPixels(disk.rect()).toAlignedRect(); };
    disk.setVisible(forms::True);
    QCoreApplication::processEvents();
    const QPoint mark = place().center();
    shown.image().setPixel(mark, 0xFF123456);
    disk.setTop(disk.Top() - 40);
    QCoreApplication::processEvents();
    const QRgb afterUp = shown.image().pixel(mark);
    const QPoint moved = mark + QPoint(-place().left(), 0);
    disk.setLeft(disk.Left() + 40);
    QCoreApplication::processEvents();
    QCOMPARE(afterUp, 0xFF123456u);
    QCOMPARE(shown.image().pixel(moved + QPoint(place().left(), 0)), 0xFF123456u);
  }
};

QTEST_MAIN(DamageTest)
#include "test_damage.moc"
