#pragma once

// The floors under a paced run on this machine, each one run of the trial protocol (see
// run_trial.h): they print what the run prints and return the process's exit status.
namespace bench {

// A process that only wakes at the same pace, on the kernel's timer at absolute deadlines, with
// no window and no event loop.
int wakeOnly(long wakes, double delay);

// A plain widget of the program's size that, after each pause of the program's own runtime,
// sends a strip of 100 by 3 pixels to the screen through its backing store, the cheapest way Qt
// offers, and nothing else: no board, no disks, no logic. The floor under any window on Qt
// Widgets that shows something at that pace. Needs the application object.
int stripOnly(long steps, float delay);

}  // namespace bench
