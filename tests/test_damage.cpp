#include <QtTest>

#include <QAbstractButton>
#include <QApplication>
#include <QBackingStore>
#include <QLineEdit>
#include <QPixmap>

#include "board/corvane.h"
#include "forms/qt/form_window.h"
#include "forms/qt/qt_runtime.h"

namespace {

// Sits between the disks and the window and passes every change on. Once a step has been
// painted, it compares what the window shows with the whole window painted afresh.
class StepChecker final : public QObject, public forms::ControlObserver {
 public:
  StepChecker(Corvane& form, forms::qt::FormWindow& window) : form_(form), window_(window) {
    for (forms::PictureBox& disk : form_.Picture1) {
      disk.setObserver(this);
    }
  }
  ~StepChecker() override {
    for (forms::PictureBox& disk : form_.Picture1) {
      disk.setObserver(&window_);
    }
  }
  StepChecker(const StepChecker&) = delete;
  StepChecker& operator=(const StepChecker&) = delete;

  void pictureChanged(const forms::PictureBox& box, const forms::RectF& before,
                      bool wasVisible) override {
    window_.pictureChanged(box, before, wasVisible);
    ++changes;
    // Posted after the window's own update request, so it comes after the paint.
    QCoreApplication::postEvent(this, new QEvent(QEvent::User), Qt::LowEventPriority);
  }
  void textChanged(const forms::TextBox& box) override { window_.textChanged(box); }

  bool event(QEvent* event) override {
    if (event->type() != QEvent::User) {
      return QObject::event(event);
    }
    // What the window shows: its backing store, the image that is sent to the screen.
    QPaintDevice* store = window_.backingStore()->paintDevice();
    const QImage shown = store->devType() == QInternal::Pixmap
                             ? static_cast<QPixmap*>(store)->toImage()
                             : *static_cast<QImage*>(store);
    const QImage whole = window_.grab().toImage();
    ++steps;
    if (shown.convertToFormat(QImage::Format_RGB32) !=
            whole.convertToFormat(QImage::Format_RGB32) &&
        firstWrong == 0) {
      firstWrong = steps;
    }
    return true;
  }

  long changes = 0;
  long steps = 0;
  long firstWrong = 0;

 private:
  Corvane& form_;
  forms::qt::FormWindow& window_;
};

}  // namespace

class DamageTest : public QObject {
  Q_OBJECT

 private slots:
  // A run of two disks, every step painted as only the change asks, shows after each step
  // exactly what painting the whole window shows, at the device pixel ratio the test is
  // started with.
  void everyStepShowsWhatAWholeRepaintShows() {
    QApplication::setQuitOnLastWindowClosed(false);
    forms::qt::QtRuntime runtime{[] {}};
    Corvane form{runtime};
    forms::qt::FormWindow window{runtime, form.describe()};
    window.load();
    window.present();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.devicePixelRatioF(), qEnvironmentVariable("QT_SCALE_FACTOR", "1").toDouble());
    runtime.dispatch([&form] {
      form.txtNumDisks.setText("2");
      form.txtDelay.setText("0");
    });
    StepChecker checker(form, window);
    runtime.dispatch([&form] { form.cmdMoves.click(); });
    QCoreApplication::processEvents();
    QVERIFY(checker.changes > 100);
    QCOMPARE(checker.steps, checker.changes);
    QCOMPARE(checker.firstWrong, 0);
  }
};

QTEST_MAIN(DamageTest)
#include "test_damage.moc"
