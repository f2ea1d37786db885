// What a writer killed inside its commit can leave beside a file (a hidden
// name it was about to rename) is cleared by the next write of that file,
// and only when the process that named it is gone.
#include "platform/atomic_file.h"

#include "tests/support/temp_folder.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace velkaro {
namespace {

namespace fs = std::filesystem;

TEST(AtomicFile, TheNextWriteClearsWhatAKilledWriterLeftAndNothingElse) {
  testing::TempFolder dir;
  const pid_t dead = ::fork();
  ASSERT_GE(dead, 0);
  if (dead == 0) _exit(0);
  ASSERT_EQ(::waitpid(dead, nullptr, 0), dead);
  const std::string stale = dir.File(".plan.txt." + std::to_string(dead) + ".0.tmp");
  const std::string alive = dir.File(".plan.txt." + std::to_string(::getppid()) + ".0.tmp");
  const std::string other = dir.File(".other.txt." + std::to_string(dead) + ".0.tmp");
  for (const std::string& path : {stale, alive, other}) testing::WriteAll(path, {1, 2, 3});

  // A new file goes in place without a name of its own; a replacement too.
  for (int round = 0; round < 2; ++round) {
    ASSERT_EQ(WriteFileAtomically(dir.File("plan.txt"), "abc", 3), FileErrorCause::kNone);
    EXPECT_EQ(testing::ReadText(dir.File("plan.txt")), "abc");
  }
  EXPECT_FALSE(fs::exists(stale)) << "left by a process that is gone";
  EXPECT_TRUE(fs::exists(alive)) << "its writer may still rename it";
  EXPECT_TRUE(fs::exists(other)) << "another file's";
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 3);
}

}  // namespace
}  // namespace velkaro

namespace velkaro {
namespace {

// A writer by path (a GDAL export) that is killed leaves its whole file
// under the hidden name it was given; naming the next one clears it.
TEST(AtomicFile, NamingATemporaryFileClearsWhatAKilledPathWriterLeft) {
  testing::TempFolder dir;
  const std::string target = dir.File("site.tif");
  const pid_t writer = ::fork();
  ASSERT_GE(writer, 0);
  if (writer == 0) {
    const std::string temp = HiddenSiblingName(target);
    std::FILE* file = std::fopen(temp.c_str(), "wb");
    if (file != nullptr) std::fputs("a partial export", file);
    if (file != nullptr) std::fclose(file);
    ::kill(::getpid(), SIGKILL);  // dies before its rename
    _exit(1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(writer, &status, 0), writer);
  ASSERT_TRUE(WIFSIGNALED(status));
  ASSERT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

  const std::string next = HiddenSiblingName(target);
  testing::WriteAll(next, {1});
  ASSERT_EQ(CommitSibling(next, target), FileErrorCause::kNone);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1)
      << "only the target is left";
  EXPECT_TRUE(fs::exists(target));
}

}  // namespace
}  // namespace velkaro
