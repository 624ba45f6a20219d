#include "forms/qt/damage_geometry.h"

#include <cmath>

#include <QRectF>

namespace forms::qt {

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

QRect toLogical(const QRect& device, double ratio) {
  if (ratio == 1.0 || device.isEmpty()) {
    return device;
  }
  return QRectF(device.x() / ratio, device.y() / ratio, device.width() / ratio,
                device.height() / ratio)
      .toAlignedRect();
}

QRect covering(const QRect& logical, double ratio) {
  const auto edge = [ratio](int at, bool after) {
    const double device = at * ratio;
    return static_cast<int>(after ? std::ceil(device) : std::floor(device));
  };
  return {QPoint(edge(logical.left(), false), edge(logical.top(), false)),
          QPoint(edge(logical.right() + 1, true) - 1, edge(logical.bottom() + 1, true) - 1)};
}

bool canScroll(const QRect& from, const QRect& to, const Surroundings& around) {
  const QRect both = from | to;
  const double ratio = around.ratio;
  const int whole = static_cast<int>(std::lround(ratio));
  if (from.size() != to.size() || whole < 1 || ratio != whole || !around.client.contains(both)) {
    return false;
  }
  const QPoint delta = to.topLeft() - from.topLeft();
  if (whole > 1 &&
      (both.x() % whole != 0 || both.y() % whole != 0 || both.width() % whole != 0 ||
       both.height() % whole != 0 || delta.x() % whole != 0 || delta.y() % whole != 0)) {
    return false;
  }
  const auto hides = [&both](const QRect& other) { return meets(other, both); };
  return std::none_of(around.inFront.begin(), around.inFront.end(), hides) &&
         std::none_of(around.controls.begin(), around.controls.end(), hides);
}

Damage damageOf(const QRect& from, const QRect& to, Alike alike, const Surroundings& around) {
  if (from == to) {
    return {};
  }
  std::array<QRect, 2> changed{from, to};
  if (slides(from, to)) {
    if (to.left() == from.left() ? from.height() <= alike.rows : from.width() <= alike.columns) {
      // Where the old and new places overlap, the box shows the same pixels as before.
      changed = {outside(from, to), outside(to, from)};
    } else if (canScroll(from, to, around)) {
      return {from, to.topLeft() - from.topLeft(), {outside(from, to), QRect()}};
    }
  }
  for (const QRect& cover : around.inFront) {
    for (QRect& rect : changed) {
      rect = uncovered(rect, cover);
    }
  }
  return {{}, {}, changed};
}

}  // namespace forms::qt
