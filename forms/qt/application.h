#pragma once

#include "forms/application.h"

// The desktop's forms::runApplication shows the window centred on the screen. Kept free of Qt so
// that tools and benchmarks can include it without Qt's headers.
namespace forms::qt {

// Settings the window system needs before the application object exists. runApplication makes
// them itself; tools that build the window on their own call this first.
void prepareWindowSystem();

}  // namespace forms::qt
