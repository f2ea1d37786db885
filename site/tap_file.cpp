#include "site/tap_file.h"

#include "platform/file_error.h"
#include "platform/posix_file.h"
#include "site/reference_points_file.h"
#include "site/text_fields.h"

namespace velkaro {
namespace {

// Millions of taps; anything bigger is not a tap file.
constexpr uint64_t kMaxTapFileSize = 64u << 20;

std::string ParseLine(std::string_view line, CSiteProjection::_tap& tap) {
  const std::vector<std::string_view> fields = SplitFields(line, 4);
  if (fields.size() > 4) return "expected 4 fields x,y,lat,lon, found more";
  if (fields.size() != 4)
    return "expected 4 fields x,y,lat,lon, found " + std::to_string(fields.size());
  int32_t x = 0, y = 0;
  double lat = 0.0, lon = 0.0;
  if (!ParseWholeField(fields[0], x)) return "x is not a 32-bit integer";
  if (!ParseWholeField(fields[1], y)) return "y is not a 32-bit integer";
  if (!ParseLatitudeField(fields[2], lat)) return "lat is not a latitude in degrees (-90 to 90)";
  if (!ParseLongitudeField(fields[3], lon))
    return "lon is not a longitude in degrees (-180 to 180)";
  tap = CSiteProjection::_tap{x, y, lat, lon, 0};
  return {};
}

}  // namespace

TapFile ParseTapFile(std::string_view text) {
  TapFile result;
  if (LooksLikeReferencePoints(text)) {
    ReferencePoints points = ParseReferencePoints(text);
    result.status = std::move(points.status);
    result.taps = std::move(points.taps);
    return result;
  }
  size_t line_number = 0;
  while (!text.empty()) {
    ++line_number;
    const std::string_view line = TrimField(TakeLine(text));
    if (line.empty() || line.front() == '#') continue;
    CSiteProjection::_tap tap{};
    if (std::string problem = ParseLine(line, tap); !problem.empty()) {
      result.status = Status::Invalid(std::to_string(line_number) + ": " + problem);
      result.taps.clear();
      return result;
    }
    result.taps.push_back(tap);
  }
  return result;
}

TapFile ReadTapFile(const std::string& path) {
  TapFile failed;
  PosixFile file;
  uint64_t size = 0;
  FileErrorCause cause = file.OpenForReading(path);
  if (cause == FileErrorCause::kNone) cause = file.Size(size);
  if (cause == FileErrorCause::kNone && size > kMaxTapFileSize) {
    failed.status = Status::Invalid(path + ": larger than a tap file can be", path);
    return failed;
  }
  std::string text(static_cast<size_t>(size), '\0');
  if (cause == FileErrorCause::kNone) cause = file.ReadExactly(text.data(), text.size());
  if (cause != FileErrorCause::kNone) {
    failed.status = Status::FileError(cause, path);
    return failed;
  }
  TapFile result = ParseTapFile(text);
  if (!result.status.ok())
    result.status = Status::Invalid(path + ":" + result.status.message(), path);
  return result;
}

}  // namespace velkaro
