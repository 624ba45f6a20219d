#include "board/corvane.h"
#include "forms/conversions.h"

// Every change of the count shows the starting stack it asks for, from the design positions.
void Corvane::txtNumDisks_Change() {
  for (auto& disk : Picture1) {
    disk.setVisible(forms::False);
  }

  const std::string& text = txtNumDisks.Text();
  const double count = forms::Val(text);
  const bool invalid = count > 7 || count < 1 || text.empty();
  // An unusable count that is not empty still shows the widest disk: the loop below runs
  // once with a bound of 0.
  double lastDisk = 0;
  if (!invalid) {
    lastDisk = count - 1;
  }

  for (std::size_t i = 0; i < Picture1.size(); ++i) {
    Picture1[i].setLeft(static_cast<float>(intHomeLeft[i]));
    Picture1[i].setTop(static_cast<float>(intHomeTop[i]));
  }

  for (std::size_t i = 0; static_cast<double>(i) <= lastDisk; ++i) {
    if (!text.empty()) {
      Picture1[i].setVisible(forms::True);
    }
  }
}

// The first click clears the prompt; later clicks leave the text alone.
void Corvane::txtNumDisks_Click() {
  if (blnClearNumDisks != forms::False) {
    txtNumDisks.setText("");
  }
  blnClearNumDisks = forms::False;
}
