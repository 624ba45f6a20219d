#include "bench/run_trial.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_util.h"
#include "bench/display_writes.h"
#include "bench/run_floors.h"
#include "bench/shown_window.h"
#include "forms/qt/application.h"

namespace bench {

namespace {

// Sits between the disks and the window: counts the steps and passes every change on, and for
// the comparison also repaints the whole window at each step. It ends the run after a given
// number of steps, as the quit button would.
class Steps final : public forms::ControlObserver {
 public:
  Steps(Stage& stage, bool wholeWindow, long limit)
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
  Stage& stage_;
  bool wholeWindow_;
  long limit_;
};

}  // namespace

int trial(int argc, char** argv) {
  long limit = 0;
  std::string delay = "0";
  bool wholeWindow = false;
  bool sharedMemory = false;
  bool floor = false;
  bool strip = false;
  bool minimised = false;
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
    } else if (arg == "--minimised") {
      // The window out of sight: a compositor then sends no frames.
      minimised = true;
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
  Stage stage;
  stage.form.txtNumDisks.setText("7");
  stage.form.txtDelay.setText(delay);
  if (minimised) {
    stage.window.showMinimized();
    // Longer than Qt's Wayland client waits for a frame before it takes the window as unseen.
    const double until = wallSeconds() + 0.3;
    while (wallSeconds() < until) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
  }
  Stage::settle();
  watchDisplay();
  Steps steps(stage, wholeWindow, limit);
  const DisplayWrites before = displayWrites();
  const double cpu0 = cpuSeconds();
  const double wall0 = wallSeconds();
  stage.runtime.dispatch([&stage] { stage.form.cmdMoves_Click(); });
  const double wall = wallSeconds() - wall0;
  const double cpu = cpuSeconds() - cpu0;
  const DisplayWrites after = displayWrites();
  std::printf("%ld %.9f %.9f %lld %ld\n", steps.steps, wall, cpu, after.bytes - before.bytes,
              after.writes - before.writes);
  return 0;
}

}  // namespace bench
