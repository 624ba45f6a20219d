#include "forms/qt/application.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <QApplication>
#include <QGuiApplication>
#include <QString>
#include <QStringList>

#ifdef __unix__
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#endif

#include "forms/qt/command_line.h"
#include "forms/qt/display_guard.h"
#include "forms/qt/form_window.h"
#include "forms/qt/qt_runtime.h"
#include "forms/qt/terminal_text.h"
#include "forms/qt/termination.h"
#include "forms/qt/window_frames.h"

namespace forms::qt {

namespace {

bool isSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// A standard stream the program was started without would lend its number to the next file
// opened, the display connection among them, and whatever is then said on standard error would be
// written into that connection. Each closed one reads or writes nothing instead.
void fillClosedStandardStreams() {
#ifdef __unix__
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
      // The lowest free number: this one, since those below it are open by now.
      const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
      if (opened != fd && opened >= 0) {
        ::close(opened);
      }
    }
  }
#endif
}

// Qt takes the scale factors it is given as they are: one of zero or below breaks the window or
// crashes Qt, and one of a hundred makes the window and its pictures a hundred times their size,
// until memory runs out. No screen needs more than this.
constexpr double kLargestScaleFactor = 8;

bool usableScaleFactor(const QString& text) {
  bool ok = false;
  const double factor = text.toDouble(&ok);
  return ok && factor > 0 && factor <= kLargestScaleFactor;
}

// A list of factors, one per screen, each alone or after the screen's name and '='.
bool usableScaleFactors(const QString& text) {
  const QStringList entries = text.split(QLatin1Char(';'), Qt::SkipEmptyParts);
  return std::all_of(entries.begin(), entries.end(), [](const QString& entry) {
    return usableScaleFactor(entry.section(QLatin1Char('='), -1));
  });
}

// The window is shown at its own size instead, and the user is told why.
void dropUnusableScaleFactors(const std::string& program) {
  const auto drop = [&program](const char* name, bool (*usable)(const QString&)) {
    const QString value = qEnvironmentVariable(name);
    if (!value.isEmpty() && !usable(value)) {
      std::fprintf(stderr, "%s: %s=%s is not used: a scale factor must be above 0 and at most %g\n",
                   program.c_str(), name, terminalText(givenText(std::getenv(name))).constData(),
                   kLargestScaleFactor);
      qunsetenv(name);
    }
  };
  drop("QT_SCALE_FACTOR", usableScaleFactor);
  drop("QT_SCREEN_SCALE_FACTORS", usableScaleFactors);
}

}  // namespace

void prepareWindowSystem() {
  // Every step of a run repaints a small area. Through X shared memory each such flush waits
  // for the server to finish the one before, a round trip per step that halves the speed of a
  // run; small images travel faster in the request itself.
  if (std::getenv("QT_XCB_NO_MITSHM") == nullptr) {
    qputenv("QT_XCB_NO_MITSHM", "1");
  }
}

}  // namespace forms::qt

namespace forms {

int runApplication(int argc, char** argv, const ProgramIdentity& identity,
                   const CommandLine& commandLine, const FormFactory& makeForm) {
  using namespace qt;
  QStringList arguments;
  for (int i = 0; i < argc; ++i) {
    arguments << givenText(argv[i]);
  }
  std::vector<DemoRequest> demo;
  if (const std::optional<int> status = parseCommandLine(arguments, commandLine, demo)) {
    return *status;
  }
  // Only now: an answer to --help or --version must still fail on a closed output.
  fillClosedStandardStreams();
#ifdef __linux__
  // Without any of these Qt would stop the process with a message about plugins; say plainly
  // what is missing instead.
  if (!isSet("DISPLAY") && !isSet("WAYLAND_DISPLAY") && !isSet("QT_QPA_PLATFORM")) {
    std::fprintf(stderr,
                 "%s: this program needs a graphical display; on a machine without one, run it on "
                 "a virtual screen, e.g. `xvfb-run -a %s`\n",
                 commandLine.program.c_str(), commandLine.program.c_str());
    return 2;
  }
#endif
  prepareWindowSystem();
  dropUnusableScaleFactors(commandLine.program);
  // Opening the display and building the window take a while, longer on a slow or distant
  // display; a request to terminate meanwhile ends the program as one after them does.
  catchTermination();
  // Every argument has been read; Qt would take some of the values for its own options.
  int qtArgc = 1;
  noteCompositorConnection();
  std::optional<DisplayGuard> guard(std::in_place, commandLine.program);
  QApplication application(qtArgc, argv);
  guard.reset();
  reportLostDisplay();
  leaveFramesToCompositor();
  // No display name: the window system would append it to the caption.
  QApplication::setApplicationName(QString::fromStdString(identity.name));
  QGuiApplication::setDesktopFileName(QString::fromStdString(identity.desktopId));
  // Only the program decides when it is over: closing the window asks it, like its quit button.
  QApplication::setQuitOnLastWindowClosed(false);

  // Destroyed in the reverse order: the window stops observing the form's controls before they
  // go, and the form's handlers hold the runtime, which goes last.
  QtRuntime runtime;
  runtime.setProgramName(commandLine.program);
  const std::unique_ptr<Form> form = makeForm(runtime);
  const FormDescription description = form->describe();
  FormWindow window(runtime, description);
  window.load();
  // An end during start-up asked the event loop to stop before it was running.
  if (runtime.ended()) {
    return runtime.exitStatus();
  }
  window.present();
  closeOnTermination(window);
  closeWhenDestroyed(window);
  scheduleDemo(runtime, window, description, std::move(demo));
  return QApplication::exec();
}

}  // namespace forms
