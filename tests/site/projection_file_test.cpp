// The projection file: its bytes, the round trip through Save and Load, an
// overwritten longer file, and every refusal with the text the user sees.
#include "tests/site/projection_fixture.h"

#include <span>

namespace velkaro {
namespace {

namespace fs = std::filesystem;
using testing::kSmallPlan;
using testing::ReadAll;
using testing::Tap;
using testing::WriteAll;
using ProjectionFileTest = testing::ProjectionFixture;

// The file is the header, the geocode's matrix and the plan's compressed
// block, then the checksum trailer. A longer old file's tail once survived a save and could pass a
// truncated new file's length check; the save now replaces the whole file,
// keeping only the old file's permission bits. Loading it gives back the
// identical bitmap and keeps the geocode.
TEST_F(ProjectionFileTest, SaveOverALongerFileThenLoadGivesBackThePlanAndTheGeocode) {
  const std::string out = dir.File("site.vlk");
  WriteAll(out, std::vector<uint8_t>(300000, 0xEE));
  const fs::perms perms = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  fs::permissions(out, perms);
  ASSERT_TRUE(told(projection.Save(out)));
  EXPECT_TRUE(told.shown.empty());
  const std::vector<uint8_t> file = ReadAll(out);
  const std::vector<uint8_t> block = ReadAll(SideFilePath(plan, SideFile::kBlock));
  ASSERT_GE(block.size(), 1032u);
  ASSERT_EQ(file.size(), 1177u + LoadLe32(block.data()) + 16);
  const std::vector<uint8_t> start = {0x91, 0x00, 0x00, 0x00, 0x20, 0x4B, 0x4C,
                                      0x56, 0x01, 0x00, 0x00, 0x00, 0x00};
  EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.begin() + 13), start);
  EXPECT_EQ(std::vector<uint8_t>(file.begin() + 141, file.begin() + 145),
            std::vector<uint8_t>(4, 0));
  std::vector<double> matrix;
  for (int k = 0; k < 16; ++k) matrix.push_back(LoadLeDouble(file.data() + 13 + 8 * k));
  const auto& p = projection;
  EXPECT_EQ(matrix, (std::vector<double>{p.m_xLat, p.m_xLon, 0, p.m_x0, p.m_yLat, p.m_yLon, 1,
                                         p.m_y0, 0, 0, 1, 0, 0, 0, 0, 1}));
  EXPECT_EQ(std::vector<uint8_t>(file.begin() + 145, file.end() - 16), block);
  EXPECT_EQ(std::vector<uint8_t>(file.end() - 16, file.end() - 8),
            (std::vector<uint8_t>{'V', 'L', 'K', '#', 1, 0, 0, 0}));
  EXPECT_EQ(fs::status(out).permissions(), perms);
  // No temporary file stays beside it.
  for (const auto& entry : fs::directory_iterator(dir.path()))
    EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();

  const double x_lat = projection.m_xLat, y0 = projection.m_y0;
  fs::remove(SideFilePath(plan, SideFile::kBlock));
  ASSERT_TRUE(told(projection.Load(out)));
  EXPECT_EQ(projection.m_strPlanPath, SideFilePath(out, SideFile::kExpandedPlan));
  EXPECT_EQ(ReadAll(SideFilePath(out, SideFile::kBlock)), block);
  EXPECT_EQ(ReadAll(SideFilePath(out, SideFile::kExpandedPlan)), ReadAll(kSmallPlan));
  EXPECT_EQ(projection.m_taps.size(), 5u);
  EXPECT_EQ(projection.m_xLat, x_lat);
  EXPECT_EQ(projection.m_y0, y0);
  EXPECT_TRUE(told.shown.empty());
  EXPECT_EQ(CSiteProjection::CheckChecksum(out), CSiteProjection::Checksum::kMatches);

  // One flipped bit in the block: refused by name, and no side file made;
  // without the trailer the same file opens as files without one always did.
  std::vector<uint8_t> damaged = file;
  damaged[145 + 1032 + 100] ^= 0x10;
  const std::string bad = dir.File("bad.vlk");
  WriteAll(bad, damaged);
  told.shown.clear();
  EXPECT_FALSE(told(projection.Load(bad)));
  EXPECT_EQ(told.shown, std::vector<std::string>{CSiteProjection::DamagedText(bad)});
  EXPECT_FALSE(fs::exists(SideFilePath(bad, SideFile::kExpandedPlan)));
  EXPECT_EQ(CSiteProjection::CheckChecksum(bad), CSiteProjection::Checksum::kDamaged);
  // The same when the window leaves the side files' commit (and the
  // block's copy) for later: the plan is refused before it is given out.
  told.shown.clear();
  PendingSideFiles pending;
  EXPECT_FALSE(told(projection.Load(bad, nullptr, pending)));
  EXPECT_EQ(told.shown, std::vector<std::string>{CSiteProjection::DamagedText(bad)});
  EXPECT_FALSE(pending.pending());
  damaged.resize(damaged.size() - 16);
  WriteAll(bad, damaged);
  EXPECT_EQ(CSiteProjection::CheckChecksum(bad), CSiteProjection::Checksum::kNone);
  EXPECT_TRUE(told(projection.Load(bad)));
}

TEST_F(ProjectionFileTest, SaveRefusesTooFewOrDegenerateTapsAndWritesNothing) {
  const std::string out = dir.File("site.vlk");
  projection.m_taps.resize(4);
  EXPECT_FALSE(told(projection.Save(out)));
  projection.m_taps.assign(5, Tap{10, 10, 45.0, 7.0, 0});  // taken without moving
  EXPECT_FALSE(told(projection.Save(out)));
  EXPECT_EQ(told.shown,
            (std::vector<std::string>{
                "Take at least 5 points.",
                "Points do not generate valid geocode. Take more varied points and resave."}));
  EXPECT_TRUE(told.played.empty());
  EXPECT_FALSE(fs::exists(out));
  EXPECT_FALSE(fs::exists(SideFilePath(plan, SideFile::kBlock)));
}

TEST_F(ProjectionFileTest, AnUnreadablePlanLeavesTheProjectionFileUntouched) {
  const std::string out = dir.File("site.vlk");
  const std::vector<uint8_t> old(2000, 0x5A);
  WriteAll(out, old);

  projection.m_strPlanPath = dir.File("missing.bmp");
  EXPECT_FALSE(told(projection.Save(out)));
  // The compressed side file cannot be made.
  fs::create_directory(SideFilePath(plan, SideFile::kBlock));
  projection.m_strPlanPath = plan;
  EXPECT_FALSE(told(projection.Save(out)));

  EXPECT_EQ(told.shown, (std::vector<std::string>{dir.File("missing.bmp") + " was not found.",
                                                  plan + "c contains an invalid path."}));
  EXPECT_EQ(told.played, (std::vector<std::string>{"REDALERT", "REDALERT"}));
  EXPECT_EQ(ReadAll(out), old);
  EXPECT_FALSE(fs::exists(dir.File("new.vlk")));
}

TEST_F(ProjectionFileTest, AFileIsNeverItsOwnSideFile) {
  // Saving onto the plan's compressed side file would replace the block
  // with the file that holds it; extracting into the projection file would
  // truncate it before reading. The refused save writes nothing.
  const std::string block_path = SideFilePath(plan, SideFile::kBlock);
  WriteAll(block_path, {1, 2, 3});
  EXPECT_FALSE(told(projection.Save(block_path)));
  EXPECT_EQ(told.shown,
            std::vector<std::string>{FileErrorText(FileErrorCause::kSharingViolation, block_path)});
  EXPECT_EQ(told.played, std::vector<std::string>{"REDALERT"});
  EXPECT_EQ(ReadAll(block_path), (std::vector<uint8_t>{1, 2, 3}));

  const std::string out = dir.File("site.vlk");
  ASSERT_TRUE(told(projection.Save(out)));
  const std::vector<uint8_t> saved = ReadAll(out);
  EXPECT_FALSE(told(projection.LoadInto(out, out, dir.File("plan.out"))));
  EXPECT_FALSE(told(projection.LoadInto(out, dir.File("block.out"), out)));
  EXPECT_EQ(ReadAll(out), saved);
}

struct OpenFailure {
  const char* name;
  const char* relative_path;  // under the scratch folder
  FileErrorCause cause;
};

class SaveOpenFailure : public ProjectionFileTest,
                        public ::testing::WithParamInterface<OpenFailure> {};

TEST_P(SaveOpenFailure, ShowsTheTextForTheKindOfFailure) {
  WriteAll(dir.File("regular"), {1, 2, 3});
  fs::create_directory(dir.File("folder.vlk"));
  const std::string out = dir.File(GetParam().relative_path);
  const SiteOutcome saved = projection.Save(out);
  EXPECT_FALSE(told(saved));
  EXPECT_EQ(told.shown, std::vector<std::string>{FileErrorText(GetParam().cause, out)});
  EXPECT_TRUE(told.played.empty()) << "a file that cannot be started sounds no alarm";
  EXPECT_EQ(saved.status().code(), Status::Code::kFileError);
  EXPECT_EQ(saved.status().cause(), GetParam().cause);
  EXPECT_EQ(saved.status().path(), out);
  EXPECT_EQ(ReadAll(dir.File("regular")), (std::vector<uint8_t>{1, 2, 3}));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, SaveOpenFailure,
    ::testing::Values(
        // Tests run as root, which no permission bit stops: a path below a
        // regular file fails with ENOTDIR whoever asks.
        OpenFailure{"ParentIsARegularFile", "regular/site.vlk", FileErrorCause::kBadPath},
        OpenFailure{"MissingFolder", "no-such-folder/site.vlk", FileErrorCause::kFileNotFound},
        OpenFailure{"PathIsAFolder", "folder.vlk", FileErrorCause::kBadPath}),
    [](const auto& info) { return std::string(info.param.name); });

struct LoadRefusal {
  const char* name;
  size_t file_size;      // 0: no file at all; kFolder: a folder
  uint32_t n_in_header;  // written at offset 145 when the file is long enough
  FileErrorCause cause;
};

constexpr size_t kFolder = SIZE_MAX;

class LoadRefused : public ProjectionFileTest, public ::testing::WithParamInterface<LoadRefusal> {};

TEST_P(LoadRefused, ShowsTheTextWritesNoSideFileAndKeepsThePlanPath) {
  const std::string in = dir.File("bad.vlk");
  if (GetParam().file_size == kFolder) {
    fs::create_directory(in);
  } else if (GetParam().file_size > 0) {
    std::vector<uint8_t> bytes(GetParam().file_size, 0);
    if (bytes.size() >= 149) StoreLe32(bytes.data() + 145, GetParam().n_in_header);
    WriteAll(in, bytes);
  }
  projection.m_strPlanPath = "earlier.vlkb";
  const SiteOutcome loaded = projection.Load(in);
  EXPECT_FALSE(told(loaded));
  EXPECT_EQ(told.shown, std::vector<std::string>{FileErrorText(GetParam().cause, in)});
  EXPECT_EQ(loaded.status().cause(), GetParam().cause);
  EXPECT_FALSE(loaded.alarm()) << "opening never sounds the alarm";
  EXPECT_EQ(projection.m_strPlanPath, "earlier.vlkb");
  EXPECT_FALSE(fs::exists(SideFilePath(in, SideFile::kBlock)));
  EXPECT_FALSE(fs::exists(SideFilePath(in, SideFile::kExpandedPlan)));
  EXPECT_EQ(fs::exists(in), GetParam().file_size > 0);  // never created
}

INSTANTIATE_TEST_SUITE_P(
    Files, LoadRefused,
    ::testing::Values(LoadRefusal{"Missing", 0, 0, FileErrorCause::kFileNotFound},
                      LoadRefusal{"HeaderOnly", 145, 0, FileErrorCause::kEndOfFile},
                      LoadRefusal{"OneByteShort", 1176, 0, FileErrorCause::kEndOfFile},
                      LoadRefusal{"CodesRunPastTheEnd", 1177 + 10, 11, FileErrorCause::kEndOfFile},
                      LoadRefusal{"HugeCount", 4000, 0xFFFFFFFFu, FileErrorCause::kEndOfFile},
                      LoadRefusal{"Folder", kFolder, 0, FileErrorCause::kBadPath}),
    [](const auto& info) { return std::string(info.param.name); });

// Sees the plan as the load expands it, and what stood on disk when the
// expansion ended.
class RecordingWatch : public PlanExpansionWatch {
 public:
  explicit RecordingWatch(std::string side_file) : side_file_(std::move(side_file)) {}
  Status Begin(uint64_t length) override {
    length_ = length;
    return Status::Ok();
  }
  void Bytes(uint64_t offset, std::span<const uint8_t> piece) override {
    if (offset != bytes_.size()) out_of_order_ = true;
    bytes_.insert(bytes_.end(), piece.begin(), piece.end());
  }
  void Expanded() override {
    ++expanded_;
    side_file_existed_ = fs::exists(side_file_);
  }

  std::string side_file_;
  uint64_t length_ = 0;
  std::vector<uint8_t> bytes_;
  bool out_of_order_ = false;
  int expanded_ = 0;
  bool side_file_existed_ = false;
};

TEST_F(ProjectionFileTest, LoadShowsTheWatchEveryByteInOrderBeforeTheSideFilesAreInPlace) {
  const std::vector<uint8_t> bitmap = testing::NoisyBitmap(1500, 1000);
  WriteAll(plan, bitmap);
  const std::string out = dir.File("site.vlk");
  ASSERT_TRUE(told(projection.Save(out)));

  RecordingWatch watch(SideFilePath(out, SideFile::kExpandedPlan));
  ASSERT_TRUE(told(projection.Load(out, &watch)));
  EXPECT_EQ(watch.length_, bitmap.size());
  EXPECT_FALSE(watch.out_of_order_);
  EXPECT_TRUE(watch.bytes_ == bitmap);
  EXPECT_EQ(watch.expanded_, 1);
  EXPECT_FALSE(watch.side_file_existed_) << "the picture comes before the side files";
  EXPECT_EQ(ReadAll(SideFilePath(out, SideFile::kExpandedPlan)), bitmap);
  EXPECT_EQ(ReadAll(SideFilePath(out, SideFile::kBlock)),
            ReadAll(SideFilePath(plan, SideFile::kBlock)));
}

// A block whose codes end long before the plan does is refused with the
// designed text, and leaves the plan path and the side files of the last
// good load as they were: nothing of the bad one is written.
TEST_F(ProjectionFileTest, ABadBlockLeavesTheEarlierSideFilesAndTellsTheWatchNothingIsWhole) {
  const std::string out = dir.File("site.vlk");
  ASSERT_TRUE(told(projection.Save(out)));
  ASSERT_TRUE(told(projection.Load(out)));
  const std::vector<uint8_t> good_block = ReadAll(SideFilePath(out, SideFile::kBlock));
  const std::vector<uint8_t> good_plan = ReadAll(SideFilePath(out, SideFile::kExpandedPlan));

  std::vector<uint8_t> file = ReadAll(out);
  StoreLe32(file.data() + 145, 3);  // consistent in size, far too few codes
  file.resize(1177 + 3);
  WriteAll(out, file);
  projection.m_strPlanPath = "earlier.vlkb";
  RecordingWatch watch(SideFilePath(out, SideFile::kExpandedPlan));
  EXPECT_FALSE(told(projection.Load(out, &watch)));
  EXPECT_EQ(told.shown,
            std::vector<std::string>{"An attempt was made to access " + out + " past its end."});
  EXPECT_EQ(projection.m_strPlanPath, "earlier.vlkb");
  EXPECT_EQ(watch.expanded_, 0);
  EXPECT_EQ(ReadAll(SideFilePath(out, SideFile::kBlock)), good_block);
  EXPECT_EQ(ReadAll(SideFilePath(out, SideFile::kExpandedPlan)), good_plan);
}

// A load that leaves the commit to its caller names the expanded plan at
// once, but nothing stands under either side file's name, nor beside them,
// until the commit, which gives the bytes a load gives itself. Dropped
// uncommitted, it leaves no file at all.
TEST_F(ProjectionFileTest, ALoadLeavingTheCommitToItsCallerNamesNoSideFileUntilThen) {
  const std::vector<uint8_t> bitmap = testing::NoisyBitmap(700, 500);
  WriteAll(plan, bitmap);
  const std::string out = dir.File("site.vlk");
  ASSERT_TRUE(told(projection.Save(out)));
  const std::vector<std::string> before = testing::FileNames(dir.path());
  for (const bool commit : {false, true}) {
    PendingSideFiles pending;
    ASSERT_TRUE(told(projection.Load(out, nullptr, pending)));
    EXPECT_EQ(projection.m_strPlanPath, SideFilePath(out, SideFile::kExpandedPlan));
    EXPECT_EQ(testing::FileNames(dir.path()), before) << "not a name, not a temporary";
    EXPECT_TRUE(pending.pending());
    if (commit) {
      ASSERT_TRUE(told(pending.Commit()));
    }
  }
  EXPECT_EQ(ReadAll(SideFilePath(out, SideFile::kExpandedPlan)), bitmap);
  EXPECT_EQ(ReadAll(SideFilePath(out, SideFile::kBlock)),
            ReadAll(SideFilePath(plan, SideFile::kBlock)));
  EXPECT_TRUE(told.shown.empty());
}

// The points go beside a saved file; when they cannot, the file is still
// saved and the user is told once, after the save, without the alarm.
TEST_F(ProjectionFileTest, ASaveWhosePointsCannotBeKeptBesideItIsStillASave) {
  const std::string out = dir.File("site.vlk");
  const std::string points = SideFilePath(out, SideFile::kPoints);
  fs::create_directory(points);  // no file can take its place
  const SiteOutcome saved = projection.Save(out);
  EXPECT_TRUE(told(saved));
  EXPECT_EQ(told.shown,
            std::vector<std::string>{"The reference points could not be kept beside the plan. " +
                                     FileErrorText(FileErrorCause::kBadPath, points)});
  EXPECT_TRUE(told.played.empty());
  EXPECT_TRUE(fs::is_regular_file(out));

  fs::remove(points);
  told = {};
  EXPECT_TRUE(told(projection.Save(out)));
  EXPECT_TRUE(told.shown.empty());
  EXPECT_EQ(CSiteProjection::ReadPoints(points).size(), projection.m_taps.size());
}

}  // namespace
}  // namespace velkaro
