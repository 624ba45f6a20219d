// Each picture box's face: its colour, its picture and its lines, drawn once per device pixel
// ratio.
#include <cstring>

#include <QPainter>
#include <QPen>

#include "forms/qt/picture_painter.h"
#include "forms/qt/pixels.h"
#include "forms/window_rules.h"

namespace forms::qt {

void PicturePainter::draw(Picture& picture) const {
  const PictureBoxEntry& entry = *picture.entry;
  picture.drawn = true;
  picture.alike = {};
  picture.face = QImage(picture.largest, QImage::Format_RGB32);
  if (picture.face.isNull()) {
    return;
  }
  picture.face.fill(toColor(entry.backColor));
  const qreal ratio = ratio_;
  const double scale = description_.twipsPerPixel;
  picture.face.setDevicePixelRatio(ratio);
  {
    QPainter painter(&picture.face);
    if (entry.picture) {
      QImage image = toImage(entry.picture(ratio));
      if (!image.isNull()) {
        image.setDevicePixelRatio(ratio);
        painter.drawImage(QPointF(0, 0), image);
      }
    }
    for (const LineEntry& line : entry.lines) {
      const LineStroke stroke = lineStroke(line, scale, ratio);
      painter.setPen(QPen(toColor(line.color), stroke.width / ratio, Qt::SolidLine, Qt::SquareCap));
      painter.drawLine(QPointF(stroke.x1 / ratio, stroke.y1 / ratio),
                       QPointF(stroke.x2 / ratio, stroke.y2 / ratio));
    }
  }
  // From here on the face is copied pixel for pixel.
  picture.face.setDevicePixelRatio(1);

  const QImage& face = picture.face;
  const auto rowBytes = static_cast<std::size_t>(face.width()) * sizeof(QRgb);
  int rows = 1;
  while (rows < face.height() &&
         std::memcmp(face.constScanLine(rows), face.constScanLine(0), rowBytes) == 0) {
    ++rows;
  }
  picture.alike.rows = rows;
  const auto alikeColumn = [&face](int x) {
    for (int y = 0; y < face.height(); ++y) {
      const auto* row = reinterpret_cast<const QRgb*>(face.constScanLine(y));
      if (row[x] != row[0]) {
        return false;
      }
    }
    return true;
  };
  int columns = 1;
  while (columns < face.width() && alikeColumn(columns)) {
    ++columns;
  }
  picture.alike.columns = columns;
}

}  // namespace forms::qt
