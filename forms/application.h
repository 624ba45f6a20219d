#pragma once

#include <functional>

#include "forms/description.h"
#include "forms/runtime.h"

// Starts the program's window on the backend the program is linked with: the desktop's or the
// browser's. The program names no backend, so that it builds unchanged for either.
namespace forms {

// Builds the form against the runtime that `build` is given.
using FormBuilder = std::function<FormDescription(Runtime& runtime)>;

// Builds the window from the description `build` returns, raises its load event, shows it and
// runs its events until the program ends. Returns the exit status: 0 when the program ended
// normally, non-zero (with one line on standard error) when there is no screen to show it on.
int runApplication(int argc, char** argv, const FormBuilder& build);

}  // namespace forms
