#include "forms/runtime.h"

#include <cstdio>
#include <exception>
#include <string>

namespace forms {

void Runtime::DoEvents(float waitSeconds) {
  if (ended_) {
    throw EndProgram{};
  }
  // Counted back down also when the run unwinds.
  ++pumpDepth_;
  struct Leave {
    int& depth;
    ~Leave() { --depth; }
  } leave{pumpDepth_};
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
  } catch (const std::exception& error) {
    fail(error.what());
  } catch (...) {
    fail("unknown exception");
  }
}

// Nothing may unwind into the backend's event loop, and the program's state after a failed
// handler is not to be trusted: say what happened and end as End would, with a failure status.
void Runtime::fail(const char* what) {
  const std::string prefix = programName_.empty() ? std::string() : programName_ + ": ";
  std::fprintf(stderr, "%sstopped after an unexpected error: %s\n", prefix.c_str(), what);
  exitStatus_ = 1;
  if (!ended_) {
    ended_ = true;
    endRequested();
  }
}

double MonotonicClock::seconds() const {
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start_;
  return elapsed.count();
}

}  // namespace forms
