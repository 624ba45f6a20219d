#include "forms/runtime.h"

namespace forms {

void Runtime::DoEvents(float waitSeconds) {
  if (ended_) {
    throw EndProgram{};
  }
  pumpEvents(waitSeconds);
  if (ended_) {
    throw EndProgram{};
  }
}

void Runtime::Unload() {
  closeWindow();
}

void Runtime::End() {
  if (!ended_) {
    ended_ = true;
    endRequested();
  }
  throw EndProgram{};
}

void Runtime::dispatch(const std::function<void()>& handler) {
  if (ended_) {
    return;
  }
  try {
    handler();
  } catch (const EndProgram&) {
    // The program has ended; the backend is already leaving its loop.
  }
}

double MonotonicClock::seconds() const {
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start_;
  return elapsed.count();
}

}  // namespace forms
