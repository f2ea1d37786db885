// How fast and how lean a large plan loads: the site view's reader against
// Qt's BMP reader (what the view used before, picture at 4 bytes a pixel),
// reading the file's bytes into memory, and a memcpy of as many bytes. Each
// benchmark also reports its own memory peak above what the process held
// before it (VmHWM, reset through /proc/self/clear_refs), and the program
// ends with every time as a ratio against the baselines of the same run.
//
// The plan is a 24-bit bitmap of VELKARO_BENCH_PLAN_SIDE pixels square
// (default 10000: 300 MB), written once to the temporary folder, and saved
// once in a projection file for the open benchmarks.
#include "gui/site_view/plan_bitmap.h"
#include "gui/site_view/plan_load.h"
#include "link/gps_data.h"
#include "link/published.h"
#include "platform/message_box.h"
#include "platform/wave_player.h"
#include "site/site_projection.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include <QImageReader>

#include <benchmark/benchmark.h>

namespace {

int PlanSide() {
  const char* side = std::getenv("VELKARO_BENCH_PLAN_SIDE");
  return side && std::atoi(side) > 0 ? std::atoi(side) : 10000;
}

// A photo-like plan: smooth gradients with noise, so no reader can take a
// shortcut over flat rows.
const std::string& PlanPath() {
  static const std::string path = [] {
    const int side = PlanSide();
    const std::string file = (std::filesystem::temp_directory_path() /
                              ("velkaro-bench-plan-" + std::to_string(::getpid()) + ".bmp"))
                                 .string();
    const size_t stride = (size_t(side) * 3 + 3) / 4 * 4;
    std::vector<uint8_t> head(54, 0);
    auto put = [&](size_t at, uint32_t v) {
      for (int i = 0; i < 4; ++i) head[at + i] = uint8_t(v >> (8 * i));
    };
    head[0] = 'B';
    head[1] = 'M';
    put(2, uint32_t(54 + stride * side));
    put(10, 54);
    put(14, 40);
    put(18, uint32_t(side));
    put(22, uint32_t(side));
    head[26] = 1;
    head[28] = 24;
    std::FILE* out = std::fopen(file.c_str(), "wb");
    if (!out) std::abort();
    std::fwrite(head.data(), 1, head.size(), out);
    std::vector<uint8_t> row(stride, 0);
    uint32_t seed = 1;
    for (int y = 0; y < side; ++y) {
      for (int x = 0; x < side; ++x) {
        seed = seed * 1103515245u + 12345u;
        const int noise = int(seed >> 28);
        row[x * 3] = uint8_t((x / 40 + noise) & 0xff);
        row[x * 3 + 1] = uint8_t((y / 40 + noise) & 0xff);
        row[x * 3 + 2] = uint8_t(((x + y) / 80) & 0xff);
      }
      std::fwrite(row.data(), 1, stride, out);
    }
    std::fclose(out);
    return file;
  }();
  return path;
}

long StatusKb(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::strlen(field));
  }
  return -1;
}

// The peak resident size since the reset, above the resident size then.
class PeakMeter {
 public:
  PeakMeter() {
    std::ofstream("/proc/self/clear_refs") << "5";  // resets VmHWM to VmRSS
    base_kb_ = StatusKb("VmRSS:");
  }
  double AboveBaseMb() const { return (StatusKb("VmHWM:") - base_kb_) / 1024.0; }

 private:
  long base_kb_;
};

void Report(benchmark::State& state, const PeakMeter& meter) {
  const double bytes = std::filesystem::file_size(PlanPath());
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
  state.counters["peak_MB"] = meter.AboveBaseMb();
  state.counters["file_MB"] = bytes / (1024.0 * 1024.0);
}

void BM_LoadPlan_SiteViewReader(benchmark::State& state) {
  PlanPath();
  PeakMeter meter;
  for (auto _ : state) {
    velkaro::LoadedPlan plan = velkaro::LoadPlanBitmap(PlanPath());
    if (plan.error != 0) state.SkipWithError("the plan did not load");
    benchmark::DoNotOptimize(plan.image.constBits());
  }
  Report(state, meter);
}

void BM_LoadPlan_QtReader(benchmark::State& state) {
  PlanPath();
  PeakMeter meter;
  for (auto _ : state) {
    QImageReader reader(QString::fromStdString(PlanPath()), "bmp");
    QImage image;
    if (!reader.read(&image)) state.SkipWithError("Qt's reader refused the plan");
    image = image.convertToFormat(QImage::Format_RGB32);  // as the view held it
    benchmark::DoNotOptimize(image.constBits());
  }
  Report(state, meter);
}

// Replacing a shown plan with another: the old stays until the new is ready.
void BM_ReplacePlan_SiteViewReader(benchmark::State& state) {
  PlanPath();
  QImage shown = velkaro::LoadPlanBitmap(PlanPath()).image;
  PeakMeter meter;
  for (auto _ : state) {
    velkaro::LoadedPlan plan = velkaro::LoadPlanBitmap(PlanPath());
    shown = std::move(plan.image);
    benchmark::DoNotOptimize(shown.constBits());
  }
  Report(state, meter);
}

// The file's bytes into fresh memory, nothing decoded: what any reader pays.
void BM_Baseline_ReadFile(benchmark::State& state) {
  PlanPath();
  PeakMeter meter;
  const size_t size = std::filesystem::file_size(PlanPath());
  for (auto _ : state) {
    std::unique_ptr<uint8_t[]> bytes(new uint8_t[size]);
    const int fd = ::open(PlanPath().c_str(), O_RDONLY | O_CLOEXEC);
    size_t done = 0;
    while (done < size) {
      const ssize_t got = ::pread(fd, bytes.get() + done, size - done, off_t(done));
      if (got <= 0) break;
      done += size_t(got);
    }
    ::close(fd);
    benchmark::DoNotOptimize(bytes.get());
  }
  Report(state, meter);
}

void BM_Baseline_Memcpy(benchmark::State& state) {
  const size_t size = std::filesystem::file_size(PlanPath());
  std::unique_ptr<uint8_t[]> from(new uint8_t[size]);
  std::memset(from.get(), 1, size);
  PeakMeter meter;
  for (auto _ : state) {
    std::unique_ptr<uint8_t[]> to(new uint8_t[size]);
    std::memcpy(to.get(), from.get(), size);
    benchmark::DoNotOptimize(to.get());
  }
  Report(state, meter);
}

// A projection file holding the plan, saved as the program saves one (five
// points of a plausible geocode), in a folder of its own: the solve writes
// its dump into the current folder, and opening writes the side files.
const std::string& ProjectionPath() {
  static const std::string path = [] {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("velkaro-bench-vlk-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    velkaro::Published<velkaro::CGpsData> gps;
    velkaro::StderrMessageBox messages;
    velkaro::SilentWavePlayer waves;
    velkaro::CSiteProjection projection(gps, messages, waves);
    const int side = PlanSide();
    const int xs[] = {side / 10, side / 5, side / 3, side / 2, side * 4 / 5};
    const int ys[] = {side * 4 / 5, side / 2, side / 4, side / 3, side / 8};
    for (int i = 0; i < 5; ++i) {
      projection.m_taps.push_back(
          {xs[i], ys[i], 45.5 - ys[i] * 0.0000045, 9.1 + xs[i] * 0.0000064, 0});
    }
    projection.m_strPlanPath = PlanPath();
    const std::string file = (dir / "plan.vlk").string();
    if (!projection.Save(file)) std::abort();
    std::filesystem::current_path(previous);
    return file;
  }();
  return path;
}

// Opening a projection file as the site view does now: block copied out,
// expanded to the "b" side file, that bitmap read by the site view's reader.
void BM_OpenProjection_SiteView(benchmark::State& state) {
  ProjectionPath();
  velkaro::Published<velkaro::CGpsData> gps;
  PeakMeter meter;
  for (auto _ : state) {
    velkaro::PlanLoad load = velkaro::LoadProjectionFile(ProjectionPath(), gps, {});
    if (load.plan.error != 0) state.SkipWithError("the projection file did not open");
    benchmark::DoNotOptimize(load.plan.image.constBits());
  }
  Report(state, meter);
}

// The same with Qt's reader for the bitmap, as the view did before.
void BM_OpenProjection_QtReader(benchmark::State& state) {
  ProjectionPath();
  velkaro::Published<velkaro::CGpsData> gps;
  velkaro::StderrMessageBox messages;
  velkaro::SilentWavePlayer waves;
  PeakMeter meter;
  for (auto _ : state) {
    velkaro::CSiteProjection projection(gps, messages, waves);
    if (!projection.Load(ProjectionPath())) state.SkipWithError("the projection file did not open");
    QImageReader reader(QString::fromStdString(projection.m_strPlanPath), "bmp");
    QImage image;
    if (!reader.read(&image)) state.SkipWithError("Qt's reader refused the plan");
    image = image.convertToFormat(QImage::Format_RGB32);
    benchmark::DoNotOptimize(image.constBits());
  }
  Report(state, meter);
}

BENCHMARK(BM_OpenProjection_SiteView)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_OpenProjection_QtReader)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_LoadPlan_SiteViewReader)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_LoadPlan_QtReader)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_ReplacePlan_SiteViewReader)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_Baseline_ReadFile)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_Baseline_Memcpy)->Unit(benchmark::kMillisecond)->Repetitions(3);

// Keeps each benchmark's median time and peak for the closing ratios.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.aggregate_name != "median") continue;
      const auto peak = run.counters.find("peak_MB");
      medians_[run.run_name.function_name] = {
          run.GetAdjustedRealTime(), peak == run.counters.end() ? 0.0 : double(peak->second)};
    }
  }
  void PrintRatios() const {
    const auto opened = medians_.find("BM_OpenProjection_SiteView");
    const auto qt_opened = medians_.find("BM_OpenProjection_QtReader");
    if (opened != medians_.end() && qt_opened != medians_.end()) {
      std::printf(
          "\nmedian open of its projection file: %.0f ms, peak %.0f MB; with Qt's reader "
          "%.0f ms, peak %.0f MB; ours/Qt's time %.2f\n",
          opened->second.first, opened->second.second, qt_opened->second.first,
          qt_opened->second.second, opened->second.first / qt_opened->second.first);
    }
    const auto ours = medians_.find("BM_LoadPlan_SiteViewReader");
    if (ours == medians_.end()) return;
    std::printf("\nmedian load of a %d x %d 24-bit plan: %.0f ms, peak %.0f MB above start\n",
                PlanSide(), PlanSide(), ours->second.first, ours->second.second);
    for (const auto& [name, figures] : medians_) {
      if (name == ours->first || name.rfind("BM_OpenProjection", 0) == 0) continue;
      std::printf("  %-32s %8.0f ms  peak %6.0f MB  ours/this time %.2f\n", name.c_str(),
                  figures.first, figures.second, ours->second.first / figures.first);
    }
  }

 private:
  std::map<std::string, std::pair<double, double>> medians_;  // ms, peak MB
};

}  // namespace

int main(int argc, char** argv) {
  QImageReader::setAllocationLimit(2048);  // Qt's reader refuses the plan otherwise
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  std::filesystem::remove(PlanPath());
  std::filesystem::remove_all(std::filesystem::path(ProjectionPath()).parent_path());
  benchmark::Shutdown();
  return 0;
}
