#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "forms/description.h"

// What every generated picture is made with: colours, device sizes and blank images.
namespace board::picture_kit {

using forms::Image;
using forms::Rgb;

constexpr std::uint32_t kOpaque = 0xFF000000u;

struct Colour {
  double r = 0;
  double g = 0;
  double b = 0;
};

inline Colour unpack(Rgb rgb) {
  return {static_cast<double>((rgb >> 16) & 0xFFu), static_cast<double>((rgb >> 8) & 0xFFu),
          static_cast<double>(rgb & 0xFFu)};
}

// Rounds to the nearest level, halves up, as std::lround would; without its library call,
// which is a good part of drawing a slab where it is not inlined. Not a number gives 0.
inline std::uint32_t channel(double value) {
  const double level = std::clamp(value, 0.0, 255.0);
  return level >= 0.5 ? static_cast<std::uint32_t>(level + 0.5) : 0;
}

inline std::uint32_t pack(const Colour& c) {
  return kOpaque | channel(c.r) << 16 | channel(c.g) << 8 | channel(c.b);
}

inline std::uint32_t grey(double value) {
  const std::uint32_t v = channel(value);
  return kOpaque | v << 16 | v << 8 | v;
}

inline Colour mix(const Colour& from, const Colour& to, double weight) {
  return {from.r + (to.r - from.r) * weight, from.g + (to.g - from.g) * weight,
          from.b + (to.b - from.b) * weight};
}

inline bool usableScale(double scale) {
  return std::isfinite(scale) && scale > 0;
}

inline int deviceSize(int design, double scale) {
  return std::max(0, static_cast<int>(std::lround(design * scale)));
}

inline Image blank(int width, int height) {
  Image image;
  image.width = width;
  image.height = height;
  image.pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), kOpaque);
  return image;
}

// Pictures whose rows are all alike are built from one row.
inline void repeatFirstRow(Image& image) {
  const auto width = static_cast<std::ptrdiff_t>(image.width);
  for (int y = 1; y < image.height; ++y) {
    std::copy_n(image.pixels.begin(), width, image.pixels.begin() + width * y);
  }
}

// Design coordinate of the centre of a device pixel, stretched so that the first and last device
// pixels meet the picture's edges even when the device size was rounded.
inline double designCentre(int device, int designSize, int deviceSize) {
  return (device + 0.5) * designSize / deviceSize;
}

}  // namespace board::picture_kit
