#include <string>

#include "board/corvane.h"
#include "board/layout.h"
#include "board/pictures.h"

namespace {

std::string indexed(const char* name, std::size_t index) {
  return std::string(name) + "(" + std::to_string(index) + ")";
}

forms::FontSpec entryFont() {
  return {board::kEntryFontFamily, board::kEntryFontPoints, true};
}

forms::ButtonEntry buttonEntry(const char* name, forms::CommandButton& button,
                               const board::ButtonDesign& design) {
  forms::ButtonEntry entry;
  entry.name = name;
  entry.button = &button;
  entry.rect = design.rect;
  entry.tabIndex = design.tabIndex;
  entry.faceColor = 0x000000;
  entry.word = design.word;
  entry.wordFont = {board::kEntryFontFamily, board::kButtonFontPoints, true};
  entry.wordColor = 0xFFFFFF;
  entry.pictureWidthPixels = board::kButtonPictureWidth;
  entry.pictureHeightPixels = board::kButtonPictureHeight;
  return entry;
}

forms::TextBoxEntry textBoxEntry(const char* name, forms::TextBox& box,
                                 const board::EntryDesign& design) {
  return {name,
          &box,
          design.rect,
          design.tabIndex,
          entryFont(),
          board::kEntryTextColor,
          design.backColor};
}

}  // namespace

forms::FormDescription Corvane::describe() {
  forms::FormDescription form;
  form.caption = board::kCaption;
  form.clientWidth = board::kClientWidth;
  form.clientHeight = board::kClientHeight;
  form.twipsPerPixel = board::kTwipsPerPixel;
  form.backColor = board::kBackColor;
  form.foreColor = board::kForeColor;
  form.iconPixels = 32;
  form.icon = [](double scale) { return board::iconPicture(static_cast<int>(32 * scale + 0.5)); };

  for (std::size_t i = 0; i < Picture1.size(); ++i) {
    const int disk = static_cast<int>(i);
    form.pictureBoxes.push_back({indexed("Picture1", i),
                                 &Picture1[i],
                                 board::kDisks[i].tabIndex,
                                 board::kDisks[i].boxColor,
                                 [disk](double scale) { return board::diskPicture(disk, scale); },
                                 {}});
  }
  for (std::size_t p = 0; p < Picture2.size(); ++p) {
    form.pictureBoxes.push_back({indexed("Picture2", p),
                                 &Picture2[p],
                                 board::kPosts[p].tabIndex,
                                 0x000000,
                                 [](double scale) { return board::postPicture(scale); },
                                 {}});
  }
  for (std::size_t p = 0; p < Picture3.size(); ++p) {
    const int peg = static_cast<int>(p);
    forms::PictureBoxEntry base{indexed("Picture3", p),
                                &Picture3[p],
                                board::kBases[p].tabIndex,
                                0xC0C0C0,
                                [peg](double scale) { return board::basePicture(peg, scale); },
                                {}};
    const forms::Line* lines[] = {&Line1[p], &Line4[p], &Line3[p], &Line5[p]};
    for (std::size_t k = 0; k < board::kFrame.size(); ++k) {
      base.lines.push_back({indexed(board::kFrame[k].name, p), *lines[k], board::kFrame[k].color,
                            board::kFrameLinePixels});
    }
    form.pictureBoxes.push_back(std::move(base));
  }

  form.textBoxes.push_back(textBoxEntry("txtNumDisks", txtNumDisks, board::kNumDisksBox));
  form.textBoxes.push_back(textBoxEntry("txtDelay", txtDelay, board::kDelayBox));
  form.buttons.push_back(buttonEntry("cmdMoves", cmdMoves, board::kMovesButton));
  form.buttons.push_back(buttonEntry("cmdReset", cmdReset, board::kResetButton));
  form.buttons.push_back(buttonEntry("cmdQuit", cmdQuit, board::kQuitButton));
  form.frontToBack.assign(board::kFrontToBack.begin(), board::kFrontToBack.end());
  form.onLoad = [this] { Form_Load(); };
  return form;
}
