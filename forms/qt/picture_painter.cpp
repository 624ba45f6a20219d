// Where each picture box lies on the window, in device pixels.
#include "forms/qt/picture_painter.h"

#include <algorithm>
#include <cmath>

#include "forms/qt/pixels.h"

namespace forms::qt {

namespace {

// A box larger than this many device pixels either way shows only this much of itself.
constexpr int kLargestFace = 4096;

}  // namespace

PicturePainter::PicturePainter(const FormDescription& description) : description_(description) {
  for (const PictureBoxEntry* entry : backToFront(description_)) {
    pictures_.push_back({});
    pictures_.back().entry = entry;
  }
  places_.resize(pictures_.size());
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
  const DeviceEdges edges = deviceEdges(twips, description_.twipsPerPixel, ratio_);
  return {edges.left, edges.top, edges.right - edges.left, edges.bottom - edges.top};
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
  for (std::size_t i = 0; i < pictures_.size(); ++i) {
    Picture& picture = pictures_[i];
    const PictureBox& box = *picture.entry->box;
    picture.largest = QSize(largest(box.Width()), largest(box.Height()));
    picture.face = {};
    picture.drawn = false;
    places_[i] = placeOf(picture);
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

Damage PicturePainter::damage(const PictureBox& box) {
  std::size_t index = 0;
  while (index < pictures_.size() && pictures_[index].entry->box != &box) {
    ++index;
  }
  if (index == pictures_.size()) {
    return {};
  }
  Picture& picture = pictures_[index];
  const QRect from = places_[index];
  const QRect to = placeOf(picture);
  places_[index] = to;
  if (from == to) {
    return {};
  }
  if (slides(from, to) && !picture.drawn) {
    draw(picture);
  }
  const Surroundings around{client_, controls_, std::span<const QRect>(places_).subspan(index + 1),
                            ratio_};
  return damageOf(from, to, picture.alike, around);
}

}  // namespace forms::qt
