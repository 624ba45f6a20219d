#include "forms/web/composer.h"

#include <algorithm>

#include "forms/web/page.h"

namespace forms::web {

namespace {

constexpr std::size_t kPartFields = 7;

}  // namespace

PixelRect toDevice(const RectF& twips, double twipsPerPixel, double ratio) {
  const DeviceEdges edges = deviceEdges(twips, twipsPerPixel, ratio);
  return {edges.left, edges.top, edges.right, edges.bottom};
}

void Composer::resize(int width, int height) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  dirty_.clear();
  invalidate({0, 0, width_, height_});
}

void Composer::keep(std::size_t index, const RenderedPicture& picture) {
  cw_picture(static_cast<int>(index), picture.pixels.data(), picture.width, picture.height);
}

void Composer::invalidate(const PixelRect& rect) {
  if (rect.empty()) {
    return;
  }
  // A moving disk's old and new places overlap: one rectangle covers both. Rectangles that do
  // not touch stay apart, so that far corners are not repainted for nothing.
  PixelRect merged = rect;
  for (auto other = dirty_.begin(); other != dirty_.end();) {
    if (other->left <= merged.right && merged.left <= other->right && other->top <= merged.bottom &&
        merged.top <= other->bottom) {
      merged = {std::min(merged.left, other->left), std::min(merged.top, other->top),
                std::max(merged.right, other->right), std::max(merged.bottom, other->bottom)};
      dirty_.erase(other);
      other = dirty_.begin();
    } else {
      ++other;
    }
  }
  dirty_.push_back(merged);
}

void Composer::flush(const std::vector<RenderedPicture>& pictures, double twipsPerPixel,
                     double ratio) {
  for (const PixelRect& rect : dirty_) {
    paint(rect, pictures, twipsPerPixel, ratio);
  }
  dirty_.clear();
}

void Composer::paint(const PixelRect& dirty, const std::vector<RenderedPicture>& pictures,
                     double twipsPerPixel, double ratio) {
  const PixelRect clip{std::max(dirty.left, 0), std::max(dirty.top, 0),
                       std::min(dirty.right, width_), std::min(dirty.bottom, height_)};
  if (clip.empty()) {
    return;
  }
  parts_.clear();
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    const RenderedPicture& picture = pictures[i];
    const PictureBox& box = *picture.entry->box;
    if (box.Visible() == False) {
      continue;
    }
    const PixelRect at = toDevice(box.rect(), twipsPerPixel, ratio);
    const PixelRect part{std::max(at.left, clip.left), std::max(at.top, clip.top),
                         std::min({at.right, clip.right, at.left + picture.width}),
                         std::min({at.bottom, clip.bottom, at.top + picture.height})};
    if (part.empty()) {
      continue;
    }
    parts_.insert(parts_.end(),
                  {static_cast<std::int32_t>(i), part.left - at.left, part.top - at.top, part.left,
                   part.top, part.right - part.left, part.bottom - part.top});
  }
  cw_compose(clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top, parts_.data(),
             static_cast<int>(parts_.size() / kPartFields));
  ++paints_;
}

}  // namespace forms::web
