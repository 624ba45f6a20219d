#include "forms/description.h"

#include <algorithm>
#include <cmath>

namespace forms {

std::vector<const PictureBoxEntry*> backToFront(const FormDescription& form) {
  const auto& frontToBack = form.frontToBack;
  std::vector<const PictureBoxEntry*> order;
  for (const PictureBoxEntry& entry : form.pictureBoxes) {
    if (entry.box != nullptr &&
        std::find(frontToBack.begin(), frontToBack.end(), entry.name) == frontToBack.end()) {
      order.push_back(&entry);
    }
  }
  for (auto name = frontToBack.rbegin(); name != frontToBack.rend(); ++name) {
    for (const PictureBoxEntry& entry : form.pictureBoxes) {
      if (entry.box != nullptr && entry.name == *name) {
        order.push_back(&entry);
      }
    }
  }
  return order;
}

int devicePixels(double twips, double twipsPerPixel, double ratio) {
  const double pixels = twips / twipsPerPixel * ratio;
  if (std::isnan(pixels)) {
    return 0;
  }
  return static_cast<int>(std::lround(std::clamp(pixels, -1e6, 1e6)));
}

DeviceEdges deviceEdges(const RectF& twips, double twipsPerPixel, double ratio) {
  const double left = twips.left;
  const double top = twips.top;
  return {devicePixels(left, twipsPerPixel, ratio), devicePixels(top, twipsPerPixel, ratio),
          devicePixels(left + static_cast<double>(twips.width), twipsPerPixel, ratio),
          devicePixels(top + static_cast<double>(twips.height), twipsPerPixel, ratio)};
}

}  // namespace forms
