#pragma once

// Small helpers shared by the compressor's tests: files in a private temp
// folder, and byte strings with chosen statistics.

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace velkaro::testing {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  std::string Path(const std::string& name) const { return (root_ / name).string(); }

 private:
  std::filesystem::path root_;
};

std::vector<uint8_t> ReadWhole(const std::string& path);
void WriteWhole(const std::string& path, const std::vector<uint8_t>& bytes);

// `counts[s]` copies of each byte value s, shuffled with `seed`.
std::vector<uint8_t> BytesWithCounts(const std::vector<uint64_t>& counts, uint32_t seed);

}  // namespace velkaro::testing
