#pragma once

#include <utility>

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>

#include "board/layout.h"

// What the window must look like, pixel by pixel, worked out from the board's design alone.
namespace desktop_test {

// Where each disk comes to rest on the right peg after a whole run, twips from the left: the
// figures of a run worked through by hand from the board's design.
constexpr float kRightPegRests[7] = {9848, 10088, 10318, 10568, 10808, 11048, 11288};

// Twips as whole pixels, and a rectangle in twips as the pixels it covers.
int px(double twips);
QRect pixels(const forms::RectF& r);

// The board above the row of boxes and buttons.
QImage boardOf(const QImage& image);

// Whether a box shows nothing inside its edge but its own colour.
bool blank(const QImage& image, const board::EntryDesign& box);

// A picture of the client area, checked pixel by pixel; keeps the first pixel that is wrong.
struct Look {
  explicit Look(QImage picture) : image(std::move(picture)) {}
  QImage image;
  QPoint origin;  // of the client area in the picture
  QString miss;

  Look& is(QPoint at, forms::Rgb want, const QString& what, bool same = true);
  // Disk i with its top-left corner at (left, top) twips (its rows are alike), or, hidden, not.
  Look& disk(int i, float left, float top, bool shown = true);
  // Disks 0 to n - 1 standing on the left peg as designed or, after a run, where their steps
  // end on the right peg; the others hidden.
  Look& disks(int n, bool onRight = false);
  // As it opens: every column of each post, the frame around each base's numeral, no disk.
  Look& opened();
};

// A picture of a whole screen, looked at where the left post's columns put the client area,
// which must be as large as designed: its background in its corners, none just beyond them.
Look onScreen(QImage screen);

}  // namespace desktop_test
