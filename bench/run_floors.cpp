#include "bench/run_floors.h"

#include <QBackingStore>
#include <QImage>
#include <QWidget>
#include <algorithm>
#include <cstdio>

#include "bench/bench_util.h"
#include "bench/display_writes.h"
#include "bench/shown_window.h"
#include "forms/qt/qt_runtime.h"

namespace bench {

int wakeOnly(long wakes, double delay) {
  const KernelSleep sleep;
  const double cpu0 = cpuSeconds();
  const double wall0 = wallSeconds();
  for (long i = 0; i < wakes; ++i) {
    if (!sleep(delay)) {
      return 1;
    }
  }
  const double wall = wallSeconds() - wall0;
  const double cpu = cpuSeconds() - cpu0;
  std::printf("%ld %.9f %.9f 0 %ld\n", wakes, wall, cpu, wakes);
  return 0;
}

int stripOnly(long steps, float delay) {
  Stage sized;
  const QSize size = sized.window.size();
  sized.window.hide();
  QWidget plain;
  plain.setFixedSize(size);
  plain.show();
  Stage::settleShown(plain);
  forms::qt::QtRuntime runtime;
  QBackingStore& store = *plain.backingStore();
  watchDisplay();
  const DisplayWrites before = displayWrites();
  const double cpu0 = cpuSeconds();
  const double wall0 = wallSeconds();
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
  const double wall = wallSeconds() - wall0;
  const double cpu = cpuSeconds() - cpu0;
  const DisplayWrites after = displayWrites();
  std::printf("%ld %.9f %.9f %lld %ld\n", steps, wall, cpu, after.bytes - before.bytes,
              after.writes - before.writes);
  return 0;
}

}  // namespace bench
