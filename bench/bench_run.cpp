// A seven-disk run at delay 0 on the real window, every step painted: steps per second, with the
// paints counted; the same steps with the whole window repainted at every step, side by side;
// and, with --headless, the run on the headless runtime, the program's logic alone.
//   bench_run [SCREEN-LABEL] [--headless] [--run-only]

#include <QApplication>
#include <QEvent>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "bench/stage.h"
#include "forms/headless/headless_runtime.h"
#include "forms/qt/application.h"

namespace {

constexpr long kSevenDiskSteps = 39171;
constexpr int kTrials = 5;
// Repainting the whole window is far slower; a prefix of the run is enough to compare.
constexpr long kPrefixSteps = 3000;
constexpr int kPrefixTrials = 3;

// Sits between the disks and the window: counts the steps and passes every change on, and for
// the comparison also repaints the whole window at each step. It can end the run after a given
// number of steps, as the quit button would.
class Steps final : public forms::ControlObserver, public QObject {
 public:
  Steps(bench::Stage& stage, bool wholeWindow, long limit)
      : stage_(stage), wholeWindow_(wholeWindow), limit_(limit) {
    for (forms::PictureBox& disk : stage.form.Picture1) {
      disk.setObserver(this);
    }
    stage.window.installEventFilter(this);
  }
  ~Steps() override {
    stage_.window.removeEventFilter(this);
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

  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      ++paints;
    }
    return false;
  }

  long steps = 0;
  long paints = 0;

 private:
  bench::Stage& stage_;
  bool wholeWindow_;
  long limit_;
};

struct Run {
  double stepsPerSecond = 0;
  long steps = 0;
  long paints = 0;
};

Run runOnScreen(bool wholeWindow, long limit) {
  bench::Stage stage;
  stage.form.txtNumDisks.setText("7");
  stage.form.txtDelay.setText("0");
  bench::Stage::settle();
  Run run;
  {
    Steps steps(stage, wholeWindow, limit);
    const double start = bench::wallSeconds();
    stage.runtime.dispatch([&stage] { stage.form.cmdMoves_Click(); });
    const double seconds = bench::wallSeconds() - start;
    run = {static_cast<double>(steps.steps) / seconds, steps.steps, steps.paints};
  }
  return run;
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

std::string thousands(double stepsPerSecond) {
  return bench::format("%.1f", stepsPerSecond / 1000);
}

}  // namespace

int main(int argc, char** argv) {
  bool headless = false;
  bool compare = true;
  bool sharedMemory = false;
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--headless") == 0) {
      headless = true;
    } else if (std::strcmp(argv[i], "--run-only") == 0) {
      compare = false;
    } else if (std::strcmp(argv[i], "--x-shared-memory") == 0) {
      // For comparison: X shared memory as Qt would use it by default.
      sharedMemory = true;
    } else {
      rest.push_back(argv[i]);
    }
  }
  int restCount = static_cast<int>(rest.size());
  if (!sharedMemory) {
    forms::qt::prepareWindowSystem();
  }
  QApplication application(restCount, rest.data());
  const std::string screen = bench::screenName(restCount, rest.data());
  const bool offscreen = QGuiApplication::platformName() == QStringLiteral("offscreen");

  std::vector<double> full;
  long fewestPaints = -1;
  long fewestSteps = -1;
  bool complete = true;
  for (int t = 0; t < kTrials; ++t) {
    const Run run = runOnScreen(false, 0);
    full.push_back(run.stepsPerSecond / 1000);
    complete = complete && run.steps == kSevenDiskSteps;
    fewestSteps = fewestSteps < 0 ? run.steps : std::min(fewestSteps, run.steps);
    fewestPaints = fewestPaints < 0 ? run.paints : std::min(fewestPaints, run.paints);
  }
  const bench::Summary rate = bench::summarize(full);
  const double bound = offscreen ? 100'000 : 40'000;
  bench::row("Seven-disk run, delay 0: thousand steps/s (" + std::to_string(kTrials) + " runs)",
             screen, bench::spread(rate, "%.1f", ""),
             "steps per run " + std::to_string(fewestSteps) + (complete ? "" : " (incomplete!)") +
                 "; paints, fewest in a run " + std::to_string(fewestPaints),
             sharedMemory ? "—" : "≥ " + thousands(bound),
             sharedMemory ? "—" : bench::atLeast(rate.median, bound / 1000, "%.1f", "k"));

  std::vector<double> ours;
  std::vector<double> whole;
  for (int t = 0; compare && t < kPrefixTrials; ++t) {
    ours.push_back(runOnScreen(false, kPrefixSteps).stepsPerSecond / 1000);
    whole.push_back(runOnScreen(true, kPrefixSteps).stepsPerSecond / 1000);
  }
  const bench::Summary o = bench::summarize(ours);
  const bench::Summary w = bench::summarize(whole);
  if (compare) {
    bench::row("First " + std::to_string(kPrefixSteps) + " steps of that run: thousand steps/s (" +
                   std::to_string(kPrefixTrials) + " runs each)",
               screen, "changed rectangles: " + bench::spread(o, "%.1f", ""),
               "whole window per step: " + bench::spread(w, "%.2f", "") + "; ratio of medians " +
                   bench::format("%.0f", o.median / w.median) + "×",
               "—", "—");
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
