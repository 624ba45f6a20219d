#include "board/pictures.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "board/layout.h"
#include "board/picture_kit.h"

namespace board {
namespace {

using namespace picture_kit;

constexpr int kDiskRows = 33;
constexpr int kPostColumnCount = static_cast<int>(kPostColumns.size());

// --- Disks ---------------------------------------------------------------------------------

// Colour at `column` (design columns, 0 at the centre of the first). The shade rises quickly
// from the left edge and eases into a narrow highlight; past it, it falls slowly at first and
// quickly towards the far edge, where the surface turns away from the light.
Colour diskColour(const DiskDesign& disk, double column, double lastColumn) {
  const double peak = disk.highlightColumn;
  if (column <= peak) {
    const double t = std::clamp(column / peak, 0.0, 1.0);
    return mix(unpack(disk.leftEdge), unpack(disk.highlight), t * (1.5 - 0.5 * t));
  }
  const double t = std::clamp((column - peak) / (lastColumn - peak), 0.0, 1.0);
  return mix(unpack(disk.highlight), unpack(disk.rightEdge), 0.35 * t + 0.65 * t * t * t);
}

// --- Icon ------------------------------------------------------------------------------------

constexpr double kIconDesign = 32;

// Disk colours in the icon: the pure hue, brightest a quarter across and darkest at the right.
double iconShade(double t) {
  if (t < 0.25) {
    return 0.78 + 0.22 * (t / 0.25);
  }
  const double fall = (t - 0.25) / 0.75;
  return 1 - 0.5 * fall * fall;
}

struct PixelSpan {
  int first = 0;
  int end = 0;
};

// Edges fall on device pixels so the picture is crisp at every size.
PixelSpan span(double from, double to, double unit) {
  return {static_cast<int>(std::lround(from * unit)), static_cast<int>(std::lround(to * unit))};
}

}  // namespace

Image diskPicture(int disk, double scale) {
  if (disk < 0 || disk >= static_cast<int>(kDisks.size()) || !usableScale(scale)) {
    return {};
  }
  const DiskDesign& design = kDisks[static_cast<std::size_t>(disk)];
  const int columns = static_cast<int>(std::lround(design.rect.width / kTwipsPerPixel));
  Image image = blank(deviceSize(columns, scale), deviceSize(kDiskRows, scale));
  if (image.pixels.empty()) {
    return image;
  }
  for (int x = 0; x < image.width; ++x) {
    const double column = designCentre(x, columns, image.width) - 0.5;
    image.at(x, 0) = pack(diskColour(design, column, columns - 1));
  }
  repeatFirstRow(image);
  return image;
}

Image postPicture(double scale) {
  if (!usableScale(scale)) {
    return {};
  }
  Image image = blank(deviceSize(kPostColumnCount, scale), deviceSize(kPostBitmapRows, scale));
  if (image.pixels.empty()) {
    return image;
  }
  // The post's columns are hard-edged, so each device column takes the design column under its
  // centre rather than a blend.
  for (int x = 0; x < image.width; ++x) {
    const int column =
        std::min(kPostColumnCount - 1,
                 static_cast<int>(std::floor(designCentre(x, kPostColumnCount, image.width))));
    image.at(x, 0) = kOpaque | kPostColumns[static_cast<std::size_t>(column)];
  }
  repeatFirstRow(image);
  return image;
}

Image iconPicture(int pixels) {
  if (pixels <= 0) {
    return {};
  }
  Image image = blank(pixels, pixels);
  const double unit = pixels / kIconDesign;
  // Checks of dark grey and black, four design pixels to a side.
  const double cell = 4 * unit;
  for (int y = 0; y < pixels; ++y) {
    const int row = static_cast<int>(std::floor((y + 0.5) / cell));
    for (int x = 0; x < pixels; ++x) {
      const int column = static_cast<int>(std::floor((x + 0.5) / cell));
      image.at(x, y) = (row + column) % 2 == 0 ? grey(0x40) : grey(0x00);
    }
  }

  // The slab, lit from above.
  const PixelSpan slabX = span(2, 30, unit);
  const PixelSpan slabY = span(26, 30, unit);
  for (int y = slabY.first; y < slabY.end; ++y) {
    const double t = (y + 0.5 - slabY.first) / std::max(1, slabY.end - slabY.first);
    for (int x = slabX.first; x < slabX.end; ++x) {
      image.at(x, y) = grey(0xD0 - 0x50 * t);
    }
  }

  // Seven disks, each three design pixels high, narrowing upwards from the slab.
  for (std::size_t i = 0; i < kDisks.size(); ++i) {
    const double level = static_cast<double>(i);
    const double halfWidth = 13 - 1.5 * level;
    const PixelSpan diskX = span(16 - halfWidth, 16 + halfWidth, unit);
    const PixelSpan diskY = span(23 - 3 * level, 26 - 3 * level, unit);
    const Colour hue = unpack(kDisks[i].boxColor);
    for (int x = diskX.first; x < diskX.end; ++x) {
      const double t = (x + 0.5 - diskX.first) / std::max(1, diskX.end - diskX.first);
      const double shade = iconShade(t);
      const std::uint32_t argb = pack({hue.r * shade, hue.g * shade, hue.b * shade});
      for (int y = diskY.first; y < diskY.end; ++y) {
        image.at(x, y) = argb;
      }
    }
  }
  return image;
}

}  // namespace board
