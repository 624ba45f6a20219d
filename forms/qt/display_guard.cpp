#include "forms/qt/display_guard.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include <QGuiApplication>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#ifdef CORVANE_LINKS_XCB
#include <xcb/xcb.h>
#endif

#include "forms/qt/terminal_text.h"

namespace forms::qt {

namespace {

struct HeldMessage {
  QtMsgType type;
  QByteArray category;
  QString text;
};

QtMessageHandler previousHandler = nullptr;
// Qt's own threads may speak while the display is being opened.
std::mutex heldMutex;
std::vector<HeldMessage> held;
std::string programName;

// Qt's last word only says that no platform could start; the complaints before it say why: one
// for each window system it tried, between lines about loading their plugins, which count only
// when nothing else was said. Called with heldMutex locked.
QStringList heldReasons() {
  QStringList reasons;
  for (const bool aboutPlugins : {false, true}) {
    for (const HeldMessage& message : held) {
      const QString reason = message.text.simplified();
      if ((message.type == QtWarningMsg || message.type == QtCriticalMsg) &&
          (message.category == "qt.qpa.plugin") == aboutPlugins && !reasons.contains(reason)) {
        reasons.append(reason);
      }
    }
    if (!reasons.isEmpty()) {
      break;
    }
  }
  return reasons;
}

[[noreturn]] void failToOpen(const QStringList& reasons) {
  std::fprintf(stderr,
               "%s: cannot open the display (%s); on a machine without one, run it on a virtual "
               "screen, e.g. `xvfb-run -a %s`\n",
               programName.c_str(), terminalText(reasons.join(QStringLiteral("; "))).constData(),
               programName.c_str());
  std::fflush(nullptr);
  // Half-built Qt objects must not be torn down, so no exit handlers run.
  std::_Exit(2);
}

void holdOrFail(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  const std::lock_guard lock(heldMutex);
  if (type != QtFatalMsg) {
    held.push_back({type, context.category, text});
    return;
  }
  const QStringList reasons = heldReasons();
  failToOpen(reasons.isEmpty() ? QStringList(text.section(QLatin1Char('\n'), 0, 0)) : reasons);
}

// A display that takes the connection but never answers would keep Qt waiting for ever. A local
// display answers within milliseconds and one over a slow network within a second or two; ten
// seconds leave room for a machine that is busy swapping, and are short enough for a user still
// to be waiting for the window.
constexpr std::chrono::seconds kAnswerTime{10};
std::condition_variable answered;
bool opened = false;

void failUnanswered() {
  std::unique_lock lock(heldMutex);
  if (!answered.wait_for(lock, kAnswerTime, [] { return opened; })) {
    QStringList reasons = heldReasons();
    reasons.append(QStringLiteral("no answer within %1 seconds").arg(kAnswerTime.count()));
    failToOpen(reasons);
  }
}

#ifdef CORVANE_LINKS_XCB
xcb_connection_t* watched = nullptr;
QtMessageHandler passedOn = nullptr;

// Once the X connection is broken, whatever Qt and Xlib would still say about it (a line each,
// or several, in an order left to chance) gives way to one line of ours.
void reportLostOrPassOn(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (xcb_connection_has_error(watched) != 0) {
    static std::once_flag said;
    std::call_once(said, [] {
      std::fprintf(stderr, "%s: the connection to the display was lost\n", programName.c_str());
      std::fflush(nullptr);
      std::_Exit(1);
    });
  }
  passedOn(type, context, text);
}
#endif

}  // namespace

DisplayGuard::DisplayGuard(std::string program) {
  programName = std::move(program);
  previousHandler = qInstallMessageHandler(holdOrFail);
  opened = false;
  watchdog_ = std::thread(failUnanswered);
}

DisplayGuard::~DisplayGuard() {
  qInstallMessageHandler(previousHandler);
  std::vector<HeldMessage> messages;
  {
    const std::lock_guard lock(heldMutex);
    opened = true;
    messages = std::exchange(held, {});
  }
  answered.notify_one();
  watchdog_.join();
  for (const HeldMessage& message : messages) {
    // A message without a category is passed on without one, not with an empty one.
    const QMessageLogContext context(
        nullptr, 0, nullptr, message.category.isNull() ? nullptr : message.category.constData());
    qt_message_output(message.type, context, message.text);
  }
}

void reportLostDisplay() {
#ifdef CORVANE_LINKS_XCB
  if (const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
    watched = x11->connection();
    passedOn = qInstallMessageHandler(reportLostOrPassOn);
  }
#endif
}

}  // namespace forms::qt
