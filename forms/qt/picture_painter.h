#pragma once

#include <cstddef>
#include <vector>

#include <QColor>
#include <QImage>
#include <QRect>
#include <QRegion>

#include "forms/description.h"
#include "forms/qt/damage_geometry.h"
#include "forms/qt/frame_pacer.h"

class QPainter;
class QWidget;

namespace forms::qt {

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
  struct Picture {
    const PictureBoxEntry* entry = nullptr;
    // The box as painted, from its top-left corner; as large as the box can be at this ratio,
    // since a place rounded to whole device pixels may make it a pixel larger or smaller.
    QImage face;
    bool drawn = false;
    QSize largest;
    Alike alike;
  };

  // Placement: where each box lies, worked out again only when it changes.
  void setRatio(qreal ratio);
  QRect place(const RectF& twips) const;
  QRect placeOf(const Picture& picture) const;
  // Takes the new place of `box` and says what its change leaves to do.
  Damage damage(const PictureBox& box);
  // The face cache: each box's face, drawn at the first need after a change of ratio.
  void draw(Picture& picture) const;
  // Presentation and painting.
  void paintAtOnce(QWidget& window, const QRegion& area, const QRegion& shown);
  template <typename Canvas>
  void paintArea(Canvas& canvas, const QRect& area, std::size_t end);

  const FormDescription& description_;
  // Back to front, and where each lies in device pixels: empty while hidden.
  std::vector<Picture> pictures_;
  std::vector<QRect> places_;
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
