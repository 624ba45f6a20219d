#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "forms/description.h"
#include "forms/web/web_runtime.h"

namespace forms::web {

// The window of a form on a web page. The picture boxes are drawn on one canvas, back to front,
// from their generated pictures rendered at the screen's device pixel ratio; the text boxes and
// buttons are real page elements placed over it, in the tab order, so that typing, pasting,
// input methods and screen readers work as in any page. Model changes collect the rectangles
// they touch; each pump draws just those, and before the browser gets control a changed
// description of the board goes to a polite live region.
class PageWindow final : public ControlObserver {
 public:
  PageWindow(WebRuntime& runtime, FormDescription description);
  ~PageWindow() override;
  PageWindow(const PageWindow&) = delete;
  PageWindow& operator=(const PageWindow&) = delete;

  // Raises the form's load event.
  void load();
  // Shows the window with the keyboard focus on the control that comes first in the tab order.
  void present();
  // Removes the window from the page.
  void close();

  // Draws what changed since the last call.
  void flush();
  // Hands a changed description of the board to the live region. Only the browser reads it, so
  // it is worked out just before the browser gets control, at most once a pump. A screen reader
  // speaks every change of the region, and a run without a pause changes the board hundreds of
  // times a second: so the region changes at most once per interval, to the board as it is
  // then, and the board as it comes to rest is always told. Returns how many milliseconds the
  // pump may sleep before a description held back is due; infinity if none is.
  double announceBoard(double nowMilliseconds);
  // About as long as a screen reader takes to say the line.
  static constexpr double kAnnounceIntervalMilliseconds = 2000;
  // Runs the handler of every input event the page has queued; says whether there was any.
  bool dispatchQueued();

  void pictureChanged(const PictureBox& box, const RectF& before, bool wasVisible) override;
  void textChanged(const TextBox& box) override;

  // Where every picture box is and what it shows at one point, as JSON for the page's own
  // checks: CSS pixels, the colour of the picture's middle pixel and where that pixel is.
  std::string layoutJson() const;

 private:
  // Device pixels, right and bottom exclusive.
  struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool empty() const { return right <= left || bottom <= top; }
  };
  struct Picture {
    const PictureBoxEntry* entry = nullptr;
    // The rendered picture over its box's colour, with its lines, as the canvas takes pixels:
    // the bytes R, G, B, A.
    std::vector<std::uint32_t> pixels;
    int width = 0;
    int height = 0;
    // The middle pixel of the rendered picture, relative to the box, and its colour.
    int probeX = 0;
    int probeY = 0;
    Rgb probeColor = 0;
  };

  Rect toDevice(const RectF& twips) const;
  void buildPictures();
  void renderPictures();
  // A line's ends in device pixels within its picture, and its width.
  struct Stroke {
    double x1 = 0;
    double y1 = 0;
    double x2 = 0;
    double y2 = 0;
    int width = 1;
  };
  Stroke toStroke(const LineEntry& line) const;
  static void strokeLine(Picture& picture, const Stroke& stroke, std::uint32_t rgba);
  void buildControls();
  void placeControls();
  void rescale();
  void invalidate(const Rect& rect);
  void paint(const Rect& dirty);

  WebRuntime& runtime_;
  FormDescription description_;
  double ratio_ = 1;
  // Back to front.
  std::vector<Picture> pictures_;
  std::vector<Rect> dirty_;
  // The whole window in device pixels, as the canvas takes them; each paint updates a part.
  std::vector<std::uint32_t> frame_;
  int frameWidth_ = 0;
  int frameHeight_ = 0;
  std::uint32_t backPixel_ = 0;
  bool boardChanged_ = false;
  std::string announcedBoard_;
  // A description not yet told, because the last one was told too recently.
  std::string heldBoard_;
  bool boardHeld_ = false;
  double announcedAt_ = -kAnnounceIntervalMilliseconds;
  long paints_ = 0;
};

}  // namespace forms::web
