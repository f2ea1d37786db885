#pragma once

// Google Benchmark prints every row on its own, but the codec's goals are
// ratios between rows of one run: a coder against its yardstick, measured
// seconds apart under the same load. This reporter prints the rows as the
// console reporter does, keeps each row's rate, and ends with one table of
// every ratio asked for and the machine's load at that moment.

#include <map>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

namespace velkaro::bench {

// One figure: the rate of the row named `run` (its function name, as
// registered) divided by the rate of the row named `baseline`, or, with no
// baseline, the rate itself in MB/s. `goal` is the least it should reach
// (0: none), in the same unit.
struct Figure {
  std::string label;
  std::string run;
  std::string baseline;
  double goal = 0;
  // Rates from CPU time rather than wall time: all the work of a row that
  // runs on one thread, and far less sensitive to other programs on a
  // shared machine (the console reporter measures the main thread only).
  bool cpu_time = false;
  // A ratio the row measured itself, as this counter of its median run;
  // then `baseline` is empty and the rates are not shown.
  std::string counter = "";
};

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  explicit RatioReporter(std::vector<Figure> figures) : figures_(std::move(figures)) {}
  void ReportRuns(const std::vector<Run>& runs) override;
  void Finalize() override;

 private:
  std::vector<Figure> figures_;
  // Bytes per second of wall time and of CPU time, by function name.
  std::map<std::string, double> rates_;
  std::map<std::string, double> cpu_rates_;
  std::map<std::string, benchmark::UserCounters> counters_;
  // The lowest and highest of the repetitions' counters, by function name:
  // a figure measured in pairs shows that range beside its median, since on
  // a shared machine one repetition can differ from the next by more than
  // the goal's margin.
  std::map<std::string, benchmark::UserCounters> lows_, highs_;
};

}  // namespace velkaro::bench
