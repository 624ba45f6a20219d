#pragma once

#include <functional>
#include <memory>

#include "forms/command_line.h"
#include "forms/description.h"
#include "forms/runtime.h"

// Starts the real window. Kept free of Qt so that the program's own code never includes it.
namespace forms::qt {

// Makes the form against the runtime it is given.
using FormFactory = std::function<std::unique_ptr<Form>(Runtime& runtime)>;

// Reads the command line first; then makes the form, builds the window from its description,
// raises its load event, shows it centred on the screen, carries out the demo options and runs
// the event loop until the program ends. The runtime, the form and the window live exactly as
// long as this call. Returns the exit status: 0 when the program ended normally or answered
// --help or --version, 2 (with one line on standard error) for a mistake on the command line or
// when there is no screen to show the window on; 1 when a handler failed.
int runApplication(int argc, char** argv, const CommandLine& commandLine,
                   const FormFactory& makeForm);

// Settings the window system needs before the application object exists. runApplication makes
// them itself; tools that build the window on their own call this first.
void prepareWindowSystem();

}  // namespace forms::qt
