// Showing a change of a picture box on the window at once.
#include <algorithm>

#include <QBackingStore>
#include <QCoreApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>

#include "forms/qt/picture_painter.h"

namespace forms::qt {

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
      repaint += toLogical(rect, ratio_);
    }
  }
  QBackingStore* store = window.backingStore();
  const QWindow* handle = window.windowHandle();
  // Straight into the window's image only where no control lies: the window's own repaint
  // leaves the controls' pixels to them.
  const QRect touched = covering(repaint.boundingRect(), ratio_);
  const bool atOnce =
      imageWorks_ && window.isWindow() && window.isVisible() && window.updatesEnabled() &&
      store != nullptr && handle != nullptr && handle->isExposed() &&
      store->size() == window.size() &&
      std::none_of(controls_.begin(), controls_.end(),
                   [&touched](const QRect& control) { return meets(control, touched); });
  if (!change.moved.isEmpty()) {
    const QRect from = toLogical(change.moved, ratio_);
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
