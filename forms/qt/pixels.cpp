#include "forms/qt/pixels.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace forms::qt {

QColor toColor(Rgb rgb) {
  return QColor::fromRgb(static_cast<QRgb>(0xFF000000u | rgb));
}

// Pictures arrive as 0xAARRGGBB words, which is Qt's own 32-bit ARGB layout.
QImage toImage(const Image& image) {
  const auto width = static_cast<std::size_t>(std::max(image.width, 0));
  const auto height = static_cast<std::size_t>(std::max(image.height, 0));
  if (width == 0 || height == 0 || image.pixels.size() < width * height) {
    return {};
  }
  QImage result(image.width, image.height, QImage::Format_ARGB32);
  for (std::size_t row = 0; row < height; ++row) {
    std::memcpy(result.scanLine(static_cast<int>(row)), image.pixels.data() + row * width,
                width * sizeof(std::uint32_t));
  }
  return result;
}

// Positions come from the program and may be anything, so they are bounded before the
// conversion.
int toDevice(double twips, double twipsPerPixel, qreal ratio) {
  const double pixels = twips / twipsPerPixel * ratio;
  if (std::isnan(pixels)) {
    return 0;
  }
  return static_cast<int>(std::lround(std::clamp(pixels, -1e6, 1e6)));
}

QRectF toPixels(const RectF& twips, double twipsPerPixel, qreal ratio) {
  const int left = toDevice(twips.left, twipsPerPixel, ratio);
  const int top = toDevice(twips.top, twipsPerPixel, ratio);
  const int right = toDevice(static_cast<double>(twips.left) + static_cast<double>(twips.width),
                             twipsPerPixel, ratio);
  const int bottom = toDevice(static_cast<double>(twips.top) + static_cast<double>(twips.height),
                              twipsPerPixel, ratio);
  return {left / ratio, top / ratio, (right - left) / ratio, (bottom - top) / ratio};
}

}  // namespace forms::qt
