// Test helpers: reads a JPEG file back with libjpeg's decompressor and walks
// its markers.
#ifndef VELKARO_TESTS_SNAPSHOT_JPEG_READER_H_
#define VELKARO_TESTS_SNAPSHOT_JPEG_READER_H_

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velkaro::testing {

using QuantTable = std::array<unsigned, 64>;

struct DecodedJpeg {
  int width = 0;
  int height = 0;
  int components = 0;
  std::vector<unsigned char> rgb;  // top-down, width * 3 bytes a row
  std::vector<QuantTable> tables;  // the tables the components use, in component order
  std::vector<int> frame_markers;  // every SOFn marker byte found before the scan (0xC0 = baseline)
};

// Nothing when the library cannot decode the file; the reason goes to *error.
std::optional<DecodedJpeg> ReadJpeg(const std::filesystem::path& path, std::string* error);

// The quantisation tables libjpeg itself sets up for this quality with
// baseline tables forced: luminance, then chrominance.
std::vector<QuantTable> ReferenceTables(int quality);

// The text libjpeg formats for a message code and its first integer parameter.
std::string LibraryMessage(int code, int parameter = 0);

// Number of file descriptors this process holds open.
int OpenDescriptorCount();

}  // namespace velkaro::testing

#endif  // VELKARO_TESTS_SNAPSHOT_JPEG_READER_H_
