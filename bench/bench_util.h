#pragma once

#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// What the benchmark programs share: clocks, summaries and the table they print rows of. Each
// program prints Markdown rows of one table:
//   | Benchmark | Screen | Measured | Side by side | Target | Met |
namespace bench {

inline double secondsOn(clockid_t clock) {
  timespec now{};
  ::clock_gettime(clock, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Wall time, the same clock in every thread.
inline double wallSeconds() {
  return secondsOn(CLOCK_MONOTONIC);
}
// Processor time of every thread of this process.
inline double cpuSeconds() {
  return secondsOn(CLOCK_PROCESS_CPUTIME_ID);
}

// The floor under any pause on this machine: the kernel's own wake-up at an absolute deadline,
// with no event handling at all.
class KernelSleep {
 public:
  KernelSleep() : fd_(::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC)) {}
  ~KernelSleep() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  KernelSleep(const KernelSleep&) = delete;
  KernelSleep& operator=(const KernelSleep&) = delete;

  // Whether it slept.
  bool operator()(double delay) const {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const long total = now.tv_nsec + static_cast<long>(delay * 1e9);
    itimerspec deadline{};
    deadline.it_value.tv_sec = now.tv_sec + total / 1'000'000'000L;
    deadline.it_value.tv_nsec = total % 1'000'000'000L;
    std::uint64_t expirations = 0;
    return fd_ >= 0 && ::timerfd_settime(fd_, TFD_TIMER_ABSTIME, &deadline, nullptr) == 0 &&
           ::read(fd_, &expirations, sizeof expirations) > 0;
  }

 private:
  int fd_;
};

struct Summary {
  double median = 0;
  double min = 0;
  double max = 0;
  double mean = 0;
  // The 99th percentile, nearest rank.
  double p99 = 0;
};

inline Summary summarize(std::vector<double> values) {
  Summary s;
  if (values.empty()) {
    return s;
  }
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  s.median = n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
  s.min = values.front();
  s.max = values.back();
  double sum = 0;
  for (const double v : values) {
    sum += v;
  }
  s.mean = sum / static_cast<double>(n);
  const auto rank = static_cast<std::size_t>(static_cast<double>(n) * 0.99 + 0.999999);
  s.p99 = values[std::clamp<std::size_t>(rank, 1, n) - 1];
  return s;
}

inline std::string format(const char* pattern, double value) {
  char text[64];
  std::snprintf(text, sizeof text, pattern, value);
  return text;
}

// "median (min–max)" of a summary, each with `pattern`, followed by `unit`.
inline std::string spread(const Summary& s, const char* pattern, const std::string& unit) {
  return format(pattern, s.median) + unit + " (" + format(pattern, s.min) + "–" +
         format(pattern, s.max) + ")";
}

// "yes", or by how much the value misses an upper or lower bound.
inline std::string atMost(double value, double bound, const char* pattern,
                          const std::string& unit) {
  if (value <= bound) {
    return "yes";
  }
  return "no, " + format(pattern, value - bound) + unit + " over";
}
inline std::string atLeast(double value, double bound, const char* pattern,
                           const std::string& unit) {
  if (value >= bound) {
    return "yes";
  }
  return "no, " + format(pattern, bound - value) + unit + " short";
}

inline void row(const std::string& benchmark, const std::string& screen,
                const std::string& measured, const std::string& sideBySide,
                const std::string& target, const std::string& met) {
  std::printf("| %s | %s | %s | %s | %s | %s |\n", benchmark.c_str(), screen.c_str(),
              measured.c_str(), sideBySide.c_str(), target.c_str(), met.c_str());
  std::fflush(stdout);
}

}  // namespace bench
