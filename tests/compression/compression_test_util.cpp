#include "tests/compression/compression_test_util.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <unistd.h>

namespace velkaro::testing {

TempFolder::TempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "vlk-cmp-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

std::vector<uint8_t> ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteWhole(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> BytesWithCounts(const std::vector<uint64_t>& counts, uint32_t seed) {
  std::vector<uint8_t> bytes;
  for (size_t s = 0; s < counts.size(); ++s)
    bytes.insert(bytes.end(), counts[s], static_cast<uint8_t>(s));
  std::mt19937 rng(seed);
  std::shuffle(bytes.begin(), bytes.end(), rng);
  return bytes;
}

}  // namespace velkaro::testing
