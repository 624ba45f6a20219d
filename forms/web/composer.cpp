#include "forms/web/composer.h"

#include <algorithm>

#include "forms/web/page.h"

namespace forms::web {

PixelRect toDevice(const RectF& twips, double twipsPerPixel, double ratio) {
  const DeviceEdges edges = deviceEdges(twips, twipsPerPixel, ratio);
  return {edges.left, edges.top, edges.right, edges.bottom};
}

void Composer::resize(int width, int height, Rgb back) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  backPixel_ = opaqueRgba(back);
  frame_.clear();
  frame_.resize(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_));
  dirty_.clear();
  invalidate({0, 0, width_, height_});
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
  // The window is composed in memory, back to front, and the page copies the changed part to
  // the canvas in one go: much cheaper for the browser than a drawing call for each picture.
  const auto row = [this](int y) {
    return frame_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
  };
  // One row filled, the others copied from it: copies are single instructions.
  std::fill(row(clip.top) + clip.left, row(clip.top) + clip.right, backPixel_);
  for (int y = clip.top + 1; y < clip.bottom; ++y) {
    std::copy(row(clip.top) + clip.left, row(clip.top) + clip.right, row(y) + clip.left);
  }
  for (const RenderedPicture& picture : pictures) {
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
    for (int y = part.top; y < part.bottom; ++y) {
      const std::uint32_t* from = picture.pixels.data() +
                                  static_cast<std::size_t>(y - at.top) * picture.width +
                                  (part.left - at.left);
      std::copy(from, from + (part.right - part.left), row(y) + part.left);
    }
  }
  cw_put(frame_.data(), width_, height_, clip.left, clip.top, clip.right - clip.left,
         clip.bottom - clip.top);
  ++paints_;
}

}  // namespace forms::web
