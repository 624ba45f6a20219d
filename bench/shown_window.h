#pragma once

#include <QCoreApplication>
#include <QGuiApplication>
#include <QString>
#include <QWidget>
#include <QWindow>
#include <string>

#include "bench/bench_util.h"
#include "board/corvane.h"
#include "forms/qt/stage.h"

namespace bench {

// The real window, loaded and shown as the program shows it, once it is on screen and its first
// paint is done. An end of the program is only recorded, so that the benchmark can go on with a
// fresh stage.
struct Stage : forms::qt::Stage<Corvane> {
  Stage() { settleShown(window); }

  // Once `shown` is on screen (or ten seconds have passed), runs whatever is pending a moment.
  static void settleShown(const QWidget& shown) {
    const double giveUp = wallSeconds() + 10;
    while (!(shown.windowHandle() != nullptr && shown.windowHandle()->isExposed()) &&
           wallSeconds() < giveUp) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    settle();
  }

  // Runs whatever is pending, paints included, for a moment.
  static void settle() {
    const double until = wallSeconds() + 0.1;
    while (wallSeconds() < until) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
  }
};

// The screen named in the table: the given label, or Qt's name for its platform.
inline std::string screenName(int argc, char** argv) {
  if (argc > 1) {
    return argv[1];
  }
  return QGuiApplication::platformName().toStdString();
}

}  // namespace bench
