// vlk: the projection-file and link tool, for scripts and field checks.
#include "tools/vlk/commands.h"

#include <cstdio>
#include <cstring>

namespace velkaro::vlk {

// Commands, in the order "vlk" lists them. Each lives in a file of its own.
const CommandEntry kCommands[] = {
    {"decode", "[FILE]", CmdDecode},
    {"watch", "[--gpsd HOST[:PORT]] [--count N]", CmdWatch},
    {"compress", "SRC DST", CmdCompress},
    {"expand", "SRC DST", CmdExpand},
    {"info", "FILE", CmdInfo},
    {"extract", "FILE OUT", CmdExtract},
    {"solve", "TAPS", CmdSolve},
    {"save", "TAPS PLAN OUT", CmdSave},
    {"worldfile", "FILE [OUT]", CmdWorldfile},
    {"export", "FILE OUT.tif|OUT.kmz", CmdExport},
    {nullptr, nullptr, nullptr},
};
const int kCommandCount = sizeof(kCommands) / sizeof(kCommands[0]) - 1;

}  // namespace velkaro::vlk

int main(int argc, char** argv) {
  using namespace velkaro::vlk;
  if (argc >= 2) {
    for (int i = 0; i < kCommandCount; ++i) {
      if (std::strcmp(argv[1], kCommands[i].name) == 0) return kCommands[i].run(argc - 2, argv + 2);
    }
    std::fprintf(stderr, "vlk: unknown command '%s'\n", argv[1]);
  }
  std::fprintf(stderr, "usage:\n");
  for (int i = 0; i < kCommandCount; ++i)
    std::fprintf(stderr, "  vlk %s %s\n", kCommands[i].name, kCommands[i].usage);
  return 2;
}
