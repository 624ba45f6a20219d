// Seven-disk runs on the real window, every step shown. Each run is a process of its own,
// started in turn with the runs it is compared with: this build; the same benchmark built on an
// earlier commit (--base); both through X shared memory; the whole window repainted at every
// step; a run paced at 0.05 s, beside the floors under it: waking alone, and a plain window that
// shows a strip after each pause.
// With --headless, the same run on the headless runtime: the program's logic alone.
// With --x11 DISPLAY, on a Wayland compositor: the run's processor and wall time, shown and
// minimised, and the paced run's share beside the same runs on that X server, in turns.
//   bench_run SCREEN-LABEL [--base PATH --base-name NAME] [--headless] [--x-shared-memory]
//                          [--x11 DISPLAY]
// One run, as each child process makes it: bench_run --trial ... (run_trial.h).

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "bench/run_children.h"
#include "bench/run_trial.h"
#include "board/corvane.h"
#include "forms/headless/headless_runtime.h"

using bench::alternate;
using bench::complete;
using bench::Run;
using bench::summary;
using bench::Variant;

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

std::string seconds(const Variant& variant, double Run::*value) {
  return bench::spread(summary(variant, [value](const Run& r) { return r.*value; }), "%.3f", " s");
}

// On a Wayland compositor, beside the same runs on an X server.
void waylandRows(const std::string& self, const std::string& base, const std::string& before,
                 const std::string& x11Display, const std::string& screen) {
  const std::vector<std::string> onX11{"DISPLAY=" + x11Display, "QT_QPA_PLATFORM=xcb",
                                       "WAYLAND_DISPLAY="};
  const std::string x11 = "the same on X11 (Xvfb), in turns: ";

  Variant ours{self, {}, {}, {}};
  Variant old{base, {}, {}, {}};
  Variant oursX11{self, {}, onX11, {}};
  Variant minimised{self, {"--minimised"}, {}, {}};
  std::vector<Variant*> variants{&ours, &oursX11, &minimised};
  if (!base.empty()) {
    variants.push_back(&old);
  }
  alternate(variants, kTrials);
  const bench::Summary cpu = summary(ours, [](const Run& r) { return r.cpuSeconds; });
  const bench::Summary cpuX11 = summary(oursX11, [](const Run& r) { return r.cpuSeconds; });
  const double ratio = cpu.median / cpuX11.median;
  const auto all = [](const Variant& v) {
    return complete(v, kSevenDiskSteps, false) ? "" : " (incomplete!)";
  };
  bench::row("Seven-disk run, delay 0: processor time of the program; wall time (" +
                 std::to_string(kTrials) + " runs each)",
             screen,
             seconds(ours, &Run::cpuSeconds) + "; " + seconds(ours, &Run::seconds) + all(ours),
             x11 + seconds(oursX11, &Run::cpuSeconds) + "; " + seconds(oursX11, &Run::seconds) +
                 all(oursX11) + "; ratio of processor times " + bench::format("%.2f", ratio) + "×" +
                 (base.empty() ? ""
                               : "<br>" + before + seconds(old, &Run::cpuSeconds) + "; " +
                                     seconds(old, &Run::seconds) + all(old)),
             "processor time ≤ 1.5× X11", bench::atMost(ratio, 1.5, "%.2f", "×"));
  bench::row(
      "Same run with the window minimised, no frames from the compositor: processor "
      "time; wall time",
      screen,
      seconds(minimised, &Run::cpuSeconds) + "; " + seconds(minimised, &Run::seconds) +
          all(minimised),
      x11 + "shown: " + seconds(oursX11, &Run::cpuSeconds) + "; " + seconds(oursX11, &Run::seconds),
      "—", "—");

  const std::vector<std::string> paced{"--steps", std::to_string(kPacedSteps), "--delay", "0.05"};
  std::vector<std::string> stripArguments = paced;
  stripArguments.emplace_back("--strip-only");
  std::vector<std::string> wakeArguments = paced;
  wakeArguments.emplace_back("--wake-only");
  Variant oursPaced{self, paced, {}, {}};
  Variant oldPaced{base, paced, {}, {}};
  Variant x11Paced{self, paced, onX11, {}};
  Variant stripPaced{self, stripArguments, {}, {}};
  Variant stripX11Paced{self, stripArguments, onX11, {}};
  Variant wakePaced{self, wakeArguments, {}, {}};
  std::vector<Variant*> pacedVariants{&oursPaced, &stripPaced, &x11Paced, &stripX11Paced,
                                      &wakePaced};
  if (!base.empty()) {
    pacedVariants.push_back(&oldPaced);
  }
  alternate(pacedVariants, kPacedTrials);
  const bench::Summary share = summary(oursPaced, processorPercent);
  const bench::Summary floor = summary(stripPaced, processorPercent);
  const double overFloor = share.median / floor.median;
  const auto percent = [](const Variant& v) {
    return bench::spread(summary(v, processorPercent), "%.2f", " %") +
           (complete(v, kPacedSteps, false) ? "" : " (incomplete!)");
  };
  bench::row(
      "Seven-disk run, delay 0.05 s, first " + std::to_string(kPacedSteps) +
          " steps: processor share, % of a core (" + std::to_string(kPacedTrials) + " runs each)",
      screen, percent(oursPaced),
      "a plain Qt window of that size on Wayland, sending a strip of 100 × 3 pixels after each "
      "pause: " +
          percent(stripPaced) + "; ratio of medians " + bench::format("%.2f", overFloor) + "×<br>" +
          (base.empty() ? "" : before + percent(oldPaced) + "<br>") + x11 + percent(x11Paced) +
          "; the plain window there: " + percent(stripX11Paced) +
          "<br>waking alone at that pace: " + percent(wakePaced),
      "≤ 1.1× the plain window; ≤ 0.5 %",
      bench::atMost(overFloor, 1.1, "%.2f", "×") + "; " +
          bench::atMost(share.median, 0.5, "%.2f", " %"));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--trial") == 0) {
    return bench::trial(argc, argv);
  }
  std::string screen = "?";
  std::string base;
  std::string baseName = "before";
  bool headless = false;
  bool sharedMemory = false;
  std::string x11Display;
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
    } else if (arg == "--x11" && i + 1 < argc) {
      x11Display = argv[++i];
    } else {
      screen = arg;
    }
  }
  const bool onX = std::getenv("QT_QPA_PLATFORM") != nullptr &&
                   std::strcmp(std::getenv("QT_QPA_PLATFORM"), "xcb") == 0;
  const std::string self = argv[0];
  const std::string before = baseName + ": ";
  if (!x11Display.empty()) {
    waylandRows(self, base, before, x11Display, screen);
    return 0;
  }

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
