// The browser backend's window. Where it differs from the desktop's on purpose:
// - Input is queued by the page and taken by the program at its next pump; a pump hands control
//   to the browser at most every 4 ms when asked not to wait.
// - The window is built in short tasks, off the page, and joins it once painted whole: the page
//   stays responsive while the program starts.
// - The board's words reach the live region at most every two seconds (the desktop tells them
//   at most once per pass of its event loop), always ending on the board at rest.
// - The window is scaled whole to fit the browser's viewport at its normal zoom; the canvas has
//   as many pixels as it covers on the screen, up to 8 for each of the window's.
// - Text boxes and buttons are the page's own elements, so the page's keyboard, input methods
//   and screen readers work as on any page; an edit that comes while earlier input waits is
//   held by the page and made in its turn.
// - On a touch screen, a tap beside a control smaller than a fingertip goes to that control.
#include "forms/web/page_window.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "forms/web/input_dispatch.h"
#include "forms/web/page.h"
#include "forms/window_rules.h"

namespace forms::web {

namespace {

// The page never shows the window wider than the screen, and screens are at most 7680 pixels
// wide: a finer canvas only costs memory, a gigabyte and more at the browser's highest zoom on a
// dense screen, where the browser then shows no canvas at all.
constexpr double kFinestRatio = 8;

constexpr double kSliceMilliseconds = 4;

FormDescription withDefaults(FormDescription description) {
  description.twipsPerPixel = usableTwipsPerPixel(description.twipsPerPixel);
  return description;
}

// The page draws the edges of the boxes and buttons in these colours, as the desktop does.
void styleEdges() {
  const auto colours = [](const Edge& edge) {
    return std::vector<Rgb>{edge.outerTopLeft, edge.outerBottomRight, edge.innerTopLeft,
                            edge.innerBottomRight};
  };
  std::vector<Rgb> edges = colours(kRaisedEdge);
  const std::vector<Rgb> sunken = colours(kSunkenEdge);
  edges.insert(edges.end(), sunken.begin(), sunken.end());
  edges.push_back(kFocusMark);
  cw_edges(edges.data(), static_cast<int>(edges.size()), kFocusMarkInset);
}

}  // namespace

PageWindow::PageWindow(WebRuntime& runtime, FormDescription description)
    : runtime_(runtime), description_(withDefaults(std::move(description))) {
  cw_window(description_.caption.c_str(), description_.clientWidth / description_.twipsPerPixel,
            description_.clientHeight / description_.twipsPerPixel, description_.backColor);
  styleEdges();
  for (const PictureBoxEntry* entry : backToFront(description_)) {
    entry->box->setObserver(this);
    RenderedPicture& picture = pictures_.emplace_back();
    picture.entry = entry;
  }
  buildControls();
  iconDue_ = static_cast<bool>(description_.icon);
  liveRegion_.start(description_.describePictures);
  runtime_.setWindow(this);
}

PageWindow::~PageWindow() {
  runtime_.setWindow(nullptr);
  for (const RenderedPicture& picture : pictures_) {
    picture.entry->box->setObserver(nullptr);
  }
  for (const TextBoxEntry& entry : description_.textBoxes) {
    if (entry.box != nullptr) {
      entry.box->setObserver(nullptr);
    }
  }
}

void PageWindow::buildControls() {
  // Created in the tab order, which is then simply the page's own.
  const double tpp = description_.twipsPerPixel;
  for (const TabStop& stop : tabOrder(description_)) {
    const int index = static_cast<int>(stop.index);
    if (stop.kind == TabStop::Kind::textBox) {
      const TextBoxEntry& entry = description_.textBoxes[stop.index];
      const std::string& name =
          entry.accessibleName.empty() ? entry.box->Text() : entry.accessibleName;
      cw_text_box(index, entry.box->Text().c_str(), name.c_str(),
                  entry.accessibleDescription.c_str(), entry.font.family.c_str(),
                  fontPixels(entry.font.points, tpp), entry.font.bold ? 1 : 0, entry.foreColor,
                  entry.backColor);
      entry.box->setObserver(this);
    } else {
      const ButtonEntry& entry = description_.buttons[stop.index];
      // Whole pixels, as the word is drawn on the desktop.
      cw_button(index, entry.word.c_str(), entry.accessibleDescription.c_str(),
                entry.wordFont.family.c_str(),
                std::max(1.0, std::round(fontPixels(entry.wordFont.points, tpp))),
                entry.wordFont.bold ? 1 : 0, entry.faceColor, entry.wordColor,
                entry.pictureWidthPixels, entry.pictureHeightPixels);
    }
  }
}

void PageWindow::placeControls() {
  const auto place = [this](int isButton, std::size_t index, const RectF& twips) {
    const PixelRect r = toDevice(twips);
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

bool PageWindow::prepare() {
  // Slices of a few milliseconds: the browser's blocking-time measures count a task's time
  // beyond 50 ms, on a phone's processor several times slower than this one. Nothing is drawn
  // on the canvas until every picture is ready: the browser shows that canvas at the end of
  // every task that draws on it, even off the page, which costs as much as drawing the window.
  if (!started_) {
    startRescale();
    started_ = true;
    return true;
  }
  const double end = emscripten_get_now() + kSliceMilliseconds;
  bool more = true;
  while (more && emscripten_get_now() < end) {
    more = renderNextPicture();
  }
  return more;
}

void PageWindow::rescale() {
  startRescale();
  while (renderNextPicture()) {
  }
}

void PageWindow::startRescale() {
  ratio_ = cw_ratio(kFinestRatio);
  const PixelRect whole = toDevice({0, 0, description_.clientWidth, description_.clientHeight});
  const int width = std::max(whole.right, 0);
  const int height = std::max(whole.bottom, 0);
  cw_canvas(width, height);
  placeControls();
  // Painted whole at the next flush: at start-up, as the window is shown.
  composer_.resize(width, height);
  nextPicture_ = 0;
}

bool PageWindow::renderNextPicture() {
  if (nextPicture_ >= pictures_.size()) {
    return false;
  }
  RenderedPicture& picture = pictures_[nextPicture_];
  picture = renderPicture(*picture.entry, description_.twipsPerPixel, ratio_);
  composer_.keep(nextPicture_, picture);
  ++nextPicture_;
  return nextPicture_ < pictures_.size();
}

void PageWindow::drawIcon() {
  if (!iconDue_) {
    return;
  }
  iconDue_ = false;
  // The page's icon follows the screen, however small the window is shown.
  double screen = cw_screen_ratio();
  screen = screen > 1 && std::isfinite(screen) ? std::min(screen, kFinestRatio) : 1;
  const Image icon = description_.icon(screen);
  if (complete(icon) && icon.width > 0 && icon.height > 0) {
    cw_icon(toRgba(icon).data(), icon.width, icon.height);
  }
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

PixelRect PageWindow::toDevice(const RectF& twips) const {
  return web::toDevice(twips, description_.twipsPerPixel, ratio_);
}

void PageWindow::pictureChanged(const PictureBox& box, const RectF& before, bool wasVisible) {
  if (wasVisible) {
    composer_.invalidate(toDevice(before));
  }
  if (box.Visible() != False) {
    composer_.invalidate(toDevice(box.rect()));
  }
  liveRegion_.boardChanged();
}

void PageWindow::textChanged(const TextBox& box) {
  for (std::size_t i = 0; i < description_.textBoxes.size(); ++i) {
    if (description_.textBoxes[i].box == &box) {
      cw_set_text(static_cast<int>(i), box.Text().data(), static_cast<int>(box.Text().size()));
    }
  }
}

void PageWindow::flush() {
  composer_.flush(pictures_, description_.twipsPerPixel, ratio_);
}

bool PageWindow::dispatchQueued() {
  return forms::web::dispatchQueued(runtime_, description_, [this] { rescale(); });
}

}  // namespace forms::web
