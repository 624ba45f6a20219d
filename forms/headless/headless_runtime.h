#pragma once

#include <functional>
#include <map>

#include "forms/runtime.h"

namespace forms::headless {

// A runtime without a screen, for tests, benchmarks and tools. Its clock is simulated and moves
// only when a pump waits or a caller advances it; its events are the actions a caller scheduled, by
// pump count or by clock time, and each runs inside the pump that reaches it, like a click would.
class HeadlessRuntime final : public Runtime {
 public:
  explicit HeadlessRuntime(double startSeconds = 0.0) : clock_(startSeconds) {}

  double Timer() override { return clock_; }

  // Runs `action` as an event during pump number `pump` (pumps count from 1).
  void atPump(long pump, std::function<void()> action);
  // Runs `action` as an event during the first pump at which the clock reads `seconds` or more.
  // A pump that may wait is woken by it, like a real event would wake it.
  void atTime(double seconds, std::function<void()> action);
  // Called at the start of every pump with its number, before its events run.
  std::function<void(long)> onPump;

  double clock() const { return clock_; }
  void advance(double seconds) { clock_ += seconds; }
  long pumps() const { return pumps_; }
  bool unloaded() const { return unloaded_; }

 protected:
  void pumpEvents(float waitSeconds) override;
  void closeWindow() override { unloaded_ = true; }

 private:
  bool runNextDue(long pump);

  double clock_;
  long pumps_ = 0;
  bool unloaded_ = false;
  std::multimap<long, std::function<void()>> byPump_;
  std::multimap<double, std::function<void()>> byTime_;
};

}  // namespace forms::headless
