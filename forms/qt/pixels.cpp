#include "forms/qt/pixels.h"

#include <algorithm>
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

QRectF toPixels(const RectF& twips, double twipsPerPixel, qreal ratio) {
  const DeviceEdges edges = deviceEdges(twips, twipsPerPixel, ratio);
  return {edges.left / ratio, edges.top / ratio, (edges.right - edges.left) / ratio,
          (edges.bottom - edges.top) / ratio};
}

}  // namespace forms::qt
