#pragma once

#include <cstdint>
#include <vector>

#include "forms/description.h"

namespace forms::web {

// A picture box's picture as the canvas shows it: its generated image over the box's colour,
// with its lines drawn in, at one device pixel ratio.
struct RenderedPicture {
  const PictureBoxEntry* entry = nullptr;
  // The bytes R, G, B, A, as the page's bitmaps take them.
  std::vector<std::uint32_t> pixels;
  int width = 0;
  int height = 0;
  // The middle pixel of the generated image, relative to the box, and its colour, for the
  // page's own checks.
  int probeX = 0;
  int probeY = 0;
  Rgb probeColor = 0;
};

// Renders a picture box's picture, covering its box wherever the box's edges round to.
RenderedPicture renderPicture(const PictureBoxEntry& entry, double twipsPerPixel, double ratio);

// Whether an image holds as many pixels as its size says: one that does not is left out.
bool complete(const Image& image);
// 0xAARRGGBB words to the bytes R, G, B, A.
std::vector<std::uint8_t> toRgba(const Image& image);
// An opaque 0xRRGGBB colour as the page's bitmaps hold it in memory: the bytes R, G, B, A.
std::uint32_t opaqueRgba(Rgb rgb);

}  // namespace forms::web
