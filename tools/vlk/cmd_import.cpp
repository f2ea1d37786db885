// vlk import SOURCE OUT.bmp [--page N] [--dpi D]: a plan given as any
// picture (PNG, JPEG, TIFF, a PDF page, ...) converted into the 24-bit
// bitmap the program takes, as "new plan" converts it.
#include "cli/command_line.h"
#include "import/raster_to_bmp.h"
#include "tools/vlk/commands.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace velkaro::vlk {

int CmdImport(int argc, char** argv) {
  std::vector<std::string> operands;
  plan_import::SourceChoice choice;
  bool usage = false;
  for (int i = 0; i < argc && !usage; ++i) {
    const bool page = std::strcmp(argv[i], "--page") == 0;
    const bool dpi = std::strcmp(argv[i], "--dpi") == 0;
    if (!page && !dpi) {
      operands.push_back(argv[i]);
      continue;
    }
    if (i + 1 >= argc) {
      usage = true;
      break;
    }
    double value = 0.0;
    if (!cli::ParseNumber(argv[++i], &value)) {
      usage = true;
    } else if (page) {
      usage = value != double(int(value)) || value < 1 || value > 100000;
      choice.page = usage ? 1 : int(value);
    } else {
      usage = value < 1 || value > 10000;
      choice.dpi = value;
    }
  }
  if (usage || operands.size() != 2) {
    std::fprintf(stderr, "usage: vlk import SOURCE OUT.bmp [--page N] [--dpi D]\n");
    return 2;
  }
  const Status converted = plan_import::ConvertToBmp(operands[0], operands[1], choice);
  if (converted.ok()) return 0;
  std::fprintf(stderr, "vlk: %s\n", converted.message().c_str());
  return 1;
}

}  // namespace velkaro::vlk
