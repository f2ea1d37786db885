// Compress and expand of three kinds of plan, file to file through plain
// streams, beside memcpy of the same bytes and zlib's Huffman-only deflate
// and inflate of the same files through the same kind of streams; and on
// one thread memory to memory, the coder alone, beside zlib's the same. Every
// rate is in bytes of the bitmap per second of wall time (the codec may use
// more than one thread), so the rows compare directly; the run ends with the
// table of ratios the codec's goals are stated in, and with what two threads
// give on this machine at all: for a compute loop, and for two one-thread
// runs of the same work at once.
#include "bench/compression/ratio_reporter.h"
#include "bench/compression/zlib_baseline.h"
#include "bench/plans/plan_bitmap.h"
#include "compression/codec_passes.h"
#include "compression/compression.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <pthread.h>
#include <sched.h>
#include <span>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include <benchmark/benchmark.h>

namespace velkaro::bench {
namespace {

struct PlanKind {
  const char* name;
  std::vector<uint8_t> (*make)(int width, int height, uint32_t seed);
  int width, height;
  uint32_t seed;
};

// The drawn plan keeps the size and seed of earlier runs (about 52 MB); the
// scanned and aerial plans are 48 MB.
const PlanKind kPlans[] = {
    {"flat", MakePlanBitmap, 4800, 3600, 2024},
    {"drawing", MakeScannedDrawingBitmap, 4000, 4000, 7},
    {"aerial", MakeAerialBitmap, 4000, 4000, 11},
};

// The codec's goals on one core, memory to memory, in MB/s of CPU time, by
// plan: the flat plan is held to the drawing's.
struct OneCoreGoal {
  double compress, expand;
};
const OneCoreGoal kOneCoreGoals[] = {{750, 950}, {750, 950}, {700, 750}};
static_assert(std::size(kOneCoreGoals) == std::size(kPlans));
// Two threads against one, in wall time.
constexpr double kTwoThreadGoal = 1.7;
constexpr int kPlanCount = static_cast<int>(std::size(kPlans));

struct Files {
  std::filesystem::path dir;
  std::string plan, block, expanded, zplan, zexpanded;
  std::vector<uint8_t> bytes;
  uint64_t block_size = 0, zlib_size = 0;
};

std::filesystem::path& TempDir() {
  static std::filesystem::path dir;
  return dir;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    std::exit(1);
  }
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Made once per kind: the plan, its block and its deflate stream, each
// checked to expand back to the plan so that no row measures a broken coder.
Files& Setup(int kind) {
  static Files* files[kPlanCount] = {};
  if (files[kind]) return *files[kind];
  const PlanKind& k = kPlans[kind];
  auto* f = new Files;
  f->dir = TempDir() / k.name;
  std::filesystem::create_directory(f->dir);
  auto in = [&](const char* name) { return (f->dir / name).string(); };
  f->plan = in("plan.bmp");
  f->block = in("plan.bmpc");
  f->expanded = in("expanded.bmp");
  f->zplan = in("plan.bmp.z");
  f->zexpanded = in("zexpanded.bmp");
  f->bytes = k.make(k.width, k.height, k.seed);
  WriteFile(f->plan, f->bytes);

  CCompression packer(f->plan, f->block);
  const CompressionOutcome packed = packer.Compress();
  CCompression expander(f->block, f->expanded);
  const CompressionOutcome expanded = expander.Decompress();
  f->zlib_size = ZlibDeflateFile(f->plan, f->zplan);
  const bool zlib_back = ZlibInflateFile(f->zplan, f->zexpanded);
  if (!packed.ok || !expanded.ok || ReadFile(f->expanded) != f->bytes || !zlib_back ||
      ReadFile(f->zexpanded) != f->bytes) {
    std::fprintf(stderr, "%s: round trip failed; no figures\n", k.name);
    std::exit(1);
  }
  f->block_size = 1032 + packed.count;
  files[kind] = f;
  return *f;
}

void Finish(benchmark::State& state, const Files& f, uint64_t out_bytes) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes.size()));
  state.counters["plan_MB"] = static_cast<double>(f.bytes.size()) / 1e6;
  state.counters["ratio"] = static_cast<double>(out_bytes) / static_cast<double>(f.bytes.size());
}

void BM_Memcpy(benchmark::State& state, int kind) {
  Files& f = Setup(kind);
  std::vector<uint8_t> copy(f.bytes.size());
  for (auto _ : state) {
    std::memcpy(copy.data(), f.bytes.data(), f.bytes.size());
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  Finish(state, f, f.bytes.size());
}

// Each row's output file is removed before the clock starts: rewriting the
// file the last iteration wrote would first wait for the disk to take those
// bytes (a truncated file's pages under writeback), and ext4 starts writing
// a file back on close when it was truncated; neither is the coder's work,
// and both come and go with the disk's queue. The output is a new file
// each time, as a projection file's side files are.
void RemoveUntimed(benchmark::State& state, const std::string& path) {
  state.PauseTiming();
  std::remove(path.c_str());
  state.ResumeTiming();
}

// The codec's own work between files opened as zlib's rows open theirs
// (plain fopen, no fsync), so each pair of rows does the same I/O. The
// program's saves and opens add a durable commit on top (platform/
// atomic_file.h), which costs the same whichever coder made the bytes.
// `threads` 0 is what CCompression does by itself: two threads where there
// are two cores (then the rows without a thread count are two threads).
struct StreamFiles {
  StreamFiles(const std::string& from, const std::string& to)
      : in(std::fopen(from.c_str(), "rb")), out(std::fopen(to.c_str(), "wb")) {}
  ~StreamFiles() {
    if (in) std::fclose(in);
    if (out) std::fclose(out);
  }
  std::FILE* in;
  std::FILE* out;
};

// `to`: the output file, when not the row's usual one.
bool CompressOnce(const Files& f, int threads, const std::string* to = nullptr) {
  CodecTuning tuning;
  tuning.threads = threads;
  const std::string& out = to ? *to : f.block;
  StreamFiles files(f.plan, out);
  CCompression c(f.plan, out);
  return files.in && files.out && CompressStreamWith(c, files.in, files.out, tuning).ok;
}

bool ExpandOnce(const Files& f, int threads, const std::string* to = nullptr) {
  CodecTuning tuning;
  tuning.threads = threads;
  const std::string& path = to ? *to : f.expanded;
  StreamFiles files(f.block, path);
  CCompression c(f.block, path);
  if (!files.in || !files.out) return false;
  FileInput in(files.in);
  FileOutput out(files.out);
  return DecompressWith(c, in, out, tuning).ok && std::fflush(files.out) == 0;
}

void Compress(benchmark::State& state, int kind, int threads) {
  Files& f = Setup(kind);
  for (auto _ : state) {
    RemoveUntimed(state, f.block);
    if (!CompressOnce(f, threads)) state.SkipWithError("compress failed");
  }
  Finish(state, f, f.block_size);
}

void Expand(benchmark::State& state, int kind, int threads) {
  Files& f = Setup(kind);
  for (auto _ : state) {
    RemoveUntimed(state, f.expanded);
    if (!ExpandOnce(f, threads)) state.SkipWithError("expand failed");
  }
  Finish(state, f, f.block_size);
}

// The machine's own answer to "what do two threads give": a loop of
// dependent table lookups and multiplies, with no memory traffic and no
// sharing, run on one thread and split over two, in pairs. Where the two
// cores are hyperthreads of one, or share the host with other guests, this
// ratio is well under 2, and no coder's can be above it.
constexpr int64_t kComputeSteps = int64_t{1} << 27;

uint64_t ComputeLoop(uint64_t seed, int64_t steps) {
  uint8_t table[4096];
  for (size_t i = 0; i < sizeof table; ++i)
    table[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
  uint64_t x = seed;
  for (int64_t i = 0; i < steps; ++i)
    x = ((x >> 3) ^ table[x & 4095] ^ uint64_t(i)) * 0x9E3779B97F4A7C15u;
  return x;
}

// How fast each of the first two cores runs the compute loop now,
// both at once, each on a thread pinned to it (steps per microsecond; 0
// where a core cannot be had). This host can run one of its cores at half
// the other's speed for minutes on end.
std::array<double, 2> CoreSpeeds() {
  constexpr int64_t kSteps = int64_t{1} << 20;
  std::array<double, 2> speeds{};
  auto measure = [&speeds](int core) {
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(core, &set);
    if (pthread_setaffinity_np(pthread_self(), sizeof set, &set) != 0) return;
    const auto start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(ComputeLoop(core, kSteps));
    const auto end = std::chrono::steady_clock::now();
    speeds[core] = kSteps / std::chrono::duration<double, std::micro>(end - start).count();
  };
  std::thread first(measure, 0), second(measure, 1);
  first.join();
  second.join();
  return speeds;
}

// Two threads against one, in pairs: each iteration runs the operation on
// one thread and on two, back to back and each first in turn, so that both
// of a pair meet the same moment of a shared machine, whose other core comes
// and goes from one second to the next. "gain" is the median of the pairs'
// ratios of wall time, times `work` (what the two-thread run does against
// the one-thread run); the outputs are removed before each run, untimed.
// With `ceiling`, the cores' speeds are taken just before each pair, and
// "ceiling" is the median of what two threads could give then: both cores'
// speed over that of the core the one-thread run started on.
void PairedGain(benchmark::State& state, const std::vector<std::string>& outputs,
                const std::function<bool(int threads)>& once, double work = 1,
                bool ceiling = false) {
  std::vector<double> gains, ceilings;
  for (auto _ : state) {
    double ms[3] = {};
    state.PauseTiming();
    const std::array<double, 2> speeds = ceiling ? CoreSpeeds() : std::array<double, 2>{};
    state.ResumeTiming();
    int core = -1;
    for (int k = 0; k < 2; ++k) {
      const int threads = (k + gains.size()) % 2 ? 2 : 1;
      for (const std::string& output : outputs) std::remove(output.c_str());
      if (threads == 1) core = sched_getcpu();
      const auto start = std::chrono::steady_clock::now();
      if (!once(threads)) state.SkipWithError("the operation failed");
      const auto end = std::chrono::steady_clock::now();
      ms[threads] = std::chrono::duration<double, std::milli>(end - start).count();
    }
    gains.push_back(work * ms[1] / ms[2]);
    if ((core == 0 || core == 1) && speeds[0] > 0 && speeds[1] > 0)
      ceilings.push_back((speeds[0] + speeds[1]) / speeds[core]);
  }
  auto median = [](std::vector<double>& v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
  };
  state.counters["gain"] = median(gains);
  if (!ceilings.empty()) state.counters["ceiling"] = median(ceilings);
}

void BM_CompressGain(benchmark::State& state, int kind) {
  const Files& f = Setup(kind);
  PairedGain(
      state, {f.block}, [&f](int threads) { return CompressOnce(f, threads); }, 1, true);
}

void BM_ExpandGain(benchmark::State& state, int kind) {
  const Files& f = Setup(kind);
  PairedGain(
      state, {f.expanded}, [&f](int threads) { return ExpandOnce(f, threads); }, 1, true);
}

// What any two threads of this work could give here: one one-thread run
// alone against two of them at once, each to its own file, in pairs as
// above. Two runs share nothing, so where this ratio is under 2 the
// machine's second core (its share of the memory, the page cache and the
// host) is the limit, and the two-thread codec cannot pass it.
void TwinGain(benchmark::State& state, const std::string& output,
              const std::function<bool(const std::string* to)>& once) {
  const std::string twin = output + ".twin";
  PairedGain(
      state, {output, twin},
      [&](int runs) {
        if (runs == 1) return once(&output);
        bool other_ok = false;
        std::thread other([&] { other_ok = once(&twin); });
        const bool ok = once(&output);
        other.join();
        return ok && other_ok;
      },
      /*work=*/2);
  std::remove(twin.c_str());
}

void BM_CompressTwinGain(benchmark::State& state, int kind) {
  const Files& f = Setup(kind);
  TwinGain(state, f.block, [&f](const std::string* to) { return CompressOnce(f, 1, to); });
}

void BM_ExpandTwinGain(benchmark::State& state, int kind) {
  const Files& f = Setup(kind);
  TwinGain(state, f.expanded, [&f](const std::string* to) { return ExpandOnce(f, 1, to); });
}

// Bytes written into room the caller made (and touched) beforehand, as a
// coder writes into a buffer it is given; nothing goes past the room.
class SpanOutput final : public Output {
 public:
  explicit SpanOutput(std::span<uint8_t> room) : room_(room) {}
  size_t size() const { return size_; }
  bool Write(const uint8_t* p, size_t n) override {
    if (n > room_.size() - size_) return false;
    std::memcpy(room_.data() + size_, p, n);
    size_ += n;
    return true;
  }
  bool BeginPositional() override {
    base_ = size_;
    return true;
  }
  bool Extend(uint64_t size) override { return size <= room_.size() - base_; }
  IoResult WriteAt(uint64_t offset, const uint8_t* p, size_t n) override {
    if (offset > room_.size() - base_ || n > room_.size() - base_ - offset) return {0, ENOSPC};
    std::memcpy(room_.data() + base_ + offset, p, n);
    return {n, 0};
  }
  bool EndPositional(uint64_t size) override {
    if (size > room_.size() - base_) return false;
    size_ = base_ + size;
    return true;
  }

 private:
  std::span<uint8_t> room_;
  size_t size_ = 0;
  size_t base_ = 0;
};

// One thread, memory to memory: the coders alone, without the page cache's
// work of reading and writing files, as the coders the codec's goals come
// from are measured. Each row's output room is made and touched once.
std::vector<uint8_t> Room(size_t bytes) { return std::vector<uint8_t>(bytes + bytes / 8 + 4096); }

// CompressWith or DecompressWith on one thread from `from` into `room`,
// each run checked to give `expected` bytes.
using CodecPass = CompressionOutcome (*)(CCompression&, Input&, Output&, const CodecTuning&);
void OneThreadInMemory(benchmark::State& state, const Files& f, CodecPass pass,
                       std::span<const uint8_t> from, size_t expected) {
  std::vector<uint8_t> room = Room(f.bytes.size());
  CodecTuning tuning;
  tuning.threads = 1;
  for (auto _ : state) {
    CCompression c("", "");
    MemoryInput in(from);
    SpanOutput out(room);
    if (!pass(c, in, out, tuning).ok || out.size() != expected)
      state.SkipWithError("the coder failed");
  }
  Finish(state, f, f.block_size);
}

void BM_CompressInMemory(benchmark::State& state, int kind) {
  const Files& f = Setup(kind);
  OneThreadInMemory(state, f, CompressWith, f.bytes, f.block_size);
}

void BM_ExpandInMemory(benchmark::State& state, int kind) {
  const Files& f = Setup(kind);
  OneThreadInMemory(state, f, DecompressWith, ReadFile(f.block), f.bytes.size());
}

void BM_ZlibDeflateInMemory(benchmark::State& state, int kind) {
  Files& f = Setup(kind);
  std::vector<uint8_t> room = Room(f.bytes.size());
  // One call over the whole plan may end its blocks elsewhere than the
  // file rows' 1 MB feeds do: the size to expect is its own.
  const uint64_t size = ZlibDeflateMemory(f.bytes, room);
  if (size == 0) state.SkipWithError("deflate failed");
  for (auto _ : state)
    if (ZlibDeflateMemory(f.bytes, room) != size) state.SkipWithError("deflate failed");
  Finish(state, f, size);
}

void BM_ZlibInflateInMemory(benchmark::State& state, int kind) {
  Files& f = Setup(kind);
  const std::vector<uint8_t> stream = ReadFile(f.zplan);
  std::vector<uint8_t> room(f.bytes.size());
  for (auto _ : state)
    if (!ZlibInflateMemory(stream, room)) state.SkipWithError("inflate failed");
  Finish(state, f, f.zlib_size);
}

void BM_Compress(benchmark::State& state, int kind) { Compress(state, kind, 0); }
void BM_Expand(benchmark::State& state, int kind) { Expand(state, kind, 0); }
void BM_CompressOneThread(benchmark::State& state, int kind) { Compress(state, kind, 1); }
void BM_ExpandOneThread(benchmark::State& state, int kind) { Expand(state, kind, 1); }

bool ComputeOnce(int threads) {
  std::vector<std::thread> helpers;
  uint64_t results[2] = {};
  for (int t = 1; t < threads; ++t)
    helpers.emplace_back(
        [&results, t, threads] { results[t] = ComputeLoop(t, kComputeSteps / threads); });
  results[0] = ComputeLoop(0, kComputeSteps / threads);
  for (std::thread& h : helpers) h.join();
  benchmark::DoNotOptimize(results);
  return true;
}

void BM_ComputeLoopGain(benchmark::State& state, int) { PairedGain(state, {}, ComputeOnce); }

void BM_ZlibHuffmanOnlyDeflate(benchmark::State& state, int kind) {
  Files& f = Setup(kind);
  for (auto _ : state) {
    RemoveUntimed(state, f.zplan);
    if (ZlibDeflateFile(f.plan, f.zplan) != f.zlib_size) state.SkipWithError("deflate failed");
  }
  Finish(state, f, f.zlib_size);
}

void BM_ZlibHuffmanOnlyInflate(benchmark::State& state, int kind) {
  Files& f = Setup(kind);
  for (auto _ : state) {
    RemoveUntimed(state, f.zexpanded);
    if (!ZlibInflateFile(f.zplan, f.zexpanded)) state.SkipWithError("inflate failed");
  }
  Finish(state, f, f.zlib_size);
}

void Register(std::vector<Figure>& figures) {
  const bool two_cores = std::thread::hardware_concurrency() >= 2;
  auto add_row = [](const std::string& row, void (*fn)(benchmark::State&, int), int kind) {
    benchmark::RegisterBenchmark(row.c_str(), fn, kind)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(0.5)
        ->Repetitions(3)
        ->ReportAggregatesOnly(true)
        ->ComputeStatistics(
            "min",
            [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
        ->ComputeStatistics(
            "max",
            [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); })
        ->UseRealTime();
    return row;
  };
  if (two_cores) {
    const std::string row = add_row("BM_ComputeLoopGain", BM_ComputeLoopGain, 0);
    figures.push_back({"machine 2 threads / 1, compute loop", row, "", 0, false, "gain"});
  }
  for (int kind = 0; kind < kPlanCount; ++kind) {
    const std::string name = kPlans[kind].name;
    auto add = [&](const char* row, void (*fn)(benchmark::State&, int)) {
      return add_row(std::string(row) + "/" + name, fn, kind);
    };
    const std::string memcpy_row = add("BM_Memcpy", BM_Memcpy);
    const std::string compress = add("BM_Compress", BM_Compress);
    const std::string expand = add("BM_Expand", BM_Expand);
    const std::string compress1 = add("BM_CompressOneThread", BM_CompressOneThread);
    const std::string expand1 = add("BM_ExpandOneThread", BM_ExpandOneThread);
    const std::string compress_mem = add("BM_CompressInMemory", BM_CompressInMemory);
    const std::string expand_mem = add("BM_ExpandInMemory", BM_ExpandInMemory);
    const std::string deflate_mem = add("BM_ZlibDeflateInMemory", BM_ZlibDeflateInMemory);
    const std::string inflate_mem = add("BM_ZlibInflateInMemory", BM_ZlibInflateInMemory);
    const std::string deflate = add("BM_ZlibHuffmanOnlyDeflate", BM_ZlibHuffmanOnlyDeflate);
    const std::string inflate = add("BM_ZlibHuffmanOnlyInflate", BM_ZlibHuffmanOnlyInflate);
    figures.push_back({name + " compress / zlib deflate", compress, deflate, 8.0});
    figures.push_back({name + " expand / zlib inflate", expand, inflate, 3.0});
    figures.push_back({name + " 1 thread compress / zlib", compress1, deflate, 0});
    figures.push_back({name + " 1 thread expand / zlib", expand1, inflate, 0});
    figures.push_back({name + " 1 thread compress / zlib, CPU", compress1, deflate, 0, true});
    figures.push_back({name + " 1 thread expand / zlib, CPU", expand1, inflate, 0, true});
    figures.push_back({name + " compress / memcpy", compress, memcpy_row, 0});
    figures.push_back({name + " expand / memcpy", expand, memcpy_row, 0});
    figures.push_back({name + " 1 thread compress, CPU (MB/s)", compress1, "", 0, true});
    figures.push_back({name + " 1 thread expand, CPU (MB/s)", expand1, "", 0, true});
    const OneCoreGoal& goal = kOneCoreGoals[kind];
    auto in_memory = [&](const char* what, const std::string& row, const std::string& zlib_row,
                         double rate_goal) {
      const std::string label = name + " 1 thread " + what + " in memory";
      figures.push_back({label + " / zlib, CPU", row, zlib_row, 0, true});
      figures.push_back({label + " / memcpy, CPU", row, memcpy_row, 0, true});
      figures.push_back({label + ", CPU (MB/s)", row, "", rate_goal, true});
    };
    in_memory("compress", compress_mem, deflate_mem, goal.compress);
    in_memory("expand", expand_mem, inflate_mem, goal.expand);
    if (two_cores) {
      const std::string compress2 = add("BM_CompressGain", BM_CompressGain);
      const std::string expand2 = add("BM_ExpandGain", BM_ExpandGain);
      figures.push_back(
          {name + " 2 threads / 1, compress", compress2, "", kTwoThreadGoal, false, "gain"});
      figures.push_back(
          {name + " 2 threads / 1, expand", expand2, "", kTwoThreadGoal, false, "gain"});
      const std::string compress_twin = add("BM_CompressTwinGain", BM_CompressTwinGain);
      const std::string expand_twin = add("BM_ExpandTwinGain", BM_ExpandTwinGain);
      figures.push_back(
          {name + " twin 1-thread runs / 1, compress", compress_twin, "", 0, false, "gain"});
      figures.push_back(
          {name + " twin 1-thread runs / 1, expand", expand_twin, "", 0, false, "gain"});
    }
    // Two threads, byte for byte the same block: the flat plan's stretch goal.
    if (kind == 0 && two_cores)
      figures.push_back({name + " compress, 2 threads (MB/s)", compress, "", 1200});
  }
}

}  // namespace
}  // namespace velkaro::bench

int main(int argc, char** argv) {
  using namespace velkaro::bench;
  std::string pattern = (std::filesystem::temp_directory_path() / "vlk-bench-XXXXXX").string();
  if (!mkdtemp(pattern.data())) return 1;
  TempDir() = pattern;

  std::vector<Figure> figures;
  Register(figures);
  // The two cores are shared: repetitions of all rows run in random order,
  // so that a busy moment falls on a codec row and its baseline alike, and
  // the ratios use each row's median.
  std::vector<char*> args(argv, argv + argc);
  char interleave[] = "--benchmark_enable_random_interleaving=true";
  args.insert(args.begin() + 1, interleave);
  argc = static_cast<int>(args.size());
  argv = args.data();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter(std::move(figures));
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  std::error_code ignored;
  std::filesystem::remove_all(TempDir(), ignored);
  return 0;
}
