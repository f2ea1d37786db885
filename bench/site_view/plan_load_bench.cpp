// How fast and how lean a large plan loads, on the three kinds of plan the
// codec is measured on (bench/plans), each 10000 pixels square (300 MB):
//  - loading the bitmap: the site view's reader against Qt's BMP reader (what
//    the view used before, picture at 4 bytes a pixel);
//  - opening its projection file: the time until the picture is whole and on
//    screen, until the window takes taps (the side files written, their
//    commit handed back), and until the side files are durable too, against
//    the way it was done before (block to the "c" file, expanded to the "b" file, that
//    bitmap read by Qt's reader);
//  - saving it, against writing the bytes a save writes durably;
//  - a memcpy of as many bytes, into memory held and into memory made anew.
// Each benchmark also reports its own memory peak above what the process
// held before it (VmHWM, reset through /proc/self/clear_refs), and the
// program ends with every time as a ratio against the baselines of the same
// run, with the machine's load.
//
// VELKARO_BENCH_PLAN_SIDE changes the side (for a quick run).
#include "bench/plans/plan_bitmap.h"
#include "gui/site_view/plan_bitmap.h"
#include "gui/site_view/plan_load.h"
#include "platform/atomic_file.h"
#include "platform/memory.h"
#include "simulator/demo_site.h"
#include "site/site_projection.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include <QImageReader>

#include <benchmark/benchmark.h>

namespace velkaro::bench {
namespace {

struct PlanKind {
  const char* name;
  std::vector<uint8_t> (*make)(int width, int height, uint32_t seed);
  uint32_t seed;
};

const PlanKind kPlans[] = {
    {"flat", MakePlanBitmap, 2024},
    {"drawing", MakeScannedDrawingBitmap, 7},
    {"aerial", MakeAerialBitmap, 11},
};
constexpr int kPlanCount = static_cast<int>(std::size(kPlans));

int PlanSide() {
  const char* side = std::getenv("VELKARO_BENCH_PLAN_SIDE");
  return side && std::atoi(side) > 0 ? std::atoi(side) : 10000;
}

const std::filesystem::path& Folder() {
  static const std::filesystem::path dir = [] {
    auto made = std::filesystem::temp_directory_path() /
                ("velkaro-bench-load-" + std::to_string(::getpid()));
    std::filesystem::create_directories(made);
    return made;
  }();
  return dir;
}

// The plan bitmap of one kind, written once.
const std::string& PlanPath(int kind) {
  static std::string paths[kPlanCount];
  if (paths[kind].empty()) {
    const PlanKind& plan = kPlans[kind];
    const std::vector<uint8_t> bytes = plan.make(PlanSide(), PlanSide(), plan.seed);
    const std::string path = (Folder() / (std::string(plan.name) + ".bmp")).string();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out.flush()) std::abort();
    paths[kind] = path;
  }
  return paths[kind];
}

// Five points on the demo site's geocode, over the plan of one kind.
void TakePoints(CSiteProjection& projection, int kind) {
  const int side = PlanSide();
  const int xs[] = {side / 10, side / 5, side / 3, side / 2, side * 4 / 5};
  const int ys[] = {side * 4 / 5, side / 2, side / 4, side / 3, side / 8};
  const board::DemoSite& site = board::BuiltInDemoSite();
  for (int i = 0; i < 5; ++i) {
    projection.m_taps.push_back({xs[i], ys[i], site.Lat(ys[i]), site.Lon(xs[i]), 0});
  }
  projection.UsePlan(PlanPath(kind));
}

// A projection file holding the plan, saved as the program saves one. The
// solve writes its dump into the current folder, so the save runs in the
// benchmark's own folder.
const std::string& ProjectionPath(int kind) {
  static std::string paths[kPlanCount];
  if (paths[kind].empty()) {
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(Folder());
    CSiteProjection projection;
    TakePoints(projection, kind);
    const std::string file = (Folder() / (std::string(kPlans[kind].name) + ".vlk")).string();
    const SiteOutcome saved = projection.Save(file);
    for (const std::string& text : saved.messages()) std::fprintf(stderr, "%s\n", text.c_str());
    if (!saved.ok()) std::abort();
    std::filesystem::current_path(previous);
    paths[kind] = file;
  }
  return paths[kind];
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

void Report(benchmark::State& state, const PeakMeter& meter, const std::string& measured) {
  const double bytes = double(std::filesystem::file_size(measured));
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
  state.counters["peak_MB"] = meter.AboveBaseMb();
  state.counters["file_MB"] = bytes / (1024.0 * 1024.0);
  state.SetLabel(kPlans[state.range(0)].name);
}

QImage ReadWithQt(const std::string& path) {
  QImageReader reader(QString::fromStdString(path), "bmp");
  QImage image;
  if (!reader.read(&image)) return {};
  return image.convertToFormat(QImage::Format_RGB32);  // as the view held it
}

void BM_LoadPlan_SiteView(benchmark::State& state) {
  const std::string& path = PlanPath(int(state.range(0)));
  PeakMeter meter;
  for (auto _ : state) {
    LoadedPlan plan = LoadPlanBitmap(path);
    if (!plan.status.ok()) state.SkipWithError("the plan did not load");
    benchmark::DoNotOptimize(plan.image.constBits());
  }
  Report(state, meter, path);
}

void BM_LoadPlan_QtReader(benchmark::State& state) {
  const std::string& path = PlanPath(int(state.range(0)));
  PeakMeter meter;
  for (auto _ : state) {
    QImage image = ReadWithQt(path);
    if (image.isNull()) state.SkipWithError("Qt's reader refused the plan");
    benchmark::DoNotOptimize(image.constBits());
  }
  Report(state, meter, path);
}

// Replacing a shown plan with another: the old stays until the new is ready.
void BM_ReplacePlan_SiteView(benchmark::State& state) {
  const std::string& path = PlanPath(int(state.range(0)));
  QImage shown = LoadPlanBitmap(path).image;
  PeakMeter meter;
  for (auto _ : state) {
    LoadedPlan plan = LoadPlanBitmap(path);
    shown = std::move(plan.image);
    benchmark::DoNotOptimize(shown.constBits());
  }
  Report(state, meter, path);
}

// Opening a projection file as the site view does: the block expanded
// straight into the picture and the "b" side file, then both side files
// made durable. shown_ms is when the picture was whole, accepted_ms when
// the load handed back the side files' commit (the window takes taps from
// then); the time of the run is until they are durable.
void BM_OpenProjection_SiteView(benchmark::State& state) {
  const std::string& path = ProjectionPath(int(state.range(0)));
  PeakMeter meter;
  double shown_ms = 0;
  double accepted_ms = 0;
  const auto ms = [](auto from, auto to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
  };
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    auto shown = start;
    PlanLoad load = LoadProjectionFile(
        path, {}, [&](const QImage&) { shown = std::chrono::steady_clock::now(); },
        SideFilesCommit::kByCaller);
    const auto accepted = std::chrono::steady_clock::now();
    if (!load.plan.status.ok()) state.SkipWithError("the projection file did not open");
    if (shown == start) state.SkipWithError("the picture was not built while expanding");
    if (!load.side_files.pending()) state.SkipWithError("the side files were committed early");
    if (!load.side_files.Commit().ok()) state.SkipWithError("the side files were not committed");
    shown_ms += ms(start, shown);
    accepted_ms += ms(start, accepted);
    benchmark::DoNotOptimize(load.plan.image.constBits());
  }
  state.counters["shown_ms"] = shown_ms / double(state.iterations());
  state.counters["accepted_ms"] = accepted_ms / double(state.iterations());
  Report(state, meter, PlanPath(int(state.range(0))));
}

// The way it was done before: the block copied out, expanded to the "b"
// file, that file read by Qt's reader.
void BM_OpenProjection_QtReader(benchmark::State& state) {
  const std::string& path = ProjectionPath(int(state.range(0)));
  PeakMeter meter;
  for (auto _ : state) {
    CSiteProjection projection;
    if (!projection.Load(path).ok()) state.SkipWithError("the projection file did not open");
    QImage image = ReadWithQt(projection.m_strPlanPath);
    if (image.isNull()) state.SkipWithError("Qt's reader refused the plan");
    benchmark::DoNotOptimize(image.constBits());
  }
  Report(state, meter, PlanPath(int(state.range(0))));
}

// Saving the plan as the program does: compressed to its block side file,
// then the projection file and its points, each made durable.
void BM_SaveProjection_SiteView(benchmark::State& state) {
  const int kind = int(state.range(0));
  ProjectionPath(kind);  // the plan's own files, made once
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(Folder());
  CSiteProjection projection;
  TakePoints(projection, kind);
  const std::string file = (Folder() / "saved.vlk").string();
  PeakMeter meter;
  for (auto _ : state) {
    if (!projection.Save(file).ok()) state.SkipWithError("the save failed");
  }
  std::filesystem::current_path(previous);
  Report(state, meter, file);
}

// The floor of a save: the bytes it writes (its block side file and the
// projection file), from memory, each file written and made durable as the
// program's writers do.
void BM_Baseline_DurableWrite(benchmark::State& state) {
  const int kind = int(state.range(0));
  const std::string& vlk = ProjectionPath(kind);
  const size_t block = std::filesystem::file_size(PlanPath(kind) + "c");
  const size_t file = std::filesystem::file_size(vlk);
  std::vector<uint8_t> bytes(std::max(block, file), 0x5A);
  const std::string target = (Folder() / "floor").string();
  PeakMeter meter;
  for (auto _ : state) {
    if (WriteFileAtomically(target + ".c", bytes.data(), block) != FileErrorCause::kNone ||
        WriteFileAtomically(target + ".vlk", bytes.data(), file) != FileErrorCause::kNone)
      state.SkipWithError("the write failed");
  }
  Report(state, meter, vlk);
}

// As many bytes copied between two buffers already in memory: the memory's
// own speed, with no page to fault in; or, `into_new_memory`, into memory
// made anew for each copy, as a picture is: the floor of loading a plan
// into memory the process did not hold, where faulting the pages in costs
// more than the copy (on a virtual machine whose host backs them anew,
// several times more).
void CopyPlanBytes(benchmark::State& state, bool into_new_memory) {
  const std::string& path = PlanPath(int(state.range(0)));
  const size_t size = std::filesystem::file_size(path);
  const std::vector<uint8_t> from(size, 1);
  std::vector<uint8_t> held(into_new_memory ? 0 : size, 0);
  PeakMeter meter;
  for (auto _ : state) {
    PageBuffer fresh =
        into_new_memory ? PageBuffer(size, PageBuffer::Faults::kUpFront) : PageBuffer();
    uint8_t* const to = into_new_memory ? fresh.data() : held.data();
    if (to == nullptr) {
      state.SkipWithError("no memory");
      break;
    }
    std::memcpy(to, from.data(), size);
    benchmark::DoNotOptimize(to);
    benchmark::ClobberMemory();
  }
  Report(state, meter, path);
}

void BM_Baseline_Memcpy(benchmark::State& state) { CopyPlanBytes(state, false); }
void BM_Baseline_MemcpyToNewMemory(benchmark::State& state) { CopyPlanBytes(state, true); }

void MediansOfFive(benchmark::internal::Benchmark* b) {
  b->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
}

void EachKind(benchmark::internal::Benchmark* b) {
  for (int kind = 0; kind < kPlanCount; ++kind) b->Arg(kind);
  MediansOfFive(b);
}

void FlatOnly(benchmark::internal::Benchmark* b) { MediansOfFive(b->Arg(0)); }

BENCHMARK(BM_LoadPlan_SiteView)->Apply(EachKind);
BENCHMARK(BM_LoadPlan_QtReader)->Apply(EachKind);
BENCHMARK(BM_OpenProjection_SiteView)->Apply(EachKind);
BENCHMARK(BM_OpenProjection_QtReader)->Apply(EachKind);
BENCHMARK(BM_SaveProjection_SiteView)->Apply(EachKind);
BENCHMARK(BM_Baseline_DurableWrite)->Apply(EachKind);
BENCHMARK(BM_ReplacePlan_SiteView)->Apply(FlatOnly);
BENCHMARK(BM_Baseline_Memcpy)->Apply(FlatOnly);
BENCHMARK(BM_Baseline_MemcpyToNewMemory)->Apply(FlatOnly);

// Keeps each benchmark's medians for the closing table.
class LoadReporter : public benchmark::ConsoleReporter {
 public:
  struct Median {
    double ms = 0, peak_mb = 0, shown_ms = 0, accepted_ms = 0;
  };

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.aggregate_name != "median") continue;
      Median& m = medians_[run.run_name.function_name + "/" + run.report_label];
      m.ms = run.GetAdjustedRealTime();
      if (auto it = run.counters.find("peak_MB"); it != run.counters.end()) m.peak_mb = it->second;
      if (auto it = run.counters.find("shown_ms"); it != run.counters.end())
        m.shown_ms = it->second;
      if (auto it = run.counters.find("accepted_ms"); it != run.counters.end())
        m.accepted_ms = it->second;
    }
  }

  // Every figure of a load against its baselines, with the goal it is held
  // to: on screen within 400 ms of the choice, a bitmap read within 3x a
  // memcpy of its bytes, a projection file taking taps within 800 ms, at 3
  // bytes a pixel. When its side files are durable is shown with no goal.
  void PrintRatios() const {
    double load[3] = {};
    if (getloadavg(load, 3) != 3) load[0] = load[1] = load[2] = -1;
    const double side = PlanSide();
    const double picture_mb = side * (std::ceil(side * 3 / 4.0) * 4) / (1024.0 * 1024.0);
    const Median copy = Find("BM_Baseline_Memcpy", "flat");
    const Median fresh_copy = Find("BM_Baseline_MemcpyToNewMemory", "flat");
    std::printf("\nPlans of %.0f x %.0f pixels, 24-bit (%.0f MB); medians of 5\n", side, side,
                picture_mb);
    std::printf("%-44s %8s %8s %8s %10s\n", "figure", "ms/MB", "base", "ratio", "goal");
    auto row = [](const std::string& label, double value, double base, double goal) {
      char verdict[32] = "";
      if (goal > 0 && value > 0)
        std::snprintf(verdict, sizeof verdict, "%6.0f %s", goal, value <= goal ? "met" : "NOT met");
      if (base > 0) {
        std::printf("%-44s %8.0f %8.0f %7.2fx %s\n", label.c_str(), value, base, value / base,
                    verdict);
      } else {
        std::printf("%-44s %8.0f %8s %8s %s\n", label.c_str(), value, "-", "-", verdict);
      }
    };
    for (const PlanKind& kind : kPlans) {
      const std::string name = kind.name;
      const Median ours = Find("BM_LoadPlan_SiteView", name);
      const Median qt = Find("BM_LoadPlan_QtReader", name);
      const Median open = Find("BM_OpenProjection_SiteView", name);
      const Median before = Find("BM_OpenProjection_QtReader", name);
      row(name + " load ms / Qt's reader", ours.ms, qt.ms, 400);
      row(name + " load ms / memcpy", ours.ms, copy.ms, 3 * copy.ms);
      row(name + " load ms / memcpy into new memory", ours.ms, fresh_copy.ms, 0);
      row(name + " load peak MB / Qt's reader", ours.peak_mb, qt.peak_mb, picture_mb * 1.02);
      row(name + " open, shown ms / before", open.shown_ms, before.ms, 400);
      row(name + " open, taps accepted ms / before", open.accepted_ms, before.ms, 800);
      row(name + " open, side files durable ms / before", open.ms, before.ms, 0);
      // The picture, and the expander's round buffers beside it: two sets of
      // up to eight stretches of codes and their output, faulted in before
      // the workers start (in huge pages where they come cheaply).
      constexpr double kExpanderBuffersMb = 16;
      row(name + " open peak MB / before", open.peak_mb, before.peak_mb,
          picture_mb * 1.02 + kExpanderBuffersMb);
      const Median floor = Find("BM_Baseline_DurableWrite", name);
      row(name + " save ms / durable write of its bytes",
          Find("BM_SaveProjection_SiteView", name).ms, floor.ms, 1.5 * floor.ms);
    }
    row("flat replace, peak MB above the old plan", Find("BM_ReplacePlan_SiteView", "flat").peak_mb,
        0, picture_mb * 1.02);
    row("baseline: memcpy of as many bytes, ms", copy.ms, 0, 0);
    row("baseline: the same into new memory, ms", fresh_copy.ms, 0, 0);
    std::printf("load average at the end: %.2f %.2f %.2f\n", load[0], load[1], load[2]);
  }

 private:
  Median Find(const std::string& function, const std::string& kind) const {
    const auto it = medians_.find(function + "/" + kind);
    return it == medians_.end() ? Median{} : it->second;
  }
  std::map<std::string, Median> medians_;
};

}  // namespace
}  // namespace velkaro::bench

int main(int argc, char** argv) {
  QImageReader::setAllocationLimit(2048);  // Qt's reader refuses the plan otherwise
  benchmark::Initialize(&argc, argv);
  velkaro::bench::LoadReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  std::filesystem::remove_all(velkaro::bench::Folder());
  benchmark::Shutdown();
  return 0;
}
