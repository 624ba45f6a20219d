#pragma once

class QWidget;

namespace forms::qt {

// From now on a request to terminate (SIGTERM, or SIGINT from a terminal) ends the program with
// status 0, however many come: at once while there is no window yet, which also frees a program
// waiting for a display that never answers.
void catchTermination();

// The first request to terminate closes `window` as its close box would, so that the program
// ends the usual way, even in the middle of a run. A second request ends the process at once,
// should the first find the program stuck.
void closeOnTermination(QWidget& window);

// On X11, a window destroyed by another program (some tools do that instead of asking it to
// close) closes as by its close box, so that the program does not go on unseen with nothing left
// to quit it by.
void closeWhenDestroyed(QWidget& window);

}  // namespace forms::qt
