#include "forms/qt/application.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QTimer>

#ifdef __linux__
#include <unistd.h>
#endif

#include "forms/qt/form_window.h"
#include "forms/qt/qt_runtime.h"

namespace forms::qt {

namespace {

bool isSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

#ifdef __linux__
// For the start-up benchmark only: reports the window's first finished paint on a descriptor
// the launcher passed, then closes the window as its close box would, so that the launcher can
// time the exit as well.
class FirstPaintProbe final : public QObject {
 public:
  FirstPaintProbe(QWidget& window, int fd) : window_(window), fd_(fd) {
    window.installEventFilter(this);
  }

  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      window_.removeEventFilter(this);
      // Once this paint has been flushed to the screen, not before.
      QTimer::singleShot(0, &window_, [this] {
        [[maybe_unused]] const ssize_t written = ::write(fd_, "shown\n", 6);
        window_.close();
      });
    }
    return false;
  }

 private:
  QWidget& window_;
  int fd_;
};
#endif

}  // namespace

void prepareWindowSystem() {
  // Every step of a run repaints a small area. Through X shared memory each such flush waits
  // for the server to finish the one before, a round trip per step that halves the speed of a
  // run; small images travel faster in the request itself.
  if (std::getenv("QT_XCB_NO_MITSHM") == nullptr) {
    qputenv("QT_XCB_NO_MITSHM", "1");
  }
}

}  // namespace forms::qt

namespace forms {

int runApplication(int argc, char** argv, const FormBuilder& build) {
  using namespace qt;
#ifdef __linux__
  // Without any of these Qt would stop the process with a message about plugins; say plainly
  // what is missing instead.
  if (!isSet("DISPLAY") && !isSet("WAYLAND_DISPLAY") && !isSet("QT_QPA_PLATFORM")) {
    std::fputs(
        "corvane: this program needs a graphical display; on a machine without one, run it on a "
        "virtual screen, e.g. `xvfb-run -a corvane`\n",
        stderr);
    return 2;
  }
#endif
  prepareWindowSystem();
  QApplication application(argc, argv);
  // No display name: the window system would append it to the caption.
  QApplication::setApplicationName(QStringLiteral("Corvane"));
  QGuiApplication::setDesktopFileName(QStringLiteral("org.corvane.Corvane"));
  // Only the program decides when it is over: closing the window asks it, like its quit button.
  QApplication::setQuitOnLastWindowClosed(false);

  QtRuntime runtime;
  FormWindow window(runtime, build(runtime));
  window.load();
  // An end during start-up asked the event loop to stop before it was running.
  if (runtime.ended()) {
    return 0;
  }
  window.present();
#ifdef __linux__
  std::unique_ptr<FirstPaintProbe> probe;
  if (isSet("CORVANE_PROBE_FD")) {
    probe = std::make_unique<FirstPaintProbe>(window, std::atoi(std::getenv("CORVANE_PROBE_FD")));
  }
#endif
  return QApplication::exec();
}

}  // namespace forms
