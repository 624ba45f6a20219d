#pragma once

#include <cstdint>
#include <vector>

#include "forms/description.h"

// The window's pictures, generated rather than shipped, at any number of device pixels per
// design pixel so that they stay sharp on any screen.
namespace board {

// Disk i (0 the widest): every row alike, brightening from the left edge to a highlight about a
// quarter across, then darkening to a deep shade at the right edge.
forms::Image diskPicture(int disk, double scale);
// A post: every row alike, the twenty design columns left to right.
forms::Image postPicture(double scale);
// The marble base of a peg (0..2), greys only, lighter at the left, with the peg's Roman numeral
// I, II or III engraved and shadowed in its middle.
forms::Image basePicture(int peg, double scale);

// The bare marble of a base at one device size. It is the same under every numeral, and it is
// the costly part of a base, so a window that draws all three bases shares one.
struct MarbleSlab {
  int width = 0;
  int height = 0;
  std::vector<double> levels;
  // The same as opaque pixels, the base's own wherever the numeral does not reach.
  std::vector<std::uint32_t> pixels;
};
// The same picture, taking the marble from `slab`, which is drawn again first when its size is
// not the one needed. A base drawn at build time at the same size is taken as it is.
forms::Image basePicture(int peg, double scale, MarbleSlab& slab);
// Always drawn here and now, never taken from those drawn at build time.
forms::Image drawnBasePicture(int peg, double scale, MarbleSlab& slab);
// The application icon: seven stacked disks on a grey slab against a dark checked pattern.
// `pixels` is the side of the square; 32 is the design size.
forms::Image iconPicture(int pixels);

}  // namespace board
