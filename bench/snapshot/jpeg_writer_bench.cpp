// How long one snapshot's encoding takes: a 240 x 265 picture at quality 100,
// the size and quality the snapshot command always uses.
#include "snapshot/jpeg_writer.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include <benchmark/benchmark.h>

namespace {

void BM_WriteSnapshotJpeg(benchmark::State& state) {
  const int width = 240;
  const int height = 265;
  std::vector<unsigned char> pixels(velkaro::JpegCaptureBytes(width, height));
  // A busy picture (not a flat one), so the entropy coder has work to do.
  unsigned seed = 12345;
  for (auto& p : pixels) {
    seed = seed * 1103515245u + 12345u;
    p = static_cast<unsigned char>(seed >> 24);
  }
  std::string dir = (std::filesystem::temp_directory_path() / "velkaro-bench-XXXXXX").string();
  if (mkdtemp(dir.data()) == nullptr) std::abort();
  const std::string path = dir + "/shot.jpg";
  for (auto _ : state) {
    if (!velkaro::WriteJpeg(path, width, height, 100, pixels)) {
      state.SkipWithError(velkaro::GetJpegError().c_str());
      break;
    }
  }
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_WriteSnapshotJpeg)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
