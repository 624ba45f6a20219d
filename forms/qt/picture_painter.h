#pragma once

#include <vector>

#include <QPixmap>
#include <QRect>

#include "forms/description.h"

class QPainter;

namespace forms::qt {

// Paints a form's picture boxes onto its window: the window's background, then every visible
// box back to front, each with its picture and the lines drawn over it. Pictures are drawn for
// the screen's device pixel ratio and kept until the ratio changes.
class PicturePainter {
 public:
  // `description` must outlive the painter.
  explicit PicturePainter(const FormDescription& description);

  // Every picture box that is painted, back to front.
  std::vector<PictureBox*> boxes() const;

  // Paints the window area `dirty`, in logical pixels.
  void paint(QPainter& painter, const QRect& dirty, qreal ratio);

  // The window area to repaint when a box covering `twips` appears, moves or disappears.
  QRect damage(const RectF& twips, qreal ratio) const;

 private:
  struct Picture {
    const PictureBoxEntry* entry = nullptr;
    QPixmap pixmap;
    qreal ratio = 0;
  };

  const QPixmap& pixmapFor(Picture& picture, qreal ratio);
  void paintPicture(QPainter& painter, Picture& picture, qreal ratio);

  const FormDescription& description_;
  // Back to front.
  std::vector<Picture> pictures_;
};

}  // namespace forms::qt
