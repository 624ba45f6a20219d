#pragma once

#include <functional>

#include "forms/description.h"
#include "forms/web/web_runtime.h"

namespace forms::web {

// Runs the handler of every input event the page has queued, oldest first, until the queue is
// empty or the program ends; a changed device pixel ratio calls `rescale`. Says whether there
// was any event.
bool dispatchQueued(WebRuntime& runtime, const FormDescription& form,
                    const std::function<void()>& rescale);

}  // namespace forms::web
