// What a change of a picture box leaves to repaint, and showing it at once.
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
      const QRegion shown = repaint.united(from.translated(delta));
      if (store->scroll(from, delta.x(), delta.y())) {
        paintAtOnce(window, repaint, shown);
      } else {
        // Where the window system cannot move pixels (Wayland), the box's new place is painted.
        paintAtOnce(window, shown, shown);
      }
      return;
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
    pacer_.flush(window, store, shown);
  } else {
    window.repaint(shown);
  }
}

}  // namespace forms::qt
