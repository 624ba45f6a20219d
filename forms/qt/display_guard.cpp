#include "forms/qt/display_guard.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <utility>
#include <vector>

#include <QString>
#include <QStringList>
#include <QtGlobal>

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

void holdOrFail(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  const std::lock_guard lock(heldMutex);
  if (type != QtFatalMsg) {
    held.push_back({type, context.category, text});
    return;
  }
  // Qt's last word only says that no platform could start; the complaints before it say why: one
  // for each window system it tried, between lines about loading their plugins, which count only
  // when nothing else was said.
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
  const QString reason = reasons.isEmpty() ? text.section(QLatin1Char('\n'), 0, 0).simplified()
                                           : reasons.join(QStringLiteral("; "));
  std::fprintf(stderr,
               "%s: cannot open the display (%s); on a machine without one, run it on a virtual "
               "screen, e.g. `xvfb-run -a %s`\n",
               programName.c_str(), reason.toLocal8Bit().constData(), programName.c_str());
  std::fflush(nullptr);
  // Half-built Qt objects must not be torn down, so no exit handlers run.
  std::_Exit(2);
}

}  // namespace

DisplayGuard::DisplayGuard(std::string program) {
  programName = std::move(program);
  previousHandler = qInstallMessageHandler(holdOrFail);
}

DisplayGuard::~DisplayGuard() {
  qInstallMessageHandler(previousHandler);
  std::vector<HeldMessage> messages;
  {
    const std::lock_guard lock(heldMutex);
    messages = std::exchange(held, {});
  }
  for (const HeldMessage& message : messages) {
    // A message without a category is passed on without one, not with an empty one.
    const QMessageLogContext context(
        nullptr, 0, nullptr, message.category.isNull() ? nullptr : message.category.constData());
    qt_message_output(message.type, context, message.text);
  }
}

}  // namespace forms::qt
