// vlk info, extract, save and worldfile: projection files from the command
// line, through the same code the program's own commands run.
#include "platform/atomic_file.h"
#include "platform/file_error.h"
#include "platform/posix_file.h"
#include "site/projection_file_format.h"
#include "site/site_projection.h"
#include "tools/vlk/commands.h"
#include "tools/vlk/tap_file.h"
#include "tools/vlk/tool_projection.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <string>

namespace velkaro::vlk {
namespace {

// What the header and the block's fixed part say about a projection file.
struct ProjectionSummary {
  uint8_t header[kProjectionHeaderSize];
  uint32_t code_bytes = 0;   // N
  uint32_t plan_length = 0;  // L
  uint64_t file_length = 0;
};

// Reads and checks the fixed parts; prints why a file is refused and returns
// false. Unlike the program's open command, which reads only the block, this
// also insists on the header's length, magic and format byte.
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

}  // namespace

int CmdInfo(int argc, char** argv) {
  if (argc != 1) {
    std::fprintf(stderr, "usage: vlk info FILE\n");
    return 2;
  }
  ProjectionSummary summary;
  if (!ReadSummary(argv[0], summary)) return 1;
  std::printf("header length %u\n", LoadLe32(summary.header + kProjectionLengthOffset));
  std::printf("magic 20 4B 4C 56\n");
  std::printf("format %u\n", unsigned{summary.header[kProjectionFormatOffset]});
  std::printf("matrix\n");
  for (int row = 0; row < 4; ++row) {
    std::printf("%.17g %.17g %.17g %.17g\n", Element(summary, 4 * row),
                Element(summary, 4 * row + 1), Element(summary, 4 * row + 2),
                Element(summary, 4 * row + 3));
  }
  std::printf("N %u\n", summary.code_bytes);
  std::printf("L %u\n", summary.plan_length);
  const uint64_t used = kProjectionMinFileSize + uint64_t{summary.code_bytes};
  std::printf("trailing bytes %llu\n", static_cast<unsigned long long>(summary.file_length - used));
  return 0;
}

int CmdExtract(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vlk extract FILE OUT\n");
    return 2;
  }
  const std::string out = argv[1];
  ProjectionSummary summary;
  if (!ReadSummary(argv[0], summary)) return 1;
  ToolProjection tool;
  CSiteProjection& projection = tool.projection;
  // The program's own load, with the block side file beside OUT; that copy
  // of the block is of no use afterwards.
  if (!projection.LoadInto(argv[0], out + "c", out)) return 1;
  std::remove((out + "c").c_str());
  return 0;
}

int CmdSave(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: vlk save TAPS PLAN OUT\n");
    return 2;
  }
  ToolProjection tool;
  CSiteProjection& projection = tool.projection;
  if (!LoadTaps(argv[0], projection)) return 1;
  projection.m_strPlanPath = argv[1];
  return projection.Save(argv[2]) ? 0 : 1;
}

// The world file maps a plan pixel (column, row) to (longitude, latitude):
//   lon = A * col + B * row + C,   lat = D * col + E * row + F,
// written as the six lines A, D, B, E, C, F. It is the inverse of the
// geocode. A tap's plan pixel names a whole pixel, so (C, F) is the position
// of the centre of the top-left pixel, as world files expect.
int CmdWorldfile(int argc, char** argv) {
  if (argc != 1 && argc != 2) {
    std::fprintf(stderr, "usage: vlk worldfile FILE [OUT]\n");
    return 2;
  }
  ProjectionSummary summary;
  if (!ReadSummary(argv[0], summary)) return 1;
  const double x_lat = Element(summary, kMatrixXLat), x_lon = Element(summary, kMatrixXLon);
  const double x0 = Element(summary, kMatrixX0);
  const double y_lat = Element(summary, kMatrixYLat), y_lon = Element(summary, kMatrixYLon);
  const double y0 = Element(summary, kMatrixY0);
  const double det = x_lat * y_lon - x_lon * y_lat;
  const double lines[6] = {
      -y_lat / det,                     // A: longitude per column
      y_lon / det,                      // D: latitude per column
      x_lat / det,                      // B: longitude per row
      -x_lon / det,                     // E: latitude per row
      (y_lat * x0 - x_lat * y0) / det,  // C: longitude of pixel (0, 0)
      (x_lon * y0 - y_lon * x0) / det,  // F: latitude of pixel (0, 0)
  };
  for (double value : lines) {
    if (!std::isfinite(value)) {
      std::fprintf(stderr, "vlk: %s holds no invertible geocode\n", argv[0]);
      return 1;
    }
  }
  std::string text;
  for (double value : lines) {
    char line[40];
    std::snprintf(line, sizeof line, "%.17g\n", value);
    text += line;
  }
  if (argc == 1) {
    std::fputs(text.c_str(), stdout);
  } else if (FileErrorCause cause = WriteFileAtomically(argv[1], text.data(), text.size());
             cause != FileErrorCause::kNone) {
    std::fprintf(stderr, "%s\n", FileErrorText(cause, argv[1]).c_str());
    return 1;
  }
  return 0;
}

}  // namespace velkaro::vlk
