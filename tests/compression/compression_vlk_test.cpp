// vlk compress and vlk expand as scripts see them: what they print, and the
// exit status for success (0), a reported failure (1) and wrong usage (2).
#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

namespace velkaro {
namespace {

using testing::ProgramRun;
using testing::ReadAll;
using testing::ReadText;
using testing::RunVlk;

TEST(VlkCompress, PrintsCountsAndRoundTrips) {
  testing::TempFolder dir;
  testing::WriteAll(dir.File("abc"), {'a', 'b', 'c'});
  const ProgramRun packed = RunVlk(dir.path(), "compress abc abc.c");
  EXPECT_EQ(packed.status, 0);
  EXPECT_EQ(packed.out, "1\n");
  EXPECT_EQ(ReadAll(dir.File("abc.c")).size(), 1033u);
  const ProgramRun expanded = RunVlk(dir.path(), "expand abc.c abc.out");
  EXPECT_EQ(expanded.status, 0);
  EXPECT_EQ(expanded.out, "3\n");
  EXPECT_EQ(ReadAll(dir.File("abc.out")), (std::vector<uint8_t>{'a', 'b', 'c'}));
}

TEST(VlkCompress, FailuresNameTheFileAndUsageIsTwo) {
  testing::TempFolder dir;
  EXPECT_EQ(RunVlk(dir.path(), "compress absent x").status, 1);
  EXPECT_NE(ReadText(dir.File("stderr.txt")).find("absent was not found."), std::string::npos)
      << ReadText(dir.File("stderr.txt"));

  testing::WriteAll(dir.File("short"), std::vector<uint8_t>(100, 0));
  EXPECT_EQ(RunVlk(dir.path(), "expand short x").status, 1);
  EXPECT_NE(ReadText(dir.File("stderr.txt")).find("short"), std::string::npos);

  EXPECT_EQ(RunVlk(dir.path(), "compress short").status, 2);
  EXPECT_EQ(RunVlk(dir.path(), "expand a b c").status, 2);
}

}  // namespace
}  // namespace velkaro
