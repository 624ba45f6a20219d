#include "forms/web/picture_render.h"

#include <algorithm>
#include <cmath>

#include "forms/window_rules.h"

namespace forms::web {

namespace {

// A picture's pixel over the colour of its box, as 0xAARRGGBB.
std::uint32_t blend(std::uint32_t argb, Rgb back) {
  const std::uint32_t alpha = argb >> 24;
  if (alpha == 0xFFu) {
    return argb;
  }
  std::uint32_t result = 0xFF000000u;
  for (const int shift : {16, 8, 0}) {
    const std::uint32_t over = (argb >> shift) & 0xFFu;
    const std::uint32_t under = (back >> shift) & 0xFFu;
    result |= ((over * alpha + under * (255 - alpha) + 127) / 255) << shift;
  }
  return result;
}

// Every pixel whose centre lies in the stroke, with square ends: a line along the pixel grid,
// the only kind a form has, comes out exactly as the browser would draw it.
void strokeLine(RenderedPicture& picture, const LineStroke& stroke, std::uint32_t rgba) {
  const auto [x1, y1, x2, y2, lineWidth] = stroke;
  const double length = std::hypot(x2 - x1, y2 - y1);
  if (!(length > 0) || !std::isfinite(length)) {
    return;
  }
  const double ux = (x2 - x1) / length;
  const double uy = (y2 - y1) / length;
  const double half = lineWidth / 2.0;
  const auto bound = [](double value, int limit) {
    return static_cast<int>(std::clamp(value, 0.0, static_cast<double>(limit)));
  };
  const int left = bound(std::floor(std::min(x1, x2) - lineWidth), picture.width);
  const int right = bound(std::ceil(std::max(x1, x2) + lineWidth), picture.width);
  const int top = bound(std::floor(std::min(y1, y2) - lineWidth), picture.height);
  const int bottom = bound(std::ceil(std::max(y1, y2) + lineWidth), picture.height);
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) {
      const double dx = x + 0.5 - x1;
      const double dy = y + 0.5 - y1;
      const double along = dx * ux + dy * uy;
      const double across = dy * ux - dx * uy;
      if (along >= -half && along <= length + half && std::abs(across) <= half) {
        picture.pixels[static_cast<std::size_t>(y) * picture.width + x] = rgba;
      }
    }
  }
}

}  // namespace

bool complete(const Image& image) {
  return image.width >= 0 && image.height >= 0 &&
         image.pixels.size() >=
             static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height);
}

std::vector<std::uint8_t> toRgba(const Image& image) {
  std::vector<std::uint8_t> rgba(static_cast<std::size_t>(image.width) *
                                 static_cast<std::size_t>(image.height) * 4);
  for (std::size_t i = 0; i * 4 < rgba.size(); ++i) {
    const std::uint32_t argb = image.pixels[i];
    rgba[i * 4] = static_cast<std::uint8_t>(argb >> 16);
    rgba[i * 4 + 1] = static_cast<std::uint8_t>(argb >> 8);
    rgba[i * 4 + 2] = static_cast<std::uint8_t>(argb);
    rgba[i * 4 + 3] = static_cast<std::uint8_t>(argb >> 24);
  }
  return rgba;
}

std::uint32_t opaqueRgba(Rgb rgb) {
  return 0xFF000000u | ((rgb & 0xFFu) << 16) | (rgb & 0xFF00u) | ((rgb >> 16) & 0xFFu);
}

RenderedPicture renderPicture(const PictureBoxEntry& entry, double twipsPerPixel, double ratio) {
  RenderedPicture picture;
  picture.entry = &entry;
  Image image;
  if (entry.picture) {
    image = entry.picture(ratio);
  }
  if (!complete(image)) {
    image = {};
  }
  // The box may come out a device pixel wider or taller than its picture, depending on where
  // its edges round to; the rendered picture covers the widest it can be.
  const RectF& rect = entry.box->rect();
  picture.width =
      std::max(image.width, static_cast<int>(std::ceil(rect.width / twipsPerPixel * ratio)) + 1);
  picture.height =
      std::max(image.height, static_cast<int>(std::ceil(rect.height / twipsPerPixel * ratio)) + 1);
  const Rgb back = entry.backColor;
  const std::uint32_t backPixel = opaqueRgba(back);
  picture.pixels.resize(static_cast<std::size_t>(picture.width) *
                        static_cast<std::size_t>(picture.height));
  const std::uint32_t* above = nullptr;
  for (int y = 0; y < picture.height; ++y) {
    std::uint32_t* out = picture.pixels.data() + static_cast<std::size_t>(y) * picture.width;
    const std::uint32_t* in = y < image.height
                                  ? image.pixels.data() + static_cast<std::size_t>(y) * image.width
                                  : nullptr;
    if (in != nullptr && above != nullptr && std::equal(in, in + image.width, above)) {
      // Most pictures repeat their rows, and copying a row is much quicker than blending it.
      std::copy(out - picture.width, out, out);
    } else {
      const int covered = in != nullptr ? image.width : 0;
      for (int x = 0; x < covered; ++x) {
        out[x] = opaqueRgba(blend(in[x], back));
      }
      std::fill(out + covered, out + picture.width, backPixel);
    }
    above = in;
  }
  picture.probeX = image.width / 2;
  picture.probeY = image.height / 2;
  const std::uint32_t probe =
      image.width > 0 && image.height > 0 ? image.pixel(picture.probeX, picture.probeY) : 0;
  picture.probeColor = blend(probe, back) & 0xFFFFFFu;
  for (const LineEntry& line : entry.lines) {
    strokeLine(picture, lineStroke(line, twipsPerPixel, ratio), opaqueRgba(line.color));
  }
  return picture;
}

}  // namespace forms::web
