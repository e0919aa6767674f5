// Figures that hold on a shared machine. A figure is the ratio of two timings taken in one round: the
// candidate and its baseline run one right after the other, the order alternating from round to round
// (so neither always runs first, on a cold cache, or right after the other's clean-up), and the
// figure is the median of the rounds' ratios, reported with the lowest and the highest as its spread.
// A burst of other load spoils a round or two and moves the median little; targets hold on the median.
//
// In a Google Benchmark function each iteration is one round (give it ->Iterations(rounds)):
//
//   bench::Ratios ratios;
//   for (auto _ : state) {
//     const auto t = bench::TimeRound(state.iterations(), bench::WallSeconds, {candidate, baseline});
//     ratios.Add(t[0] / t[1]);
//   }
//   ratios.Report(state, "ratio");   // counters ratio (the median), ratio_low, ratio_high
#pragma once

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace bench {

// Seconds of processor time the calling thread has used: for single-threaded work, which then does
// not count the time it waited for a processor that other programs held.
inline double ThreadCpuSeconds() {
  timespec now{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Seconds of the monotonic clock: for work spread over threads, whose whole duration is the point.
inline double WallSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Times each of `cases` once on `clock` (ThreadCpuSeconds or WallSeconds), in the order given in even
// rounds and in the reverse order in odd ones, and returns their times in the order given.
inline std::vector<double> TimeRound(std::int64_t round, double (*clock)(),
                                     const std::vector<std::function<void()>>& cases) {
  std::vector<double> times(cases.size());
  for (std::size_t k = 0; k < cases.size(); ++k) {
    const std::size_t i = round % 2 == 0 ? k : cases.size() - 1 - k;
    const double start = clock();
    cases[i]();
    times[i] = clock() - start;
  }
  return times;
}

// Fixes the allocator's thresholds for the process. glibc moves its mmap threshold after each large
// free and trims the heap when its top is free, so whether a buffer of some hundred kilobytes is
// mapped afresh and faulted in page by page, or reused from the heap, depends on what ran before; two
// sizes timed in turn then differ by that history rather than by their work (page generation at two
// sizes in turn: 726,000 page faults and a growth of 2.6; with fixed thresholds 1,700 and 2.1). With
// these, large buffers are reused from the heap as small ones are. For single-threaded benchmarks
// that compare sizes; call it before the first allocation that matters.
inline void SteadyAllocator() {
  ::mallopt(M_MMAP_THRESHOLD, 32 << 20);  // the largest glibc takes
  ::mallopt(M_TRIM_THRESHOLD, 256 << 20);
}

// The ratios of the rounds of one figure.
class Ratios {
 public:
  void Add(double ratio) { values_.push_back(ratio); }
  double Last() const { return values_.empty() ? 0.0 : values_.back(); }

  // The median (of an even count, the mean of the middle two).
  double Median() const {
    std::vector<double> sorted = values_;
    std::sort(sorted.begin(), sorted.end());
    const std::size_t n = sorted.size();
    if (n == 0) return 0.0;
    return n % 2 == 1 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
  }
  double Low() const { return values_.empty() ? 0.0 : *std::min_element(values_.begin(), values_.end()); }
  double High() const { return values_.empty() ? 0.0 : *std::max_element(values_.begin(), values_.end()); }

  // Sets the counters `name` (the median), `name`_low and `name`_high.
  void Report(benchmark::State& state, const std::string& name) const {
    if (values_.empty()) return;
    state.counters[name] = Median();
    state.counters[name + "_low"] = Low();
    state.counters[name + "_high"] = High();
  }

 private:
  std::vector<double> values_;
};

}  // namespace bench
