#pragma once

#include <algorithm>
#include <array>
#include <span>

#include <QPoint>
#include <QRect>

// Which pixels a change of a picture box leaves to repaint, worked out on rectangles alone.
// Rectangles are in device pixels unless said otherwise.
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

// What of `a` lies outside `b`, for two rectangles of one size, one moved from the other along
// a single axis.
QRect outside(const QRect& a, const QRect& b);

// `area` less the part of it that `cover` hides, where that leaves a rectangle; otherwise all of
// `area`.
QRect uncovered(const QRect& area, const QRect& cover);

// A rectangle of device pixels in logical pixels at `ratio`: every logical pixel it touches.
QRect toLogical(const QRect& device, double ratio);
// Every device pixel at `ratio` that a logical rectangle touches.
QRect covering(const QRect& logical, double ratio);

// What a change of a box leaves to do: move the pixels of `moved` by `delta` (when `moved` is
// not empty), and repaint the `repaint` rectangles that are not empty.
struct Damage {
  QRect moved;
  QPoint delta;
  std::array<QRect, 2> repaint;
};

// What lies around a box on the window.
struct Surroundings {
  // The window: no box's pixels are moved from or to outside it.
  QRect client;
  // The text boxes and buttons, whose pixels no move may carry along.
  std::span<const QRect> controls;
  // The boxes in front of it, which keep their pixels; an empty rectangle for a hidden one.
  std::span<const QRect> inFront;
  double ratio = 1;
};

// Whether the box slides: the same size, moved along rows or columns only.
inline bool slides(const QRect& from, const QRect& to) {
  return !from.isEmpty() && !to.isEmpty() && from.size() == to.size() &&
         (to.left() == from.left() || to.top() == from.top());
}

// How many rows from the top of a box's face are the same as the first, and columns from the
// left as the first: a box that slides along such rows or columns changes only the pixels it
// uncovers or newly covers.
struct Alike {
  int rows = 0;
  int columns = 0;
};

// Whether a box that slides from `from` to `to` can be shown by moving its pixels on screen:
// it must be in front of everything it covers before and after, inside the window, and move by
// whole logical pixels.
bool canScroll(const QRect& from, const QRect& to, const Surroundings& around);

// What moving a box from `from` to `to` leaves to do; either may be empty, for a hidden box.
// `alike` is only read of a box that slides.
Damage damageOf(const QRect& from, const QRect& to, Alike alike, const Surroundings& around);

}  // namespace forms::qt
