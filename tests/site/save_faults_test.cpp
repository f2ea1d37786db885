// Saves that do not finish: a child saving a large plan over an existing
// projection file is killed at many moments, and a save runs out of disk.
// The file must always be the old bytes or the whole new file, and nothing
// else may be left beside it.
#include "tests/site/projection_fixture.h"
#include "tests/support/file_size_limit.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace velkaro {
namespace {

namespace fs = std::filesystem;
using testing::ReadAll;
using testing::WriteAll;

class SaveFaults : public testing::ProjectionFixture {
 protected:
  void SetUp() override {
    ProjectionFixture::SetUp();
    // About 7 MB of plan: the save takes long enough to be caught at many
    // moments.
    WriteAll(plan, testing::NoisyBitmap(1500, 1500));
    projection.m_taps =
        testing::TapsAt({{100, 200}, {1100, 300}, {600, 1400}, {150, 1350}, {1450, 60}});
    target = dir.File("site.vlk");
    // The old file is longer than the new one will be, as in the field.
    old_bytes.assign(12'000'000, 0xEE);
    for (size_t i = 0; i < old_bytes.size(); i += 4096) old_bytes[i] = static_cast<uint8_t>(i);
  }

  // Everything in the folder other than the plan, its side file, the dump
  // and the saved files with their points.
  std::vector<std::string> Strays() const {
    std::vector<std::string> strays;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
      const std::string name = entry.path().filename().string();
      if (name != "plan.bmp" && name != "plan.bmpc" && name != "site.vlk" &&
          name != "site.vlk.points" && name != "debug.txt" && name != "reference.vlk" &&
          name != "reference.vlk.points")
        strays.push_back(name);
    }
    return strays;
  }

  std::string target;
  std::vector<uint8_t> old_bytes;
};

TEST_F(SaveFaults, AKilledSaveLeavesTheOldFileOrTheWholeNewOne) {
  // The reference: what a complete save writes, and how long it takes.
  const auto started = std::chrono::steady_clock::now();
  ASSERT_TRUE(told(projection.Save(dir.File("reference.vlk"))));
  const auto duration = std::chrono::steady_clock::now() - started;
  const std::vector<uint8_t> new_bytes = ReadAll(dir.File("reference.vlk"));
  ASSERT_NE(new_bytes, old_bytes);

  // Kill moments spread over twice the save's time (a forked child on a
  // busy machine is slower); the last child is left to finish.
  constexpr int kMoments = 30;
  int saw_old = 0, saw_new = 0;
  for (int moment = 0; moment <= kMoments; ++moment) {
    WriteAll(target, old_bytes);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // The child saves and ends; it never returns into the test framework.
      _exit(projection.Save(target).ok() ? 0 : 1);
    }
    if (moment < kMoments) {
      std::this_thread::sleep_for(duration * 2 * moment / kMoments);
      ::kill(child, SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    if (moment == kMoments) {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const std::vector<uint8_t> now = ReadAll(target);
    const bool is_old = now == old_bytes;
    const bool is_new = now == new_bytes;
    EXPECT_TRUE(is_old || is_new) << "killed at moment " << moment << ": " << now.size()
                                  << " bytes, neither the old file nor the new one";
    saw_old += is_old;
    saw_new += is_new;
    // A killed save leaves no named file of its own, except one killed
    // between naming a file and renaming it; none of an earlier save's
    // outlives the next save's write of the same file.
    for (const std::string& stray : Strays()) {
      EXPECT_NE(stray.find("." + std::to_string(child) + "."), std::string::npos)
          << stray << " at moment " << moment;
    }
  }
  EXPECT_EQ(Strays(), std::vector<std::string>{}) << "after the save that finished";
  std::printf("killed saves: %d moments, %d left the old file, %d the new one\n", kMoments + 1,
              saw_old, saw_new);
  EXPECT_GT(saw_old, 0) << "no kill landed during the save: the moments are too late";
  EXPECT_GT(saw_new, 0);
}

// Saves with the disk filling at `limit` bytes per file (a file-size limit
// stands in for a full disk). Returns what the save said.
SiteOutcome SaveWithFileSizeLimit(CSiteProjection& projection, const std::string& target,
                                  rlim_t limit) {
  testing::FileSizeLimit full(limit);
  if (!full.set()) return {};
  return projection.Save(target);
}

// A disk that fills during the save, first while the plan's side file is
// written, then while the projection file is: each time the designed text
// names the file that could not be written, the alarm sounds, and the old
// projection file, its side file (a marker no save writes) and its folder
// are as they were: a side file written whole is not put in place while
// the projection file fails.
TEST_F(SaveFaults, AFullDiskLeavesTheOldFileAndNothingElse) {
  const std::string block = SideFilePath(plan, SideFile::kBlock);
  ASSERT_TRUE(told(projection.Save(dir.File("reference.vlk"))));
  const uint64_t block_size = fs::file_size(block);
  ASSERT_GT(block_size, 1'000'000u);

  struct Case {
    rlim_t limit;
    std::string named;
  };
  for (const Case& c : {Case{1'000'000, block}, Case{block_size + 1, target}}) {
    SCOPED_TRACE(c.named);
    WriteAll(target, old_bytes);
    WriteAll(block, {7});
    told = {};
    EXPECT_FALSE(told(SaveWithFileSizeLimit(projection, target, c.limit)));
    EXPECT_EQ(ReadAll(target), old_bytes);
    EXPECT_EQ(ReadAll(block), std::vector<uint8_t>{7});
    EXPECT_EQ(told.shown, std::vector<std::string>{"Disk full while accessing " + c.named + "."});
    EXPECT_EQ(told.played, std::vector<std::string>{"REDALERT"});
    EXPECT_EQ(Strays(), std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace velkaro
