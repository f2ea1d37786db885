// A FIFO wherever a path is taken: opened without blocking and refused at
// once, nothing created beside it, the FIFO left as it was. Before, opening
// a FIFO as a projection file froze the window until a writer appeared, and
// a FIFO as the plan, its side file or debug.txt made a save hang. Every
// step here would hang (until the test's time-out) if a FIFO were opened in
// the ordinary, blocking way.
#include "compression/compression.h"
#include "platform/regular_file.h"
#include "tests/site/projection_fixture.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

#include <sys/stat.h>

namespace velkaro {
namespace {

namespace fs = std::filesystem;
using testing::RunVlk;

class FifoTest : public testing::ProjectionFixture {
 protected:
  std::string Fifo(const std::string& name) {
    const std::string path = dir.File(name);
    EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
    return path;
  }
};

TEST_F(FifoTest, TheReaderRefusesAFifoADeviceAndAFolderAtOnce) {
  int error = 0;
  EXPECT_LT(OpenRegularFile(Fifo("pipe"), &error), 0);
  EXPECT_EQ(error, EACCES);
  EXPECT_LT(OpenRegularFile("/dev/null", &error), 0);
  EXPECT_EQ(error, EACCES);
  EXPECT_LT(OpenRegularFile(dir.path().string(), &error), 0);
  EXPECT_EQ(error, EISDIR);
  const int fd = OpenRegularFile(plan, &error);
  EXPECT_GE(fd, 0);
  ::close(fd);
}

TEST_F(FifoTest, OpeningAFifoAsAProjectionFileIsRefusedWithNoSideFile) {
  const std::string fifo = Fifo("site.vlk");
  EXPECT_FALSE(told(projection.Load(fifo)));
  EXPECT_EQ(told.shown, std::vector<std::string>{"Access to " + fifo + " was denied."});
  EXPECT_FALSE(fs::exists(SideFilePath(fifo, SideFile::kBlock)));
  EXPECT_FALSE(fs::exists(SideFilePath(fifo, SideFile::kExpandedPlan)));
  EXPECT_TRUE(fs::is_fifo(fifo));
}

TEST_F(FifoTest, SavingOntoAFifoOrFromAFifoPlanIsRefused) {
  const std::string fifo = Fifo("site.vlk");
  EXPECT_FALSE(told(projection.Save(fifo)));
  EXPECT_EQ(told.shown.back(), "Access to " + fifo + " was denied.");
  EXPECT_TRUE(fs::is_fifo(fifo));

  projection.m_strPlanPath = Fifo("fifo-plan.bmp");
  told.shown.clear();
  EXPECT_FALSE(told(projection.Save(dir.File("other.vlk"))));
  EXPECT_EQ(told.shown.back(), "Access to " + projection.m_strPlanPath + " was denied.");
  EXPECT_FALSE(fs::exists(dir.File("other.vlk")));
}

TEST_F(FifoTest, AFifoInPlaceOfTheSideFilesIsLeftAlone) {
  // The plan's compressed side file.
  const std::string side = Fifo("plan.bmpc");
  EXPECT_FALSE(told(projection.Save(dir.File("site.vlk"))));
  EXPECT_EQ(told.shown.back(), "Access to " + side + " was denied.");
  EXPECT_TRUE(fs::is_fifo(side));
  EXPECT_FALSE(fs::exists(dir.File("site.vlk")));

  // Open's expanded side file, from a good projection file.
  fs::remove(side);
  ASSERT_TRUE(told(projection.Save(dir.File("site.vlk"))));
  const std::string expanded = Fifo("site.vlkb");
  told.shown.clear();
  EXPECT_FALSE(told(projection.Load(dir.File("site.vlk"))));
  EXPECT_EQ(told.shown.front(), "Access to " + expanded + " was denied.");
  EXPECT_TRUE(fs::is_fifo(expanded));
}

TEST_F(FifoTest, AFifoNamedDebugTxtLetsTheSolveComplete) {
  const std::string dump = Fifo("debug.txt");
  projection.Solve();
  EXPECT_TRUE(projection.Validate());
  EXPECT_TRUE(fs::is_fifo(dump));
}

TEST_F(FifoTest, AFifoForThePointsIsNeitherReadNorReplaced) {
  const std::string points = Fifo("plan.bmp.points");
  EXPECT_TRUE(CSiteProjection::ReadPoints(points).empty());
  EXPECT_NE(projection.WritePoints(points), FileErrorCause::kNone);
  EXPECT_TRUE(fs::is_fifo(points));
}

TEST_F(FifoTest, TheCodecRefusesFifosOnEitherSide) {
  const std::string fifo = Fifo("pipe");
  EXPECT_EQ(CCompression(fifo, dir.File("out")).Compress().cause, FileErrorCause::kAccessDenied);
  EXPECT_EQ(CCompression(plan, fifo).Compress().cause, FileErrorCause::kAccessDenied);
  EXPECT_FALSE(fs::exists(dir.File("out")));
}

TEST_F(FifoTest, VlkRefusesFifosAndReturns) {
  Fifo("pipe.vlk");
  Fifo("taps.csv");
  EXPECT_EQ(RunVlk(dir.path(), "info pipe.vlk").status, 1);
  EXPECT_EQ(RunVlk(dir.path(), "extract pipe.vlk out.bmp").status, 1);
  EXPECT_EQ(RunVlk(dir.path(), "solve taps.csv").status, 1);
  EXPECT_EQ(RunVlk(dir.path(), "expand pipe.vlk out.bmp").status, 1);
  EXPECT_FALSE(fs::exists(dir.File("out.bmp")));
}

}  // namespace
}  // namespace velkaro
