#pragma once

#include <string>

namespace forms::qt {

// Guards the opening of the display. While it lives, a window system that cannot be reached (no
// server at the address given, no compositor, an unknown platform) ends the program with one line
// on standard error and status 2, where Qt would abort it. Qt's other messages are held meanwhile
// and passed on when the guard goes. One guard at a time.
class DisplayGuard {
 public:
  explicit DisplayGuard(std::string program);
  ~DisplayGuard();
  DisplayGuard(const DisplayGuard&) = delete;
  DisplayGuard& operator=(const DisplayGuard&) = delete;
};

}  // namespace forms::qt
