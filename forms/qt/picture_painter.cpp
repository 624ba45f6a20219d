#include "forms/qt/picture_painter.h"

#include <algorithm>
#include <cmath>

#include <QPainter>
#include <QPen>

#include "forms/qt/pixels.h"

namespace forms::qt {

PicturePainter::PicturePainter(const FormDescription& description) : description_(description) {
  // Painted back to front: first whatever the stacking list leaves out, then the list reversed.
  std::vector<const PictureBoxEntry*> order;
  for (const PictureBoxEntry& entry : description_.pictureBoxes) {
    if (std::find(description_.frontToBack.begin(), description_.frontToBack.end(), entry.name) ==
        description_.frontToBack.end()) {
      order.push_back(&entry);
    }
  }
  for (auto name = description_.frontToBack.rbegin(); name != description_.frontToBack.rend();
       ++name) {
    for (const PictureBoxEntry& entry : description_.pictureBoxes) {
      if (entry.name == *name) {
        order.push_back(&entry);
      }
    }
  }
  for (const PictureBoxEntry* entry : order) {
    if (entry->box != nullptr) {
      pictures_.push_back({entry, {}, 0});
    }
  }
}

std::vector<PictureBox*> PicturePainter::boxes() const {
  std::vector<PictureBox*> result;
  result.reserve(pictures_.size());
  for (const Picture& picture : pictures_) {
    result.push_back(picture.entry->box);
  }
  return result;
}

QRect PicturePainter::damage(const RectF& twips, qreal ratio) const {
  return toPixels(twips, description_.twipsPerPixel, ratio).toAlignedRect().adjusted(-1, -1, 1, 1);
}

const QPixmap& PicturePainter::pixmapFor(Picture& picture, qreal ratio) {
  if (picture.ratio != ratio) {
    picture.pixmap = {};
    if (picture.entry->picture) {
      picture.pixmap = QPixmap::fromImage(toImage(picture.entry->picture(ratio)));
      picture.pixmap.setDevicePixelRatio(ratio);
    }
    picture.ratio = ratio;
  }
  return picture.pixmap;
}

void PicturePainter::paintPicture(QPainter& painter, Picture& picture, qreal ratio) {
  const PictureBoxEntry& entry = *picture.entry;
  const double scale = description_.twipsPerPixel;
  const QRectF box = toPixels(entry.box->rect(), scale, ratio);
  painter.save();
  painter.setClipRect(box, Qt::IntersectClip);
  painter.fillRect(box, toColor(entry.backColor));
  const QPixmap& pixmap = pixmapFor(picture, ratio);
  if (!pixmap.isNull()) {
    painter.drawPixmap(box.topLeft(), pixmap);
  }
  for (const LineEntry& line : entry.lines) {
    // Centred on the pixel the line passes through, as wide as asked in whole device pixels.
    const int width = std::max(1, static_cast<int>(std::lround(line.widthPixels * ratio)));
    const qreal centre = (width % 2 == 1) ? 0.5 : 0.0;
    const auto at = [&](float x, float y) {
      return box.topLeft() + QPointF((toDevice(x, scale, ratio) + centre) / ratio,
                                     (toDevice(y, scale, ratio) + centre) / ratio);
    };
    painter.setPen(QPen(toColor(line.color), width / ratio, Qt::SolidLine, Qt::SquareCap));
    painter.drawLine(at(line.line.x1, line.line.y1), at(line.line.x2, line.line.y2));
  }
  painter.restore();
}

void PicturePainter::paint(QPainter& painter, const QRect& dirty, qreal ratio) {
  painter.fillRect(dirty, toColor(description_.backColor));
  const QRectF area(dirty);
  for (Picture& picture : pictures_) {
    const PictureBox& box = *picture.entry->box;
    if (box.Visible() == False ||
        !toPixels(box.rect(), description_.twipsPerPixel, ratio).intersects(area)) {
      continue;
    }
    paintPicture(painter, picture, ratio);
  }
}

}  // namespace forms::qt
