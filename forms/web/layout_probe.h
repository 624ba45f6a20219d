#pragma once

namespace forms::web {

class PageWindow;

// The window the page's own checks and benchmarks look at through corvane_layout(); null when
// none is shown.
void setProbedWindow(const PageWindow* window);

}  // namespace forms::web
