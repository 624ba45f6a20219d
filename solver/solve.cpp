#include "board/corvane.h"
#include "forms/conversions.h"

namespace {

// The solver carries pegs as the texts "0", "1", "2".
std::int16_t pegNumber(const std::string& label) {
  return forms::CInt(forms::Val(label)).value_or(0);
}

}  // namespace

// A run is this one call: it holds the run's records while the animation pauses let other
// handlers in, so a run started inside the pause of another nests deeper on the stack. Once
// pressed, the button stays spent until a reset, whatever the count was.
void Corvane::cmdMoves_Click() {
  if (blnIdle != forms::True || runtime_.pumpDepth() >= runtime_.deepestPump()) {
    return;
  }
  blnIdle = forms::False;

  // A count beyond the 16-bit range reads as out of range, like any other unusable count.
  const std::int16_t intDisks = forms::CInt(forms::Val(txtNumDisks.Text())).value_or(0);
  if (intDisks < 1 || intDisks > 7) {
    return;
  }

  PegRecords strPeg;
  for (std::int16_t i = 0; i < intDisks; ++i) {
    strPeg[0] += forms::Str(i);
  }
  StackTops intStackTop{};
  intStackTop[1] = toInteger(Picture3[1].Top());
  intStackTop[2] = toInteger(Picture3[2].Top());

  subSolve(intDisks, "0", "2", "1", intStackTop, strPeg);
}

void Corvane::subSolve(std::int16_t intDisks, const std::string& strSource,
                       const std::string& strTarget, const std::string& strSpare,
                       StackTops& intStackTop, PegRecords& strPeg) {
  if (intDisks == 1) {
    intFrom = pegNumber(strSource);
    intTo = pegNumber(strTarget);
    subMoveDisk(intFrom, intTo, intStackTop, strPeg);
    return;
  }
  const auto intRest = static_cast<std::int16_t>(intDisks - 1);
  subSolve(intRest, strSource, strSpare, strTarget, intStackTop, strPeg);
  intFrom = pegNumber(strSource);
  intTo = pegNumber(strTarget);
  subMoveDisk(intFrom, intTo, intStackTop, strPeg);
  subSolve(intRest, strSpare, strTarget, strSource, intStackTop, strPeg);
}
