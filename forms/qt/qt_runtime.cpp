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
#include <cstdlib>
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

}  // namespace

QtRuntime::QtRuntime(std::function<void()> leaveLoop, [[maybe_unused]] Sleep sleep)
    : leaveLoop_(std::move(leaveLoop)) {
#ifdef __linux__
  if (sleep == Sleep::onKernelTimer) {
    timerFd_ = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  }
  if (timerFd_ >= 0) {
    timerNotifier_ = std::make_unique<QSocketNotifier>(timerFd_, QSocketNotifier::Read);
    QObject::connect(timerNotifier_.get(), &QSocketNotifier::activated, [this] { timerFired(); });
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
  // The negated test also refuses a wait that is not a number.
  if (ended() || !(waitSeconds > 0.0f)) {
    // A run without a pause pumps after every step, a hundred thousand times a second, and each
    // look for input costs system calls. Events the program posted itself are handled at every
    // pump; the system is asked for input a couple of thousand times a second, much sooner
    // than anyone could tell.
    const double now = clock_.seconds();
    if (!ended() && now - lastLookSeconds_ < kLookIntervalSeconds) {
      QCoreApplication::sendPostedEvents();
      return;
    }
    lastLookSeconds_ = now;
    processPending(QEventLoop::AllEvents);
    return;
  }
  // Handles whatever is pending, or else sleeps until the next event.
  waitForNextEvent(std::min(static_cast<double>(waitSeconds), kLongestWaitSeconds));
}

void QtRuntime::waitForNextEvent(double seconds) {
#ifdef __linux__
  if (timerFd_ >= 0) {
    // An absolute deadline on the kernel's monotonic clock: the wake-up does not drift by the
    // time it takes to get to sleep.
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const long long deadline = static_cast<long long>(now.tv_sec) * 1'000'000'000 + now.tv_nsec +
                               std::llround(seconds * 1e9);
    // The pumps of one pause ask for the same deadline, up to the clock's rounding: the timer
    // armed by the first of them serves them all.
    if (timerArmed_ && std::llabs(deadline - armedFor_) <= kSameDeadlineNanoseconds) {
      processPending(QEventLoop::WaitForMoreEvents);
      return;
    }
    itimerspec when{};
    when.it_value.tv_sec = static_cast<time_t>(deadline / 1'000'000'000);
    when.it_value.tv_nsec = static_cast<long>(deadline % 1'000'000'000);
    if (::timerfd_settime(timerFd_, TFD_TIMER_ABSTIME, &when, nullptr) == 0) {
      timerArmed_ = true;
      armedFor_ = deadline;
      processPending(QEventLoop::WaitForMoreEvents);
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

#ifdef __linux__
void QtRuntime::timerFired() {
  // One read takes every expiry, and a fired timer is disarmed until it is set again; a timer
  // already read has nothing left to take.
  std::uint64_t expirations = 0;
  if (timerArmed_ && ::read(timerFd_, &expirations, sizeof expirations) > 0) {
    timerArmed_ = false;
  }
}
#endif

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
