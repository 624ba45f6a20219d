#pragma once

#include <cstdint>
#include <vector>

#include "forms/web/picture_render.h"

namespace forms::web {

// Device pixels, right and bottom exclusive.
struct PixelRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  bool empty() const { return right <= left || bottom <= top; }
};

PixelRect toDevice(const RectF& twips, double twipsPerPixel, double ratio);

// Collects the rectangles that changed, and repaints just those on the canvas: the window's
// colour, then the part of every visible picture that meets them, back to front. The page keeps
// each picture as a bitmap of its own, made once per device pixel ratio, and copies the parts
// with one drawing call each: copying pixels from the program's memory to the canvas at every
// step costs several milliseconds in some engines, and in one of them brings the page down
// after a while.
class Composer {
 public:
  // A canvas of this many device pixels, all of it to be painted.
  void resize(int width, int height);
  // Picture `index`, back to front, which the page keeps from now on.
  void keep(std::size_t index, const RenderedPicture& picture);
  void invalidate(const PixelRect& rect);
  // Paints what changed; the pictures are back to front, placed at `ratio`.
  void flush(const std::vector<RenderedPicture>& pictures, double twipsPerPixel, double ratio);
  long paints() const { return paints_; }

 private:
  void paint(const PixelRect& dirty, const std::vector<RenderedPicture>& pictures,
             double twipsPerPixel, double ratio);

  std::vector<PixelRect> dirty_;
  // Drawing calls for the page, each the picture's index and the part's place in the picture
  // and on the canvas, and its size.
  std::vector<std::int32_t> parts_;
  int width_ = 0;
  int height_ = 0;
  long paints_ = 0;
};

}  // namespace forms::web
