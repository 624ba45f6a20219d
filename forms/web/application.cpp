#include <memory>
#include <utility>

#include "forms/application.h"
#include "forms/web/layout_probe.h"
#include "forms/web/page_window.h"
#include "forms/web/web_runtime.h"

namespace forms {

// In a browser the program never returns from here while it runs: its event loop is this
// function's, suspended whenever the browser has the control.
int runApplication(int, char**, const ProgramIdentity&, const CommandLine& commandLine,
                   const FormFactory& makeForm) {
  web::WebRuntime runtime;
  runtime.setProgramName(commandLine.program);
  // The window is built in short tasks, so that the page stays responsive while it starts.
  const std::unique_ptr<Form> form = makeForm(runtime);
  runtime.letBrowserIn();
  FormDescription description = form->describe();
  runtime.letBrowserIn();
  web::PageWindow window(runtime, std::move(description));
  do {
    runtime.letBrowserIn();
  } while (window.prepare());
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
