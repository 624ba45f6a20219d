#pragma once

#include <functional>
#include <memory>

#include <QPointer>
#include <QWidget>

#include "forms/runtime.h"

class QSocketNotifier;

namespace forms::qt {

// The runtime on a real event loop. A pause hands the processor back: when nothing is pending,
// DoEvents sleeps in the event dispatcher until the next event or its deadline, whichever comes
// first.
class QtRuntime final : public Runtime {
 public:
  // How a pump sleeps until its deadline: on a kernel timer descriptor where the system has
  // one, else on a Qt timer. Tests choose the second to check it on any system.
  enum class Sleep { onKernelTimer, onQtTimer };

  // `leaveLoop` runs once when the program ends; by default it makes the application's event
  // loop return. Tests pass their own, so that an end does not stop the test itself.
  explicit QtRuntime(std::function<void()> leaveLoop = {}, Sleep sleep = Sleep::onKernelTimer);
  ~QtRuntime() override;
  QtRuntime(const QtRuntime&) = delete;
  QtRuntime& operator=(const QtRuntime&) = delete;

  double Timer() override { return clock_.seconds(); }

  // The window that Unload closes.
  void setWindow(QWidget* window) { window_ = window; }

 protected:
  void pumpEvents(float waitSeconds) override;
  void closeWindow() override;
  void endRequested() override;

 private:
  void waitForNextEvent(double seconds);

  // How long pumps that may not wait go without looking for input.
  static constexpr double kLookIntervalSeconds = 0.0005;

  MonotonicClock clock_;
  // When a pump that may not wait last looked for input, on the clock above.
  double lastLookSeconds_ = -1;
  std::function<void()> leaveLoop_;
  QPointer<QWidget> window_;
#ifdef __linux__
  void timerFired();

  // Deadlines this close are one: the clock the program measures its pauses by is coarser.
  static constexpr long long kSameDeadlineNanoseconds = 50'000;

  int timerFd_ = -1;
  std::unique_ptr<QSocketNotifier> timerNotifier_;
  // Whether the kernel timer is set and has not been read since, and for when, in nanoseconds
  // of the monotonic clock.
  bool timerArmed_ = false;
  long long armedFor_ = 0;
#endif
};

}  // namespace forms::qt
