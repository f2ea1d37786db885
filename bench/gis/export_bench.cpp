// vlk export of a 100-megapixel 24-bit plan (10000 x 10000, 300 MB as a
// bitmap) to each format, each run as its own process as a user runs
// it: the wall time of the run and the process's peak resident memory
// (ru_maxrss from wait4), which shows that the plan streams through the
// export rather than being held. VELKARO_BENCH_PLAN_SIDE sets a smaller side
// for a quick run.
#include "bench/plans/plan_bitmap.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <benchmark/benchmark.h>

namespace velkaro::bench {
namespace {

namespace fs = std::filesystem;

struct ChildRun {
  bool ok = false;
  double seconds = 0.0;
  double peak_mib = 0.0;
};

// Runs `program` (a path, or a name looked up on PATH) with `args` in `dir`,
// its output discarded.
ChildRun Run(const fs::path& dir, const std::string& program, std::vector<std::string> args) {
  args.insert(args.begin(), program);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = ::fork();
  if (child == 0) {
    if (::chdir(dir.c_str()) != 0) ::_exit(127);
    std::freopen("/dev/null", "w", stdout);
    ::execvp(program.c_str(), argv.data());
    ::_exit(127);
  }
  ChildRun run;
  int status = 0;
  struct rusage usage {};
  if (child < 0 || ::wait4(child, &status, 0, &usage) != child) return run;
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.peak_mib = static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return run;
}

ChildRun RunVlk(const fs::path& dir, std::vector<std::string> args) {
  return Run(dir, std::string(VELKARO_BIN_DIR) + "/vlk", std::move(args));
}

int PlanSide() {
  const char* side = std::getenv("VELKARO_BENCH_PLAN_SIDE");
  return side != nullptr && std::atoi(side) > 0 ? std::atoi(side) : 10000;
}

fs::path g_made;  // the scratch folder, once made; removed at exit

// The saved plan, made once: a synthetic plan and five taps on a rotated,
// sheared geocode, saved by vlk save as the program saves.
const fs::path& SavedPlan() {
  static const fs::path dir = [] {
    std::string pattern = (fs::temp_directory_path() / "velkaro-gis-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    const fs::path made = pattern;
    g_made = made;
    const int side = PlanSide();
    {
      const std::vector<uint8_t> bitmap = MakePlanBitmap(side, side, 7);
      std::FILE* f = std::fopen((made / "plan.bmp").c_str(), "wb");
      if (f == nullptr || std::fwrite(bitmap.data(), 1, bitmap.size(), f) != bitmap.size() ||
          std::fclose(f) != 0)
        std::abort();
    }
    std::FILE* taps = std::fopen((made / "taps.csv").c_str(), "w");
    if (taps == nullptr) std::abort();
    for (auto [fx, fy] : {std::pair{0.1, 0.1}, {0.9, 0.2}, {0.5, 0.5}, {0.2, 0.8}, {0.8, 0.9}}) {
      const double col = fx * side, row = fy * side;
      std::fprintf(taps, "%d,%d,%.17g,%.17g\n", static_cast<int>(col), static_cast<int>(row),
                   45.5 + 2e-7 * col - 9e-7 * row, 7.25 + 1.2e-6 * col + 3e-7 * row);
    }
    std::fclose(taps);
    if (!RunVlk(made, {"save", "taps.csv", "plan.bmp", "site.vlk"}).ok) std::abort();
    fs::remove(made / "plan.bmp");
    fs::remove(made / "plan.bmpc");
    return made;
  }();
  return dir;
}

void BM_Export(benchmark::State& state, const char* out) {
  const fs::path& dir = SavedPlan();
  for (auto _ : state) {
    const ChildRun run = RunVlk(dir, {"export", "site.vlk", out});
    if (!run.ok) {
      state.SkipWithError("vlk export failed");
      return;
    }
    state.SetIterationTime(run.seconds);
    state.counters["peak_rss_MiB"] = run.peak_mib;
    state.counters["out_MiB"] = static_cast<double>(fs::file_size(dir / out)) / (1 << 20);
    fs::remove(dir / out);
  }
  const double side = PlanSide();
  state.counters["megapixels"] = side * side / 1e6;
}

BENCHMARK_CAPTURE(BM_Export, geotiff, "site.tif")
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_Export, pdf, "site.pdf")
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_Export, mbtiles, "site.mbtiles")
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_Export, kmz, "site.kmz")
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

// The cloud-optimised GeoTIFF against GDAL's own tools on the same plan, in
// one run: vlk export (which also expands the projection file's block)
// against gdal_translate to a tiled DEFLATE GeoTIFF and gdaladdo adding the
// same overview levels, both on every core, from the plan bitmap vlk extract
// gives. vlk_over_gdal below 1 means the export is the faster.
void BM_CogAgainstGdalTools(benchmark::State& state) {
  const fs::path& dir = SavedPlan();
  if (!RunVlk(dir, {"extract", "site.vlk", "plan.bmp"}).ok) {
    state.SkipWithError("vlk extract failed");
    return;
  }
  for (auto _ : state) {
    const ChildRun expand = RunVlk(dir, {"extract", "site.vlk", "again.bmp"});
    const ChildRun cog = RunVlk(dir, {"export", "site.vlk", "site.tif"});
    const auto start = std::chrono::steady_clock::now();
    const ChildRun translate =
        Run(dir, "gdal_translate",
            {"-q", "-of", "GTiff", "-co", "TILED=YES", "-co", "COMPRESS=DEFLATE", "-co",
             "PREDICTOR=2", "-co", "NUM_THREADS=ALL_CPUS", "-co", "BIGTIFF=IF_SAFER", "plan.bmp",
             "reference.tif"});
    const ChildRun overviews =
        Run(dir, "gdaladdo",
            {"-q", "-r", "average", "--config", "COMPRESS_OVERVIEW", "DEFLATE", "--config",
             "PREDICTOR_OVERVIEW", "2", "--config", "GDAL_NUM_THREADS", "ALL_CPUS",
             "reference.tif"});
    const double gdal =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!expand.ok || !cog.ok || !translate.ok || !overviews.ok) {
      state.SkipWithError("a run failed");
      return;
    }
    state.SetIterationTime(cog.seconds);
    state.counters["vlk_export_s"] = cog.seconds;
    state.counters["of_it_expanding_s"] = expand.seconds;
    state.counters["gdal_tools_s"] = gdal;
    state.counters["vlk_over_gdal"] = cog.seconds / gdal;
    state.counters["peak_rss_MiB"] = cog.peak_mib;
    for (const char* name : {"site.tif", "reference.tif", "again.bmp"}) fs::remove(dir / name);
  }
  fs::remove(dir / "plan.bmp");
}

BENCHMARK(BM_CogAgainstGdalTools)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
}  // namespace velkaro::bench

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ignored;
  if (!velkaro::bench::g_made.empty()) std::filesystem::remove_all(velkaro::bench::g_made, ignored);
  return 0;
}
