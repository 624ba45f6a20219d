#pragma once

#include <cstddef>
#include <vector>

#include "forms/description.h"

// Rules every backend's window follows, so that the desktop and the browser show one window.
// Plain data and arithmetic: each backend turns them into its own drawing calls or styles.
namespace forms {

// The design's scale, when a description gives none that can be used.
inline constexpr float kDefaultTwipsPerPixel = 15;
inline float usableTwipsPerPixel(float twipsPerPixel) {
  return twipsPerPixel > 0 ? twipsPerPixel : kDefaultTwipsPerPixel;
}

// A design font's size in the design's pixels, whatever the screen says about its dots per
// inch: 1440 twips to the inch, 72 points to the inch.
inline double fontPixels(double points, double twipsPerPixel) {
  return points * 20.0 / twipsPerPixel;
}

// A control that takes the keyboard focus: the text box or button at `index` in its list of
// the description.
struct TabStop {
  enum class Kind { textBox, button };
  Kind kind = Kind::textBox;
  std::size_t index = 0;
};

// The controls in the order the Tab key visits them: by tab index; where two share one, text
// boxes before buttons and each list in its own order. Entries without a model are left out.
std::vector<TabStop> tabOrder(const FormDescription& form);

// A line of a picture box in the box's device pixels: centred on the pixels it passes through,
// as wide as asked in whole device pixels, with square ends.
struct LineStroke {
  double x1 = 0;
  double y1 = 0;
  double x2 = 0;
  double y2 = 0;
  int width = 1;
};
LineStroke lineStroke(const LineEntry& line, double twipsPerPixel, double ratio);

// The classic two-pixel edge of an entry box or a button, each ring one pixel wide: its top and
// left sides in one colour, its bottom and right sides in another. 0xRRGGBB.
struct Edge {
  Rgb outerTopLeft = 0;
  Rgb outerBottomRight = 0;
  Rgb innerTopLeft = 0;
  Rgb innerBottomRight = 0;
};
inline constexpr Rgb kEdgeLight = 0xFFFFFF;
inline constexpr Rgb kEdgeMidLight = 0xE3E3E3;
inline constexpr Rgb kEdgeShadow = 0xA0A0A0;
inline constexpr Rgb kEdgeDarkShadow = 0x696969;
// A button at rest.
inline constexpr Edge kRaisedEdge{kEdgeLight, kEdgeDarkShadow, kEdgeMidLight, kEdgeShadow};
// An entry box, and a button held down.
inline constexpr Edge kSunkenEdge{kEdgeShadow, kEdgeLight, kEdgeDarkShadow, kEdgeMidLight};
// The dotted mark on the button that has the keyboard focus, a one-pixel line this many pixels
// in from the button's outer edge, just inside its two-pixel edge.
inline constexpr Rgb kFocusMark = 0x808080;
inline constexpr int kFocusMarkInset = 3;

}  // namespace forms
