#include "board/corvane.h"

// Waits out the step delay while keeping the window alive: events are pumped until the delay
// has passed, at least once even for no delay. Instead of spinning, each pump may sleep until
// the next event or the end of the delay, whichever comes first. The delay is taken once, so a
// change made by a handler inside the pause applies from the next pause on.
void Corvane::subDelay(float& sngDelay) {
  const float sngStart = runtime_.Timer();
  const float sngTarget = sngStart + sngDelay;
  float sngNow = 0.0f;
  do {
    sngNow = runtime_.Timer();
    runtime_.DoEvents(sngNow < sngTarget ? sngTarget - sngNow : 0.0f);
  } while (sngNow < sngTarget);
}
