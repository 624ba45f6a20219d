#include "forms/web/live_region.h"

#include <cmath>
#include <utility>

#include "forms/web/page.h"

namespace forms::web {

void LiveRegion::start(std::function<std::string()> describe) {
  describe_ = std::move(describe);
  if (describe_) {
    told_ = describe_();
    cw_announce(told_.c_str());
  }
}

double LiveRegion::tell(double nowMilliseconds) {
  if (changed_ && describe_) {
    changed_ = false;
    std::string summary = describe_();
    // Back where it was last told, the board needs no word at all.
    holding_ = summary != told_;
    if (holding_) {
      held_ = std::move(summary);
    }
  }
  if (!holding_) {
    return HUGE_VAL;
  }
  const double due = toldAt_ + kIntervalMilliseconds;
  if (nowMilliseconds < due) {
    return due - nowMilliseconds;
  }
  told_.swap(held_);
  holding_ = false;
  toldAt_ = nowMilliseconds;
  cw_announce(told_.c_str());
  return HUGE_VAL;
}

}  // namespace forms::web
