#include "forms/qt/termination.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QWidget>

#if __has_include(<xcb/xcb.h>)
#include <xcb/xcb.h>
#define CORVANE_HAVE_XCB 1
#endif

#ifdef __unix__
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace forms::qt {

#ifdef __unix__
namespace {

// The two ends of the pipe from the signal handler to the event loop.
int wakeFd = -1;
int wokenFd = -1;
// Set once a window is there to close; until then there is nothing to tidy up, and a display
// that never answers must not keep the program from ending.
volatile sig_atomic_t windowReady = 0;
volatile sig_atomic_t asked = 0;

// A signal handler may do next to nothing: the first request wakes the event loop, which
// closes the window. A later one, or any before the window exists, ends the process at once
// with the status a closed window ends it with, should the first find the program stuck.
void request(int) {
  if (windowReady == 0 || asked != 0) {
    ::_exit(0);
  }
  asked = 1;
  const char byte = 0;
  [[maybe_unused]] const ssize_t written = ::write(wakeFd, &byte, 1);
}

}  // namespace
#endif

void catchTermination() {
#ifdef __unix__
  int fds[2];
  if (wakeFd >= 0 ||
      ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds) != 0) {
    return;
  }
  wokenFd = fds[0];
  wakeFd = fds[1];
  struct sigaction action {};
  action.sa_handler = request;
  // One at a time: of two that come together, one wakes the loop and the other ends the process.
  sigemptyset(&action.sa_mask);
  sigaddset(&action.sa_mask, SIGTERM);
  sigaddset(&action.sa_mask, SIGINT);
  action.sa_flags = SA_RESTART;
  for (const int number : {SIGTERM, SIGINT}) {
    // One ignored from the start stays so: a shell has its background programs ignore the
    // Ctrl+C meant for the one in the foreground.
    struct sigaction before {};
    if (::sigaction(number, nullptr, &before) == 0 && before.sa_handler != SIG_IGN) {
      ::sigaction(number, &action, nullptr);
    }
  }
#endif
}

void closeOnTermination(QWidget& window) {
#ifdef __unix__
  catchTermination();
  if (wokenFd < 0) {
    return;
  }
  auto* notifier = new QSocketNotifier(wokenFd, QSocketNotifier::Read, &window);
  QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
    char byte = 0;
    while (::read(wokenFd, &byte, 1) > 0) {
    }
    window.close();
  });
  windowReady = 1;
#else
  static_cast<void>(window);
#endif
}

#ifdef CORVANE_HAVE_XCB
namespace {

class DestroyWatch final : public QObject, public QAbstractNativeEventFilter {
 public:
  explicit DestroyWatch(QWidget& window)
      : QObject(&window), window_(window), id_(static_cast<xcb_window_t>(window.winId())) {}

  bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
    if (type == "xcb_generic_event_t" &&
        (static_cast<const xcb_generic_event_t*>(message)->response_type & 0x7F) ==
            XCB_DESTROY_NOTIFY &&
        static_cast<const xcb_destroy_notify_event_t*>(message)->window == id_) {
      // Later, not from inside the display's event handling: closing runs the program's
      // handlers. A window that Qt itself destroyed is no longer the widget's.
      QMetaObject::invokeMethod(
          this,
          [this] {
            if (window_.internalWinId() == id_) {
              window_.close();
            }
          },
          Qt::QueuedConnection);
    }
    return false;
  }

 private:
  QWidget& window_;
  const xcb_window_t id_;
};

}  // namespace
#endif

void closeWhenDestroyed(QWidget& window) {
#ifdef CORVANE_HAVE_XCB
  if (QGuiApplication::platformName() == QLatin1String("xcb") && window.windowHandle() != nullptr) {
    QCoreApplication::instance()->installNativeEventFilter(new DestroyWatch(window));
  }
#else
  static_cast<void>(window);
#endif
}

}  // namespace forms::qt
