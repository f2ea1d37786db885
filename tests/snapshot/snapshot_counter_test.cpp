// The counter file: what number each first line gives, what is written back,
// and the name proposed for it.
#include "snapshot/snapshot_counter.h"

#include "tests/support/file_size_limit.h"
#include "tests/support/temp_folder.h"

#include <climits>
#include <string>
#include <sys/stat.h>

#include <gtest/gtest.h>

namespace velkaro {
namespace {

using testing::ReadText;
using testing::TempFolder;
using testing::WriteText;

struct CounterCase {
  const char* name;
  std::string content;
  int number;
  std::string written_back;
};

class CounterFile : public ::testing::TestWithParam<CounterCase> {};

// Reading a counter and advancing it: the number read, then the file's exact
// bytes afterwards.
TEST_P(CounterFile, ReadThenAdvance) {
  const CounterCase& c = GetParam();
  TempFolder dir;
  WriteText(dir.path() / kSnapshotCounterFileName, c.content);
  const int number = ReadSnapshotCounter(dir.path());
  EXPECT_EQ(number, c.number);
  EXPECT_TRUE(AdvanceSnapshotCounter(dir.path(), number));
  EXPECT_EQ(ReadText(dir.path() / kSnapshotCounterFileName), c.written_back);
}

INSTANTIATE_TEST_SUITE_P(
    Contents, CounterFile,
    ::testing::Values(
        CounterCase{"Plain", "41\n", 41, "42\n"}, CounterCase{"NoLineEnd", "41", 41, "42\n"},
        CounterCase{"NoNumber", "no number\n", 0, "1\n"}, CounterCase{"Empty", "", 0, "1\n"},
        CounterCase{"SpaceAndSign", " \t+7x\n", 7, "8\n"},
        CounterCase{"Negative", "-3\n", -3, "-2\n"},
        CounterCase{"OnlyFirstLine", "\n5\n", 0, "1\n"},
        CounterCase{"SecondLineIgnored", "12\n34\n", 12, "13\n"},
        CounterCase{"HexIsNotDecimal", "0x1F\n", 0, "1\n"},
        CounterCase{"StopsAtZeroByte",
                    std::string("1\0"
                                "23\n",
                                5),
                    1, "2\n"},
        // Only the first 79 characters count: the digit after them is not read.
        CounterCase{"LongLineCut", std::string(79, ' ') + "5\n", 0, "1\n"},
        CounterCase{"DigitsUpToLimit", std::string(78, ' ') + "5\n", 5, "6\n"},
        CounterCase{"HugeClampsHigh", "99999999999999999999\n", INT_MAX, "2147483647\n"},
        CounterCase{"HugeClampsLow", "-99999999999999999999\n", INT_MIN, "-2147483647\n"},
        CounterCase{"JustAboveInt", "2147483648\n", INT_MAX, "2147483647\n"},
        CounterCase{"IntMin", "-2147483648\n", INT_MIN, "-2147483647\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// Without a readable counter the first snapshot is number 1; a folder that
// cannot take the file is a failed write; a FIFO is neither read (the read
// would wait for a writer) nor replaced.
TEST(CounterFile, MissingUnreadableOrUnwritable) {
  TempFolder dir;
  EXPECT_EQ(ReadSnapshotCounter(dir.path()), 1);
  EXPECT_EQ(ReadSnapshotCounter(dir.path() / "no-such-folder"), 1);
  EXPECT_FALSE(AdvanceSnapshotCounter(dir.path() / "no-such-folder", 5));
  WriteText(dir.path() / "plain", "x");
  EXPECT_FALSE(AdvanceSnapshotCounter(dir.path() / "plain", 5));
  std::filesystem::create_directory(dir.path() / kSnapshotCounterFileName);
  EXPECT_EQ(ReadSnapshotCounter(dir.path()), 1);
  EXPECT_FALSE(AdvanceSnapshotCounter(dir.path(), 5));

  TempFolder fifo_dir;
  const std::filesystem::path fifo = fifo_dir.path() / kSnapshotCounterFileName;
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(ReadSnapshotCounter(fifo_dir.path()), 1);
  EXPECT_FALSE(AdvanceSnapshotCounter(fifo_dir.path(), 1));
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));
}

// A write that fails once the file is open (here: a file-size limit standing
// in for a full disk) keeps the old counter rather than leaving it empty.
TEST(CounterFile, FailedWriteKeepsOldCounter) {
  TempFolder dir;
  const std::filesystem::path counter = dir.path() / kSnapshotCounterFileName;
  WriteText(counter, "41\n");

  bool advanced = false;
  {
    testing::FileSizeLimit limit(1);  // "42\n" needs three bytes
    ASSERT_TRUE(limit.set());
    advanced = AdvanceSnapshotCounter(dir.path(), 41);
  }

  EXPECT_FALSE(advanced);
  EXPECT_EQ(ReadText(counter), "41\n");
  EXPECT_EQ(ReadSnapshotCounter(dir.path()), 41);
}

TEST(CounterFile, ProposedNames) {
  EXPECT_EQ(ProposedSnapshotName(41), "vk000041.jpg");
  EXPECT_EQ(ProposedSnapshotName(1234567), "vk1234567.jpg");
  EXPECT_EQ(ProposedSnapshotName(-5), "vk-00005.jpg");
  EXPECT_EQ(ProposedSnapshotName(INT_MIN), "vk-2147483648.jpg");
}

// A counter that is junk, lost or cannot be written keeps proposing the
// same number; with no overwrite prompt each snapshot would then replace the
// last. The proposal skips every name that is taken, by any kind of entry.
TEST(CounterFile, ProposalSkipsNamesThatAreTaken) {
  TempFolder dir;
  EXPECT_EQ(FirstFreeSnapshotNumber(dir.path(), 0), 0);
  WriteText(dir.path() / "vk000000.jpg", "picture");
  WriteText(dir.path() / "vk000001.jpg", "picture");
  std::filesystem::create_directory(dir.path() / "vk000002.jpg");
  std::filesystem::create_symlink("nowhere", dir.path() / "vk000003.jpg");
  EXPECT_EQ(FirstFreeSnapshotNumber(dir.path(), 0), 4);
  EXPECT_EQ(FirstFreeSnapshotNumber(dir.path(), 1), 4);
  EXPECT_EQ(FirstFreeSnapshotNumber(dir.path(), 5), 5);

  // A junk counter reads as 0: the proposal still lands on a free name.
  WriteText(dir.path() / kSnapshotCounterFileName, "junk\n");
  EXPECT_EQ(FirstFreeSnapshotNumber(dir.path(), ReadSnapshotCounter(dir.path())), 4);
  // The search stops at the top of the range instead of wrapping round.
  EXPECT_EQ(FirstFreeSnapshotNumber(dir.path(), INT_MAX), INT_MAX);
}

}  // namespace
}  // namespace velkaro
