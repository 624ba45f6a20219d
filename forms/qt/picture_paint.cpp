// Painting an area of the window, each pixel once, from the frontmost box that covers it.
#include <algorithm>
#include <cmath>
#include <cstring>

#include <QPainter>

#include "forms/qt/picture_painter.h"

namespace forms::qt {

namespace {

// Where the painter paints: through a QPainter, or straight into the pixels of an image.
struct PainterCanvas {
  QPainter& painter;
  const QColor& background;

  void fill(const QRect& area) { painter.fillRect(area, background); }
  void copy(const QRect& area, const QImage& face, const QPoint& from) {
    painter.drawImage(area.topLeft(), face, QRect(from, area.size()));
  }
};

struct ImageCanvas {
  uchar* bits;
  qsizetype bytesPerLine;
  QRgb background;

  QRgb* row(int y) const { return reinterpret_cast<QRgb*>(bits + y * bytesPerLine); }
  void fill(const QRect& area) {
    for (int y = area.top(); y <= area.bottom(); ++y) {
      std::fill_n(row(y) + area.left(), area.width(), background);
    }
  }
  void copy(const QRect& area, const QImage& face, const QPoint& from) {
    const auto bytes = static_cast<std::size_t>(area.width()) * sizeof(QRgb);
    for (int y = 0; y < area.height(); ++y) {
      std::memcpy(row(area.top() + y) + area.left(),
                  reinterpret_cast<const QRgb*>(face.constScanLine(from.y() + y)) + from.x(),
                  bytes);
    }
  }
};

}  // namespace

// The frontmost box that meets the area paints its part; what it leaves of the area, up to four
// bands around it, goes to the boxes behind it.
template <typename Canvas>
void PicturePainter::paintArea(Canvas& canvas, const QRect& area, std::size_t end) {
  for (std::size_t k = end; k-- > 0;) {
    Picture& picture = pictures_[k];
    const QRect& place = places_[k];
    if (!meets(place, area)) {
      continue;
    }
    if (!picture.drawn) {
      draw(picture);
    }
    const QRect part = common(area, place);
    canvas.copy(part, picture.face, part.topLeft() - place.topLeft());
    if (area.top() < part.top()) {
      paintArea(canvas, {area.left(), area.top(), area.width(), part.top() - area.top()}, k);
    }
    if (part.bottom() < area.bottom()) {
      paintArea(canvas,
                {area.left(), part.bottom() + 1, area.width(), area.bottom() - part.bottom()}, k);
    }
    if (area.left() < part.left()) {
      paintArea(canvas, {area.left(), part.top(), part.left() - area.left(), part.height()}, k);
    }
    if (part.right() < area.right()) {
      paintArea(canvas, {part.right() + 1, part.top(), area.right() - part.right(), part.height()},
                k);
    }
    return;
  }
  canvas.fill(area);
}

void PicturePainter::paint(QPainter& painter, const QRegion& region, qreal ratio) {
  if (ratio != ratio_) {
    setRatio(ratio);
  }
  PainterCanvas canvas{painter, background_};
  if (ratio_ == 1.0) {
    for (const QRect& rect : region) {
      paintArea(canvas, rect, pictures_.size());
    }
    return;
  }
  // Device pixels from here on; a logical pixel that is not a whole number of device pixels is
  // painted whole, the painter's clip keeps what belongs to the region.
  painter.scale(1 / ratio_, 1 / ratio_);
  for (const QRect& rect : region) {
    paintArea(canvas, covering(rect, ratio_), pictures_.size());
  }
}

bool PicturePainter::paint(QImage& image, const QRegion& region, qreal ratio) {
  const QImage::Format format = image.format();
  const int whole = static_cast<int>(std::lround(ratio));
  // Opaque pixels are the same words in all three formats.
  imageWorks_ = (format == QImage::Format_RGB32 || format == QImage::Format_ARGB32 ||
                 format == QImage::Format_ARGB32_Premultiplied) &&
                whole >= 1 && ratio == whole && image.isDetached();
  if (!imageWorks_) {
    return false;
  }
  if (ratio != ratio_) {
    setRatio(ratio);
  }
  ImageCanvas canvas{image.bits(), image.bytesPerLine(), backgroundPixel_};
  const QRect bounds = image.rect();
  for (const QRect& rect : region) {
    const QRect area = common(
        QRect(rect.x() * whole, rect.y() * whole, rect.width() * whole, rect.height() * whole),
        bounds);
    if (!area.isEmpty()) {
      paintArea(canvas, area, pictures_.size());
    }
  }
  return true;
}

}  // namespace forms::qt
