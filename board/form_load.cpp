#include "board/corvane.h"

void Corvane::Form_Load() {
  for (std::size_t i = 0; i < Picture1.size(); ++i) {
    Picture1[i].setVisible(forms::False);
    intHomeLeft[i] = toInteger(Picture1[i].Left());
    intHomeTop[i] = toInteger(Picture1[i].Top());
  }
  blnIdle = forms::True;
  blnClearNumDisks = forms::True;
  blnClearDelay = forms::True;
}
