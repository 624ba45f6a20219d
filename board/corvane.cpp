#include "board/corvane.h"

#include "board/layout.h"
#include "forms/conversions.h"

Corvane::Corvane(forms::Runtime& runtime)
    : txtNumDisks(board::kNumDisksBox.prompt),
      txtDelay(board::kDelayBox.prompt),
      runtime_(runtime) {
  for (std::size_t i = 0; i < Picture1.size(); ++i) {
    Picture1[i] = forms::PictureBox(board::kDisks[i].rect);
  }
  for (std::size_t p = 0; p < Picture2.size(); ++p) {
    Picture2[p] = forms::PictureBox(board::kPosts[p].rect);
    Picture3[p] = forms::PictureBox(board::kBases[p].rect);
    Line1[p] = board::kFrame[0].line;
    Line4[p] = board::kFrame[1].line;
    Line3[p] = board::kFrame[2].line;
    Line5[p] = board::kFrame[3].line;
  }

  txtNumDisks.onChange = [this] { txtNumDisks_Change(); };
  txtNumDisks.onClick = [this] { txtNumDisks_Click(); };
  txtDelay.onChange = [this] { txtDelay_Change(); };
  txtDelay.onClick = [this] { txtDelay_Click(); };
  cmdMoves.onClick = [this] { cmdMoves_Click(); };
  cmdReset.onClick = [this] { cmdReset_Click(); };
  cmdQuit.onClick = [this] { cmdQuit_Click(); };
}

std::int16_t Corvane::toInteger(float twips) {
  return forms::CInt(twips).value_or(twips < 0 ? INT16_MIN : INT16_MAX);
}
