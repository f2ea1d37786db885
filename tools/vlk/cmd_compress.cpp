// vlk compress SRC DST / vlk expand SRC DST: the compressed block on its own,
// as the projection file carries it after its header.
#include "compression/compression.h"
#include "tools/vlk/commands.h"

#include <cinttypes>
#include <cstdio>

namespace velkaro::vlk {
namespace {

int Report(const CompressionOutcome& outcome, const char* verb) {
  if (outcome.ok) {
    std::printf("%" PRIu64 "\n", outcome.count);
    return 0;
  }
  std::fprintf(stderr, "vlk %s: %s", verb, FileErrorText(outcome.cause, outcome.path).c_str());
  if (outcome.detail && *outcome.detail) std::fprintf(stderr, " (%s)", outcome.detail);
  std::fprintf(stderr, "\n");
  if (outcome.count > 0) {
    std::fprintf(stderr, "vlk %s: %" PRIu64 " bytes were written before the failure\n", verb,
                 outcome.count);
  }
  return 1;
}

}  // namespace

int CmdCompress(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vlk compress SRC DST\n");
    return 2;
  }
  CCompression compression(argv[0], argv[1]);
  return Report(compression.Compress(), "compress");
}

int CmdExpand(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vlk expand SRC DST\n");
    return 2;
  }
  CCompression compression(argv[0], argv[1]);
  return Report(compression.Decompress(), "expand");
}

}  // namespace velkaro::vlk
