#pragma once

#include <initializer_list>

#include <QByteArray>
#include <QDeadlineTimer>
#include <QImage>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest>

#include "board/layout.h"
#include "tests/desktop/pixel_oracle.h"

// Last: Xlib defines macros such as True, False and None.
#include <X11/Xlib.h>

// The real program on a display of its own: a virtual X server with a window manager, driven by
// real input through the XTEST extension, or a Wayland compositor without a screen. Everything
// it starts is stopped when it goes, and leaves nothing behind.
namespace desktop_test {

class Session {
 public:
  // Every wait polls, with a limit far above what any step needs.
  static constexpr int kLimitMs = 30000;

  // Whatever display the tests run under, a program sees only the one its session gives it.
  Session();
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Asks until the answer is that nothing is amiss, or the limit has passed; returns the last.
  template <typename Problem>
  static QString until(Problem problem) {
    const QDeadlineTimer limit(kLimitMs);
    QString last;
    while (!(last = problem()).isEmpty() && !limit.hasExpired()) {
      QTest::qWait(20);
    }
    return last;
  }

  // Starts the program on a screen of its own and waits until the window that has the focus is
  // drawn as it opens.
  QString start();
  // A Wayland compositor without a screen, at `socket` in the session's runtime directory, as
  // the display of what starts next.
  QString startCompositor(const QString& socket);
  // How the program ended, once it has, or that it has not within the limit.
  QString ended();

  // The client area as the X server shows it, 32 bits a pixel on our 24-bit screen.
  QImage grab();
  // The compositor's screenshot of its whole screen.
  static QImage waylandScreenshot();

  // Clicks, then waits until nobody holds the pointer: the window manager freezes it a moment
  // to focus the window, and input sent meanwhile would overtake the click.
  void click(QPoint at);
  // Presses the keys together, then lets them go.
  void keys(std::initializer_list<KeySym> chord);
  // Clicks into a box and types (Latin-1 key symbols are the characters' own codes).
  void enter(const board::EntryDesign& box, const QString& text);

  // The scratch directory: the runtime directory and the compositor's screenshots.
  QString filePath(const QString& name) const { return scratch_.filePath(name); }

  QProcess program;
  Display* x = nullptr;
  // The program's window, once start() has found it.
  Window window = 0;

 private:
  // A virtual screen of our own, with a window manager, as the display of what starts next.
  QString startScreen();
  // Asks a process to end, waits, and kills it only if it will not.
  static void stop(QProcess& process);

  QTemporaryDir scratch_;
  QProcess server_, manager_, compositor_;
  // The X server's display number, once it has said it.
  QByteArray display_;
};

}  // namespace desktop_test
