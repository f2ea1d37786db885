// vlk compress and vlk expand as scripts see them: what they print, and the
// exit status for success (0), a reported failure (1) and wrong usage (2).
#include "tests/support/temp_folder.h"

#include <cstdio>
#include <string>
#include <sys/wait.h>

#include <gtest/gtest.h>

namespace velkaro {
namespace {

struct VlkRun {
  int status;
  std::string out;  // standard output and standard error together
};

VlkRun Vlk(const std::string& args) {
  const std::string command = std::string(VELKARO_BIN_DIR) + "/vlk " + args + " 2>&1";
  VlkRun run{-1, ""};
  std::FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char buf[512];
  size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, pipe)) > 0) run.out.append(buf, got);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

TEST(VlkCompress, PrintsCountsAndRoundTrips) {
  testing::TempFolder dir;
  testing::WriteAll(dir.File("abc"), {'a', 'b', 'c'});
  const VlkRun packed = Vlk("compress " + dir.File("abc") + " " + dir.File("abc.c"));
  EXPECT_EQ(packed.status, 0);
  EXPECT_EQ(packed.out, "1\n");
  EXPECT_EQ(testing::ReadAll(dir.File("abc.c")).size(), 1033u);
  const VlkRun expanded = Vlk("expand " + dir.File("abc.c") + " " + dir.File("abc.out"));
  EXPECT_EQ(expanded.status, 0);
  EXPECT_EQ(expanded.out, "3\n");
  EXPECT_EQ(testing::ReadAll(dir.File("abc.out")), (std::vector<uint8_t>{'a', 'b', 'c'}));
}

TEST(VlkCompress, FailuresNameTheFileAndUsageIsTwo) {
  testing::TempFolder dir;
  const VlkRun missing = Vlk("compress " + dir.File("absent") + " " + dir.File("x"));
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.out.find(dir.File("absent") + " was not found."), std::string::npos)
      << missing.out;

  testing::WriteAll(dir.File("short"), std::vector<uint8_t>(100, 0));
  const VlkRun truncated = Vlk("expand " + dir.File("short") + " " + dir.File("x"));
  EXPECT_EQ(truncated.status, 1);
  EXPECT_NE(truncated.out.find(dir.File("short")), std::string::npos) << truncated.out;

  EXPECT_EQ(Vlk("compress " + dir.File("short")).status, 2);
  EXPECT_EQ(Vlk("expand a b c").status, 2);
}

}  // namespace
}  // namespace velkaro
