#pragma once

// What this process writes to its X server connection. The run benchmark exports its own writev
// and sendmsg, which stand in for the C library's in the X client library, which sends every
// request through one of them; they count what goes to the connection being watched.
namespace bench {

struct DisplayWrites {
  long long bytes = 0;
  long writes = 0;
};

// Starts counting what goes to the X server connection of Qt's application, when it has one.
void watchDisplay();
// What has been written to it so far.
DisplayWrites displayWrites();

}  // namespace bench
