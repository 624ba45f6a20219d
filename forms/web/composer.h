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
// colour, then every visible picture that meets them, back to front.
class Composer {
 public:
  // A canvas of this many device pixels, all of it to be painted.
  void resize(int width, int height, Rgb back);
  void invalidate(const PixelRect& rect);
  // Paints what changed; the pictures are back to front, placed at `ratio`.
  void flush(const std::vector<RenderedPicture>& pictures, double twipsPerPixel, double ratio);
  long paints() const { return paints_; }

 private:
  void paint(const PixelRect& dirty, const std::vector<RenderedPicture>& pictures,
             double twipsPerPixel, double ratio);

  std::vector<PixelRect> dirty_;
  // The whole window, as the canvas takes its pixels; each paint updates a part.
  std::vector<std::uint32_t> frame_;
  int width_ = 0;
  int height_ = 0;
  std::uint32_t backPixel_ = 0;
  long paints_ = 0;
};

}  // namespace forms::web
