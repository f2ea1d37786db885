// Compress and expand of a plan-sized bitmap, file to file, beside memcpy of
// the same bytes and zlib's Huffman-only deflate and inflate (the nearest
// well-known coder of the same kind). Every rate is in bytes of the bitmap
// per second, so the rows compare directly.
#include "bench/compression/plan_bitmap.h"
#include "compression/compression.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>
#include <zlib.h>

#include <benchmark/benchmark.h>

namespace velkaro::bench {
namespace {

constexpr int kWidth = 4800;   // 14,400 bytes a row
constexpr int kHeight = 3600;  // about 52 MB in all
constexpr size_t kBlock = size_t{1} << 20;

struct Files {
  std::filesystem::path dir;
  std::string plan, block, expanded, zplan, zexpanded;
  std::vector<uint8_t> bytes;
  uint64_t block_size = 0, zlib_size = 0;

  std::string In(const char* name) const { return (dir / name).string(); }
};

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    std::exit(1);
  }
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::vector<uint8_t> bytes;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return bytes;
  std::vector<uint8_t> buf(kBlock);
  size_t got;
  while ((got = std::fread(buf.data(), 1, buf.size(), f)) > 0)
    bytes.insert(bytes.end(), buf.begin(), buf.begin() + got);
  std::fclose(f);
  return bytes;
}

// Huffman-only deflate of one file into another, through 1 MB blocks.
uint64_t ZlibDeflateFile(const std::string& from, const std::string& to) {
  std::FILE* in = std::fopen(from.c_str(), "rb");
  std::FILE* out = std::fopen(to.c_str(), "wb");
  z_stream z{};
  deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15, 8, Z_HUFFMAN_ONLY);
  std::vector<uint8_t> src(kBlock), dst(kBlock);
  uint64_t total = 0;
  int flush = Z_NO_FLUSH;
  do {
    z.avail_in = static_cast<uInt>(std::fread(src.data(), 1, src.size(), in));
    z.next_in = src.data();
    flush = std::feof(in) ? Z_FINISH : Z_NO_FLUSH;
    do {
      z.avail_out = static_cast<uInt>(dst.size());
      z.next_out = dst.data();
      deflate(&z, flush);
      const size_t have = dst.size() - z.avail_out;
      std::fwrite(dst.data(), 1, have, out);
      total += have;
    } while (z.avail_out == 0);
  } while (flush != Z_FINISH);
  deflateEnd(&z);
  std::fclose(in);
  std::fclose(out);
  return total;
}

void ZlibInflateFile(const std::string& from, const std::string& to) {
  std::FILE* in = std::fopen(from.c_str(), "rb");
  std::FILE* out = std::fopen(to.c_str(), "wb");
  z_stream z{};
  inflateInit2(&z, 15);
  std::vector<uint8_t> src(kBlock), dst(kBlock);
  int status = Z_OK;
  while (status != Z_STREAM_END) {
    z.avail_in = static_cast<uInt>(std::fread(src.data(), 1, src.size(), in));
    z.next_in = src.data();
    if (z.avail_in == 0) break;
    do {
      z.avail_out = static_cast<uInt>(dst.size());
      z.next_out = dst.data();
      status = inflate(&z, Z_NO_FLUSH);
      std::fwrite(dst.data(), 1, dst.size() - z.avail_out, out);
    } while (z.avail_out == 0 && status == Z_OK);
    if (status != Z_OK && status != Z_STREAM_END) break;
  }
  inflateEnd(&z);
  std::fclose(in);
  std::fclose(out);
}

// Made once: the plan, its block and its deflate stream, each checked to
// expand back to the plan so that no row measures a broken coder.
Files& Setup() {
  static Files* files = [] {
    auto* f = new Files;
    std::string pattern = (std::filesystem::temp_directory_path() / "vlk-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::exit(1);
    f->dir = pattern;
    f->plan = f->In("plan.bmp");
    f->block = f->In("plan.bmpc");
    f->expanded = f->In("expanded.bmp");
    f->zplan = f->In("plan.bmp.z");
    f->zexpanded = f->In("zexpanded.bmp");
    f->bytes = MakePlanBitmap(kWidth, kHeight, 2024);
    WriteFile(f->plan, f->bytes);

    CCompression packer(f->plan, f->block);
    const CompressionOutcome packed = packer.Compress();
    CCompression expander(f->block, f->expanded);
    const CompressionOutcome expanded = expander.Decompress();
    f->zlib_size = ZlibDeflateFile(f->plan, f->zplan);
    ZlibInflateFile(f->zplan, f->zexpanded);
    if (!packed.ok || !expanded.ok || ReadFile(f->expanded) != f->bytes ||
        ReadFile(f->zexpanded) != f->bytes) {
      std::fprintf(stderr, "round trip failed; no figures\n");
      std::exit(1);
    }
    f->block_size = 1032 + packed.count;
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(Setup().dir, ignored);
    });
    return f;
  }();
  return *files;
}

void Finish(benchmark::State& state, const Files& f, uint64_t out_bytes) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes.size()));
  state.counters["plan_MB"] = static_cast<double>(f.bytes.size()) / 1e6;
  state.counters["ratio"] = static_cast<double>(out_bytes) / static_cast<double>(f.bytes.size());
}

void BM_Memcpy(benchmark::State& state) {
  Files& f = Setup();
  std::vector<uint8_t> copy(f.bytes.size());
  for (auto _ : state) {
    std::memcpy(copy.data(), f.bytes.data(), f.bytes.size());
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  Finish(state, f, f.bytes.size());
}

void BM_Compress(benchmark::State& state) {
  Files& f = Setup();
  for (auto _ : state) {
    CCompression c(f.plan, f.block);
    if (!c.Compress().ok) state.SkipWithError("compress failed");
  }
  Finish(state, f, f.block_size);
}

void BM_Expand(benchmark::State& state) {
  Files& f = Setup();
  for (auto _ : state) {
    CCompression c(f.block, f.expanded);
    if (!c.Decompress().ok) state.SkipWithError("expand failed");
  }
  Finish(state, f, f.block_size);
}

void BM_ZlibHuffmanOnlyDeflate(benchmark::State& state) {
  Files& f = Setup();
  for (auto _ : state) benchmark::DoNotOptimize(ZlibDeflateFile(f.plan, f.zplan));
  Finish(state, f, f.zlib_size);
}

void BM_ZlibHuffmanOnlyInflate(benchmark::State& state) {
  Files& f = Setup();
  for (auto _ : state) ZlibInflateFile(f.zplan, f.zexpanded);
  Finish(state, f, f.zlib_size);
}

BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Compress)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_Expand)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ZlibHuffmanOnlyDeflate)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ZlibHuffmanOnlyInflate)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace velkaro::bench

BENCHMARK_MAIN();
