#include "forms/web/layout_probe.h"

#include <emscripten/emscripten.h>

#include <cmath>

#include "forms/web/composer.h"
#include "forms/web/page.h"
#include "forms/web/page_window.h"
#include "forms/window_rules.h"

namespace {

const forms::web::PageWindow* probed = nullptr;

}  // namespace

namespace forms::web {

void setProbedWindow(const PageWindow* window) {
  probed = window;
}

}  // namespace forms::web

// For the page's own checks and benchmarks, as JSON that the page writes: where every picture
// box is and what it shows at one point, in CSS pixels: the colour of the picture's middle
// pixel and where that pixel is, and the middle of each line with the pixels just off either
// side of it. The text stays valid until the next call.
extern "C" EMSCRIPTEN_KEEPALIVE const char* corvane_layout() {
  using namespace forms::web;
  if (probed == nullptr) {
    return cw_probe_end(0, 0, 0);
  }
  const double ratio = probed->ratio();
  const double tpp = probed->twipsPerPixel();
  for (const RenderedPicture& picture : probed->pictures()) {
    const PixelRect r = toDevice(picture.entry->box->rect(), tpp, ratio);
    cw_probe_picture(picture.entry->name.c_str(), r.left / ratio, r.top / ratio,
                     (r.right - r.left) / ratio, (r.bottom - r.top) / ratio,
                     picture.entry->box->Visible() != forms::False ? 1 : 0,
                     (r.left + picture.probeX + 0.5) / ratio,
                     (r.top + picture.probeY + 0.5) / ratio, picture.probeColor);
    for (const forms::LineEntry& line : picture.entry->lines) {
      const forms::LineStroke stroke = forms::lineStroke(line, tpp, ratio);
      const double x = r.left + (stroke.x1 + stroke.x2) / 2;
      const double y = r.top + (stroke.y1 + stroke.y2) / 2;
      const double length = std::hypot(stroke.x2 - stroke.x1, stroke.y2 - stroke.y1);
      const double off = length > 0 ? (stroke.width / 2.0 + 0.5) / length : 0;
      const double nx = -(stroke.y2 - stroke.y1) * off;
      const double ny = (stroke.x2 - stroke.x1) * off;
      cw_probe_line(x / ratio, y / ratio, line.color, (x + nx) / ratio, (y + ny) / ratio,
                    (x - nx) / ratio, (y - ny) / ratio);
    }
  }
  return cw_probe_end(1, ratio, static_cast<double>(probed->paints()));
}
