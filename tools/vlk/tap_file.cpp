#include "tools/vlk/tap_file.h"

#include "platform/file_error.h"
#include "platform/posix_file.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace velkaro::vlk {
namespace {

// Millions of taps; anything bigger is not a tap file.
constexpr uint64_t kMaxTapFileSize = 64u << 20;

std::string_view Trim(std::string_view text) {
  const char* blanks = " \t\r";
  const size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}

// A whole field as one number: no leftovers, no empty field.
template <class T>
bool ParseField(std::string_view field, T& value) {
  field = Trim(field);
  if (field.empty()) return false;
  const char* end = field.data() + field.size();
  const auto [stop, error] = std::from_chars(field.data(), end, value);
  return error == std::errc() && stop == end;
}

std::string ParseLine(std::string_view line, CSiteProjection::_tap& tap) {
  std::string_view fields[4];
  size_t count = 0;
  size_t start = 0;
  for (;;) {
    const size_t comma = line.find(',', start);
    if (count == 4) return "expected 4 fields x,y,lat,lon, found more";
    fields[count++] = line.substr(start, comma == std::string_view::npos ? comma : comma - start);
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  if (count != 4) return "expected 4 fields x,y,lat,lon, found " + std::to_string(count);
  int32_t x = 0, y = 0;
  double lat = 0.0, lon = 0.0;
  if (!ParseField(fields[0], x)) return "x is not a 32-bit integer";
  if (!ParseField(fields[1], y)) return "y is not a 32-bit integer";
  if (!ParseField(fields[2], lat) || !std::isfinite(lat) || lat < -90.0 || lat > 90.0)
    return "lat is not a latitude in degrees (-90 to 90)";
  if (!ParseField(fields[3], lon) || !std::isfinite(lon) || lon < -180.0 || lon > 180.0)
    return "lon is not a longitude in degrees (-180 to 180)";
  tap = CSiteProjection::_tap{x, y, lat, lon, 0};
  return {};
}

}  // namespace

TapFile ParseTapFile(std::string_view text) {
  TapFile result;
  size_t line_number = 0;
  while (!text.empty()) {
    ++line_number;
    const size_t end = text.find('\n');
    const std::string_view line = Trim(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.empty() || line.front() == '#') continue;
    CSiteProjection::_tap tap{};
    if (std::string problem = ParseLine(line, tap); !problem.empty()) {
      result.error = std::to_string(line_number) + ": " + problem;
      result.taps.clear();
      return result;
    }
    result.taps.push_back(tap);
  }
  result.ok = true;
  return result;
}

TapFile ReadTapFile(const std::string& path) {
  TapFile failed;
  PosixFile file;
  uint64_t size = 0;
  FileErrorCause cause = file.OpenForReading(path);
  if (cause == FileErrorCause::kNone) cause = file.Size(size);
  if (cause == FileErrorCause::kNone && size > kMaxTapFileSize) {
    failed.error = path + ": larger than a tap file can be";
    return failed;
  }
  std::string text(static_cast<size_t>(size), '\0');
  if (cause == FileErrorCause::kNone) cause = file.ReadExactly(text.data(), text.size());
  if (cause != FileErrorCause::kNone) {
    failed.error = FileErrorText(cause, path);
    return failed;
  }
  TapFile result = ParseTapFile(text);
  if (!result.ok) result.error = path + ":" + result.error;
  return result;
}

bool LoadTaps(const std::string& path, CSiteProjection& projection) {
  TapFile file = ReadTapFile(path);
  if (!file.ok) {
    std::fprintf(stderr, "vlk: %s\n", file.error.c_str());
    return false;
  }
  projection.m_taps = std::move(file.taps);
  return true;
}

}  // namespace velkaro::vlk
