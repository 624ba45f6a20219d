#pragma once

#include <QCoreApplication>
#include <QGuiApplication>
#include <QString>
#include <QWidget>
#include <QWindow>
#include <string>

#include "bench/bench_util.h"
#include "board/corvane.h"
#if __has_include("forms/qt/stage.h")
#include "forms/qt/stage.h"
#else
// The earlier tree that the benchmarks build for comparison has no shared stage yet.
#include "forms/qt/form_window.h"
#include "forms/qt/qt_runtime.h"

namespace forms::qt {
template <class Form>
struct Stage {
  Stage() : runtime([this] { endRequested = true; }) {
    window.load();
    window.present();
  }
  bool endRequested = false;
  QtRuntime runtime;
  Form form{runtime};
  FormWindow window{runtime, form.describe()};
};
}  // namespace forms::qt
#endif

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
