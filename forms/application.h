#pragma once

#include <functional>
#include <memory>
#include <string>

#include "forms/command_line.h"
#include "forms/description.h"
#include "forms/runtime.h"

// Starts the program's window on the backend the program is linked with: the desktop's or the
// browser's. The program names no backend, so that it builds unchanged for either.
namespace forms {

// Who the program is to the desktop. Its command's name, which opens every line it writes on
// standard error, comes with its command line.
struct ProgramIdentity {
  std::string name;       // as the desktop shows it, e.g. in a task switcher
  std::string desktopId;  // the name of its desktop entry, without ".desktop"
};

// Makes the form against the runtime it is given.
using FormFactory = std::function<std::unique_ptr<Form>(Runtime& runtime)>;

// Reads the command line first, where the backend has one; then makes the form, builds the
// window from its description, raises its load event, shows it, carries out the demo options
// and runs its events until the program ends. The runtime, the form and the window live exactly
// as long as this call. Returns the exit status: 0 when the program ended normally or answered
// --help or --version, 2 (with one line on standard error) for a mistake on the command line or
// when there is no screen to show the window on; 1 when a handler failed.
int runApplication(int argc, char** argv, const ProgramIdentity& identity,
                   const CommandLine& commandLine, const FormFactory& makeForm);

}  // namespace forms
