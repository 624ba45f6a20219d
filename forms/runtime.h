#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <utility>

namespace forms {

// Thrown by End to unwind whatever the program was doing. It is caught only where a backend
// dispatches an event, never inside the program's own code.
struct EndProgram {};

// What the program asks of the runtime besides its controls: pumping events, a clock, and
// closing down. Backends supply the pump, the clock and the window.
//
// Every call into the program goes through dispatch: each event handler, the load event and
// the close box alike. It is the one place where an End stops unwinding, and after End it runs
// nothing, so a backend that called the program directly would let an End escape into its own
// frames.
class Runtime {
 public:
  virtual ~Runtime() = default;

  // Runs every pending event handler. When nothing is pending it may wait up to
  // `waitSeconds` for the next event; it never waits longer. After End it does not return
  // normally: the run that called it unwinds.
  void DoEvents(float waitSeconds = 0.0f);

  // Longest single sleep of one pump in a backend that sleeps: a longer wait is cut short, and
  // the caller, which loops on its own clock anyway, simply pumps again.
  static constexpr double kLongestWaitSeconds = 3600.0;

  // Seconds since the runtime started, from a monotonic clock: it never jumps and does not
  // care about the time of day. Double, so that it resolves well under a microsecond at any
  // uptime; in single precision a pause of 0.05 s would last nothing after 12 days.
  virtual double Timer() = 0;

  // Closes the window.
  void Unload();
  // Stops the program at once; nothing that was interrupted resumes.
  [[noreturn]] void End();
  bool ended() const { return ended_; }

  // Runs one event handler on behalf of the backend. An End inside the handler stops here,
  // and after End no handler runs at all. Any other exception from a handler is reported in
  // one line on standard error and ends the program with a failure status.
  void dispatch(const std::function<void()>& handler);
  // The name that opens the line a failed handler leaves on standard error: the command's.
  void setProgramName(std::string name) { programName_ = std::move(name); }
  // What the process should exit with once the program has ended.
  int exitStatus() const { return exitStatus_; }

  // How many DoEvents calls are under way, one inside another: a run started inside the pause
  // of another pumps one deeper.
  int pumpDepth() const { return pumpDepth_; }
  // How deep pumps may nest before a new run is refused as if one were going on, so that the
  // stack never runs out. Far beyond anything done by hand on a thread's own stack; a backend
  // on a smaller stack sets its own.
  virtual int deepestPump() const { return 200; }

 protected:
  virtual void pumpEvents(float waitSeconds) = 0;
  virtual void closeWindow() = 0;
  // Lets the backend leave its event loop once the program has ended.
  virtual void endRequested() {}

 private:
  void fail(const char* what);

  std::string programName_;
  bool ended_ = false;
  int exitStatus_ = 0;
  int pumpDepth_ = 0;
};

// The clock behind Timer: seconds since construction, steady.
class MonotonicClock {
 public:
  double seconds() const;

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace forms
