#pragma once

#include <functional>
#include <string>

namespace forms::web {

// The board in words, for a polite live region. A screen reader speaks every change of the
// region, and a run without a pause changes the board hundreds of times a second: so the region
// changes at most once per interval, to the board as it is then, and the board as it comes to
// rest is always told.
class LiveRegion {
 public:
  // Tells the board as it is now, in the words `describe` gives.
  void start(std::function<std::string()> describe);

  // The board changed; its words are worked out when next told.
  void boardChanged() { changed_ = true; }
  // Only the browser reads the region, so this is called just before the browser gets control.
  // Returns how many milliseconds may pass before a description held back is due; infinity if
  // none is.
  double tell(double nowMilliseconds);

  // About as long as a screen reader takes to say the line.
  static constexpr double kIntervalMilliseconds = 2000;

 private:
  std::function<std::string()> describe_;
  bool changed_ = false;
  std::string told_;
  // A description not yet told, because the last one was told too recently.
  std::string held_;
  bool holding_ = false;
  double toldAt_ = -kIntervalMilliseconds;
};

}  // namespace forms::web
