#include "tools/vlk/projection_summary.h"

#include "platform/file_error.h"
#include "platform/posix_file.h"

#include <cstdio>

namespace velkaro::vlk {

bool ReadSummary(const std::string& path, ProjectionSummary& summary) {
  PosixFile file;
  FileErrorCause cause = file.OpenForReading(path);
  if (cause == FileErrorCause::kNone) cause = file.Size(summary.file_length);
  if (cause != FileErrorCause::kNone) {
    std::fprintf(stderr, "%s\n", FileErrorText(cause, path).c_str());
    return false;
  }
  auto refuse = [&](const char* why) {
    std::fprintf(stderr, "vlk: %s is not a projection file: %s\n", path.c_str(), why);
    return false;
  };
  if (summary.file_length < kProjectionMinFileSize)
    return refuse("shorter than a header and an empty plan block (1177 bytes)");
  uint8_t counts[8];
  if (file.ReadExactly(summary.header, kProjectionHeaderSize) != FileErrorCause::kNone ||
      file.ReadExactly(counts, sizeof counts) != FileErrorCause::kNone)
    return refuse("its header cannot be read");
  if (LoadLe32(summary.header + kProjectionLengthOffset) != kProjectionHeaderSize)
    return refuse("the header length is not 145");
  for (int i = 0; i < 4; ++i) {
    if (summary.header[kProjectionMagicOffset + i] != kProjectionMagic[i])
      return refuse("the magic bytes are not 20 4B 4C 56");
  }
  if (summary.header[kProjectionFormatOffset] != kProjectionFormat)
    return refuse("the format byte is not 1");
  summary.code_bytes = LoadLe32(counts);
  summary.plan_length = LoadLe32(counts + 4);
  if (kProjectionMinFileSize + uint64_t{summary.code_bytes} > summary.file_length)
    return refuse("its plan block runs past the end of the file");
  return true;
}

double Element(const ProjectionSummary& summary, int k) {
  return LoadLeDouble(summary.header + MatrixElementOffset(k));
}

}  // namespace velkaro::vlk
