// vlk info, extract, save and worldfile: projection files from the command
// line, through the same code the program's own commands run.
#include "import/plan_import.h"
#include "platform/atomic_file.h"
#include "platform/file_error.h"
#include "site/geocode.h"
#include "site/projection_file_format.h"
#include "site/side_files.h"
#include "site/site_projection.h"
#include "tools/vlk/commands.h"
#include "tools/vlk/load_taps.h"
#include "tools/vlk/print_outcome.h"
#include "tools/vlk/projection_summary.h"

#include <cerrno>
#include <cstdio>
#include <string>

namespace velkaro::vlk {

int CmdInfo(int argc, char** argv) {
  if (argc != 1) {
    std::fprintf(stderr, "usage: vlk info FILE\n");
    return 2;
  }
  ProjectionSummary summary;
  if (!ReadSummary(argv[0], summary)) return 1;
  const CSiteProjection::Checksum checksum = CSiteProjection::CheckChecksum(argv[0]);
  if (checksum == CSiteProjection::Checksum::kDamaged) {
    std::fprintf(stderr, "vlk: %s\n", CSiteProjection::DamagedText(argv[0]).c_str());
    return 1;
  }
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
  std::printf("checksum %s\n", checksum == CSiteProjection::Checksum::kMatches ? "ok" : "none");
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
  CSiteProjection projection;
  // The program's own load, with the block side file beside OUT; that copy
  // of the block is of no use afterwards.
  const std::string block = SideFilePath(out, SideFile::kBlock);
  if (PrintOutcome(projection.LoadInto(argv[0], block, out)) != 0) return 1;
  std::remove(block.c_str());
  return 0;
}

int CmdSave(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: vlk save TAPS PLAN OUT\n");
    return 2;
  }
  // Taps come from the file, not from a live position.
  CSiteProjection projection;
  if (!LoadTaps(argv[0], projection)) return 1;
  // A plan given as a picture is saved from the bitmap it converts to, as
  // the program's new plan would be; a file no picture reader takes is
  // saved byte for byte, as any plan file always was.
  std::string plan = argv[1];
  if (!plan_import::IsBmpPlan(plan)) {
    const plan_import::ImportedPlan imported = plan_import::ImportPlan(plan);
    const Status::Code code = imported.status.code();
    if (imported.status.ok()) {
      if (!imported.note.empty()) std::fprintf(stderr, "vlk: %s\n", imported.note.c_str());
      plan = imported.bitmap;
    } else if (code != Status::Code::kUnsupported && code != Status::Code::kFileError) {
      std::fprintf(stderr, "vlk: %s\n", imported.status.message().c_str());
      return 1;
    }
  }
  projection.UsePlan(plan);
  return PrintOutcome(projection.Save(argv[2]));
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
  PixelToDegrees inverse;
  if (!InvertGeocode(GeocodeFromHeader(summary.header), inverse)) {
    std::fprintf(stderr, "vlk: %s holds no invertible geocode\n", argv[0]);
    return 1;
  }
  const double lines[6] = {inverse.a, inverse.d, inverse.b, inverse.e, inverse.c, inverse.f};
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
