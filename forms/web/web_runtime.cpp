#include "forms/web/web_runtime.h"

#include <algorithm>

#include "forms/web/page.h"
#include "forms/web/page_window.h"

namespace forms::web {

void WebRuntime::run() {
  while (!ended()) {
    pumpEvents(static_cast<float>(kLongestWaitSeconds));
  }
}

void WebRuntime::pumpEvents(float waitSeconds) {
  if (window_ != nullptr) {
    window_->flush();
  }
  if ((window_ != nullptr && window_->dispatchQueued()) || ended()) {
    return;
  }
  // The negated test also refuses a wait that is not a number.
  double milliseconds =
      waitSeconds > 0.0f ? std::min(static_cast<double>(waitSeconds), kLongestWaitSeconds) * 1000.0
                         : 0.0;
  const double now = emscripten_get_now();
  if (milliseconds == 0.0 && now - lastYieldMilliseconds_ < kYieldIntervalSeconds * 1000.0) {
    return;
  }
  if (window_ != nullptr) {
    // A description held back is told on time even when nothing else wakes the program.
    milliseconds = std::min(milliseconds, window_->announceBoard(now));
    if (window_->iconDue()) {
      milliseconds = std::min(milliseconds, kIconDelayMilliseconds);
    }
  }
  cw_wait(milliseconds);
  lastYieldMilliseconds_ = emscripten_get_now();
  if (window_ != nullptr) {
    window_->dispatchQueued();
    window_->drawIcon();
  }
}

void WebRuntime::letBrowserIn() {
  cw_wait(0);
  lastYieldMilliseconds_ = emscripten_get_now();
}

void WebRuntime::closeWindow() {
  if (window_ != nullptr) {
    window_->close();
  }
}

void WebRuntime::endRequested() {
  cw_end();
}

}  // namespace forms::web
