#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
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
                               const board::ButtonDesign& design, const char* purpose) {
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
  entry.accessibleDescription = purpose;
  return entry;
}

forms::TextBoxEntry textBoxEntry(const char* name, forms::TextBox& box,
                                 const board::EntryDesign& design, const char* accessibleName,
                                 const char* purpose) {
  return {name,
          &box,
          design.rect,
          design.tabIndex,
          entryFont(),
          board::kEntryTextColor,
          design.backColor,
          accessibleName,
          purpose};
}

std::string diskCount(int disks) {
  if (disks == 0) {
    return "none";
  }
  return disks == 1 ? "1 disk" : std::to_string(disks) + " disks";
}

// How many shown disks stand on each peg, by the post nearest a disk's centre, and how many
// are being carried above the posts.
std::string describeBoard(const Corvane& form) {
  std::array<int, 3> onPeg{};
  int moving = 0;
  const auto postCentre = [&form](std::size_t peg) {
    return form.Picture2[peg].Left() + form.Picture2[peg].Width() / 2;
  };
  for (const auto& disk : form.Picture1) {
    if (disk.Visible() == forms::False) {
      continue;
    }
    if (disk.Top() + disk.Height() <= form.Picture2[0].Top()) {
      ++moving;
      continue;
    }
    const float centre = disk.Left() + disk.Width() / 2;
    std::size_t nearest = 0;
    for (std::size_t p = 1; p < form.Picture2.size(); ++p) {
      if (std::abs(postCentre(p) - centre) < std::abs(postCentre(nearest) - centre)) {
        nearest = p;
      }
    }
    ++onPeg[nearest];
  }
  std::string text = "Left peg: " + diskCount(onPeg[0]) + "; middle peg: " + diskCount(onPeg[1]) +
                     "; right peg: " + diskCount(onPeg[2]);
  if (moving > 0) {
    text += "; " + diskCount(moving) + " moving";
  }
  return text;
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
                                 board::kDisks[i].boxColor,
                                 [disk](double scale) { return board::diskPicture(disk, scale); },
                                 {}});
  }
  for (std::size_t p = 0; p < Picture2.size(); ++p) {
    form.pictureBoxes.push_back({indexed("Picture2", p),
                                 &Picture2[p],
                                 0x000000,
                                 [](double scale) { return board::postPicture(scale); },
                                 {}});
  }
  // The three bases share their bare marble, drawn once for each screen they are drawn for.
  const auto slab = std::make_shared<board::MarbleSlab>();
  for (std::size_t p = 0; p < Picture3.size(); ++p) {
    const int peg = static_cast<int>(p);
    forms::PictureBoxEntry base{
        indexed("Picture3", p),
        &Picture3[p],
        0xC0C0C0,
        [peg, slab](double scale) { return board::basePicture(peg, scale, *slab); },
        {}};
    const forms::Line* lines[] = {&Line1[p], &Line4[p], &Line3[p], &Line5[p]};
    for (std::size_t k = 0; k < board::kFrame.size(); ++k) {
      base.lines.push_back({*lines[k], board::kFrame[k].color, board::kFrameLinePixels});
    }
    form.pictureBoxes.push_back(std::move(base));
  }

  form.textBoxes.push_back(textBoxEntry("txtNumDisks", txtNumDisks, board::kNumDisksBox,
                                        "Number of disks (1 to 7)",
                                        "How many disks to stack on the left peg, from 1 to 7"));
  form.textBoxes.push_back(textBoxEntry(
      "txtDelay", txtDelay, board::kDelayBox, "Pause after each step, in seconds",
      "How long the animation waits after each step of a disk; empty or 0 means no pause"));
  form.buttons.push_back(
      buttonEntry("cmdMoves", cmdMoves, board::kMovesButton,
                  "Solve the puzzle and show every move, from the left peg to the right"));
  form.buttons.push_back(
      buttonEntry("cmdReset", cmdReset, board::kResetButton,
                  "Stop a run, take the disks off the board and empty both boxes"));
  form.buttons.push_back(
      buttonEntry("cmdQuit", cmdQuit, board::kQuitButton, "Close the window and end the program"));
  for (const char* name : board::kFrontToBack) {
    if (std::any_of(form.pictureBoxes.begin(), form.pictureBoxes.end(),
                    [name](const forms::PictureBoxEntry& entry) { return entry.name == name; })) {
      form.frontToBack.emplace_back(name);
    }
  }
  form.onLoad = [this] { Form_Load(); };
  // Closing the window is quitting: no run may go on once the window is gone.
  form.onClose = [this] { cmdQuit_Click(); };
  form.describePictures = [this] { return describeBoard(*this); };
  return form;
}
