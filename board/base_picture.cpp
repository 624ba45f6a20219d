#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "board/baked_bases.h"
#include "board/layout.h"
#include "board/picture_kit.h"
#include "board/pictures.h"

// The marble bases: a slab of veined grey, shared by the three, with each peg's numeral engraved.
namespace board {
namespace {

using namespace picture_kit;

constexpr int kBaseWidth = 250;
constexpr int kBaseHeight = 89;

// --- Marble ----------------------------------------------------------------------------------

constexpr std::uint32_t scramble(std::uint32_t h) {
  h ^= h >> 16;
  h *= 0x7FEB352Du;
  h ^= h >> 15;
  h *= 0x846CA68Bu;
  h ^= h >> 16;
  return h;
}

// Fixed pseudo-random values on a wrapping lattice, so the slab looks the same in every run and
// at every scale. The lattice is wider than the finest octave spans across the slab, so the
// wrap never shows.
constexpr int kLatticeSide = 64;

// Single-precision values, kept widened so that a lookup needs no conversion.
constexpr std::array<double, kLatticeSide* kLatticeSide> kLattice = [] {
  std::array<double, kLatticeSide * kLatticeSide> values{};
  for (std::uint32_t i = 0; i < values.size(); ++i) {
    values[i] = static_cast<float>(scramble(i * 0x9E3779B1u + 0x632BE5ABu) >> 8) / 16777216.0f;
  }
  return values;
}();

// Much cheaper than std::floor where the processor lacks a rounding instruction, and the noise
// is evaluated several times for every pixel of a slab.
int floorToInt(double x) {
  const int truncated = static_cast<int>(x);
  return x < truncated ? truncated - 1 : truncated;
}

double smooth(double t) {
  return t * t * (3 - 2 * t);
}

// Where a noise coordinate falls between two lattice lines, wrapped, and how far past the first,
// eased. A column of the slab shares its across coordinates, a row its down coordinates, so each
// is worked out once per column or row rather than once per pixel.
struct NoiseAxis {
  int first = 0;
  int second = 0;
  double eased = 0;
};

NoiseAxis noiseAxis(double x, int stride) {
  const int cell = floorToInt(x);
  return {(cell & (kLatticeSide - 1)) * stride, ((cell + 1) & (kLatticeSide - 1)) * stride,
          smooth(x - cell)};
}

// Value noise in 0..1.
double noise(const NoiseAxis& x, const NoiseAxis& y) {
  const auto at = [](int column, int row) {
    return kLattice[static_cast<std::size_t>(row + column)];
  };
  const double topLeft = at(x.first, y.first);
  const double bottomLeft = at(x.first, y.second);
  const double top = topLeft + (at(x.second, y.first) - topLeft) * x.eased;
  const double bottom = bottomLeft + (at(x.second, y.second) - bottomLeft) * x.eased;
  return top + (bottom - top) * y.eased;
}

// Three octaves of noise clouding the slab, each offset so their lattices do not line up, and a
// slower one fading the veins in and out.
constexpr int kCloudOctaves = 3;
constexpr int kNoiseLayers = kCloudOctaves + 1;

// What a pixel's grey level takes from its column alone, or from its row alone.
struct SlabLine {
  double ramp = 0;
  double swirl = 0;
  std::array<NoiseAxis, kNoiseLayers> noise;
};

// `offset` shifts each octave of the clouds; `stride` is 1 across and the lattice's side down.
std::array<NoiseAxis, kNoiseLayers> noiseAxes(double design, double offset, int stride) {
  std::array<NoiseAxis, kNoiseLayers> axes;
  double x = design / 36;
  for (int octave = 0; octave < kCloudOctaves; ++octave) {
    axes[static_cast<std::size_t>(octave)] = noiseAxis(x + offset * octave, stride);
    x *= 2;
  }
  axes[kCloudOctaves] = noiseAxis(design / 60 + 50, stride);
  return axes;
}

SlabLine slabColumn(double u) {
  return {236 - 60 * (u / kBaseWidth), u * 0.03, noiseAxes(u, 17.3, 1)};
}

SlabLine slabRow(double v) {
  return {0, v * 0.075, noiseAxes(v, 31.7, kLatticeSide)};
}

// Grey level of the bare slab where a column and a row cross: lit from the left, clouded,
// crossed by thin wandering veins that fade in and out.
double marble(const SlabLine& column, const SlabLine& row) {
  double sum = 0;
  double amplitude = 0.5;
  double total = 0;
  for (std::size_t octave = 0; octave < kCloudOctaves; ++octave) {
    sum += amplitude * noise(column.noise[octave], row.noise[octave]);
    total += amplitude;
    amplitude /= 2;
  }
  const double cloud = sum / total;
  const double swirl = column.swirl + row.swirl + 4.0 * cloud;
  double vein = std::max(0.0, 1 - 3 * std::abs(swirl - floorToInt(swirl + 0.5)));
  vein *= vein;
  vein *= vein;
  vein *= vein;
  const double fade = noise(column.noise[kCloudOctaves], row.noise[kCloudOctaves]);
  return column.ramp + 16 * (cloud - 0.5) - 26 * vein * fade;
}

// --- Engraved numeral --------------------------------------------------------------------------

// Centre of the framed area and the numeral's proportions, in design pixels.
constexpr double kNumeralCentreX = 124;
constexpr double kNumeralCentreY = 44;
constexpr double kNumeralHalfHeight = 17;
constexpr double kStemHalfWidth = 3.2;
constexpr double kSerifHalfWidth = 8.5;
constexpr double kSerifThickness = 3.0;
constexpr double kLetterAdvance = 20;
constexpr double kBracket = 3.0;
// How far the light reaches into the cut, towards the bottom right.
constexpr double kWallDepth = 1.1;

double boxDistance(double x, double y, double halfWidth, double halfHeight) {
  const double dx = std::abs(x) - halfWidth;
  const double dy = std::abs(y) - halfHeight;
  const double ox = std::max(dx, 0.0);
  const double oy = std::max(dy, 0.0);
  const double outside = std::sqrt(ox * ox + oy * oy);
  return outside + std::min(std::max(dx, dy), 0.0);
}

// A union that fills the corners between the shapes with a curve, as the brackets of a serif.
double bracketedUnion(double a, double b, double radius) {
  const double h = std::clamp(0.5 + 0.5 * (b - a) / radius, 0.0, 1.0);
  return b + (a - b) * h - radius * h * (1 - h);
}

// Signed distance, in design pixels, from a serif capital I centred at the origin.
double letterI(double x, double y) {
  const double stem = boxDistance(x, y, kStemHalfWidth, kNumeralHalfHeight);
  const double serifY = kNumeralHalfHeight - kSerifThickness / 2;
  const double serifs = boxDistance(x, std::abs(y) - serifY, kSerifHalfWidth, kSerifThickness / 2);
  return bracketedUnion(stem, serifs, kBracket);
}

double numeralDistance(int letters, double u, double v) {
  double distance = 1e9;
  for (int k = 0; k < letters; ++k) {
    const double centre = kNumeralCentreX + (k - (letters - 1) / 2.0) * kLetterAdvance;
    distance = std::min(distance, letterI(u - centre, v - kNumeralCentreY));
  }
  return distance;
}

// Share of a device pixel covered by the shape, a one-pixel ramp across its edge.
double coverage(double distance, double scale) {
  return std::clamp(0.5 - distance * scale, 0.0, 1.0);
}

// The cut is sunk to half the slab's brightness; its upper-left wall lies in shadow and its
// lower-right wall catches the light.
double engrave(double slab, int letters, double u, double v, double scale) {
  const double inside = coverage(numeralDistance(letters, u, v), scale);
  if (inside <= 0) {
    return slab;
  }
  const double shadowed =
      inside * (1 - coverage(numeralDistance(letters, u - kWallDepth, v - kWallDepth), scale));
  const double lit =
      inside * (1 - coverage(numeralDistance(letters, u + kWallDepth, v + kWallDepth), scale));
  return slab * (1 - 0.5 * inside) - 45 * shadowed + 65 * lit;
}

void drawSlab(MarbleSlab& slab, int width, int height) {
  std::vector<SlabLine> columns;
  columns.reserve(static_cast<std::size_t>(width));
  for (int x = 0; x < width; ++x) {
    columns.push_back(slabColumn(designCentre(x, kBaseWidth, width)));
  }
  const auto size = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  slab.levels.clear();
  slab.levels.reserve(size);
  slab.pixels.clear();
  slab.pixels.reserve(size);
  for (int y = 0; y < height; ++y) {
    const SlabLine row = slabRow(designCentre(y, kBaseHeight, height));
    for (const SlabLine& column : columns) {
      slab.levels.push_back(marble(column, row));
      slab.pixels.push_back(grey(slab.levels.back()));
    }
  }
  slab.width = width;
  slab.height = height;
}

}  // namespace

Image basePicture(int peg, double scale) {
  MarbleSlab slab;
  return basePicture(peg, scale, slab);
}

Image basePicture(int peg, double scale, MarbleSlab& slab) {
  const int width = usableScale(scale) ? deviceSize(kBaseWidth, scale) : 0;
  const int height = usableScale(scale) ? deviceSize(kBaseHeight, scale) : 0;
  const std::span<const std::uint8_t> baked = bakedBase(peg, width, height);
  if (baked.empty()) {
    return drawnBasePicture(peg, scale, slab);
  }
  Image image;
  image.width = width;
  image.height = height;
  image.pixels.reserve(baked.size());
  for (const std::uint8_t level : baked) {
    image.pixels.push_back(grey(level));
  }
  return image;
}

Image drawnBasePicture(int peg, double scale, MarbleSlab& slab) {
  if (peg < 0 || peg > 2 || !usableScale(scale)) {
    return {};
  }
  const int width = deviceSize(kBaseWidth, scale);
  const int height = deviceSize(kBaseHeight, scale);
  if (slab.width != width || slab.height != height) {
    drawSlab(slab, width, height);
  }
  Image image;
  image.width = width;
  image.height = height;
  image.pixels = slab.pixels;
  const int letters = peg + 1;
  const double xScale = static_cast<double>(width) / kBaseWidth;
  const double yScale = static_cast<double>(height) / kBaseHeight;
  const double edgeScale = std::min(xScale, yScale);
  // Only the numeral's neighbourhood needs the engraving pass.
  const double reachX = (letters - 1) * kLetterAdvance / 2 + kSerifHalfWidth + 4;
  const double reachY = kNumeralHalfHeight + 4;
  for (int y = 0; y < height; ++y) {
    const double v = designCentre(y, kBaseHeight, height);
    if (std::abs(v - kNumeralCentreY) >= reachY) {
      continue;
    }
    for (int x = 0; x < width; ++x) {
      const double u = designCentre(x, kBaseWidth, width);
      if (std::abs(u - kNumeralCentreX) < reachX) {
        const auto at = static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                        static_cast<std::size_t>(x);
        image.pixels[at] = grey(engrave(slab.levels[at], letters, u, v, edgeScale));
      }
    }
  }
  return image;
}

}  // namespace board
