#include "forms/qt/picture_painter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <QBackingStore>
#include <QCoreApplication>
#include <QEvent>
#include <QPainter>
#include <QPen>
#include <QPixmap>
#include <QRectF>
#include <QWidget>
#include <QWindow>

#include "forms/qt/pixels.h"
#include "forms/window_rules.h"

namespace forms::qt {

namespace {

// A box larger than this many device pixels either way shows only this much of itself.
constexpr int kLargestFace = 4096;

}  // namespace

PicturePainter::PicturePainter(const FormDescription& description) : description_(description) {
  for (const PictureBoxEntry* entry : backToFront(description_)) {
    pictures_.push_back({});
    pictures_.back().entry = entry;
  }
  background_ = toColor(description_.backColor);
  backgroundPixel_ = background_.rgb();
}

std::vector<PictureBox*> PicturePainter::boxes() const {
  std::vector<PictureBox*> result;
  result.reserve(pictures_.size());
  for (const Picture& picture : pictures_) {
    result.push_back(picture.entry->box);
  }
  return result;
}

QRect PicturePainter::place(const RectF& twips) const {
  const DeviceEdges edges = deviceEdges(twips, description_.twipsPerPixel, ratio_);
  return {edges.left, edges.top, edges.right - edges.left, edges.bottom - edges.top};
}

QRect PicturePainter::placeOf(const Picture& picture) const {
  const PictureBox& box = *picture.entry->box;
  if (box.Visible() == False) {
    return {};
  }
  QRect rect = place(box.rect());
  rect.setSize(rect.size().boundedTo(picture.largest));
  return rect.isEmpty() ? QRect() : rect;
}

void PicturePainter::setRatio(qreal ratio) {
  ratio_ = ratio;
  // Rounding both edges to whole device pixels makes a box at most one pixel larger than its
  // size at this ratio.
  const auto largest = [this](float twips) {
    const double pixels = static_cast<double>(twips) / description_.twipsPerPixel * ratio_;
    return pixels >= 0 ? static_cast<int>(std::min(std::floor(pixels) + 1.0, 1.0 * kLargestFace))
                       : 0;
  };
  for (Picture& picture : pictures_) {
    const PictureBox& box = *picture.entry->box;
    picture.largest = QSize(largest(box.Width()), largest(box.Height()));
    picture.face = {};
    picture.drawn = false;
    picture.rect = placeOf(picture);
  }
  client_ = place({0, 0, description_.clientWidth, description_.clientHeight});
  controls_.clear();
  for (const TextBoxEntry& entry : description_.textBoxes) {
    controls_.push_back(place(entry.rect));
  }
  for (const ButtonEntry& entry : description_.buttons) {
    controls_.push_back(place(entry.rect));
  }
}

void PicturePainter::draw(Picture& picture) const {
  const PictureBoxEntry& entry = *picture.entry;
  picture.drawn = true;
  picture.alikeRows = 0;
  picture.alikeColumns = 0;
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
      const QImage image = toImage(entry.picture(ratio));
      if (!image.isNull()) {
        QPixmap pixmap = QPixmap::fromImage(image);
        pixmap.setDevicePixelRatio(ratio);
        painter.drawPixmap(QPointF(0, 0), pixmap);
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
  picture.alikeRows = rows;
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
  picture.alikeColumns = columns;
}

QRect PicturePainter::toLogical(const QRect& device) const {
  if (ratio_ == 1.0 || device.isEmpty()) {
    return device;
  }
  return QRectF(device.x() / ratio_, device.y() / ratio_, device.width() / ratio_,
                device.height() / ratio_)
      .toAlignedRect();
}

QRect PicturePainter::covering(const QRect& logical) const {
  const auto edge = [this](int at, bool after) {
    const double device = at * ratio_;
    return static_cast<int>(after ? std::ceil(device) : std::floor(device));
  };
  return {QPoint(edge(logical.left(), false), edge(logical.top(), false)),
          QPoint(edge(logical.right() + 1, true) - 1, edge(logical.bottom() + 1, true) - 1)};
}

}  // namespace forms::qt
