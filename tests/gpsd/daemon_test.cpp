// The simulator's NMEA through a real gpsd into the application's gpsd
// source and `vlk watch`: the walk's positions arrive as the board would
// give them; a gpsd killed and started again is picked up by itself, and
// the fix received before it died stops counting as a lock after three
// seconds; with no gpsd listening `vlk watch` says so and fails.
#include "link/gpsd_source.h"
#include "platform/clock.h"
#include "tests/support/child_process.h"
#include "tests/support/gpsd_source_rig.h"
#include "tests/support/temp_folder.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace velkaro {
namespace {

using namespace std::chrono_literals;
using namespace testing;

// The track the simulator replays, both hemispheres; the board rounds each
// position to whole milliarcseconds.
constexpr double kTrack[][2] = {
    {45.49784, 9.100384}, {45.4986, 9.1008}, {-33.856784, -70.648312}, {0.0001, -0.0001}};
constexpr size_t kTrackSize = sizeof kTrack / sizeof kTrack[0];

double BoardDegrees(double degrees) { return std::round(degrees * 3600000.0) / 3600000.0; }

// The index of the track point at `lat`, `lon`, or kTrackSize. Seven
// decimals of minutes on the line and nine of degrees from gpsd keep a
// position within 2e-9 degrees of the board's.
size_t TrackIndex(double lat, double lon) {
  for (size_t i = 0; i < kTrackSize; ++i) {
    if (std::fabs(lat - BoardDegrees(kTrack[i][0])) < 2e-9 &&
        std::fabs(lon - BoardDegrees(kTrack[i][1])) < 2e-9) {
      return i;
    }
  }
  return kTrackSize;
}

class GpsdDaemon : public ::testing::Test, public GpsdSourceRig {
 protected:
  void SetUp() override { ASSERT_TRUE(std::filesystem::is_directory(dir_.path())); }
  void TearDown() override {
    source.Stop();
    watch_.Stop();
    gpsd_.Stop();
    board_.Stop();
  }
  std::string File(const char* name) const { return dir_.File(name); }

  // Starts the simulator speaking NMEA along kTrack; sets pty_.
  void StartBoard() {
    std::ofstream track(File("track.csv"));
    track.precision(12);
    for (const auto& point : kTrack) track << point[0] << "," << point[1] << "\n";
    track.close();
    std::string error;
    ASSERT_TRUE(
        board_.Start(VELKARO_BIN_DIR "/velkaro-board",
                     {"--nmea", "--track", File("track.csv"), "--rate", "4", "--lock-after", "0"},
                     File("board.out"), File("board.err"), &error))
        << error;
    pty_ = FirstLine(File("board.out"), 10s);
    ASSERT_FALSE(pty_.empty()) << ReadText(File("board.err"));
  }

  // Starts a private gpsd on `port` reading the simulator's line.
  void StartGpsd(int port) {
    std::string error;
    ASSERT_TRUE(gpsd_.Start(GpsdProgram(), {"-N", "-n", "-S", std::to_string(port), pty_},
                            File("gpsd.out"), File("gpsd.err"), &error))
        << error;
    ASSERT_TRUE(WaitListening(port, 10s)) << ReadText(File("gpsd.err"));
  }

  testing::TempFolder dir_;
  std::string pty_;
  ChildGroup board_, gpsd_, watch_;
};

TEST_F(GpsdDaemon, TheWalkArrivesAndAKilledGpsdIsPickedUpAgain) {
  ASSERT_NO_FATAL_FAILURE(StartBoard());
  const int port = FreeLoopbackPort();
  ASSERT_NO_FATAL_FAILURE(StartGpsd(port));
  const GpsdAddress address{"localhost", std::to_string(port)};
  source.Start(address, messages, &sink);
  EXPECT_TRUE(messages.shown.empty());

  // Every point of the track, locked, in the track's order.
  auto locked_points = [&](size_t from) {
    std::vector<size_t> points;
    const std::vector<CGpsData> records = sink.Records();
    for (size_t i = from; i < records.size(); ++i) {
      if (records[i].m_fixMode != 7) continue;
      const size_t index = TrackIndex(records[i].m_latB, records[i].m_lonB);
      EXPECT_LT(index, kTrackSize) << records[i].m_latB << " " << records[i].m_lonB;
      if (points.empty() || points.back() != index) points.push_back(index);
    }
    return points;
  };
  ASSERT_TRUE(WaitUntil([&] { return locked_points(0).size() > kTrackSize; }, 30s))
      << ReadText(File("gpsd.err"));
  const std::vector<size_t> points = locked_points(0);
  for (size_t i = 1; i < points.size(); ++i) {
    EXPECT_EQ(points[i], (points[i - 1] + 1) % kTrackSize) << "at " << i;
  }

  // The tool, on the same gpsd, stops after the count.
  std::string error;
  ASSERT_TRUE(watch_.Start(VELKARO_BIN_DIR "/vlk",
                           {"watch", "--gpsd", address.ToString(), "--count", "3"},
                           File("watch.out"), File("watch.err"), &error))
      << error;
  ASSERT_EQ(watch_.WaitExit(20s), 0) << ReadText(File("watch.err"));
  const auto watched = WatchPairs(ReadText(File("watch.out")));
  for (const auto& [fix, mode] : watched) {
    EXPECT_EQ(mode, "mode 7");
    bool on_track = false;
    for (const auto& point : kTrack) {
      on_track = on_track || fix.find(ShownPosition(point[0], point[1])) != std::string::npos;
    }
    EXPECT_TRUE(on_track) << fix;
  }
  EXPECT_EQ(watched.size(), 3u);

  // gpsd dies. The last fix stays in the record, but not as a lock.
  gpsd_.Kill();
  ASSERT_TRUE(WaitUntil([&] { return !source.Connected(); }, 5s));
  const CGpsData last = gps.Read();
  EXPECT_TRUE(last.IsLocked());
  std::this_thread::sleep_for(
      std::chrono::milliseconds(last.m_receivedMs + CGpsData::kStaleAfterMs + 50 - clock.NowMonotonicMs()));
  EXPECT_FALSE(gps.Read().IsLockedAt(clock.NowMonotonicMs()));

  // A new gpsd on the same port: the source finds it by itself.
  const size_t before = sink.Count();
  ASSERT_NO_FATAL_FAILURE(StartGpsd(port));
  ASSERT_TRUE(WaitUntil([&] { return locked_points(before).size() >= 2; }, 30s))
      << ReadText(File("gpsd.err"));
  EXPECT_TRUE(source.Connected());
  EXPECT_TRUE(gps.Read().IsLockedAt(clock.NowMonotonicMs()));
  EXPECT_TRUE(messages.shown.empty());
}

// The source's own message for this is the gpsd source test's; here the
// tool's, and its exit status for wrong usage.
TEST_F(GpsdDaemon, NoGpsdListeningIsReported) {
  const int port = FreeLoopbackPort();
  const GpsdAddress address{"localhost", std::to_string(port)};
  std::string error;
  ASSERT_TRUE(watch_.Start(VELKARO_BIN_DIR "/vlk", {"watch", "--gpsd", address.ToString()},
                           File("watch.out"), File("watch.err"), &error))
      << error;
  EXPECT_EQ(watch_.WaitExit(10s), 1);
  EXPECT_EQ(ReadText(File("watch.err")),
            "vlk watch: Cannot connect to gpsd at localhost:" + std::to_string(port) + ".\n");
  EXPECT_EQ(ReadText(File("watch.out")), "");

  for (const std::vector<std::string>& usage : {std::vector<std::string>{"watch", "--count", "0"},
                                                {"watch", "--gpsd", "host:99999"},
                                                {"watch", "--gpsd"},
                                                {"watch", "extra"}}) {
    ASSERT_TRUE(
        watch_.Start(VELKARO_BIN_DIR "/vlk", usage, File("watch.out"), File("watch.err"), &error));
    EXPECT_EQ(watch_.WaitExit(10s), 2) << usage.back();
  }
}

}  // namespace
}  // namespace velkaro
