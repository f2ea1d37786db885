// A plan and a projection file on read-only media (a locked stick, a share
// mounted read-only): the save puts the compressed plan beside the
// projection file, the open puts its side files in the cache folder, each
// says where, and nothing is written onto the media.
#include "tests/site/projection_fixture.h"
#include "tests/support/read_only_folder.h"

#include <cstdlib>

namespace velkaro {
namespace {

namespace fs = std::filesystem;
using testing::FileNames;
using testing::InReadOnlyFolder;
using testing::ReadAll;

class ReadOnlyMedia : public testing::ProjectionFixture {
 protected:
  void SetUp() override {
    ProjectionFixture::SetUp();
    fs::create_directories(stick);
    fs::create_directories(desk);
    fs::copy_file(plan, stick / "plan.bmp");
    projection.UsePlan((stick / "plan.bmp").string());
  }

  // Runs `body` with the stick read-only; false when this kernel cannot.
  bool OnLockedStick(const std::function<void()>& body) {
    const int status = InReadOnlyFolder(stick.string(), [&] {
      body();
      return ::testing::Test::HasFailure() ? 1 : 0;
    });
    if (status == testing::kNoReadOnlyMount) return false;
    EXPECT_EQ(status, 0) << "the child's expectations are printed above";
    return true;
  }

  fs::path stick = dir.path() / "stick";
  fs::path desk = dir.path() / "desk";
};

TEST_F(ReadOnlyMedia, SavingAPlanFromTheMediaKeepsItsBlockBesideTheProjectionFile) {
  const std::string target = (desk / "site.vlk").string();
  if (!OnLockedStick([&] {
        const SiteOutcome saved = projection.Save(target);
        EXPECT_TRUE(saved.ok()) << saved.status().message();
        EXPECT_TRUE(saved.messages().empty());
        ASSERT_EQ(saved.notes().size(), 1u);
        EXPECT_NE(saved.notes()[0].find(target + "c"), std::string::npos) << saved.notes()[0];
      }))
    GTEST_SKIP() << "no user namespaces here: read-only media cannot be made";
  EXPECT_EQ(FileNames(stick), std::vector<std::string>{"plan.bmp"});
  EXPECT_EQ(FileNames(desk), (std::vector<std::string>{"site.vlk", "site.vlk.points", "site.vlkc"}));
  // The very bytes a save from a writable folder gives.
  CSiteProjection writable;
  writable.m_taps = projection.m_taps;
  writable.UsePlan(plan);
  ASSERT_TRUE(told(writable.Save(dir.File("reference.vlk"))));
  EXPECT_EQ(ReadAll(target), ReadAll(dir.File("reference.vlk")));
}

TEST_F(ReadOnlyMedia, OpeningAProjectionFileOnTheMediaExpandsItIntoTheCache) {
  const std::string file = (stick / "site.vlk").string();
  ASSERT_TRUE(told(projection.Save(file)));
  const std::vector<std::string> before = FileNames(stick);
  const fs::path cache = dir.path() / "cache";
  ::setenv("XDG_CACHE_HOME", cache.c_str(), 1);
  const std::string cached_plan = CacheSideFilePath(file, SideFile::kExpandedPlan);
  const std::string cached_block = CacheSideFilePath(file, SideFile::kBlock);
  ::unsetenv("XDG_CACHE_HOME");
  ASSERT_EQ(cached_plan.rfind(cache.string(), 0), 0u) << cached_plan;
  if (!OnLockedStick([&] {
        CSiteProjection opened;
        ::setenv("XDG_CACHE_HOME", cache.c_str(), 1);
        const SiteOutcome loaded = opened.Load(file);
        EXPECT_TRUE(loaded.ok()) << loaded.status().message();
        EXPECT_TRUE(loaded.messages().empty());
        EXPECT_EQ(opened.m_strPlanPath, cached_plan);
        ASSERT_EQ(loaded.notes().size(), 1u);
        EXPECT_NE(loaded.notes()[0].find(opened.m_strPlanPath), std::string::npos);
      }))
    GTEST_SKIP() << "no user namespaces here: read-only media cannot be made";
  EXPECT_EQ(FileNames(stick), before);
  EXPECT_EQ(ReadAll(cached_plan), ReadAll(plan));
  EXPECT_TRUE(fs::exists(cached_block));
}

// The same open with the commit left to the caller says where the plan goes
// at once; the cache holds it once committed.
TEST_F(ReadOnlyMedia, AnOpenCommittedLaterStillGoesToTheCacheAndSaysSoFirst) {
  const std::string file = (stick / "site.vlk").string();
  ASSERT_TRUE(told(projection.Save(file)));
  if (!OnLockedStick([&] {
        ::setenv("XDG_CACHE_HOME", (dir.path() / "cache").c_str(), 1);
        const std::string cached_plan = CacheSideFilePath(file, SideFile::kExpandedPlan);
        PendingSideFiles pending;
        const SiteOutcome loaded = projection.Load(file, nullptr, pending);
        ASSERT_EQ(loaded.notes().size(), 1u) << loaded.status().message();
        EXPECT_NE(loaded.notes()[0].find(cached_plan), std::string::npos);
        EXPECT_FALSE(fs::exists(cached_plan));
        EXPECT_TRUE(told(pending.Commit()));
        EXPECT_EQ(ReadAll(cached_plan), ReadAll(plan));
      }))
    GTEST_SKIP() << "no user namespaces here: read-only media cannot be made";
}

}  // namespace
}  // namespace velkaro
