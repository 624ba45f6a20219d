#include "forms/window_rules.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace forms {

std::vector<TabStop> tabOrder(const FormDescription& form) {
  std::vector<std::pair<int, TabStop>> stops;
  for (std::size_t i = 0; i < form.textBoxes.size(); ++i) {
    if (form.textBoxes[i].box != nullptr) {
      stops.push_back({form.textBoxes[i].tabIndex, {TabStop::Kind::textBox, i}});
    }
  }
  for (std::size_t i = 0; i < form.buttons.size(); ++i) {
    if (form.buttons[i].button != nullptr) {
      stops.push_back({form.buttons[i].tabIndex, {TabStop::Kind::button, i}});
    }
  }
  std::stable_sort(stops.begin(), stops.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<TabStop> order;
  order.reserve(stops.size());
  for (const auto& stop : stops) {
    order.push_back(stop.second);
  }
  return order;
}

LineStroke lineStroke(const LineEntry& line, double twipsPerPixel, double ratio) {
  const int width = std::max(1, static_cast<int>(std::lround(line.widthPixels * ratio)));
  // An odd width covers whole pixels only around a pixel's middle.
  const double centre = (width % 2 == 1) ? 0.5 : 0.0;
  const auto at = [&](float twips) { return devicePixels(twips, twipsPerPixel, ratio) + centre; };
  return {at(line.line.x1), at(line.line.y1), at(line.line.x2), at(line.line.y2), width};
}

}  // namespace forms
