#include <emscripten/emscripten.h>

#include <memory>
#include <string>

#include "forms/application.h"
#include "forms/web/page_window.h"
#include "forms/web/web_runtime.h"

namespace {

forms::web::PageWindow* shownWindow = nullptr;

}  // namespace

// For the page's own checks and benchmarks: where the picture boxes are, as JSON. The text
// stays valid until the next call.
extern "C" EMSCRIPTEN_KEEPALIVE const char* corvane_layout() {
  static std::string json;
  json = shownWindow != nullptr ? shownWindow->layoutJson() : "null";
  return json.c_str();
}

namespace forms {

// In a browser the program never returns from here while it runs: its event loop is this
// function's, suspended whenever the browser has the control.
int runApplication(int, char**, const ProgramIdentity&, const CommandLine& commandLine,
                   const FormFactory& makeForm) {
  web::WebRuntime runtime;
  runtime.setProgramName(commandLine.program);
  const std::unique_ptr<Form> form = makeForm(runtime);
  web::PageWindow window(runtime, form->describe());
  window.load();
  if (!runtime.ended()) {
    shownWindow = &window;
    window.present();
    runtime.run();
  }
  shownWindow = nullptr;
  window.close();
  return 0;
}

}  // namespace forms
