#pragma once

#include <string>
#include <thread>

namespace forms::qt {

// Guards the opening of the display. While it lives, a window system that cannot be reached (no
// server at the address given, no compositor, an unknown platform) ends the program with one line
// on standard error and status 2, where Qt would abort it; so does one that has not answered
// within ten seconds, where Qt would wait for ever. Qt's other messages are held meanwhile and
// passed on when the guard goes. One guard at a time.
class DisplayGuard {
 public:
  explicit DisplayGuard(std::string program);
  ~DisplayGuard();
  DisplayGuard(const DisplayGuard&) = delete;
  DisplayGuard& operator=(const DisplayGuard&) = delete;

 private:
  std::thread watchdog_;
};

// Once the display is open: should the connection to an X display break, the program ends with
// one line on standard error and status 1.
void reportLostDisplay();

}  // namespace forms::qt
