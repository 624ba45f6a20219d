#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "forms/controls.h"
#include "forms/description.h"
#include "forms/runtime.h"

// The one window of the program: its controls, the state its handlers share, and the handlers
// themselves. Each handler lives in the folder of the part of the program it belongs to:
//   board/      start-up (Form_Load) and the window description
//   panel/      the disk-count box, the delay box, reset and quit
//   solver/     the solve command, the recursion and the move step
//   animation/  carrying a disk on screen and the pause between steps
class Corvane final : public forms::Form {
 public:
  using Boolean = forms::Boolean;
  // Per peg: the Top, in twips, of the piece a disk arriving there lands on.
  using StackTops = std::array<std::int16_t, 3>;
  // Per peg: the disks on it from the bottom up, each as a blank and one digit.
  using PegRecords = std::array<std::string, 3>;

  // Builds every control at its design place; the runtime raises Form_Load afterwards.
  explicit Corvane(forms::Runtime& runtime);
  Corvane(const Corvane&) = delete;
  Corvane& operator=(const Corvane&) = delete;

  // The window as a backend needs it to build and draw it.
  forms::FormDescription describe() override;

  // Controls.
  std::array<forms::PictureBox, 7> Picture1;  // the disks, 0 the widest
  std::array<forms::PictureBox, 3> Picture2;  // the posts
  std::array<forms::PictureBox, 3> Picture3;  // the bases
  std::array<forms::Line, 3> Line1, Line3, Line4, Line5;
  forms::TextBox txtNumDisks;
  forms::TextBox txtDelay;
  forms::CommandButton cmdMoves;
  forms::CommandButton cmdReset;
  forms::CommandButton cmdQuit;

  // Form-level state, shared by every handler.
  std::array<std::int16_t, 7> intHomeLeft{};
  std::array<std::int16_t, 7> intHomeTop{};
  float sngStepDelay = 0.0f;
  std::int16_t intFrom = 0;
  std::int16_t intTo = 0;
  std::string strPegRest;
  std::string strDisk;
  Boolean blnIdle = forms::False;
  Boolean blnClearNumDisks = forms::False;
  Boolean blnClearDelay = forms::False;

  // board/
  void Form_Load();

  // panel/
  void txtNumDisks_Change();
  void txtNumDisks_Click();
  void txtDelay_Change();
  void txtDelay_Click();
  void cmdReset_Click();
  void cmdQuit_Click();

  // solver/
  void cmdMoves_Click();
  void subSolve(std::int16_t intDisks, const std::string& strSource, const std::string& strTarget,
                const std::string& strSpare, StackTops& intStackTop, PegRecords& strPeg);
  void subMoveDisk(std::int16_t& intFromPeg, std::int16_t& intToPeg, StackTops& intStackTop,
                   PegRecords& strPeg);

  // animation/
  void subAnimateDisk(std::int16_t& intToPeg, StackTops& intStackTop, int intDisk);
  void subDelay(float& sngDelay);

 private:
  // A position in twips as a 16-bit field, rounded half to even. The window's coordinates
  // never come near the 16-bit limits; one beyond them is held at the limit, never wrapped.
  static std::int16_t toInteger(float twips);

  forms::Runtime& runtime_;
};
