#include "bench/compression/ratio_reporter.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ostream>

namespace velkaro::bench {
namespace {

[[gnu::format(printf, 2, 3)]] void Print(std::ostream& out, const char* format, ...) {
  char line[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  out << line;
}

}  // namespace

void RatioReporter::ReportRuns(const std::vector<Run>& runs) {
  ConsoleReporter::ReportRuns(runs);
  for (const Run& run : runs) {
    // With repetitions the median stands for the row; otherwise the one run.
    const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
    if (!run.error_occurred && run.run_type == Run::RT_Aggregate) {
      if (run.aggregate_name == "min") lows_[run.run_name.function_name] = run.counters;
      if (run.aggregate_name == "max") highs_[run.run_name.function_name] = run.counters;
    }
    if (run.error_occurred || (run.run_type != Run::RT_Iteration && !median)) continue;
    counters_[run.run_name.function_name] = run.counters;
    const auto rate = run.counters.find("bytes_per_second");
    if (rate == run.counters.end()) continue;
    rates_[run.run_name.function_name] = rate->second.value;
    // The rate counter is per second of wall time here (rows use real time).
    const double real = run.GetAdjustedRealTime();
    const double cpu = run.GetAdjustedCPUTime();
    if (real > 0 && cpu > 0)
      cpu_rates_[run.run_name.function_name] = rate->second.value * real / cpu;
  }
}

void RatioReporter::Finalize() {
  ConsoleReporter::Finalize();
  std::ostream& out = GetOutputStream();
  Print(out, "\n%-44s %9s %9s %8s %8s\n", "figure", "MB/s", "base MB/s", "ratio", "goal");
  for (const Figure& f : figures_) {
    if (!f.counter.empty()) {
      const auto row = counters_.find(f.run);
      const auto value = row == counters_.end() ? decltype(row->second)::const_iterator{}
                                                : row->second.find(f.counter);
      if (row == counters_.end() || value == row->second.end()) {
        Print(out, "%-44s (not run)\n", f.label.c_str());
        continue;
      }
      const double ratio = value->second.value;
      char goal[16] = "-";
      if (f.goal > 0) std::snprintf(goal, sizeof goal, "%.2fx", f.goal);
      const char* verdict = f.goal <= 0 ? "" : ratio >= f.goal ? " met" : " NOT met";
      char range[48] = "";
      const benchmark::UserCounters& lows = lows_[f.run];
      const benchmark::UserCounters& highs = highs_[f.run];
      const auto low = lows.find(f.counter);
      const auto high = highs.find(f.counter);
      if (low != lows.end() && high != highs.end())
        std::snprintf(range, sizeof range, "  (repetitions %.2f-%.2fx)", low->second.value,
                      high->second.value);
      char ceiling[48] = "";
      if (const auto c = row->second.find("ceiling"); c != row->second.end())
        std::snprintf(ceiling, sizeof ceiling, "  (cores' ceiling %.2fx)", c->second.value);
      Print(out, "%-44s %9s %9s %7.2fx %8s%s%s%s\n", f.label.c_str(), "-", "-", ratio, goal,
            verdict, range, ceiling);
      continue;
    }
    const std::map<std::string, double>& rates = f.cpu_time ? cpu_rates_ : rates_;
    const auto run = rates.find(f.run);
    const auto base = rates.find(f.baseline);
    const bool absolute = f.baseline.empty();
    if (run == rates.end() || (!absolute && base == rates.end())) {
      Print(out, "%-44s (not run)\n", f.label.c_str());
      continue;
    }
    const double mbps = run->second / 1e6;
    const double value = absolute ? mbps : run->second / base->second;
    const char* verdict = f.goal <= 0 ? "" : value >= f.goal ? " met" : " NOT met";
    char goal[16] = "-";
    if (f.goal > 0) std::snprintf(goal, sizeof goal, absolute ? "%.0f" : "%.2fx", f.goal);
    if (absolute) {
      Print(out, "%-44s %9.0f %9s %8s %8s%s\n", f.label.c_str(), mbps, "-", "-", goal, verdict);
    } else {
      Print(out, "%-44s %9.0f %9.0f %7.2fx %8s%s\n", f.label.c_str(), mbps, base->second / 1e6,
            value, goal, verdict);
    }
  }
  double load[3] = {};
  if (getloadavg(load, 3) == 3)
    Print(out, "load average at the end: %.2f %.2f %.2f\n", load[0], load[1], load[2]);
  out.flush();
}

}  // namespace velkaro::bench
