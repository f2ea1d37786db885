// vlk: the projection-file and link tool, for scripts and field checks.
#include "cli/command_line.h"
#include "tools/vlk/commands.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <string>

namespace velkaro::vlk {

// Commands, in the order "vlk" lists them. Each lives in a file of its own.
const CommandEntry kCommands[] = {
    {"decode", "[FILE]", CmdDecode,
     "board bytes (standard input without FILE) through\n"
     "the link's parser and engine"},
    {"watch", "[--gpsd HOST[:PORT]] [--count N]", CmdWatch,
     "gpsd's reports as the application reads them",
     "  --gpsd HOST[:PORT]   the gpsd to read (default localhost:2947)\n"
     "  --count N            stop after N reports (default: run until stopped)\n"},
    {"compress", "SRC DST", CmdCompress, "the compressed plan block of SRC on its own"},
    {"expand", "SRC DST", CmdExpand, "a compressed plan block expanded back"},
    {"info", "FILE", CmdInfo, "header, geocode matrix, block sizes"},
    {"extract", "FILE OUT", CmdExtract, "the plan bitmap stored in a projection file"},
    {"solve", "TAPS", CmdSolve,
     "solve and check taps (\"x,y,lat,lon\" lines or a\n"
     ".points file), with residuals"},
    {"import", "SOURCE OUT.bmp [--page N] [--dpi D]", CmdImport,
     "a plan picture (PNG, JPEG, TIFF, PDF page, ...) as\n"
     "the 24-bit bitmap the program takes",
     "  --page N   the PDF page to take (default 1)\n"
     "  --dpi D    render the PDF page at D dots an inch (default: a long\n"
     "             side of at least 6000 pixels)\n"},
    {"save", "TAPS PLAN OUT", CmdSave,
     "save a projection file as the program does (PLAN:\n"
     "a bitmap, or a picture converted beside it first)"},
    {"worldfile", "FILE [OUT]", CmdWorldfile, "the world file GIS tools read beside the plan"},
    {"export", "FILE OUT.tif|OUT.kmz|OUT.pdf|OUT.mbtiles", CmdExport,
     "the plan as a cloud-optimised GeoTIFF (EPSG:4326), a\n"
     "Google Earth KMZ, a geospatial PDF or MBTiles"},
    {nullptr, nullptr, nullptr, nullptr},
};
const int kCommandCount = sizeof(kCommands) / sizeof(kCommands[0]) - 1;

namespace {

constexpr std::array<cli::Option, 2> kOptions = {cli::kHelp, cli::kVersion};

const CommandEntry* Find(const char* name) {
  for (int i = 0; i < kCommandCount; ++i) {
    if (std::strcmp(name, kCommands[i].name) == 0) return &kCommands[i];
  }
  return nullptr;
}

std::string CommandLine(const CommandEntry& command) {
  return std::string("vlk ") + command.name + " " + command.usage;
}

// The usage "vlk" alone, or with a command it does not know, prints.
int Usage() {
  std::fprintf(stderr, "usage:\n");
  for (int i = 0; i < kCommandCount; ++i)
    std::fprintf(stderr, "  %s\n", CommandLine(kCommands[i]).c_str());
  return 2;
}

int Help() {
  std::string text =
      "usage: vlk COMMAND [ARGUMENTS]\n"
      "The projection-file and link tool. Commands:\n";
  for (int i = 0; i < kCommandCount; ++i) {
    text += cli::HelpLine(CommandLine(kCommands[i]), kCommands[i].summary);
  }
  text += cli::HelpLine("vlk help [COMMAND]", "this text, or one command's usage");
  text += "Options:\n" + cli::OptionLines(kOptions);
  return cli::PrintHelp("vlk", text);
}

// vlk help [COMMAND]
int CmdHelp(int argc, char** argv) {
  if (argc == 0) return Help();
  if (argc != 1) {
    std::fprintf(stderr, "usage: vlk help [COMMAND]\n");
    return 2;
  }
  const CommandEntry* command = Find(argv[0]);
  if (!command) {
    std::fprintf(stderr, "vlk: unknown command '%s'\n", argv[0]);
    return 2;
  }
  std::string text = "usage: " + CommandLine(*command) + "\n" + command->summary + "\n";
  if (command->options) text += command->options;
  return cli::PrintHelp("vlk", text);
}

}  // namespace
}  // namespace velkaro::vlk

int main(int argc, char** argv) {
  using namespace velkaro::vlk;
  namespace cli = velkaro::cli;
  bool help = false;
  bool version = false;
  int operands = argc;
  const cli::Problem problem = cli::ReadOptions(
      argc, argv, kOptions,
      [&](const cli::Option& option, const char*) {
        (option.key == cli::kHelpKey ? help : version) = true;
        return true;
      },
      &operands);
  if (help) return Help();
  if (version) return cli::PrintVersion("vlk");
  if (problem.kind != cli::Problem::Kind::kNone) {
    std::fprintf(stderr, "vlk: unknown command '%s'\n", problem.arg.c_str());
    return Usage();
  }
  if (operands >= argc) return Usage();
  const char* word = argv[operands];
  if (std::strcmp(word, "help") == 0) return CmdHelp(argc - operands - 1, argv + operands + 1);
  if (const CommandEntry* command = Find(word)) {
    return command->run(argc - operands - 1, argv + operands + 1);
  }
  std::fprintf(stderr, "vlk: unknown command '%s'\n", word);
  return Usage();
}
