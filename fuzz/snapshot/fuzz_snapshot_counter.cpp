// The counter file's first line, as any bytes: written to a real counter file
// and read back, the number must be what strtol makes of that line (clamped
// to int), and reading must never fail in any other way.

#include "snapshot/snapshot_counter.h"
#include "tests/support/temp_folder.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// One folder for the whole run, removed at exit.
const std::filesystem::path& Folder() {
  static const velkaro::testing::TempFolder folder;
  return folder.path();
}

// The reference: the line as an 80-byte line buffer holds it, its text up to
// the first zero byte, read by strtol in base 10.
int Expected(const uint8_t* data, size_t size) {
  if (size == 0) return 0;  // an empty file holds no number
  std::string line;
  for (size_t i = 0; i < size && line.size() < velkaro::kSnapshotCounterLineMax; ++i) {
    line.push_back(static_cast<char>(data[i]));
    if (data[i] == '\n') break;
  }
  long value = std::strtol(line.c_str(), nullptr, 10);
  if (value > INT_MAX) value = INT_MAX;
  if (value < INT_MIN) value = INT_MIN;
  return static_cast<int>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::filesystem::path file = Folder() / velkaro::kSnapshotCounterFileName;
  std::FILE* out = std::fopen(file.c_str(), "wb");
  if (out == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, out) != size) std::abort();
  if (std::fclose(out) != 0) std::abort();

  const int got = velkaro::ReadSnapshotCounter(Folder());
  if (got != Expected(data, size)) std::abort();
  return 0;
}
