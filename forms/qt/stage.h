#pragma once

#include "forms/qt/form_window.h"
#include "forms/qt/qt_runtime.h"

namespace forms::qt {

// A form in the real window, loaded and shown as the program shows it, for the tests, the
// benchmarks and the tools that drive the window from inside their own process. An end of the
// program is only recorded, so that it does not stop the process hosting the stage.
template <class Form>
struct Stage {
  explicit Stage(QtRuntime::Sleep sleep = QtRuntime::Sleep::onKernelTimer)
      : runtime([this] { endRequested = true; }, sleep) {
    window.load();
    window.present();
  }

  bool endRequested = false;
  QtRuntime runtime;
  Form form{runtime};
  FormWindow window{runtime, form.describe()};
};

}  // namespace forms::qt
