#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRegion>

#include "forms/description.h"
#include "forms/qt/frame_pacer.h"

class QPainter;
class QWidget;

namespace forms::qt {

// Whether two rectangles share a pixel, and the rectangle they share. QRect's own are not
// inlined, and painting a step asks these of every box.
inline bool meets(const QRect& a, const QRect& b) {
  return a.left() <= b.right() && b.left() <= a.right() && a.top() <= b.bottom() &&
         b.top() <= a.bottom() && !a.isEmpty() && !b.isEmpty();
}
inline QRect common(const QRect& a, const QRect& b) {
  return {QPoint(std::max(a.left(), b.left()), std::max(a.top(), b.top())),
          QPoint(std::min(a.right(), b.right()), std::min(a.bottom(), b.bottom()))};
}

// Paints a form's picture boxes onto its window, back to front, and shows each change of a box
// by repainting only the pixels whose colour it can change. Every box is opaque: its background
// colour, its picture and the lines drawn over it make one image at the screen's resolution,
// drawn once per device pixel ratio, from which each pixel is painted once. A box moved along
// rows or columns that are all alike changes only the strips it uncovers and newly covers; any
// other box with nothing in front of it is copied to its new place on screen. Where each box
// lies is kept in device pixels and worked out only when the box changes.
class PicturePainter {
 public:
  // `description` must outlive the painter.
  explicit PicturePainter(const FormDescription& description);

  // Every picture box that is painted, back to front.
  std::vector<PictureBox*> boxes() const;

  // Shows on `window`, whose paint events this painter serves, that `box` has moved or has been
  // shown or hidden. What changed is painted at once, straight into the window's image and sent
  // to the screen when the window allows it, and otherwise repainted by the window.
  void changed(QWidget& window, const PictureBox& box);

  // Paints the window area `region`, in logical pixels: each pixel once, from the frontmost box
  // that covers it, or the window's background where none does.
  void paint(QPainter& painter, const QRegion& region, qreal ratio);
  // The same straight into `image`, the window's own pixels at `ratio`, when its pixels are
  // 32-bit words that no one else shares and the ratio is a whole number; otherwise paints
  // nothing and says so.
  bool paint(QImage& image, const QRegion& region, qreal ratio);

 private:
  // What a change of a box leaves to do, in device pixels: move the pixels of `moved` by
  // `delta` (when `moved` is not empty), and repaint the `repaint` rectangles that are not empty.
  struct Damage {
    QRect moved;
    QPoint delta;
    std::array<QRect, 2> repaint;
  };

  struct Picture {
    const PictureBoxEntry* entry = nullptr;
    // The box as painted, from its top-left corner; as large as the box can be at this ratio,
    // since a place rounded to whole device pixels may make it a pixel larger or smaller.
    QImage face;
    bool drawn = false;
    QSize largest;
    // How many rows from the top are the same as the first, and columns from the left as the
    // first: a box moved along such rows or columns changes only the pixels it uncovers or
    // newly covers.
    int alikeRows = 0;
    int alikeColumns = 0;
    // Device pixels; empty while hidden.
    QRect rect;
  };

  Damage damage(const PictureBox& box);
  void paintAtOnce(QWidget& window, const QRegion& area, const QRegion& shown);
  void setRatio(qreal ratio);
  void draw(Picture& picture) const;
  QRect place(const RectF& twips) const;
  QRect placeOf(const Picture& picture) const;
  bool canScroll(std::size_t index, const QRect& from, const QRect& to) const;
  QRect toLogical(const QRect& device) const;
  // Every device pixel that a logical rectangle touches.
  QRect covering(const QRect& logical) const;
  template <typename Canvas>
  void paintArea(Canvas& canvas, const QRect& area, std::size_t end);

  const FormDescription& description_;
  // Back to front.
  std::vector<Picture> pictures_;
  // The window, and its text boxes and buttons, in device pixels: no box's pixels are moved
  // across a control, nor from or to outside the window.
  QRect client_;
  std::vector<QRect> controls_;
  QColor background_;
  QRgb backgroundPixel_ = 0;
  qreal ratio_ = 0;
  // Whether the window's image was last found to be one this painter can paint straight into.
  bool imageWorks_ = false;
  FramePacer pacer_;
};

}  // namespace forms::qt
