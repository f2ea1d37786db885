// The points journal: captured points survive the process being killed,
// come back with the very same doubles, and solve to the same bits.
#include "site/reference_points_file.h"
#include "site/side_files.h"
#include "site/site_projection.h"
#include "tests/site/projection_fixture.h"
#include "tests/support/temp_folder.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <atomic>
#include <chrono>
#include <thread>
#include <string>
#include <vector>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace velkaro {
namespace {

namespace fs = std::filesystem;
using testing::CurrentDir;
using testing::TempFolder;
using Tap = CSiteProjection::_tap;

// Positions with all 17 digits in use, as a receiver's are.
CGpsData FixAt(int i) {
  CGpsData fix;
  fix.m_fixMode = 7;
  fix.m_latB = 45.49876543210987 - 0.000123456789 * i * i + 1e-9 * i;
  fix.m_lonB = 9.1012345678901234 + 0.00017 * i - 3e-10 * i * i;
  return fix;
}
const int kXs[] = {60, 120, 200, 360, 600};
const int kYs[] = {480, 300, 140, 270, 90};

struct Site {
  testing::Told told;
  CSiteProjection projection;

  void Capture(int i) { EXPECT_TRUE(told(projection.AddTap(kXs[i], kYs[i], FixAt(i)))); }
};

TEST(PointsJournal, PointsCapturedBeforeAKillComeBackAndSolveToTheSameBits) {
  TempFolder dir;
  CurrentDir here{dir.path()};
  const std::string journal = dir.File("plan.bmp.points");

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    Site site;
    EXPECT_TRUE(site.projection.SetPointsPath(journal).messages().empty());
    for (int i = 0; i < 4; ++i) site.Capture(i);
    ::raise(SIGKILL);  // a crash, a flat battery: no save, no clean exit
    _exit(1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

  // The next run restores the four points and captures the fifth.
  Site restored;
  restored.projection.m_taps = CSiteProjection::ReadPoints(journal);
  ASSERT_EQ(restored.projection.m_taps.size(), 4u);
  EXPECT_TRUE(restored.projection.SetPointsPath(journal).messages().empty());
  restored.Capture(4);

  // A run that was never interrupted.
  Site whole;
  for (int i = 0; i < 5; ++i) whole.Capture(i);

  for (size_t i = 0; i < 5; ++i) {
    const Tap a = restored.projection.m_taps[i];
    const Tap b = whole.projection.m_taps[i];
    EXPECT_EQ(std::memcmp(&a, &b, sizeof(Tap)), 0) << "point " << i;
  }
  restored.projection.Solve();
  whole.projection.Solve();
  for (double CSiteProjection::*c : {&CSiteProjection::m_xLat, &CSiteProjection::m_xLon,
                                     &CSiteProjection::m_x0, &CSiteProjection::m_yLat,
                                     &CSiteProjection::m_yLon, &CSiteProjection::m_y0}) {
    const double a = restored.projection.*c, b = whole.projection.*c;
    EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0) << a << " " << b;
  }
  EXPECT_EQ(CSiteProjection::ReadPoints(journal).size(), 5u);
}

TEST(PointsJournal, DeletionsAreKeptAndAnUnwritableJournalIsReportedOnce) {
  TempFolder dir;
  CurrentDir here{dir.path()};
  Site site;
  EXPECT_TRUE(site.projection.SetPointsPath(dir.File("plan.bmp.points")).messages().empty());
  for (int i = 0; i < 3; ++i) site.Capture(i);
  site.projection.m_selected = 1;
  EXPECT_TRUE(site.told(site.projection.DeleteSelectedTap()));
  EXPECT_EQ(site.told.shown, std::vector<std::string>{"Deleted."});
  const std::vector<Tap> kept = CSiteProjection::ReadPoints(dir.File("plan.bmp.points"));
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(int{kept[1].x}, kXs[2]);

  site.told = {};
  const std::string missing = dir.File("missing/plan.bmp.points");
  EXPECT_TRUE(site.projection.SetPointsPath(missing).messages().empty());
  site.Capture(3);
  site.Capture(4);
  ASSERT_EQ(site.told.shown.size(), 1u) << "reported once per plan, and work goes on";
  EXPECT_EQ(site.told.shown[0], "The reference points could not be kept beside the plan. " +
                                    missing + " was not found.");
  EXPECT_EQ(site.projection.m_taps.size(), 4u);

  // A deletion that cannot be kept says so before it says it is done.
  site.told = {};
  const std::string other = dir.File("gone/plan.bmp.points");
  EXPECT_TRUE(site.projection.SetPointsPath(other).messages().empty());
  site.projection.m_selected = 0;
  EXPECT_TRUE(site.told(site.projection.DeleteSelectedTap()));
  EXPECT_EQ(site.told.shown,
            (std::vector<std::string>{"The reference points could not be kept beside the plan. " +
                                          other + " was not found.",
                                      "Deleted."}));
  EXPECT_TRUE(site.told.played.empty());
  EXPECT_EQ(site.projection.m_taps.size(), 3u);
}

// Undo and redo step through captures and deletions, and the journal holds
// the points of each step; a new step forgets what could be redone, another
// plan's journal forgets the history.
TEST(PointsJournal, UndoAndRedoStepThroughCapturesAndDeletionsWithTheJournal) {
  TempFolder dir;
  CurrentDir here{dir.path()};
  const std::string journal = dir.File("plan.bmp.points");
  Site site;
  EXPECT_TRUE(site.projection.SetPointsPath(journal).messages().empty());
  auto journaled = [&] { return CSiteProjection::ReadPoints(journal).size(); };
  EXPECT_FALSE(site.projection.CanUndo());
  EXPECT_TRUE(site.told(site.projection.Undo()));  // nothing to undo: nothing said or done
  EXPECT_TRUE(site.told.shown.empty());
  for (int i = 0; i < 3; ++i) site.Capture(i);
  EXPECT_TRUE(site.told(site.projection.DeleteTap(0)));

  EXPECT_TRUE(site.told(site.projection.Undo()));  // the deletion
  ASSERT_EQ(site.projection.m_taps.size(), 3u);
  EXPECT_EQ(int{site.projection.m_taps[0].x}, kXs[0]);
  EXPECT_EQ(journaled(), 3u);
  EXPECT_TRUE(site.told(site.projection.Undo()));  // the third capture
  EXPECT_EQ(journaled(), 2u);
  EXPECT_TRUE(site.told(site.projection.Redo()));
  EXPECT_EQ(site.projection.m_taps.size(), 3u);
  EXPECT_EQ(int{site.projection.m_taps[2].x}, kXs[2]);
  EXPECT_EQ(journaled(), 3u);
  EXPECT_TRUE(site.projection.CanRedo());

  site.Capture(3);  // a new step: the deletion can no longer be redone
  EXPECT_FALSE(site.projection.CanRedo());
  EXPECT_EQ(journaled(), 4u);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(site.told(site.projection.Undo()));
  EXPECT_TRUE(site.projection.m_taps.empty());
  EXPECT_EQ(journaled(), 0u);
  EXPECT_FALSE(site.projection.CanUndo());

  EXPECT_TRUE(site.told(site.projection.Redo()));
  EXPECT_TRUE(site.projection.SetPointsPath(dir.File("other.bmp.points")).messages().empty());
  EXPECT_FALSE(site.projection.CanUndo());
  EXPECT_FALSE(site.projection.CanRedo());
  EXPECT_EQ(site.told.shown, std::vector<std::string>{"Deleted."});
}

// A journal with rows the reader refuses gives every other row back and
// names what it could not take; setting it aside keeps it whole, under a
// name of its own, never over an earlier one.
TEST(PointsJournal, AJournalNotReadWholeGivesWhatItCanAndIsSetAsideWhole) {
  TempFolder dir;
  const std::string journal = dir.File("plan.bmp.points");
  std::vector<Tap> taps;
  for (int i = 0; i < 9; ++i) taps.push_back(Tap{10 * i, 20, 45.5 + 1e-4 * i, 9.1, 0});
  // A byte-order mark first; line 5, the third row, not a position; the last
  // row torn off mid-number.
  std::vector<std::string> lines = testing::Lines(FormatReferencePoints(taps, std::nullopt));
  lines[4] = "nan" + lines[4].substr(lines[4].find(','));
  std::string text = "\xEF\xBB\xBF";
  for (const std::string& line : lines) text += line + "\n";
  text += "9.0999999999999996,45.5";
  testing::WriteText(journal, text);

  CSiteProjection::KeptPoints kept = CSiteProjection::ReadKeptPoints(journal);
  EXPECT_TRUE(kept.found);
  ASSERT_EQ(kept.taps.size(), 8u);
  EXPECT_EQ(int{kept.taps[2].x}, 30);  // a copy: the tap record is packed
  EXPECT_EQ(kept.problems,
            (std::vector<std::string>{"Row 5 of plan.bmp.points is not a reference point: mapX is "
                                      "not a longitude in degrees (-180 to 180).",
                                      "The last row of plan.bmp.points (line 12) was cut short."}));
  EXPECT_TRUE(CSiteProjection::ReadPoints(journal).empty());  // not whole: nothing to rewrite

  std::string first, second;
  ASSERT_TRUE(CSiteProjection::SetAsidePoints(journal, 1'800'000'000, &first).ok());
  testing::WriteText(journal, "another");
  ASSERT_TRUE(CSiteProjection::SetAsidePoints(journal, 1'800'000'000, &second).ok());
  EXPECT_EQ(first.rfind(journal + ".unread-", 0), 0u) << first;
  EXPECT_EQ(second, first + "-2");
  EXPECT_EQ(testing::ReadText(first), text);
  EXPECT_EQ(testing::ReadText(second), "another");
  EXPECT_FALSE(fs::exists(journal));
  EXPECT_FALSE(CSiteProjection::SetAsidePoints(journal, 1'800'000'000, &second).ok());

  testing::WriteText(journal, "#CRS: PROJCRS[\"WGS 84 / UTM zone 32N\",BASEGEOGCRS[...]]\n");
  EXPECT_EQ(CSiteProjection::ReadKeptPoints(journal).problems,
            std::vector<std::string>{"plan.bmp.points holds its points in another coordinate "
                                     "system (WGS 84 / UTM zone 32N), not WGS 84 degrees."});
  EXPECT_FALSE(CSiteProjection::ReadKeptPoints(dir.File("none.points")).found);
}

// One plan's journal is kept by one window at a time; a second one is told
// and writes nothing there. Two saves to one file at once go in turn, so
// the file and the points beside it always come from the same save.
TEST(PointsJournal, OneWindowKeepsAJournalAndSavesToOneFileGoInTurn) {
  TempFolder dir;
  CurrentDir here{dir.path()};
  const std::string journal = dir.File("plan.bmp.points");
  Site first, second;
  EXPECT_TRUE(first.projection.SetPointsPath(journal).messages().empty());
  first.Capture(0);
  const std::string kept = testing::ReadText(journal);
  EXPECT_EQ(second.projection.SetPointsPath(journal).messages(),
            std::vector<std::string>{"plan.bmp is open in another Velkaro window. This window "
                                     "does not keep its points beside it; save them to keep them."});
  EXPECT_EQ(second.projection.PointsPath(), "");
  second.Capture(1);
  EXPECT_EQ(testing::ReadText(journal), kept);
  EXPECT_TRUE(first.projection.SetPointsPath("").messages().empty());  // that plan is closed
  EXPECT_TRUE(second.projection.SetPointsPath(journal).messages().empty());

  // A save waits for one in progress to the same file (another window's,
  // here held by hand) and then writes both its file and its points.
  const std::string plan = dir.File("plan.bmp");
  fs::copy_file(testing::kSmallPlan, plan);
  CSiteProjection saver;
  saver.m_taps = testing::SmallPlanTaps();
  saver.UsePlan(plan);
  const std::string out = dir.File("site.vlk");
  PathLock other_save;
  ASSERT_EQ(other_save.Acquire(CSiteProjection::SavingLockName(out)), PathLock::Result::kTaken);
  std::atomic<bool> saved{false};
  std::thread save([&] { saved = saver.Save(out).ok(); });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(fs::exists(out)) << "saved while another save was in progress";
  other_save.Release();
  save.join();
  EXPECT_TRUE(saved);
  EXPECT_EQ(CSiteProjection::ReadPoints(out + ".points").size(), 5u);
}

// Where the plan's folder refuses the journal (read-only media: here a
// folder that takes no new files even from root), the journal goes to the
// user's data folder, said once, and is written there from then on.
TEST(PointsJournal, AJournalTheFolderRefusesGoesToTheUsersDataFolder) {
  TempFolder dir;
  CurrentDir here{dir.path()};
  const char* saved = std::getenv("XDG_DATA_HOME");
  const std::string old = saved != nullptr ? saved : "";
  ::setenv("XDG_DATA_HOME", dir.path().c_str(), 1);
  const std::string journal = "/proc/self/plan.bmp.points";
  Site site;
  EXPECT_TRUE(site.projection.SetPointsPath(journal).messages().empty());
  site.Capture(0);
  site.Capture(1);
  const std::string fallback = FallbackPointsPath(journal);
  EXPECT_EQ(fallback, dir.File("velkaro/points/%proc%self%plan.bmp.points"));
  EXPECT_EQ(site.told.shown,
            std::vector<std::string>{"The reference points cannot be kept beside the plan. "
                                     "Access to /proc/self/plan.bmp.points was denied. They are "
                                     "kept in " + fallback + " instead."});
  EXPECT_EQ(site.projection.JournalLocation(), fallback);
  EXPECT_EQ(CSiteProjection::ReadPoints(fallback).size(), 2u);
  if (saved != nullptr)
    ::setenv("XDG_DATA_HOME", old.c_str(), 1);
  else
    ::unsetenv("XDG_DATA_HOME");
}

// A journal of many points, past what a small limit would take, is read whole.
TEST(PointsJournal, ALargeJournalIsReadWhole) {
  TempFolder dir;
  std::vector<Tap> taps(320'000, Tap{1, 2, 45.123456789012345, 9.123456789012345, 0});
  const std::string text = FormatReferencePoints(taps, std::nullopt);
  ASSERT_GT(text.size(), size_t{16} << 20);
  testing::WriteText(dir.File("big.points"), text);
  EXPECT_EQ(CSiteProjection::ReadPoints(dir.File("big.points")).size(), taps.size());
}

}  // namespace
}  // namespace velkaro
