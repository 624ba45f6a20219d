#include "board/corvane.h"

// Stops a run and readies the board for another. The flag goes up first, so a run that this
// reset interrupts sees it at its next check whatever happens below.
void Corvane::cmdReset_Click() {
  blnIdle = forms::True;
  for (std::size_t i = 0; i < Picture1.size(); ++i) {
    Picture1[i].setVisible(forms::False);
    Picture1[i].setLeft(static_cast<float>(intHomeLeft[i]));
    Picture1[i].setTop(static_cast<float>(intHomeTop[i]));
  }
  txtNumDisks.setText("");
  txtDelay.setText("");
}

// Ends the program at once, also from inside a run's pause: nothing interrupted resumes.
void Corvane::cmdQuit_Click() {
  runtime_.Unload();
  runtime_.End();
}
