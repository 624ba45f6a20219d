// Start-up and memory of the real program: from launch to the window's first finished paint,
// from there (the program closes its window at once) to the end of the process, and the peak
// resident memory of the process. The program carries no probe of its own: the one in
// first_paint_probe.cpp is preloaded into it, and into an empty Qt window of the same size,
// launched alternately, which shows the floor under all three.
//   bench_startup PATH_TO_CORVANE PATH_TO_EMPTY_WINDOW [LAUNCHES] [SCREEN-LABEL]

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_util.h"

extern char** environ;

namespace {

// The descriptor the program is told to report on.
constexpr int kProbeFd = 3;

struct Launch {
  bool ok = false;
  double shownSeconds = 0;
  double exitSeconds = 0;
  double peakMegabytes = 0;
  int status = -1;
};

Launch launch(const char* program) {
  Launch result;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    return result;
  }
  // Kept clear of the descriptor the child receives, so that the dup below always happens.
  const int readEnd = ::fcntl(fds[0], F_DUPFD_CLOEXEC, 10);
  const int writeEnd = ::fcntl(fds[1], F_DUPFD_CLOEXEC, 10);
  ::close(fds[0]);
  ::close(fds[1]);

  std::vector<std::string> variables;
  for (char** v = environ; *v != nullptr; ++v) {
    if (std::strncmp(*v, "CORVANE_PROBE_FD=", 17) != 0 &&
        std::strncmp(*v, "LD_PRELOAD=", 11) != 0) {
      variables.emplace_back(*v);
    }
  }
  variables.push_back("CORVANE_PROBE_FD=" + std::to_string(kProbeFd));
  variables.push_back(std::string("LD_PRELOAD=") + CORVANE_FIRST_PAINT_PROBE);
  std::vector<char*> env;
  for (std::string& v : variables) {
    env.push_back(v.data());
  }
  env.push_back(nullptr);
  std::string path = program;
  char* args[] = {path.data(), nullptr};

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, writeEnd, kProbeFd);
  pid_t pid = 0;
  const double start = bench::wallSeconds();
  const int spawned = ::posix_spawn(&pid, program, &actions, nullptr, args, env.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(writeEnd);
  if (spawned != 0) {
    ::close(readEnd);
    return result;
  }

  // The line arrives once the first paint is done; give up after 20 s.
  pollfd watch{readEnd, POLLIN, 0};
  char line[16] = {};
  if (::poll(&watch, 1, 20'000) == 1 && ::read(readEnd, line, sizeof line - 1) > 0 &&
      std::strncmp(line, "shown", 5) == 0) {
    result.shownSeconds = bench::wallSeconds() - start;
    result.ok = true;
  } else {
    ::kill(pid, SIGKILL);
  }
  const double shown = bench::wallSeconds();
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  result.exitSeconds = bench::wallSeconds() - shown;
  // Linux reports the peak in kilobytes.
  result.peakMegabytes = static_cast<double>(usage.ru_maxrss) / 1024.0;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.ok = result.ok && result.status == 0;
  ::close(readEnd);
  return result;
}

struct Series {
  std::vector<double> shown, exited, peak;
  bool add(const Launch& l) {
    if (!l.ok) {
      return false;
    }
    shown.push_back(l.shownSeconds * 1e3);
    exited.push_back(l.exitSeconds * 1e3);
    peak.push_back(l.peakMegabytes);
    return true;
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: bench_startup PATH_TO_CORVANE PATH_TO_EMPTY_WINDOW [LAUNCHES] [SCREEN]\n",
               stderr);
    return 2;
  }
  const char* program = argv[1];
  const char* empty = argv[2];
  const int launches = argc > 3 ? std::max(1, std::atoi(argv[3])) : 10;
  const std::string screen = argc > 4 ? argv[4] : "xcb";

  // The first launch after a build fills the system's caches; it is not counted.
  if (!launch(program).ok || !launch(empty).ok) {
    std::fputs("bench_startup: a program did not report its first paint, or failed\n", stderr);
    return 1;
  }
  Series ours, floor;
  for (int i = 0; i < launches; ++i) {
    if (!ours.add(launch(program)) || !floor.add(launch(empty))) {
      std::fprintf(stderr, "bench_startup: launch %d failed\n", i + 1);
      return 1;
    }
  }
  const std::string runs = " (" + std::to_string(launches) + " launches each)";
  const bench::Summary s = bench::summarize(ours.shown);
  bench::row("Launch to first paint of the window, ms" + runs, screen, bench::spread(s, "%.1f", ""),
             "empty Qt window: " + bench::spread(bench::summarize(floor.shown), "%.1f", ""), "≤ 30",
             bench::atMost(s.median, 30, "%.1f", " ms"));
  bench::row("Closed at once: to end of process, ms" + runs, screen,
             bench::spread(bench::summarize(ours.exited), "%.1f", ""),
             "empty Qt window: " + bench::spread(bench::summarize(floor.exited), "%.1f", ""), "—",
             "—");
  const bench::Summary m = bench::summarize(ours.peak);
  bench::row("Peak resident memory, MiB" + runs, screen, bench::spread(m, "%.1f", ""),
             "empty Qt window: " + bench::spread(bench::summarize(floor.peak), "%.1f", ""), "≤ 36",
             bench::atMost(m.max, 36, "%.1f", " MiB"));
  return 0;
}
