#include "forms/web/page_window.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>

#include "forms/web/page.h"

namespace forms::web {

namespace {

// The page never shows the window wider than the screen, and screens are at most 7680 pixels
// wide: a finer canvas only costs memory, a gigabyte and more at the browser's highest zoom on a
// dense screen, where the browser then shows no canvas at all.
constexpr double kFinestRatio = 8;

// Design fonts are sized for the design's pixels: 1440 twips to the inch, 72 points to it.
double designPixels(double points, double twipsPerPixel) {
  return points * 20.0 / twipsPerPixel;
}

// Whether an image holds as many pixels as its size says: a picture that does not is left out.
bool complete(const Image& image) {
  return image.width >= 0 && image.height >= 0 &&
         image.pixels.size() >=
             static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height);
}

// 0xAARRGGBB words to the bytes R, G, B, A that the page's bitmaps take.
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

// An opaque 0xRRGGBB colour as the page's bitmaps hold it in memory: the bytes R, G, B, A.
std::uint32_t opaqueRgba(std::uint32_t rgb) {
  return 0xFF000000u | ((rgb & 0xFFu) << 16) | (rgb & 0xFF00u) | ((rgb >> 16) & 0xFFu);
}

std::string jsonString(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      quoted += '\\';
    }
    quoted += c;
  }
  return quoted + "\"";
}

}  // namespace

PageWindow::PageWindow(WebRuntime& runtime, FormDescription description)
    : runtime_(runtime), description_(std::move(description)) {
  if (!(description_.twipsPerPixel > 0)) {
    description_.twipsPerPixel = 15;
  }
  backPixel_ = opaqueRgba(description_.backColor);
  cw_window(description_.caption.c_str(), description_.clientWidth / description_.twipsPerPixel,
            description_.clientHeight / description_.twipsPerPixel, description_.backColor);
  buildPictures();
  buildControls();
  rescale();
  if (description_.icon) {
    const Image icon = description_.icon(std::max(1.0, ratio_));
    if (complete(icon) && icon.width > 0 && icon.height > 0) {
      cw_icon(toRgba(icon).data(), icon.width, icon.height);
    }
  }
  if (description_.describePictures) {
    announcedBoard_ = description_.describePictures();
    cw_announce(announcedBoard_.c_str());
  }
  runtime_.setWindow(this);
}

PageWindow::~PageWindow() {
  runtime_.setWindow(nullptr);
  for (const Picture& picture : pictures_) {
    picture.entry->box->setObserver(nullptr);
  }
  for (const TextBoxEntry& entry : description_.textBoxes) {
    if (entry.box != nullptr) {
      entry.box->setObserver(nullptr);
    }
  }
}

void PageWindow::buildPictures() {
  for (const PictureBoxEntry* entry : backToFront(description_)) {
    entry->box->setObserver(this);
    Picture& picture = pictures_.emplace_back();
    picture.entry = entry;
  }
}

void PageWindow::renderPictures() {
  const double tpp = description_.twipsPerPixel;
  for (Picture& picture : pictures_) {
    const PictureBoxEntry& entry = *picture.entry;
    Image image;
    if (entry.picture) {
      image = entry.picture(ratio_);
    }
    if (!complete(image)) {
      image = {};
    }
    // The box may come out a device pixel wider or taller than its picture, depending on where
    // its edges round to; the rendered picture covers the widest it can be.
    const RectF& rect = entry.box->rect();
    picture.width =
        std::max(image.width, static_cast<int>(std::ceil(rect.width / tpp * ratio_)) + 1);
    picture.height =
        std::max(image.height, static_cast<int>(std::ceil(rect.height / tpp * ratio_)) + 1);
    // The picture over its box's colour, as the box shows it.
    const Rgb back = entry.backColor;
    const std::uint32_t backPixel = opaqueRgba(back);
    picture.pixels.resize(static_cast<std::size_t>(picture.width) *
                          static_cast<std::size_t>(picture.height));
    const std::uint32_t* above = nullptr;
    for (int y = 0; y < picture.height; ++y) {
      std::uint32_t* out = picture.pixels.data() + static_cast<std::size_t>(y) * picture.width;
      const std::uint32_t* in =
          y < image.height ? image.pixels.data() + static_cast<std::size_t>(y) * image.width
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
      const Stroke stroke = toStroke(line);
      strokeLine(picture, stroke, opaqueRgba(line.color));
    }
  }
}

PageWindow::Stroke PageWindow::toStroke(const LineEntry& line) const {
  // Centred on the pixel the line passes through, as wide as asked in whole device pixels.
  const int width = std::max(1, static_cast<int>(std::lround(line.widthPixels * ratio_)));
  const double centre = (width % 2 == 1) ? 0.5 : 0.0;
  const auto at = [&](float twips) {
    return devicePixels(twips, description_.twipsPerPixel, ratio_) + centre;
  };
  return {at(line.line.x1), at(line.line.y1), at(line.line.x2), at(line.line.y2), width};
}

void PageWindow::strokeLine(Picture& picture, const Stroke& stroke, std::uint32_t rgba) {
  const auto [x1, y1, x2, y2, lineWidth] = stroke;
  // Every pixel whose centre lies in the stroke, with square ends: a line along the pixel grid,
  // the only kind a form has, comes out exactly as the browser would draw it.
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

void PageWindow::buildControls() {
  // Created in the tab order, which is then simply the page's own.
  std::vector<std::pair<int, int>> order;  // tab index, then text boxes as -1 - i, buttons as i
  for (std::size_t i = 0; i < description_.textBoxes.size(); ++i) {
    if (description_.textBoxes[i].box != nullptr) {
      order.emplace_back(description_.textBoxes[i].tabIndex, -1 - static_cast<int>(i));
    }
  }
  for (std::size_t i = 0; i < description_.buttons.size(); ++i) {
    if (description_.buttons[i].button != nullptr) {
      order.emplace_back(description_.buttons[i].tabIndex, static_cast<int>(i));
    }
  }
  std::stable_sort(order.begin(), order.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  const double tpp = description_.twipsPerPixel;
  for (const auto& [tabIndex, control] : order) {
    if (control < 0) {
      const auto index = static_cast<std::size_t>(-1 - control);
      const TextBoxEntry& entry = description_.textBoxes[index];
      const std::string& name =
          entry.accessibleName.empty() ? entry.box->Text() : entry.accessibleName;
      cw_text_box(static_cast<int>(index), entry.box->Text().c_str(), name.c_str(),
                  entry.accessibleDescription.c_str(), entry.font.family.c_str(),
                  designPixels(entry.font.points, tpp), entry.font.bold ? 1 : 0, entry.foreColor,
                  entry.backColor);
      entry.box->setObserver(this);
    } else {
      const ButtonEntry& entry = description_.buttons[static_cast<std::size_t>(control)];
      // Whole pixels, as the word is drawn on the desktop.
      cw_button(control, entry.word.c_str(), entry.accessibleDescription.c_str(),
                entry.wordFont.family.c_str(),
                std::max(1.0, std::round(designPixels(entry.wordFont.points, tpp))),
                entry.wordFont.bold ? 1 : 0, entry.faceColor, entry.wordColor,
                entry.pictureWidthPixels, entry.pictureHeightPixels);
    }
  }
}

void PageWindow::placeControls() {
  const auto place = [this](int isButton, std::size_t index, const RectF& twips) {
    const Rect r = toDevice(twips);
    cw_place(isButton, static_cast<int>(index), r.left / ratio_, r.top / ratio_,
             (r.right - r.left) / ratio_, (r.bottom - r.top) / ratio_);
  };
  for (std::size_t i = 0; i < description_.textBoxes.size(); ++i) {
    if (description_.textBoxes[i].box != nullptr) {
      place(0, i, description_.textBoxes[i].rect);
    }
  }
  for (std::size_t i = 0; i < description_.buttons.size(); ++i) {
    if (description_.buttons[i].button != nullptr) {
      place(1, i, description_.buttons[i].rect);
    }
  }
}

// Everything that depends on the device pixel ratio, and a repaint of the whole window.
void PageWindow::rescale() {
  ratio_ = cw_ratio();
  if (!(ratio_ > 0) || !std::isfinite(ratio_)) {
    ratio_ = 1;
  }
  ratio_ = std::min(ratio_, kFinestRatio);
  const Rect whole = toDevice({0, 0, description_.clientWidth, description_.clientHeight});
  frameWidth_ = std::max(whole.right, 0);
  frameHeight_ = std::max(whole.bottom, 0);
  // Left unset: the whole window is painted before it is shown.
  frame_.clear();
  frame_.resize(static_cast<std::size_t>(frameWidth_) * static_cast<std::size_t>(frameHeight_));
  cw_canvas(frameWidth_, frameHeight_);
  renderPictures();
  placeControls();
  dirty_.clear();
  invalidate(whole);
}

void PageWindow::load() {
  if (description_.onLoad) {
    runtime_.dispatch(description_.onLoad);
  }
}

void PageWindow::present() {
  flush();
  cw_show();
}

void PageWindow::close() {
  cw_close();
}

PageWindow::Rect PageWindow::toDevice(const RectF& twips) const {
  const DeviceEdges edges = deviceEdges(twips, description_.twipsPerPixel, ratio_);
  return {edges.left, edges.top, edges.right, edges.bottom};
}

void PageWindow::invalidate(const Rect& rect) {
  if (rect.empty()) {
    return;
  }
  // A moving disk's old and new places overlap: one rectangle covers both. Rectangles that do
  // not touch stay apart, so that far corners are not repainted for nothing.
  Rect merged = rect;
  for (auto other = dirty_.begin(); other != dirty_.end();) {
    if (other->left <= merged.right && merged.left <= other->right && other->top <= merged.bottom &&
        merged.top <= other->bottom) {
      merged = {std::min(merged.left, other->left), std::min(merged.top, other->top),
                std::max(merged.right, other->right), std::max(merged.bottom, other->bottom)};
      other = dirty_.erase(other);
      other = dirty_.begin();
    } else {
      ++other;
    }
  }
  dirty_.push_back(merged);
}

void PageWindow::pictureChanged(const PictureBox& box, const RectF& before, bool wasVisible) {
  if (wasVisible) {
    invalidate(toDevice(before));
  }
  if (box.Visible() != False) {
    invalidate(toDevice(box.rect()));
  }
  boardChanged_ = true;
}

void PageWindow::textChanged(const TextBox& box) {
  for (std::size_t i = 0; i < description_.textBoxes.size(); ++i) {
    if (description_.textBoxes[i].box == &box) {
      cw_set_text(static_cast<int>(i), box.Text().data(), static_cast<int>(box.Text().size()));
    }
  }
}

void PageWindow::paint(const Rect& dirty) {
  const Rect clip{std::max(dirty.left, 0), std::max(dirty.top, 0),
                  std::min(dirty.right, frameWidth_), std::min(dirty.bottom, frameHeight_)};
  if (clip.empty()) {
    return;
  }
  // The window is composed in memory, back to front, and the page copies the changed part to
  // the canvas in one go: much cheaper for the browser than a drawing call for each picture.
  const auto row = [this](int y) {
    return frame_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(frameWidth_);
  };
  // One row filled, the others copied from it: copies are single instructions.
  std::fill(row(clip.top) + clip.left, row(clip.top) + clip.right, backPixel_);
  for (int y = clip.top + 1; y < clip.bottom; ++y) {
    std::copy(row(clip.top) + clip.left, row(clip.top) + clip.right, row(y) + clip.left);
  }
  for (const Picture& picture : pictures_) {
    const PictureBox& box = *picture.entry->box;
    if (box.Visible() == False) {
      continue;
    }
    const Rect at = toDevice(box.rect());
    const Rect part{std::max(at.left, clip.left), std::max(at.top, clip.top),
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
  cw_put(frame_.data(), frameWidth_, frameHeight_, clip.left, clip.top, clip.right - clip.left,
         clip.bottom - clip.top);
  ++paints_;
}

void PageWindow::flush() {
  for (const Rect& rect : dirty_) {
    paint(rect);
  }
  dirty_.clear();
}

double PageWindow::announceBoard(double nowMilliseconds) {
  if (boardChanged_ && description_.describePictures) {
    boardChanged_ = false;
    std::string summary = description_.describePictures();
    // Back where it was last told, the board needs no word at all.
    boardHeld_ = summary != announcedBoard_;
    if (boardHeld_) {
      heldBoard_ = std::move(summary);
    }
  }
  if (!boardHeld_) {
    return HUGE_VAL;
  }
  const double due = announcedAt_ + kAnnounceIntervalMilliseconds;
  if (nowMilliseconds < due) {
    return due - nowMilliseconds;
  }
  announcedBoard_.swap(heldBoard_);
  boardHeld_ = false;
  announcedAt_ = nowMilliseconds;
  cw_announce(announcedBoard_.c_str());
  return HUGE_VAL;
}

bool PageWindow::dispatchQueued() {
  bool any = false;
  std::int32_t out[3] = {0, 0, 0};
  for (int kind = cw_next_event(out); kind != kNoEvent; kind = cw_next_event(out)) {
    any = true;
    const auto index = static_cast<std::size_t>(out[0]);
    // The page hands over the text; it is ours to free whatever happens next.
    std::unique_ptr<char, decltype(&std::free)> text(
        reinterpret_cast<char*>(static_cast<std::uintptr_t>(out[1])), &std::free);
    if (kind == kRatioChanged) {
      rescale();
    } else if (kind == kButtonClicked && index < description_.buttons.size()) {
      CommandButton* button = description_.buttons[index].button;
      runtime_.dispatch([button] { button->click(); });
    } else if (index < description_.textBoxes.size()) {
      TextBox* box = description_.textBoxes[index].box;
      if (kind == kTextBoxClicked) {
        runtime_.dispatch([box] { box->click(); });
      } else if (kind == kTextEdited && text != nullptr) {
        std::string value(text.get(), static_cast<std::size_t>(std::max(out[2], 0)));
        runtime_.dispatch([box, &value] { box->setText(std::move(value)); });
      }
    }
    if (runtime_.ended()) {
      break;
    }
  }
  return any;
}

std::string PageWindow::layoutJson() const {
  std::string json = "{\"ratio\":" + std::to_string(ratio_) +
                     ",\"paints\":" + std::to_string(paints_) + ",\"pictures\":[";
  char buffer[256];
  for (const Picture& picture : pictures_) {
    const Rect r = toDevice(picture.entry->box->rect());
    json += "{\"name\":" + jsonString(picture.entry->name);
    std::snprintf(buffer, sizeof buffer,
                  ",\"x\":%g,\"y\":%g,\"width\":%g,\"height\":%g,\"visible\":%s,"
                  "\"probe\":[%g,%g],\"color\":%u,\"lines\":[",
                  r.left / ratio_, r.top / ratio_, (r.right - r.left) / ratio_,
                  (r.bottom - r.top) / ratio_,
                  picture.entry->box->Visible() != False ? "true" : "false",
                  (r.left + picture.probeX + 0.5) / ratio_, (r.top + picture.probeY + 0.5) / ratio_,
                  picture.probeColor);
    json += buffer;
    // The middle of each line, its colour, and the pixels just off either side of the middle.
    for (const LineEntry& line : picture.entry->lines) {
      const Stroke stroke = toStroke(line);
      const double x = r.left + (stroke.x1 + stroke.x2) / 2;
      const double y = r.top + (stroke.y1 + stroke.y2) / 2;
      const double length = std::hypot(stroke.x2 - stroke.x1, stroke.y2 - stroke.y1);
      const double off = length > 0 ? (stroke.width / 2.0 + 0.5) / length : 0;
      const double nx = -(stroke.y2 - stroke.y1) * off;
      const double ny = (stroke.x2 - stroke.x1) * off;
      std::snprintf(buffer, sizeof buffer, "[%g,%g,%u,%g,%g,%g,%g],", x / ratio_, y / ratio_,
                    line.color, (x + nx) / ratio_, (y + ny) / ratio_, (x - nx) / ratio_,
                    (y - ny) / ratio_);
      json += buffer;
    }
    if (json.back() == ',') {
      json.pop_back();
    }
    json += "]},";
  }
  if (json.back() == ',') {
    json.pop_back();
  }
  return json + "]}";
}

}  // namespace forms::web
