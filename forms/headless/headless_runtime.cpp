#include "forms/headless/headless_runtime.h"

#include <algorithm>
#include <utility>

namespace forms::headless {

void HeadlessRuntime::atPump(long pump, std::function<void()> action) {
  byPump_.emplace(pump, std::move(action));
}

void HeadlessRuntime::atTime(double seconds, std::function<void()> action) {
  byTime_.emplace(seconds, std::move(action));
}

void HeadlessRuntime::pumpEvents(float waitSeconds) {
  const long pump = ++pumps_;
  if (onPump) {
    onPump(pump);
  }
  const bool eventWaiting =
      byPump_.count(pump) > 0 || (!byTime_.empty() && byTime_.begin()->first <= clock_);
  if (waitSeconds > 0.0f && !eventWaiting) {
    // Sleep until the deadline, or until a timed event arrives before it.
    double wake = clock_ + static_cast<double>(waitSeconds);
    if (!byTime_.empty()) {
      wake = std::min(wake, byTime_.begin()->first);
    }
    clock_ = std::max(clock_, wake);
  }
  while (runNextDue(pump)) {
  }
}

bool HeadlessRuntime::runNextDue(long pump) {
  // Each action is taken off its queue before it runs, since it may pump again itself.
  std::function<void()> action;
  const auto byPump = byPump_.find(pump);
  if (byPump != byPump_.end()) {
    action = std::move(byPump->second);
    byPump_.erase(byPump);
  } else if (!byTime_.empty() && byTime_.begin()->first <= clock_) {
    action = std::move(byTime_.begin()->second);
    byTime_.erase(byTime_.begin());
  } else {
    return false;
  }
  dispatch(action);
  return !ended();
}

}  // namespace forms::headless
