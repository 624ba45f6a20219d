#include "forms/qt/qt_runtime.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <utility>

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#ifdef __linux__
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#endif

namespace forms::qt {

namespace {

bool processPending(QEventLoop::ProcessEventsFlags flags) {
  QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
  if (dispatcher == nullptr) {
    return false;
  }
  return dispatcher->processEvents(flags);
}

#ifdef __linux__
void drainTimer(int fd) {
  std::uint64_t expirations = 0;
  // Non-blocking: nothing to read simply means the timer has not fired.
  while (::read(fd, &expirations, sizeof expirations) > 0) {
  }
}
#endif

}  // namespace

QtRuntime::QtRuntime(std::function<void()> leaveLoop, [[maybe_unused]] Sleep sleep)
    : leaveLoop_(std::move(leaveLoop)) {
#ifdef __linux__
  if (sleep == Sleep::onKernelTimer) {
    timerFd_ = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  }
  if (timerFd_ >= 0) {
    timerNotifier_ = std::make_unique<QSocketNotifier>(timerFd_, QSocketNotifier::Read);
    const int fd = timerFd_;
    QObject::connect(timerNotifier_.get(), &QSocketNotifier::activated, [fd] { drainTimer(fd); });
  }
#endif
}

QtRuntime::~QtRuntime() {
#ifdef __linux__
  timerNotifier_.reset();
  if (timerFd_ >= 0) {
    ::close(timerFd_);
  }
#endif
}

void QtRuntime::pumpEvents(float waitSeconds) {
  const bool handledSome = processPending(QEventLoop::AllEvents);
  // The negated test also refuses a wait that is not a number.
  if (handledSome || ended() || !(waitSeconds > 0.0f)) {
    return;
  }
  waitForNextEvent(std::min(static_cast<double>(waitSeconds), kLongestWaitSeconds));
}

void QtRuntime::waitForNextEvent(double seconds) {
#ifdef __linux__
  if (timerFd_ >= 0) {
    // An absolute deadline on the kernel's monotonic clock: the wake-up does not drift by the
    // time it takes to get to sleep.
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const double whole = std::floor(seconds);
    itimerspec deadline{};
    deadline.it_value.tv_sec = now.tv_sec + static_cast<time_t>(whole);
    deadline.it_value.tv_nsec =
        now.tv_nsec + static_cast<long>(std::lround((seconds - whole) * 1e9));
    if (deadline.it_value.tv_nsec >= 1'000'000'000L) {
      deadline.it_value.tv_sec += 1;
      deadline.it_value.tv_nsec -= 1'000'000'000L;
    }
    if (::timerfd_settime(timerFd_, TFD_TIMER_ABSTIME, &deadline, nullptr) == 0) {
      processPending(QEventLoop::WaitForMoreEvents);
      const itimerspec disarm{};
      ::timerfd_settime(timerFd_, 0, &disarm, nullptr);
      drainTimer(timerFd_);
      return;
    }
  }
#endif
  QTimer wake;
  wake.setSingleShot(true);
  wake.setTimerType(Qt::PreciseTimer);
  wake.start(std::chrono::milliseconds(static_cast<long long>(std::ceil(seconds * 1000.0))));
  processPending(QEventLoop::WaitForMoreEvents);
}

void QtRuntime::closeWindow() {
  // Hiding, unlike closing, does not come back as a close request from the window.
  if (window_ != nullptr) {
    window_->hide();
  }
}

void QtRuntime::endRequested() {
  if (leaveLoop_) {
    leaveLoop_();
  } else {
    QCoreApplication::exit(exitStatus());
  }
}

}  // namespace forms::qt
