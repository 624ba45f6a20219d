#include "board/corvane.h"

// Waits out the step delay while keeping the window alive: events are pumped until the delay
// has passed, at least once even for no delay. Instead of spinning, each pump may sleep until
// the next event or the end of the delay, whichever comes first. The delay is taken once, so a
// change made by a handler inside the pause applies from the next pause on. The clock readings
// stay in double precision: in single precision a long-running program loses its pauses.
void Corvane::subDelay(float& sngDelay) {
  const double dblStart = runtime_.Timer();
  const double dblTarget = dblStart + static_cast<double>(sngDelay);
  double dblNow = 0.0;
  do {
    dblNow = runtime_.Timer();
    runtime_.DoEvents(dblNow < dblTarget ? static_cast<float>(dblTarget - dblNow) : 0.0f);
  } while (dblNow < dblTarget);
}
