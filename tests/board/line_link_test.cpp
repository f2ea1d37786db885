// --link PATH: the simulator's line under a stable name, taken over by a
// second simulator without a moment in which the name is missing, and never
// put over a file that is not a link or removed from under its new owner.
#include "tools/board/line_link.h"

#include "tests/support/temp_folder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace velkaro::board {
namespace {

class LineLinkTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(std::filesystem::is_directory(folder_.path())); }
  static std::string Target(const std::string& path) {
    char buffer[256];
    const ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer);
    return n < 0 ? "" : std::string(buffer, static_cast<size_t>(n));
  }
  bool Exists(const std::string& path) const {
    struct stat s {};
    return ::lstat(path.c_str(), &s) == 0;
  }

  testing::TempFolder folder_;
  std::string dir_ = folder_.path().string();
  std::string name_ = folder_.File("gps0");
};

TEST_F(LineLinkTest, ASecondBoardTakesTheNameAndKeepsItWhenTheFirstEnds) {
  std::string error;
  LineLink first;
  ASSERT_TRUE(first.Create(name_, "/dev/pts/7", &error)) << error;
  EXPECT_EQ(Target(name_), "/dev/pts/7");
  {
    LineLink second;
    ASSERT_TRUE(second.Create(name_, "/dev/pts/8", &error)) << error;
    EXPECT_EQ(Target(name_), "/dev/pts/8");
    first.Remove();  // the first board ends: the name stays the second's
    EXPECT_EQ(Target(name_), "/dev/pts/8");
  }
  EXPECT_FALSE(Exists(name_));  // the second board ended too
  EXPECT_EQ(::rmdir(dir_.c_str()), 0) << "a temporary name was left in the folder";
  ::mkdir(dir_.c_str(), 0700);
}

TEST_F(LineLinkTest, AFileThatIsNoLinkIsLeftAlone) {
  std::ofstream(name_) << "keep me";
  std::string error;
  LineLink link;
  EXPECT_FALSE(link.Create(name_, "/dev/pts/7", &error));
  EXPECT_NE(error.find("not a symbolic link"), std::string::npos) << error;
  link.Remove();
  std::string content;
  std::getline(std::ifstream(name_), content);
  EXPECT_EQ(content, "keep me");

  EXPECT_FALSE(link.Create(dir_ + "/missing/gps0", "/dev/pts/7", &error));
}

}  // namespace
}  // namespace velkaro::board
