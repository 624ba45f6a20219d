#pragma once

#include <emscripten/emscripten.h>

#include "forms/runtime.h"

namespace forms::web {

class PageWindow;

// The runtime in a browser. The browser runs its own event loop, so a pump hands control back
// to it: the whole call stack is suspended (Asyncify) until the next queued input or the
// deadline, whichever comes first, and the browser paints and delivers input meanwhile. Input
// is only queued by the page; the pump dispatches it here, so a run started from inside a
// pause is an ordinary deeper call and the page never re-enters the program.
class WebRuntime final : public Runtime {
 public:
  // The page's own clock, read directly: the standard library's goes through a 64-bit count,
  // which costs far more to bring across from the browser, several times a step.
  double Timer() override { return (emscripten_get_now() - startMilliseconds_) / 1000.0; }

  void setWindow(PageWindow* window) { window_ = window; }

  // Pumps until the program ends: the program's event loop.
  void run();
  // Hands control to the browser to run what is due, and takes it back at once.
  void letBrowserIn();

  // A pump asked not to wait still lets the browser in, but at most this often: handing control
  // to the browser and back costs far more than a step of an animation (in WebKit, a run at
  // full speed managed a third more steps a second letting it in every 4 ms than every 1 ms),
  // and a person cannot tell input handled now from input handled a few milliseconds later.
  static constexpr double kYieldIntervalSeconds = 0.004;
  // The page's icon is drawn in a task of its own this long after the window was shown, when
  // the browser has painted the window.
  static constexpr double kIconDelayMilliseconds = 50;

  // The browser's stack is a small fraction of a thread's, and each run nested inside another
  // holds some of the browser's own frames too, for every call that may throw. In Chromium, runs
  // of seven disks ran out of stack at about 150 deep, and 32 deep still fit in a quarter of
  // its stack.
  int deepestPump() const override { return 32; }

 protected:
  void pumpEvents(float waitSeconds) override;
  void closeWindow() override;
  void endRequested() override;

 private:
  const double startMilliseconds_ = emscripten_get_now();
  PageWindow* window_ = nullptr;
  double lastYieldMilliseconds_ = startMilliseconds_;
};

}  // namespace forms::web
