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

namespace forms::qt {

namespace {

// A box larger than this many device pixels either way shows only this much of itself.
constexpr int kLargestFace = 4096;

// QRect's own are not inlined, and painting a step asks these of every box.
bool meets(const QRect& a, const QRect& b) {
  return a.left() <= b.right() && b.left() <= a.right() && a.top() <= b.bottom() &&
         b.top() <= a.bottom() && !a.isEmpty() && !b.isEmpty();
}
QRect common(const QRect& a, const QRect& b) {
  return {QPoint(std::max(a.left(), b.left()), std::max(a.top(), b.top())),
          QPoint(std::min(a.right(), b.right()), std::min(a.bottom(), b.bottom()))};
}

}  // namespace

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
      pictures_.push_back({});
      pictures_.back().entry = entry;
    }
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
  const double scale = description_.twipsPerPixel;
  const int left = toDevice(twips.left, scale, ratio_);
  const int top = toDevice(twips.top, scale, ratio_);
  const int right =
      toDevice(static_cast<double>(twips.left) + static_cast<double>(twips.width), scale, ratio_);
  const int bottom =
      toDevice(static_cast<double>(twips.top) + static_cast<double>(twips.height), scale, ratio_);
  return {left, top, right - left, bottom - top};
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
      // Centred on the pixel the line passes through, as wide as asked in whole device pixels.
      const int width = std::max(1, static_cast<int>(std::lround(line.widthPixels * ratio)));
      const qreal centre = (width % 2 == 1) ? 0.5 : 0.0;
      const auto at = [&](float x, float y) {
        return QPointF((toDevice(x, scale, ratio) + centre) / ratio,
                       (toDevice(y, scale, ratio) + centre) / ratio);
      };
      painter.setPen(QPen(toColor(line.color), width / ratio, Qt::SolidLine, Qt::SquareCap));
      painter.drawLine(at(line.line.x1, line.line.y1), at(line.line.x2, line.line.y2));
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

// Moving the pixels on screen copies them whole, so the box must be in front of everything it
// covers before and after, inside the window, and the move must be whole logical pixels.
bool PicturePainter::canScroll(std::size_t index, const QRect& from, const QRect& to) const {
  const QRect both = from | to;
  const int whole = static_cast<int>(std::lround(ratio_));
  if (from.size() != to.size() || whole < 1 || ratio_ != whole || !client_.contains(both)) {
    return false;
  }
  const QPoint delta = to.topLeft() - from.topLeft();
  if (whole > 1 &&
      (both.x() % whole != 0 || both.y() % whole != 0 || both.width() % whole != 0 ||
       both.height() % whole != 0 || delta.x() % whole != 0 || delta.y() % whole != 0)) {
    return false;
  }
  for (std::size_t j = index + 1; j < pictures_.size(); ++j) {
    if (meets(pictures_[j].rect, both)) {
      return false;
    }
  }
  return std::none_of(controls_.begin(), controls_.end(),
                      [&both](const QRect& control) { return meets(control, both); });
}

namespace {

// What of `a` lies outside `b`, for two rectangles of one size, one moved from the other along
// a single axis.
QRect outside(const QRect& a, const QRect& b) {
  if (!meets(a, b)) {
    return a;
  }
  if (a.left() == b.left()) {
    return a.top() < b.top() ? QRect(a.left(), a.top(), a.width(), b.top() - a.top())
                             : QRect(a.left(), b.bottom() + 1, a.width(), a.bottom() - b.bottom());
  }
  return a.left() < b.left() ? QRect(a.left(), a.top(), b.left() - a.left(), a.height())
                             : QRect(b.right() + 1, a.top(), a.right() - b.right(), a.height());
}

// `area` less the part of it that `cover` hides, where that leaves a rectangle; otherwise all of
// `area`.
QRect uncovered(const QRect& area, const QRect& cover) {
  if (!meets(area, cover)) {
    return area;
  }
  QRect rest = area;
  if (cover.left() <= area.left() && cover.right() >= area.right()) {
    if (cover.top() <= area.top()) {
      rest.setTop(cover.bottom() + 1);
    } else if (cover.bottom() >= area.bottom()) {
      rest.setBottom(cover.top() - 1);
    }
  } else if (cover.top() <= area.top() && cover.bottom() >= area.bottom()) {
    if (cover.left() <= area.left()) {
      rest.setLeft(cover.right() + 1);
    } else if (cover.right() >= area.right()) {
      rest.setRight(cover.left() - 1);
    }
  }
  return rest.isEmpty() ? QRect() : rest;
}

}  // namespace

PicturePainter::Damage PicturePainter::damage(const PictureBox& box) {
  std::size_t index = 0;
  while (index < pictures_.size() && pictures_[index].entry->box != &box) {
    ++index;
  }
  if (index == pictures_.size()) {
    return {};
  }
  Picture& picture = pictures_[index];
  const QRect from = picture.rect;
  picture.rect = placeOf(picture);
  const QRect to = picture.rect;
  if (from == to) {
    return {};
  }
  std::array<QRect, 2> changed{from, to};
  const QPoint delta = to.topLeft() - from.topLeft();
  if (!from.isEmpty() && !to.isEmpty() && from.size() == to.size() &&
      (delta.x() == 0 || delta.y() == 0)) {
    if (!picture.drawn) {
      draw(picture);
    }
    if (delta.x() == 0 ? from.height() <= picture.alikeRows
                       : from.width() <= picture.alikeColumns) {
      // Where the old and new places overlap, the box shows the same pixels as before.
      changed = {outside(from, to), outside(to, from)};
    } else if (canScroll(index, from, to)) {
      return {from, delta, {outside(from, to), QRect()}};
    }
  }
  // Boxes in front keep their pixels.
  for (std::size_t j = index + 1; j < pictures_.size(); ++j) {
    for (QRect& rect : changed) {
      rect = uncovered(rect, pictures_[j].rect);
    }
  }
  return {{}, {}, changed};
}

void PicturePainter::changed(QWidget& window, const PictureBox& box) {
  const qreal ratio = window.devicePixelRatioF();
  if (ratio != ratio_) {
    // Every box has a new place.
    setRatio(ratio);
    window.update();
    return;
  }
  const Damage change = damage(box);
  QRegion repaint;
  for (const QRect& rect : change.repaint) {
    if (!rect.isEmpty()) {
      repaint += toLogical(rect);
    }
  }
  QBackingStore* store = window.backingStore();
  const QWindow* handle = window.windowHandle();
  // Straight into the window's image only where no control lies: the window's own repaint
  // leaves the controls' pixels to them.
  const QRect touched = covering(repaint.boundingRect());
  const bool atOnce =
      imageWorks_ && window.isWindow() && window.isVisible() && window.updatesEnabled() &&
      store != nullptr && handle != nullptr && handle->isExposed() &&
      store->size() == window.size() &&
      std::none_of(controls_.begin(), controls_.end(),
                   [&touched](const QRect& control) { return meets(control, touched); });
  if (!change.moved.isEmpty()) {
    const QRect from = toLogical(change.moved);
    const QPoint delta = change.delta / ratio_;
    if (atOnce) {
      // The pixels to move must be current: whatever the window has yet to repaint is painted
      // first.
      QEvent sync(QEvent::UpdateRequest);
      QCoreApplication::sendEvent(&window, &sync);
      if (store->scroll(from, delta.x(), delta.y())) {
        paintAtOnce(window, repaint, repaint.united(from.translated(delta)));
        return;
      }
    }
    // The window repaints what the move uncovers.
    window.scroll(delta.x(), delta.y(), from | from.translated(delta));
    return;
  }
  if (repaint.isEmpty()) {
    return;
  }
  if (atOnce) {
    paintAtOnce(window, repaint, repaint);
    return;
  }
  // At once rather than at the next pass of the event loop, which spares a wake-up of that
  // loop at every step of a run.
  window.repaint(repaint);
}

// Paints `area` into the window's image and sends `shown` to the screen, or has the window
// repaint all of `shown` if its image cannot be painted into after all.
void PicturePainter::paintAtOnce(QWidget& window, const QRegion& area, const QRegion& shown) {
  QBackingStore& store = *window.backingStore();
  store.beginPaint(area);
  QPaintDevice* device = store.paintDevice();
  const bool painted = device != nullptr && device->devType() == QInternal::Image &&
                       paint(*static_cast<QImage*>(device), area, ratio_);
  store.endPaint();
  if (painted) {
    store.flush(shown, window.windowHandle());
  } else {
    window.repaint(shown);
  }
}

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
    if (!meets(picture.rect, area)) {
      continue;
    }
    if (!picture.drawn) {
      draw(picture);
    }
    const QRect part = common(area, picture.rect);
    canvas.copy(part, picture.face, part.topLeft() - picture.rect.topLeft());
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
    paintArea(canvas, covering(rect), pictures_.size());
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
