// Each program's --help names every option the program takes (and only
// those), the man page documents them, and --version reports the project's
// version. Help and version go to standard output with exit status 0; a
// wrong option still exits with 2 and leaves standard output empty.
#include "tests/support/child_process.h"

#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace velkaro::testing {
namespace {

struct Program {
  std::string name;
  // Each option with a value it takes, as one would give it.
  std::vector<std::vector<std::string>> options;
  bool gui = false;
  bool man_page = true;
};

std::vector<Program> Programs() {
  return {
      {"vlk", {{"--help"}, {"--version"}}},
      {"velkaro-board",
       {{"--device", "/dev/null"},
        {"--track", "walk.csv"},
        {"--rate", "2"},
        {"--firmware", "2.0"},
        {"--serial", "Z9"},
        {"--lock-after", "1"},
        {"--record", "rec.bin"},
        {"--link", "gps0"},
        {"--nmea"},
        {"--announce"},
        {"--help"},
        {"--version"}}},
      {"velkaro",
       {{"--port", "/dev/null"},
        {"--gpsd", "localhost:2947"},
        {"--average", "5"},
        {"--min-accuracy", "3"},
        {"--help"},
        {"--version"}},
       true},
      {"velkaro-demo",
       {{"--port", "/dev/null"},
        {"--gpsd", "localhost:2947"},
        {"--out", "out"},
        {"--screenshots", "shots"},
        {"--help"},
        {"--version"}},
       true,
       false},
  };
}

// Standard output alone; standard error is dropped.
ProgramRun RunOut(const std::string& program, const std::vector<std::string>& args) {
  return RunProgram(VELKARO_BIN_DIR "/" + program, args,
                    ChildStreams{.in = "/dev/null", .out = {}, .err = "/dev/null", .dir = {}});
}

std::string ReadSource(const std::string& path) {
  std::ifstream in(VELKARO_SOURCE_DIR "/" + path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::set<std::string> LongOptionsIn(const std::string& text) {
  static const std::regex option("--[a-z][a-z-]*");
  std::set<std::string> found;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), option);
       it != std::sregex_iterator(); ++it) {
    found.insert(it->str());
  }
  return found;
}

// How a man page writes an option: every hyphen as "\-".
std::string Roff(const std::string& option) {
  std::string roff;
  for (char c : option) roff += c == '-' ? std::string("\\-") : std::string(1, c);
  return roff;
}

bool Skipped(const Program& program) { return program.gui && !VELKARO_WITH_GUI; }

TEST(Help, ListsEveryOptionTheProgramTakesAndNoOther) {
  for (const Program& program : Programs()) {
    if (Skipped(program)) continue;
    SCOPED_TRACE(program.name);
    const ProgramRun help = RunOut(program.name, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: " + program.name + " ", 0), 0u) << help.out;
    const std::string man = program.man_page ? ReadSource("docs/man/" + program.name + ".1") : "";
    std::set<std::string> taken;
    for (std::vector<std::string> args : program.options) {
      taken.insert(args[0]);
      EXPECT_NE(help.out.find(args[0] + " "), std::string::npos) << args[0];
      if (program.man_page) {
        EXPECT_NE(man.find(Roff(args[0])), std::string::npos) << args[0];
      }
      // Read in full before --help is honoured: an option the program did
      // not know would make it a usage error.
      args.push_back("--help");
      const ProgramRun run = RunOut(program.name, args);
      EXPECT_EQ(run.status, 0) << args[0];
      EXPECT_EQ(run.out, help.out) << args[0];
    }
    if (program.name != "vlk") {  // vlk's help shows its commands' own options too
      EXPECT_EQ(LongOptionsIn(help.out), taken);
    }

    const ProgramRun wrong = RunOut(program.name, {"--no-such-option"});
    EXPECT_EQ(wrong.status, 2);
    EXPECT_EQ(wrong.out, "");
  }
}

TEST(Version, IsTheProjectsOnStandardOutput) {
  for (const Program& program : Programs()) {
    if (Skipped(program)) continue;
    const ProgramRun run = RunOut(program.name, {"--version"});
    EXPECT_EQ(run.status, 0) << program.name;
    EXPECT_EQ(run.out, program.name + " " VELKARO_VERSION "\n");
  }
}

TEST(VlkHelp, ListsEachCommandAndGivesItsUsage) {
  const std::string man = ReadSource("docs/man/vlk.1");
  const std::string help = RunOut("vlk", {"--help"}).out;
  for (const std::string command : {"decode", "watch", "compress", "expand", "info", "extract",
                                    "solve", "save", "worldfile", "export", "import"}) {
    const ProgramRun usage = RunOut("vlk", {"help", command});
    EXPECT_EQ(usage.status, 0) << command;
    const std::string first = usage.out.substr(0, usage.out.find('\n'));
    EXPECT_EQ(first.rfind("usage: vlk " + command, 0), 0u) << usage.out;
    // The same line heads the command's entry in --help, and the man page
    // names it.
    EXPECT_NE(help.find("\n  " + first.substr(7)), std::string::npos) << first;
    EXPECT_NE(man.find("vlk " + command), std::string::npos) << command;
  }
  EXPECT_EQ(RunOut("vlk", {"help", "solve"}).out.rfind("usage: vlk solve TAPS\n", 0), 0u);
  EXPECT_NE(RunOut("vlk", {"help", "watch"}).out.find("--count N"), std::string::npos);
  EXPECT_EQ(RunOut("vlk", {"help", "nosuch"}).status, 2);
  EXPECT_EQ(RunOut("vlk", {"help", "solve", "info"}).status, 2);
  EXPECT_EQ(RunOut("vlk", {"help"}).out, help);
}

}  // namespace
}  // namespace velkaro::testing
