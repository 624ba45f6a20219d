#pragma once

// One seven-disk run on the real window, every step shown, in a process of its own:
//   bench_run --trial [--steps N] [--delay SECONDS] [--whole-window] [--x-shared-memory]
//                     [--minimised] [--wake-only | --strip-only]
// prints "steps seconds processor-seconds display-bytes display-writes". Earlier builds of the
// benchmark speak the same, so that they can be run side by side.
namespace bench {

int trial(int argc, char** argv);

}  // namespace bench
