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
// block. A longer old file's tail once survived a save and could pass a
// truncated new file's length check; the save now replaces the whole file,
// keeping only the old file's permission bits. Loading it gives back the
// identical bitmap and keeps the geocode.
TEST_F(ProjectionFileTest, SaveOverALongerFileThenLoadGivesBackThePlanAndTheGeocode) {
  const std::string out = dir.File("site.vlk");
  WriteAll(out, std::vector<uint8_t>(300000, 0xEE));
  const fs::perms perms = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  fs::permissions(out, perms);
  ASSERT_TRUE(projection.Save(out));
  EXPECT_TRUE(messages.shown.empty());
  const std::vector<uint8_t> file = ReadAll(out);
  const std::vector<uint8_t> block = ReadAll(plan + "c");
  ASSERT_GE(block.size(), 1032u);
  ASSERT_EQ(file.size(), 1177u + LoadLe32(block.data()));
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
  EXPECT_EQ(std::vector<uint8_t>(file.begin() + 145, file.end()), block);
  EXPECT_EQ(fs::status(out).permissions(), perms);
  // No temporary file stays beside it.
  for (const auto& entry : fs::directory_iterator(dir.path()))
    EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();

  const double x_lat = projection.m_xLat, y0 = projection.m_y0;
  fs::remove(plan + "c");
  ASSERT_TRUE(projection.Load(out));
  EXPECT_EQ(projection.m_strPlanPath, out + "b");
  EXPECT_EQ(ReadAll(out + "c"), block);
  EXPECT_EQ(ReadAll(out + "b"), ReadAll(kSmallPlan));
  EXPECT_EQ(projection.m_taps.size(), 5u);
  EXPECT_EQ(projection.m_xLat, x_lat);
  EXPECT_EQ(projection.m_y0, y0);
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ProjectionFileTest, SaveRefusesTooFewOrDegenerateTapsAndWritesNothing) {
  const std::string out = dir.File("site.vlk");
  projection.m_taps.resize(4);
  EXPECT_FALSE(projection.Save(out));
  projection.m_taps.assign(5, Tap{10, 10, 45.0, 7.0, 0});  // taken without moving
  EXPECT_FALSE(projection.Save(out));
  EXPECT_EQ(messages.shown,
            (std::vector<std::string>{
                "Take at least 5 points.",
                "Points do not generate valid geocode. Take more varied points and resave."}));
  EXPECT_FALSE(fs::exists(out));
  EXPECT_FALSE(fs::exists(plan + "c"));
}

TEST_F(ProjectionFileTest, AnUnreadablePlanLeavesTheProjectionFileUntouched) {
  const std::string out = dir.File("site.vlk");
  const std::vector<uint8_t> old(2000, 0x5A);
  WriteAll(out, old);

  projection.m_strPlanPath = dir.File("missing.bmp");
  EXPECT_FALSE(projection.Save(out));
  fs::create_directory(plan + "c");  // the compressed side file cannot be made
  projection.m_strPlanPath = plan;
  EXPECT_FALSE(projection.Save(out));

  EXPECT_EQ(messages.shown, (std::vector<std::string>{dir.File("missing.bmp") + " was not found.",
                                                      plan + "c contains an invalid path."}));
  EXPECT_EQ(waves.played, (std::vector<std::string>{"REDALERT", "REDALERT"}));
  EXPECT_EQ(ReadAll(out), old);
  EXPECT_FALSE(fs::exists(dir.File("new.vlk")));
}

TEST_F(ProjectionFileTest, AFileIsNeverItsOwnSideFile) {
  // Saving onto the plan's compressed side file would write the header over
  // the block being attached; extracting into the projection file would
  // truncate it before reading.
  EXPECT_FALSE(projection.Save(plan + "c"));
  EXPECT_EQ(messages.shown,
            std::vector<std::string>{FileErrorText(FileErrorCause::kSharingViolation, plan + "c")});
  EXPECT_EQ(waves.played, std::vector<std::string>{"REDALERT"});
  const std::vector<uint8_t> block = ReadAll(plan + "c");
  ASSERT_GE(block.size(), 1032u);
  EXPECT_EQ(block.size(), 1032u + LoadLe32(block.data()));  // still the block alone

  const std::string out = dir.File("site.vlk");
  ASSERT_TRUE(projection.Save(out));
  const std::vector<uint8_t> saved = ReadAll(out);
  EXPECT_FALSE(projection.LoadInto(out, out, dir.File("plan.out")));
  EXPECT_FALSE(projection.LoadInto(out, dir.File("block.out"), out));
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
  EXPECT_FALSE(projection.Save(out));
  EXPECT_EQ(messages.shown, std::vector<std::string>{FileErrorText(GetParam().cause, out)});
  EXPECT_TRUE(waves.played.empty());
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
  EXPECT_FALSE(projection.Load(in));
  EXPECT_EQ(messages.shown, std::vector<std::string>{FileErrorText(GetParam().cause, in)});
  EXPECT_EQ(projection.m_strPlanPath, "earlier.vlkb");
  EXPECT_FALSE(fs::exists(in + "c"));
  EXPECT_FALSE(fs::exists(in + "b"));
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
  void Begin(uint64_t length) override { length_ = length; }
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
  ASSERT_TRUE(projection.Save(out));

  RecordingWatch watch(out + "b");
  ASSERT_TRUE(projection.Load(out, &watch));
  EXPECT_EQ(watch.length_, bitmap.size());
  EXPECT_FALSE(watch.out_of_order_);
  EXPECT_TRUE(watch.bytes_ == bitmap);
  EXPECT_EQ(watch.expanded_, 1);
  EXPECT_FALSE(watch.side_file_existed_) << "the picture comes before the side files";
  EXPECT_EQ(ReadAll(out + "b"), bitmap);
  EXPECT_EQ(ReadAll(out + "c"), ReadAll(plan + "c"));
}

// A block whose codes end long before the plan does is refused with the
// designed text, and leaves the plan path and the side files of the last
// good load as they were: nothing of the bad one is written.
TEST_F(ProjectionFileTest, ABadBlockLeavesTheEarlierSideFilesAndTellsTheWatchNothingIsWhole) {
  const std::string out = dir.File("site.vlk");
  ASSERT_TRUE(projection.Save(out));
  ASSERT_TRUE(projection.Load(out));
  const std::vector<uint8_t> good_block = ReadAll(out + "c");
  const std::vector<uint8_t> good_plan = ReadAll(out + "b");

  std::vector<uint8_t> file = ReadAll(out);
  StoreLe32(file.data() + 145, 3);  // consistent in size, far too few codes
  file.resize(1177 + 3);
  WriteAll(out, file);
  projection.m_strPlanPath = "earlier.vlkb";
  RecordingWatch watch(out + "b");
  EXPECT_FALSE(projection.Load(out, &watch));
  EXPECT_EQ(messages.shown,
            std::vector<std::string>{"An attempt was made to access " + out + " past its end."});
  EXPECT_EQ(projection.m_strPlanPath, "earlier.vlkb");
  EXPECT_EQ(watch.expanded_, 0);
  EXPECT_EQ(ReadAll(out + "c"), good_block);
  EXPECT_EQ(ReadAll(out + "b"), good_plan);
}

}  // namespace
}  // namespace velkaro
