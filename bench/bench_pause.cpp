// The pause between animation steps, ours against the literal busy pause, side by side on the
// real window: processor share, how far past its delay a pause ends, and how soon an input
// event that arrives during a pause reaches its handler.
//   bench_pause [SCREEN-LABEL]

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <atomic>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_util.h"
#include "bench/shown_window.h"

namespace {

using Pause = std::function<void(float)>;

// The pause as first written: read the clock, pump once, compare; never waits.
void busyPause(forms::Runtime& runtime, float delay) {
  const float target = static_cast<float>(runtime.Timer()) + delay;
  float now = 0;
  do {
    now = static_cast<float>(runtime.Timer());
    QCoreApplication::processEvents(QEventLoop::AllEvents);
  } while (now < target);
}

struct Trial {
  double cpuShare = 0;
  std::vector<double> overshoots;  // seconds past the delay, one per pause
};

Trial runPauses(const Pause& pause, float delay, int count) {
  Trial trial;
  trial.overshoots.reserve(static_cast<std::size_t>(count));
  const double cpu0 = bench::cpuSeconds();
  const double wall0 = bench::wallSeconds();
  for (int i = 0; i < count; ++i) {
    const double start = bench::wallSeconds();
    pause(delay);
    trial.overshoots.push_back(bench::wallSeconds() - start - static_cast<double>(delay));
  }
  trial.cpuShare = (bench::cpuSeconds() - cpu0) / (bench::wallSeconds() - wall0);
  return trial;
}

// Input from outside the event loop: a thread writes the time of each event down a pipe at
// jittered moments; a socket notifier, as any input source would, runs a handler that notes
// how long ago that was.
class Input {
 public:
  Input() {
    if (::pipe2(fds_, O_NONBLOCK | O_CLOEXEC) != 0) {
      fds_[0] = fds_[1] = -1;
      return;
    }
    notifier_ = new QSocketNotifier(fds_[0], QSocketNotifier::Read);
    QObject::connect(notifier_, &QSocketNotifier::activated, [this] { drain(); });
  }
  ~Input() {
    delete notifier_;
    for (const int fd : fds_) {
      if (fd >= 0) {
        ::close(fd);
      }
    }
  }
  Input(const Input&) = delete;
  Input& operator=(const Input&) = delete;

  // Sends events for `seconds` while pausing again and again; returns each event's latency.
  std::vector<double> during(const Pause& pause, float delay, double seconds, unsigned seed) {
    latencies_.clear();
    std::atomic<bool> done{false};
    const int writeEnd = fds_[1];
    std::thread writer([&done, writeEnd, seconds, seed] {
      std::mt19937 random(seed);
      std::uniform_int_distribution<long> gapMicros(2000, 18000);
      const double until = bench::wallSeconds() + seconds;
      while (bench::wallSeconds() < until) {
        const timespec gap{0, gapMicros(random) * 1000};
        ::nanosleep(&gap, nullptr);
        const double sent = bench::wallSeconds();
        [[maybe_unused]] const ssize_t n = ::write(writeEnd, &sent, sizeof sent);
      }
      done = true;
    });
    while (!done) {
      pause(delay);
    }
    writer.join();
    pause(delay);
    return latencies_;
  }

 private:
  void drain() {
    double sent = 0;
    while (::read(fds_[0], &sent, sizeof sent) == static_cast<ssize_t>(sizeof sent)) {
      latencies_.push_back(bench::wallSeconds() - sent);
    }
  }

  int fds_[2] = {-1, -1};
  QSocketNotifier* notifier_ = nullptr;
  std::vector<double> latencies_;
};

std::vector<double> scaled(const std::vector<double>& values, double factor) {
  std::vector<double> result;
  result.reserve(values.size());
  for (const double v : values) {
    result.push_back(v * factor);
  }
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  bench::Stage stage;
  const std::string screen = bench::screenName(argc, argv);

  const Pause ours = [&stage](float delay) { stage.form.subDelay(delay); };
  const Pause busy = [&stage](float delay) { busyPause(stage.runtime, delay); };

  const bench::KernelSleep kernel;
  const Pause floor = [&kernel](float delay) { kernel(delay); };

  struct Setting {
    float delay;
    int trials;
    int pausesPerTrial;
    double cpuBound;  // a share of one core
  };
  for (const Setting setting : {Setting{0.05f, 5, 50, 0.03}, Setting{0.005f, 5, 100, 0.06}}) {
    // Ours, busy, kernel floor.
    const Pause* variants[3] = {&ours, &busy, &floor};
    std::vector<double> share[3], mean[3], over[3];
    for (int t = 0; t < setting.trials; ++t) {
      // A different one goes first each time, so that drifts in the machine's load hit all alike.
      for (int k = 0; k < 3; ++k) {
        const int v = (t + k) % 3;
        const Trial trial = runPauses(*variants[v], setting.delay, setting.pausesPerTrial);
        share[v].push_back(trial.cpuShare * 100);
        mean[v].push_back(bench::summarize(trial.overshoots).mean * 1e3);
        over[v].insert(over[v].end(), trial.overshoots.begin(), trial.overshoots.end());
      }
    }
    const std::string delay = bench::format("%g", static_cast<double>(setting.delay));
    const int pauses = setting.trials * setting.pausesPerTrial;
    const std::string label = "Pause " + delay + " s ×" + std::to_string(pauses);

    const bench::Summary oursShare = bench::summarize(share[0]);
    bench::row(
        label + ": processor share, % of a core (" + std::to_string(setting.trials) + " trials)",
        screen, bench::spread(oursShare, "%.2f", " %"),
        "busy: " + bench::spread(bench::summarize(share[1]), "%.1f", " %") +
            "<br>kernel timer alone: " + bench::spread(bench::summarize(share[2]), "%.2f", " %"),
        "≤ " + bench::format("%g", setting.cpuBound * 100) + " %",
        bench::atMost(oursShare.median, setting.cpuBound * 100, "%.2f", " points"));

    const auto overshoot = [&](int v) {
      return bench::spread(bench::summarize(mean[v]), "%.3f", " ms") + "; " +
             bench::format("%.3f", bench::summarize(over[v]).max * 1e3) + " ms";
    };
    const bench::Summary oursMean = bench::summarize(mean[0]);
    const double largest = bench::summarize(over[0]).max * 1e3;
    const std::string meanMet = bench::atMost(oursMean.median, 0.2, "%.3f", " ms");
    const std::string largestMet = bench::atMost(largest, 1.0, "%.3f", " ms");
    bench::row(label + ": overshoot past the delay, mean per trial; largest", screen, overshoot(0),
               "busy: " + overshoot(1) + "<br>kernel timer alone: " + overshoot(2),
               "mean ≤ 0.2 ms; largest ≤ 1 ms",
               meanMet == "yes" && largestMet == "yes"
                   ? "yes"
                   : "mean " + meanMet + "; largest " + largestMet);
  }

  Input input;
  unsigned seed = 1;
  for (const float delay : {0.05f, 0.005f}) {
    std::vector<double> o = scaled(input.during(ours, delay, 2.5, seed), 1e3);
    std::vector<double> k = scaled(input.during(busy, delay, 2.5, seed), 1e3);
    ++seed;
    const bench::Summary lo = bench::summarize(o);
    const bench::Summary lk = bench::summarize(k);
    const std::string text = bench::format("%g", static_cast<double>(delay));
    bench::row("Input during " + text + " s pauses: to its handler (" + std::to_string(o.size()) +
                   " / " + std::to_string(k.size()) + " events)",
               screen,
               bench::spread(lo, "%.3f", " ms") + ", 99th " + bench::format("%.3f", lo.p99) + " ms",
               "busy: " + bench::spread(lk, "%.3f", " ms") + ", 99th " +
                   bench::format("%.3f", lk.p99) + " ms",
               "median ≤ 0.2 ms", bench::atMost(lo.median, 0.2, "%.3f", " ms"));
  }
  return 0;
}
