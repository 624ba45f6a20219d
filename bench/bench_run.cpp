// Seven-disk runs on the real window, every step shown. Each run is a process of its own,
// started in turn with the runs it is compared with: this build; the same benchmark built on an
// earlier commit (--base); both through X shared memory; the whole window repainted at every
// step; a run paced at 0.05 s, beside the floors under it: waking alone, and a plain window that
// shows a strip after each pause.
// With --headless, the same run on the headless runtime: the program's logic alone.
//   bench_run SCREEN-LABEL [--base PATH --base-name NAME] [--headless] [--x-shared-memory]
// One run, printing "steps seconds processor-seconds display-bytes display-writes":
//   bench_run --trial [--steps N] [--delay SECONDS] [--whole-window] [--x-shared-memory]
//                     [--wake-only | --strip-only]

#include <dlfcn.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QBackingStore>
#include <QGuiApplication>
#include <QImage>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "bench/stage.h"
#include "forms/headless/headless_runtime.h"
#include "forms/qt/application.h"
#include "forms/qt/qt_runtime.h"

extern char** environ;

// What this process writes to its X server connection, counted by the writev and sendmsg
// below: the benchmark exports them, so that they stand in for the C library's own in the X
// client library, which sends every request through one of them.
namespace {
int displayFd = -1;
long long displayBytes = 0;
long displayWrites = 0;
}  // namespace

extern "C" ssize_t writev(int fd, const iovec* vector, int count) {
  using Real = ssize_t (*)(int, const iovec*, int);
  static const auto real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "writev"));
  const ssize_t written = real(fd, vector, count);
  if (written > 0 && fd == displayFd) {
    displayBytes += written;
    ++displayWrites;
  }
  return written;
}

extern "C" ssize_t sendmsg(int fd, const msghdr* message, int flags) {
  using Real = ssize_t (*)(int, const msghdr*, int);
  static const auto real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "sendmsg"));
  const ssize_t written = real(fd, message, flags);
  if (written > 0 && fd == displayFd) {
    displayBytes += written;
    ++displayWrites;
  }
  return written;
}

namespace {

constexpr long kSevenDiskSteps = 39171;
constexpr int kTrials = 5;
// Repainting the whole window is far slower; a prefix of the run is enough to compare.
constexpr long kPrefixSteps = 3000;
constexpr int kPrefixTrials = 3;
// A paced run: long enough for the processor share to be measured to a few hundredths of a
// percent.
constexpr long kPacedSteps = 100;
constexpr int kPacedTrials = 5;

// The X server connection's descriptor, asked of the X client library Qt has loaded.
int displayDescriptor() {
  auto* x11 = QGuiApplication::platformName() == QStringLiteral("xcb")
                  ? qApp->nativeInterface<QNativeInterface::QX11Application>()
                  : nullptr;
  using GetFd = int (*)(xcb_connection_t*);
  const auto getFd = reinterpret_cast<GetFd>(::dlsym(RTLD_DEFAULT, "xcb_get_file_descriptor"));
  xcb_connection_t* connection = x11 != nullptr ? x11->connection() : nullptr;
  return connection != nullptr && getFd != nullptr ? getFd(connection) : -1;
}

// Sits between the disks and the window: counts the steps and passes every change on, and for
// the comparison also repaints the whole window at each step. It ends the run after a given
// number of steps, as the quit button would.
class Steps final : public forms::ControlObserver {
 public:
  Steps(bench::Stage& stage, bool wholeWindow, long limit)
      : stage_(stage), wholeWindow_(wholeWindow), limit_(limit) {
    for (forms::PictureBox& disk : stage.form.Picture1) {
      disk.setObserver(this);
    }
  }
  ~Steps() override {
    for (forms::PictureBox& disk : stage_.form.Picture1) {
      disk.setObserver(&stage_.window);
    }
  }
  Steps(const Steps&) = delete;
  Steps& operator=(const Steps&) = delete;

  void pictureChanged(const forms::PictureBox& box, const forms::RectF& before,
                      bool wasVisible) override {
    ++steps;
    stage_.window.pictureChanged(box, before, wasVisible);
    if (wholeWindow_) {
      stage_.window.update();
    }
    if (steps == limit_) {
      stage_.runtime.dispatch([this] { stage_.runtime.End(); });
    }
  }
  void textChanged(const forms::TextBox& box) override { stage_.window.textChanged(box); }

  long steps = 0;

 private:
  bench::Stage& stage_;
  bool wholeWindow_;
  long limit_;
};

// The floor under any paced run on this machine: a process that only wakes at the same pace,
// on the kernel's timer at absolute deadlines, with no window and no event loop.
int wakeOnly(long wakes, double delay) {
  const bench::KernelSleep sleep;
  const double cpu0 = bench::cpuSeconds();
  const double wall0 = bench::wallSeconds();
  for (long i = 0; i < wakes; ++i) {
    if (!sleep(delay)) {
      return 1;
    }
  }
  const double wall = bench::wallSeconds() - wall0;
  const double cpu = bench::cpuSeconds() - cpu0;
  std::printf("%ld %.9f %.9f 0 %ld\n", wakes, wall, cpu, wakes);
  return 0;
}

// The floor under any window on Qt Widgets that shows something at that pace: a plain widget of
// the program's size that, after each pause of the program's own runtime, sends a strip of 100
// by 3 pixels to the screen through its backing store, the cheapest way Qt offers, and nothing
// else. No board, no disks, no logic.
int stripOnly(long steps, float delay) {
  bench::Stage sized;
  const QSize size = sized.window.size();
  sized.window.hide();
  QWidget plain;
  plain.setFixedSize(size);
  plain.show();
  bench::Stage::settleShown(plain);
  forms::qt::QtRuntime runtime;
  QBackingStore& store = *plain.backingStore();
  displayFd = displayDescriptor();
  const long long bytes0 = displayBytes;
  const long writes0 = displayWrites;
  const double cpu0 = bench::cpuSeconds();
  const double wall0 = bench::wallSeconds();
  for (long i = 0; i < steps; ++i) {
    const QRect strip(10, 10 + static_cast<int>(i % 100), 100, 3);
    store.beginPaint(strip);
    auto* image = dynamic_cast<QImage*>(store.paintDevice());
    if (image == nullptr) {
      return 1;
    }
    const auto colour = static_cast<QRgb>(0xFF000000U | static_cast<unsigned>(i * 7919));
    for (int y = strip.top(); y <= strip.bottom(); ++y) {
      auto* row = reinterpret_cast<QRgb*>(image->scanLine(y));
      std::fill(row + strip.left(), row + strip.right() + 1, colour);
    }
    store.endPaint();
    store.flush(strip, plain.windowHandle());
    // The program's pause, as it pumps.
    const double target = runtime.Timer() + static_cast<double>(delay);
    double now = 0;
    do {
      now = runtime.Timer();
      runtime.DoEvents(now < target ? static_cast<float>(target - now) : 0.0f);
    } while (now < target);
  }
  const double wall = bench::wallSeconds() - wall0;
  const double cpu = bench::cpuSeconds() - cpu0;
  std::printf("%ld %.9f %.9f %lld %ld\n", steps, wall, cpu, displayBytes - bytes0,
              displayWrites - writes0);
  return 0;
}

int trial(int argc, char** argv) {
  long limit = 0;
  std::string delay = "0";
  bool wholeWindow = false;
  bool sharedMemory = false;
  bool floor = false;
  bool strip = false;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--steps" && i + 1 < argc) {
      limit = std::atol(argv[++i]);
    } else if (arg == "--delay" && i + 1 < argc) {
      delay = argv[++i];
    } else if (arg == "--whole-window") {
      wholeWindow = true;
    } else if (arg == "--x-shared-memory") {
      // For comparison: X shared memory, as Qt uses it by default.
      sharedMemory = true;
    } else if (arg == "--wake-only") {
      floor = true;
    } else if (arg == "--strip-only") {
      strip = true;
    }
  }
  if (floor) {
    return wakeOnly(limit, std::atof(delay.c_str()));
  }
  if (!sharedMemory) {
    forms::qt::prepareWindowSystem();
  }
  int qtArgc = 1;
  QApplication application(qtArgc, argv);
  if (strip) {
    return stripOnly(limit, static_cast<float>(std::atof(delay.c_str())));
  }
  bench::Stage stage;
  stage.form.txtNumDisks.setText("7");
  stage.form.txtDelay.setText(delay);
  bench::Stage::settle();
  displayFd = displayDescriptor();
  Steps steps(stage, wholeWindow, limit);
  const long long bytes0 = displayBytes;
  const long writes0 = displayWrites;
  const double cpu0 = bench::cpuSeconds();
  const double wall0 = bench::wallSeconds();
  stage.runtime.dispatch([&stage] { stage.form.cmdMoves_Click(); });
  const double wall = bench::wallSeconds() - wall0;
  const double cpu = bench::cpuSeconds() - cpu0;
  std::printf("%ld %.9f %.9f %lld %ld\n", steps.steps, wall, cpu, displayBytes - bytes0,
              displayWrites - writes0);
  return 0;
}

struct Run {
  bool ok = false;
  long steps = 0;
  double seconds = 0;
  double cpuSeconds = 0;
  long long displayBytes = 0;
  long displayWrites = 0;

  double thousandStepsPerSecond() const { return static_cast<double>(steps) / seconds / 1000; }
};

// One way of running: a benchmark program, the arguments of its trial and what it adds to the
// environment.
struct Variant {
  std::string program;
  std::vector<std::string> arguments;
  std::vector<std::string> environment;
  std::vector<Run> runs;
};

Run runChild(const Variant& variant) {
  Run run;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    return run;
  }
  std::vector<std::string> words{variant.program, "--trial"};
  words.insert(words.end(), variant.arguments.begin(), variant.arguments.end());
  std::vector<std::string> variables;
  for (char** v = environ; *v != nullptr; ++v) {
    variables.emplace_back(*v);
  }
  variables.insert(variables.end(), variant.environment.begin(), variant.environment.end());
  const auto pointers = [](std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (std::string& s : strings) {
      result.push_back(s.data());
    }
    result.push_back(nullptr);
    return result;
  };
  std::vector<char*> argv = pointers(words);
  std::vector<char*> envp = pointers(variables);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  pid_t child = 0;
  const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  std::string output;
  char buffer[256];
  for (ssize_t n = 0; spawned == 0 && (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) {
    output.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fds[0]);
  int status = 0;
  if (spawned != 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    return run;
  }
  run.ok = std::sscanf(output.c_str(), "%ld %lf %lf %lld %ld", &run.steps, &run.seconds,
                       &run.cpuSeconds, &run.displayBytes, &run.displayWrites) == 5 &&
           run.seconds > 0;
  return run;
}

// Runs every variant once per round, in turn, so that a change in the machine's load hits all
// alike.
void alternate(std::vector<Variant*> variants, int rounds) {
  for (int round = 0; round < rounds; ++round) {
    for (Variant* variant : variants) {
      variant->runs.push_back(runChild(*variant));
    }
  }
}

bench::Summary summary(const Variant& variant, const std::function<double(const Run&)>& value) {
  std::vector<double> values;
  for (const Run& run : variant.runs) {
    if (run.ok) {
      values.push_back(value(run));
    }
  }
  return bench::summarize(values);
}

// Every run made every step, and, on a display server, sent each step to it.
bool complete(const Variant& variant, long steps, bool onX) {
  bool all = !variant.runs.empty();
  for (const Run& run : variant.runs) {
    all = all && run.ok && run.steps == steps && (!onX || run.displayWrites >= steps);
  }
  return all;
}

std::string rate(const Variant& variant) {
  return bench::spread(summary(variant, [](const Run& r) { return r.thousandStepsPerSecond(); }),
                       "%.1f", "");
}

double kibPerStep(const Run& run) {
  return static_cast<double>(run.displayBytes) / static_cast<double>(run.steps) / 1024;
}

double processorPercent(const Run& run) {
  return 100 * run.cpuSeconds / run.seconds;
}

double runHeadless() {
  forms::headless::HeadlessRuntime runtime;
  Corvane form(runtime);
  form.Form_Load();
  form.txtNumDisks.setText("7");
  form.txtDelay.setText("0");
  const long before = runtime.pumps();
  const double start = bench::wallSeconds();
  runtime.dispatch([&form] { form.cmdMoves_Click(); });
  const double seconds = bench::wallSeconds() - start;
  // At delay 0 every step is one pump.
  return static_cast<double>(runtime.pumps() - before) / seconds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--trial") == 0) {
    return trial(argc, argv);
  }
  std::string screen = "?";
  std::string base;
  std::string baseName = "before";
  bool headless = false;
  bool sharedMemory = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--headless") {
      headless = true;
    } else if (arg == "--x-shared-memory") {
      sharedMemory = true;
    } else if (arg == "--base" && i + 1 < argc) {
      base = argv[++i];
    } else if (arg == "--base-name" && i + 1 < argc) {
      baseName = argv[++i];
    } else {
      screen = arg;
    }
  }
  const bool onX = std::getenv("QT_QPA_PLATFORM") != nullptr &&
                   std::strcmp(std::getenv("QT_QPA_PLATFORM"), "xcb") == 0;
  const std::string self = argv[0];
  const std::string before = baseName + ": ";

  // Delay 0: this build and the earlier one, also through X shared memory.
  Variant ours{self, {}, {}, {}};
  Variant old{base, {}, {}, {}};
  Variant oursShared{self, {"--x-shared-memory"}, {}, {}};
  Variant oldShared{base, {"--x-shared-memory"}, {}, {}};
  std::vector<Variant*> variants{&ours};
  if (!base.empty()) {
    variants.push_back(&old);
  }
  if (onX && sharedMemory) {
    variants.push_back(&oursShared);
    if (!base.empty()) {
      variants.push_back(&oldShared);
    }
  }
  alternate(variants, kTrials);

  const bench::Summary speed =
      summary(ours, [](const Run& r) { return r.thousandStepsPerSecond(); });
  const double bound = onX ? 100 : 250;
  std::string side = base.empty() ? "" : before + rate(old) + "<br>";
  side += "steps per run " + std::to_string(kSevenDiskSteps) +
          (onX ? ", each sent to the display" : "") +
          (complete(ours, kSevenDiskSteps, onX) ? "" : " (incomplete!)");
  bench::row(
      "Seven-disk run, delay 0: thousand steps/s (" + std::to_string(kTrials) + " runs each)",
      screen, bench::spread(speed, "%.1f", ""), side, "≥ " + bench::format("%.0f", bound),
      bench::atLeast(speed.median, bound, "%.1f", "k"));

  if (onX) {
    const bench::Summary bytes = summary(ours, kibPerStep);
    const std::string sideBytes =
        base.empty() ? "—" : before + bench::spread(summary(old, kibPerStep), "%.2f", "");
    bench::row("Same runs: KiB written to the display connection per step", screen,
               bench::spread(bytes, "%.2f", ""), sideBytes, "≤ 4",
               bench::atMost(bytes.median, 4, "%.2f", " KiB"));
  }
  if (onX && sharedMemory) {
    bench::row("Same runs through X shared memory, as Qt does by default: thousand steps/s", screen,
               rate(oursShared), base.empty() ? "—" : before + rate(oldShared), "—", "—");
  }

  // The first steps, with the whole window repainted at every step.
  Variant prefix{self, {"--steps", std::to_string(kPrefixSteps)}, {}, {}};
  Variant whole{self, {"--steps", std::to_string(kPrefixSteps), "--whole-window"}, {}, {}};
  alternate({&prefix, &whole}, kPrefixTrials);
  const auto perSecond = [](const Run& r) { return r.thousandStepsPerSecond(); };
  const bench::Summary o = summary(prefix, perSecond);
  const bench::Summary w = summary(whole, perSecond);
  bench::row("First " + std::to_string(kPrefixSteps) + " steps of that run: thousand steps/s (" +
                 std::to_string(kPrefixTrials) + " runs each)",
             screen, "changed pixels: " + bench::spread(o, "%.1f", ""),
             "whole window per step: " + bench::spread(w, "%.2f", "") + "; ratio of medians " +
                 bench::format("%.0f", o.median / w.median) + "×",
             "—", "—");

  // A run at its usual pace: the processor share of painting a step and pausing after it.
  if (onX) {
    const std::vector<std::string> paced{"--steps", std::to_string(kPacedSteps), "--delay", "0.05"};
    Variant oursPaced{self, paced, {}, {}};
    Variant oldPaced{base, paced, {}, {}};
    std::vector<std::string> wakeArguments = paced;
    wakeArguments.emplace_back("--wake-only");
    Variant wakeOnlyPaced{self, wakeArguments, {}, {}};
    std::vector<std::string> stripArguments = paced;
    stripArguments.emplace_back("--strip-only");
    Variant stripOnlyPaced{self, stripArguments, {}, {}};
    std::vector<Variant*> pacedVariants{&oursPaced, &wakeOnlyPaced, &stripOnlyPaced};
    if (!base.empty()) {
      pacedVariants.push_back(&oldPaced);
    }
    alternate(pacedVariants, kPacedTrials);
    const bench::Summary share = summary(oursPaced, processorPercent);
    const std::string floor =
        "waking alone at that pace: " +
        bench::spread(summary(wakeOnlyPaced, processorPercent), "%.2f", " %") +
        "<br>a plain Qt window of that size, sending a strip of 100 × 3 pixels after each "
        "pause: " +
        bench::spread(summary(stripOnlyPaced, processorPercent), "%.2f", " %") +
        (complete(stripOnlyPaced, kPacedSteps, true) ? "" : " (incomplete!)");
    bench::row(
        "Seven-disk run, delay 0.05 s, first " + std::to_string(kPacedSteps) +
            " steps: processor share, % of a core (" + std::to_string(kPacedTrials) + " runs each)",
        screen, bench::spread(share, "%.2f", " %"),
        (base.empty()
             ? ""
             : before + bench::spread(summary(oldPaced, processorPercent), "%.2f", " %") + "<br>") +
            floor,
        "≤ 0.3 %", bench::atMost(share.median, 0.3, "%.2f", " %"));
  }

  if (headless) {
    std::vector<double> logic;
    for (int t = 0; t < kTrials; ++t) {
      logic.push_back(runHeadless() / 1000);
    }
    bench::row("Seven-disk run, delay 0: thousand steps/s (" + std::to_string(kTrials) + " runs)",
               "headless (logic only)", bench::spread(bench::summarize(logic), "%.0f", ""), "—",
               "—", "—");
  }
  return 0;
}
