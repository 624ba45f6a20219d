#pragma once

#include <functional>
#include <memory>

#include "forms/description.h"
#include "forms/runtime.h"

// Starts the real window. Kept free of Qt so that the program's own code never includes it.
namespace forms::qt {

// Makes the form against the runtime it is given.
using FormFactory = std::function<std::unique_ptr<Form>(Runtime& runtime)>;

// Makes the form, builds the window from its description, raises its load event, shows it
// centred on the screen and runs the event loop until the program ends. The runtime, the form
// and the window live exactly as long as this call. Returns the exit status: 0 when the program
// ended normally, non-zero (with one line on standard error) when there is no screen to show
// the window on.
int runApplication(int argc, char** argv, const FormFactory& makeForm);

// Settings the window system needs before the application object exists. runApplication makes
// them itself; tools that build the window on their own call this first.
void prepareWindowSystem();

}  // namespace forms::qt
