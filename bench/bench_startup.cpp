// Start-up and memory of the real program: from launch to the window's first finished paint,
// from there (the program closes its window at once) to the end of the process, and the peak
// resident memory of the process. The program carries no probe of its own: the one in
// first_paint_probe.cpp is preloaded into it and into the floors it is launched in turns with:
// a plain Qt window of the same size that draws one line of text in the font of the program's
// boxes (a window that shows text pays for the font configuration), and an empty one.
// With --x11 DISPLAY, for a run on Wayland, the program is also launched in turns on that X
// server, for its memory beside the one on Wayland, and on Wayland without the title bar that Qt
// draws there, to show what that costs.
//   bench_startup [--x11 DISPLAY] CORVANE EMPTY_WINDOW TEXT_WINDOW [LAUNCHES] [SCREEN-LABEL]

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

// What a launch changes in the environment: an X server to show the window on instead, and
// variables of its own.
struct Screen {
  std::string x11Display;
  std::vector<std::string> environment;
};

Launch launch(const char* program, const Screen& screen = {}) {
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
    const bool replaced =
        !screen.x11Display.empty() &&
        (std::strncmp(*v, "DISPLAY=", 8) == 0 || std::strncmp(*v, "WAYLAND_DISPLAY=", 16) == 0 ||
         std::strncmp(*v, "QT_QPA_PLATFORM=", 16) == 0);
    if (std::strncmp(*v, "CORVANE_PROBE_FD=", 17) != 0 &&
        std::strncmp(*v, "LD_PRELOAD=", 11) != 0 && !replaced) {
      variables.emplace_back(*v);
    }
  }
  if (!screen.x11Display.empty()) {
    variables.push_back("DISPLAY=" + screen.x11Display);
    variables.push_back("QT_QPA_PLATFORM=xcb");
  }
  variables.insert(variables.end(), screen.environment.begin(), screen.environment.end());
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
  std::vector<const char*> args(argv + 1, argv + argc);
  Screen x11;
  if (args.size() >= 2 && std::strcmp(args[0], "--x11") == 0) {
    x11.x11Display = args[1];
    args.erase(args.begin(), args.begin() + 2);
  }
  if (args.size() < 3) {
    std::fputs(
        "usage: bench_startup [--x11 DISPLAY] CORVANE EMPTY_WINDOW TEXT_WINDOW [LAUNCHES] "
        "[SCREEN]\n",
        stderr);
    return 2;
  }
  const char* program = args[0];
  const char* empty = args[1];
  const char* text = args[2];
  const int launches = args.size() > 3 ? std::max(1, std::atoi(args[3])) : 10;
  const std::string screen = args.size() > 4 ? args[4] : "xcb";
  const bool onX11Too = !x11.x11Display.empty();

  // The first launch after a build fills the system's caches; it is not counted.
  if (!launch(program).ok || !launch(empty).ok || !launch(text).ok ||
      (onX11Too && !launch(program, x11).ok)) {
    std::fputs("bench_startup: a program did not report its first paint, or failed\n", stderr);
    return 1;
  }
  // On Wayland, for the measurement only: without the title bar Qt draws there itself, for which
  // it loads the system's OpenGL.
  const Screen bare{{}, {"QT_WAYLAND_DISABLE_WINDOWDECORATION=1"}};
  Series ours, floor, textFloor, oursX11, oursBare;
  for (int i = 0; i < launches; ++i) {
    if (!ours.add(launch(program)) || !textFloor.add(launch(text)) || !floor.add(launch(empty)) ||
        (onX11Too && !oursX11.add(launch(program, x11))) ||
        (onX11Too && !oursBare.add(launch(program, bare)))) {
      std::fprintf(stderr, "bench_startup: launch %d failed\n", i + 1);
      return 1;
    }
  }
  const std::string runs = " (" + std::to_string(launches) + " launches each)";
  const bench::Summary s = bench::summarize(ours.shown);
  const bench::Summary t = bench::summarize(textFloor.shown);
  bench::row("Launch to first paint of the window, ms" + runs, screen, bench::spread(s, "%.1f", ""),
             "a plain Qt window drawing one line of text in the boxes' font: " +
                 bench::spread(t, "%.1f", "") + "; ratio of medians " +
                 bench::format("%.2f", s.median / t.median) + "×<br>empty Qt window: " +
                 bench::spread(bench::summarize(floor.shown), "%.1f", ""),
             "≤ 1.15× the text window", bench::atMost(s.median / t.median, 1.15, "%.2f", "×"));
  bench::row(
      "Closed at once: to end of process, ms" + runs, screen,
      bench::spread(bench::summarize(ours.exited), "%.1f", ""),
      "text window: " + bench::spread(bench::summarize(textFloor.exited), "%.1f", "") +
          "<br>empty Qt window: " + bench::spread(bench::summarize(floor.exited), "%.1f", ""),
      "—", "—");
  const bench::Summary m = bench::summarize(ours.peak);
  std::string memorySide =
      "text window: " + bench::spread(bench::summarize(textFloor.peak), "%.1f", "") +
      "<br>empty Qt window: " + bench::spread(bench::summarize(floor.peak), "%.1f", "");
  std::string target = "≤ 36";
  std::string met = bench::atMost(m.max, 36, "%.1f", " MiB");
  if (onX11Too) {
    const bench::Summary x = bench::summarize(oursX11.peak);
    memorySide = "the program on X11 (Xvfb), in turns: " + bench::spread(x, "%.1f", "") +
                 "; ratio of medians " + bench::format("%.2f", m.median / x.median) + "×<br>" +
                 memorySide +
                 "<br>the program without the title bar Qt draws (for the measurement only): " +
                 bench::spread(bench::summarize(oursBare.peak), "%.1f", "");
    target = "≤ 1.3× X11";
    met = bench::atMost(m.median / x.median, 1.3, "%.2f", "×");
  }
  bench::row("Peak resident memory, MiB" + runs, screen, bench::spread(m, "%.1f", ""), memorySide,
             target, met);
  return 0;
}
