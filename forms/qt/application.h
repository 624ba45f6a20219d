#pragma once

#include <functional>

#include "forms/description.h"
#include "forms/runtime.h"

// Starts the real window. Kept free of Qt so that the program's own code never includes it.
namespace forms::qt {

// Builds the form against the runtime that `build` is given.
using FormBuilder = std::function<FormDescription(Runtime& runtime)>;

// Builds the window from the description `build` returns, raises its load event, shows it
// centred on the screen and runs the event loop until the program ends. Returns the exit
// status: 0 when the program ended normally, non-zero (with one line on standard error) when
// there is no screen to show the window on or a handler failed.
int runApplication(int argc, char** argv, const FormBuilder& build);

// Settings the window system needs before the application object exists. runApplication makes
// them itself; tools that build the window on their own call this first.
void prepareWindowSystem();

}  // namespace forms::qt
