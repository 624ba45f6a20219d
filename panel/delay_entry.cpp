#include "board/corvane.h"
#include "forms/conversions.h"

namespace {
constexpr float kDefaultStepDelay = 0.05f;
}

// Stores the pause after each step. It matters only for the rest of a move during which the
// box is edited: every move reads the box itself when it starts.
void Corvane::txtDelay_Change() {
  const double seconds = forms::Val(txtDelay.Text());
  if (seconds == 0) {
    sngStepDelay = kDefaultStepDelay;
  } else {
    // Bounded to the single range, so that no pause is ever given an infinite length.
    sngStepDelay = forms::CSng(seconds);
  }
}

void Corvane::txtDelay_Click() {
  if (blnClearDelay != forms::False) {
    txtDelay.setText("");
  }
  blnClearDelay = forms::False;
}
