#include <memory>

#include "forms/application.h"
#include "forms/web/layout_probe.h"
#include "forms/web/page_window.h"
#include "forms/web/web_runtime.h"

namespace forms {

// In a browser the program never returns from here while it runs: its event loop is this
// function's, suspended whenever the browser has the control.
int runApplication(int, char**, const CommandLine&, const FormFactory& makeForm) {
  web::WebRuntime runtime;
  const std::unique_ptr<Form> form = makeForm(runtime);
  web::PageWindow window(runtime, form->describe());
  window.load();
  if (!runtime.ended()) {
    web::setProbedWindow(&window);
    window.present();
    runtime.run();
  }
  web::setProbedWindow(nullptr);
  window.close();
  return 0;
}

}  // namespace forms
