#include "board/corvane.h"
#include "forms/conversions.h"

// Books one move in the run's records and hands the disk to the animation. The levels come
// from where the pieces stand on screen now, since a handler in an earlier pause may have
// moved them.
void Corvane::subMoveDisk(std::int16_t& intFromPeg, std::int16_t& intToPeg, StackTops& intStackTop,
                          PegRecords& strPeg) {
  // The level the arriving disk lands on: the peg's top disk, or its base when empty.
  const auto landingLevel = [&](std::int16_t peg) {
    const std::string& record = strPeg[static_cast<std::size_t>(peg)];
    if (record.empty()) {
      return toInteger(Picture3[static_cast<std::size_t>(peg)].Top());
    }
    const auto topDisk = static_cast<std::size_t>(forms::Val(forms::Right(record, 1)));
    return toInteger(Picture1[topDisk].Top());
  };

  intStackTop[static_cast<std::size_t>(intToPeg)] = landingLevel(intToPeg);

  std::string& source = strPeg[static_cast<std::size_t>(intFromPeg)];
  strDisk = forms::Right(source, 1);
  const auto intDisk = static_cast<int>(forms::Val(strDisk));
  strDisk.clear();

  strPegRest = forms::Left(source, forms::Len(source) - 2);
  source = strPegRest;
  strPegRest.clear();

  strPeg[static_cast<std::size_t>(intToPeg)] += forms::Str(intDisk);

  intStackTop[static_cast<std::size_t>(intFromPeg)] = landingLevel(intFromPeg);

  subAnimateDisk(intToPeg, intStackTop, intDisk);
}
