// Preloaded into a program by bench_startup (LD_PRELOAD), so that the program itself carries no
// benchmark code. When CORVANE_PROBE_FD names an open descriptor, it writes "shown" there once the
// first top-level window's first paint has been flushed, then closes that window as its close
// box would, so that the launcher can time the exit as well.

#include <unistd.h>

#include <cstdlib>

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace {

class FirstPaintProbe final : public QObject {
 public:
  FirstPaintProbe(int fd, QObject* parent) : QObject(parent), fd_(fd) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (done_ || event->type() != QEvent::Paint || !watched->isWidgetType() ||
        !static_cast<QWidget*>(watched)->isWindow()) {
      return false;
    }
    done_ = true;
    QPointer<QWidget> window = static_cast<QWidget*>(watched);
    // Once this paint has been flushed to the screen, not before.
    QTimer::singleShot(0, this, [this, window] {
      [[maybe_unused]] const ssize_t written = ::write(fd_, "shown\n", 6);
      if (window) {
        window->close();
      }
    });
    return false;
  }

 private:
  int fd_;
  bool done_ = false;
};

void installProbe() {
  const char* fd = std::getenv("CORVANE_PROBE_FD");
  if (fd == nullptr || *fd == '\0') {
    return;
  }
  QCoreApplication* application = QCoreApplication::instance();
  application->installEventFilter(new FirstPaintProbe(std::atoi(fd), application));
}

}  // namespace

// Runs inside the application object's constructor.
Q_COREAPP_STARTUP_FUNCTION(installProbe)
