#pragma once

#include <vector>

#include "forms/description.h"
#include "forms/web/composer.h"
#include "forms/web/live_region.h"
#include "forms/web/picture_render.h"
#include "forms/web/web_runtime.h"

namespace forms::web {

// The window of a form on a web page. The picture boxes are drawn on one canvas, back to front,
// from their generated pictures rendered at as many pixels as the window covers; the text boxes and
// buttons are real page elements placed over it, in the tab order, so that typing, pasting,
// input methods and screen readers work as in any page. Model changes collect the rectangles
// they touch; each pump draws just those, and before the browser gets control a changed
// description of the board goes to a polite live region.
class PageWindow final : public ControlObserver {
 public:
  // The window is built over several calls of prepare(), and kept off the page until shown.
  PageWindow(WebRuntime& runtime, FormDescription description);
  ~PageWindow() override;
  PageWindow(const PageWindow&) = delete;
  PageWindow& operator=(const PageWindow&) = delete;

  // Does the next part of building the window: the canvas and the buttons' words, then a few
  // pictures at a time. Says whether any is left; in between, the browser may run.
  bool prepare();
  // Raises the form's load event.
  void load();
  // Shows the window with the keyboard focus on the control that comes first in the tab order.
  void present();
  // Removes the window from the page.
  void close();

  // Draws what changed since the last call.
  void flush();
  // Tells a changed board to the live region; returns how many milliseconds the pump may sleep
  // before a description held back is due, infinity if none is.
  double announceBoard(double nowMilliseconds) { return liveRegion_.tell(nowMilliseconds); }
  // Runs the handler of every input event the page has queued; says whether there was any.
  bool dispatchQueued();
  // The page's icon takes longer to draw than the window, so it is drawn once the window has
  // been shown, by a later pump.
  bool iconDue() const { return iconDue_; }
  void drawIcon();

  void pictureChanged(const PictureBox& box, const RectF& before, bool wasVisible) override;
  void textChanged(const TextBox& box) override;

  // For the page's own checks: the pictures back to front, and how they are placed.
  const std::vector<RenderedPicture>& pictures() const { return pictures_; }
  double ratio() const { return ratio_; }
  double twipsPerPixel() const { return description_.twipsPerPixel; }
  long paints() const { return composer_.paints(); }

 private:
  void buildControls();
  void placeControls();
  // Everything that depends on the number of canvas pixels for each of the window's: the canvas,
  // all of it to be repainted, and the controls' places; then each picture, drawn afresh.
  void startRescale();
  bool renderNextPicture();
  void rescale();
  PixelRect toDevice(const RectF& twips) const;

  WebRuntime& runtime_;
  FormDescription description_;
  double ratio_ = 1;
  bool iconDue_ = false;
  // Whether prepare() has made the canvas.
  bool started_ = false;
  std::size_t nextPicture_ = 0;
  // Back to front.
  std::vector<RenderedPicture> pictures_;
  Composer composer_;
  LiveRegion liveRegion_;
};

}  // namespace forms::web
