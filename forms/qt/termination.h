#pragma once

class QWidget;

namespace forms::qt {

// From now on a request to terminate (SIGTERM, or SIGINT from a terminal) is caught and held
// until there is a window to close: one that comes while the program starts is not lost.
void catchTermination();

// A request to terminate, held or yet to come, closes `window` as its close box would, so that
// the program ends the usual way, with status 0, even in the middle of a run. A second request
// ends the process at once, should the first find the program stuck.
void closeOnTermination(QWidget& window);

// On X11, a window destroyed by another program (some tools do that instead of asking it to
// close) closes as by its close box, so that the program does not go on unseen with nothing left
// to quit it by.
void closeWhenDestroyed(QWidget& window);

}  // namespace forms::qt
