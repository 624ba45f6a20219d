#include "tests/desktop/pixel_oracle.h"

#include <algorithm>
#include <cmath>

namespace desktop_test {

using board::kBackColor;
using board::kDisks;

int px(double twips) {
  return static_cast<int>(std::lround(twips / board::kTwipsPerPixel));
}

QRect pixels(const forms::RectF& r) {
  return {QPoint(px(r.left), px(r.top)),
          QPoint(px(r.left + r.width) - 1, px(r.top + r.height) - 1)};
}

QImage boardOf(const QImage& image) {
  return image.copy(0, 0, image.width(), px(board::kNumDisksBox.rect.top));
}

bool blank(const QImage& image, const board::EntryDesign& box) {
  const QImage inside = image.copy(pixels(box.rect).adjusted(2, 2, -2, -2));
  QImage filled(inside.size(), inside.format());
  filled.fill(0xFF000000 | box.backColor);
  return !image.isNull() && inside == filled;
}

Look& Look::is(QPoint at, forms::Rgb want, const QString& what, bool same) {
  const QPoint p = origin + at;
  const forms::Rgb got = image.valid(p) ? image.pixel(p) & 0xFFFFFF : 0x1000000;
  if (miss.isEmpty() && (got == want) != same) {
    miss = QString::asprintf("%s at (%d, %d) is #%06x", qPrintable(what), at.x(), at.y(), got);
  }
  return *this;
}

Look& Look::disk(int i, float left, float top, bool shown) {
  const board::DiskDesign& d = kDisks[i];
  const QRect r = pixels({left, top, d.rect.width, d.rect.height});
  const int y = r.center().y();
  const QString of = QStringLiteral(" of disk %1").arg(i);
  if (!shown) {
    return is({r.left() + d.highlightColumn, y}, d.highlight, "highlight" + of, false);
  }
  return is({r.left(), r.top() - 1}, kBackColor, "above the top left corner" + of)
      .is({r.left(), r.top()}, d.leftEdge, "top left corner" + of)
      .is({r.left() - 1, y}, kBackColor, "left of the left edge" + of)
      .is({r.left() + d.highlightColumn, y}, d.highlight, "highlight" + of)
      .is({r.right(), y}, d.rightEdge, "right edge" + of)
      .is({r.right() + 1, y}, kBackColor, "right of the right edge" + of);
}

Look& Look::disks(int n, bool onRight) {
  for (int i = 0; i < 7; ++i) {
    disk(i, i < n && onRight ? kRightPegRests[i] : kDisks[i].rect.left, kDisks[i].rect.top, i < n);
  }
  return *this;
}

Look& Look::opened() {
  for (const board::PieceDesign& post : board::kPosts) {
    const QRect r = pixels(post.rect);
    for (std::size_t c = 0; c < board::kPostColumns.size(); ++c) {
      is(r.topLeft() + QPoint(static_cast<int>(c), 10), board::kPostColumns[c], "post");
    }
  }
  for (const board::PieceDesign& base : board::kBases) {
    for (const board::FrameLineDesign& frame : board::kFrame) {
      const forms::Line& l = frame.line;
      is(pixels(base.rect).topLeft() + QPoint(px((l.x1 + l.x2) / 2), px((l.y1 + l.y2) / 2)),
         frame.color, frame.name);
    }
  }
  return disks(0);
}

Look onScreen(QImage screen) {
  Look look{std::move(screen)};
  const QRect post = pixels(board::kPosts[0].rect);
  const QImage shot = look.image.convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < shot.height() && look.origin.isNull(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(shot.constScanLine(y));
    const auto* found =
        std::search(row, row + shot.width(), board::kPostColumns.begin(), board::kPostColumns.end(),
                    [](QRgb got, forms::Rgb want) { return (got & 0xFFFFFF) == want; });
    look.origin = found == row + shot.width()
                      ? QPoint()
                      : QPoint(static_cast<int>(found - row), y) - post.topLeft();
  }
  look.miss = look.origin.isNull() ? "no window on the screen" : "";
  const QRect area = pixels({0, 0, board::kClientWidth, board::kClientHeight});
  for (const QPoint corner :
       {area.topLeft(), area.topRight(), area.bottomLeft(), area.bottomRight()}) {
    const int outX = corner.x() == 0 ? -1 : 1, outY = corner.y() == 0 ? -1 : 1;
    look.is(corner, kBackColor, "corner of the client area")
        .is(corner + QPoint(outX, 0), kBackColor, "beside the corner", false)
        .is(corner + QPoint(0, outY), kBackColor, "beside the corner", false);
  }
  return look;
}

}  // namespace desktop_test
