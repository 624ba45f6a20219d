#pragma once

#include <functional>
#include <string>
#include <vector>

#include "bench/bench_util.h"

// Runs of the trial protocol (run_trial.h), each in a child process, and what they measured.
namespace bench {

struct Run {
  bool ok = false;
  long steps = 0;
  double seconds = 0;
  double cpuSeconds = 0;
  long long displayBytes = 0;
  long displayWrites = 0;

  double thousandStepsPerSecond() const { return static_cast<double>(steps) / seconds / 1000; }
};

// One way of running: a benchmark program, the arguments of its trial and the variables it sets
// in the environment (NAME=VALUE), in place of any inherited ones of those names.
struct Variant {
  std::string program;
  std::vector<std::string> arguments;
  std::vector<std::string> environment;
  std::vector<Run> runs;
};

// One trial of the variant, in a child process; not ok if it failed or said nothing usable.
Run runChild(const Variant& variant);

// Runs every variant once per round, in turn, so that a change in the machine's load hits all
// alike.
void alternate(const std::vector<Variant*>& variants, int rounds);

// The successful runs of a variant, each measured by `value`.
Summary summary(const Variant& variant, const std::function<double(const Run&)>& value);

// Every run made every step, and, on a display server, sent each step to it.
bool complete(const Variant& variant, long steps, bool onX);

}  // namespace bench
