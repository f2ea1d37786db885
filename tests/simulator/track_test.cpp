// Track loading (both formats, bad input reported and skipped), the
// built-in demo walk, the walker that replays a track, and the simulator's
// command line.
#include "simulator/track.h"

#include "simulator/board_options.h"
#include "simulator/demo_site.h"
#include "simulator/walker.h"
#include "tests/support/temp_folder.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include <gtest/gtest.h>

namespace velkaro::board {
namespace {

TrackPoint Mas(double lat, double lon) { return {DegreesToMas(lat), DegreesToMas(lon)}; }

struct TrackCase {
  const char* name;
  std::string text;
  std::vector<TrackPoint> points;
  std::vector<std::string> errors;
};

class ParseTrackTest : public ::testing::TestWithParam<TrackCase> {};

TEST_P(ParseTrackTest, KeepsGoodEntriesAndReportsBadOnes) {
  const TrackCase& c = GetParam();
  const Track t = ParseTrack(c.text);
  EXPECT_EQ(t.points, c.points);
  EXPECT_EQ(t.errors, c.errors);
}

INSTANTIATE_TEST_SUITE_P(
    Tracks, ParseTrackTest,
    ::testing::Values(
        TrackCase{"CsvWithHeaderCommentsAndCrLf",
                  "# a walk\r\nlat,lon\r\n45.5,9.1\r\n\r\n  -33.25 , 151.0 \r\n",
                  {Mas(45.5, 9.1), Mas(-33.25, 151.0)},
                  {}},
        TrackCase{
            "CsvBadLinesAreNumberedAndSkipped",
            "45.5,9.1\nfoo,bar\n45.5\n91,0\n0,181\n45.5,9.1x\n1e999,0\nnan,0\n45.6,9.2\n",
            {Mas(45.5, 9.1), Mas(45.6, 9.2)},
            {"line 2: expected \"lat,lon\" in decimal degrees",
             "line 3: expected \"lat,lon\" in decimal degrees", "line 4: latitude out of range",
             "line 5: longitude out of range", "line 6: expected \"lat,lon\" in decimal degrees",
             "line 7: expected \"lat,lon\" in decimal degrees",
             "line 8: expected \"lat,lon\" in decimal degrees"}},
        TrackCase{"CsvHeaderOnlyCountsOnTheFirstLine",
                  "lat,lon\n1,2\nlat,lon\n",
                  {Mas(1, 2)},
                  {"line 3: expected \"lat,lon\" in decimal degrees"}},
        TrackCase{"Empty", "", {}, {}},
        TrackCase{"GpxAttributesInAnyOrderAndQuote",
                  "<?xml version=\"1.0\"?>\n<gpx><trk><trkseg>\n"
                  "<trkpt lat=\"45.5\" lon=\"9.1\"><ele>120</ele></trkpt>\n"
                  "<trkpt lon='9.2' lat='45.6'/>\n"
                  "<trkpt\n  lat = \"-1.5\"\n  lon = \"-2.5\">\n"
                  "</trkseg></trk></gpx>\n",
                  {Mas(45.5, 9.1), Mas(45.6, 9.2), Mas(-1.5, -2.5)},
                  {}},
        TrackCase{"GpxBadPointsReported",
                  "<gpx><trkpt lat=\"45.5\"/><trkpt lat=\"x\" lon=\"1\"/>"
                  "<trkpt xlat=\"1\" lon=\"1\"/><trkpt lat=\"95\" lon=\"1\"/>"
                  "<trkpt lat=\"1\" lon=\"2\"/><trkpt lat=\"3\" lon=\"4\"",
                  {Mas(1, 2)},
                  {"trkpt 1: needs numeric lat and lon attributes",
                   "trkpt 2: needs numeric lat and lon attributes",
                   "trkpt 3: needs numeric lat and lon attributes",
                   "trkpt 4: latitude out of range", "trkpt 6: unterminated tag"}},
        TrackCase{"GpxWithoutPoints", "<gpx></gpx>", {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LoadTrackFile, ReadsAFileAndReportsAMissingOne) {
  testing::TempFolder folder;
  const std::string path = folder.File("track.csv");
  testing::WriteText(path, "lat,lon\n10,20\n");
  const Track t = LoadTrackFile(path);
  std::remove(path.c_str());
  EXPECT_EQ(t.points, std::vector<TrackPoint>{Mas(10, 20)});
  EXPECT_TRUE(t.errors.empty());

  const Track missing = LoadTrackFile(path);
  EXPECT_TRUE(missing.points.empty());
  ASSERT_EQ(missing.errors.size(), 1u);
  EXPECT_NE(missing.errors[0].find("cannot be read"), std::string::npos);
}

// The demo plan's geocode, inverted: (lat, lon) -> plan pixel.
void ToPixel(const TrackPoint& p, double* x, double* y) {
  const DemoSite& site = BuiltInDemoSite();
  *y = (p.lat_mas / 3600000.0 - site.lat0) / site.lat_per_row;
  *x = (p.lon_mas / 3600000.0 - site.lon0) / site.lon_per_column;
}

TEST(BuiltInWalk, WalksTheDemoSiteFromGateToGate) {
  const Track t = ParseTrack(BuiltInWalkText());
  EXPECT_TRUE(t.errors.empty());
  ASSERT_GT(t.points.size(), 300u);

  double x = 0, y = 0;
  ToPixel(t.points.front(), &x, &y);
  EXPECT_NEAR(x, BuiltInDemoSite().landmarks.front().x, 0.1);  // the main gate
  EXPECT_NEAR(y, BuiltInDemoSite().landmarks.front().y, 0.1);

  // Stays on the 720 x 540 plan and moves at walking pace (half a metre a
  // pixel); its stops at the landmarks are the demo site's test.
  for (std::size_t i = 0; i < t.points.size(); ++i) {
    ToPixel(t.points[i], &x, &y);
    ASSERT_TRUE(x >= 0 && x < 720 && y >= 0 && y < 540) << i;
    double nx = 0, ny = 0;
    ToPixel(t.points[(i + 1) % t.points.size()], &nx, &ny);
    EXPECT_LT(0.5 * std::hypot(nx - x, ny - y), 1.6) << i;
  }
}

TEST(Walker, AcquiresInPlaceThenWalksAndLoops) {
  Track t;
  t.points = {Mas(45.0, 9.0), Mas(45.0001, 9.0), Mas(45.0001, 9.0001)};
  Walker w(t, 2.0, 1.0);
  const std::time_t noon = 1765195200;  // 2025-12-08 12:00:00 UTC

  for (double s : {0.0, 0.5, 0.99}) {
    const PositionReport r = w.Next(s, noon);
    EXPECT_EQ(r.fix_mode, kFixAcquiring);
    EXPECT_EQ(r.lat_mas, t.points[0].lat_mas);  // stands at the start
  }
  const PositionReport a = w.Next(1.0, noon);
  EXPECT_EQ(a.fix_mode, kFixMode3D);
  EXPECT_EQ(a.utc.tm_year, 125);
  EXPECT_EQ(a.utc.tm_hour, 12);
  EXPECT_EQ(a.lat_mas, t.points[0].lat_mas);
  EXPECT_EQ(a.heading_ddeg, 0);                    // due north next
  EXPECT_NEAR(a.speed_cms, 11.1195 * 2 * 100, 2);  // 0.0001 degree at 2 Hz

  const PositionReport b = w.Next(1.5, noon);
  EXPECT_EQ(b.lat_mas, t.points[1].lat_mas);
  EXPECT_EQ(b.heading_ddeg, 900);  // due east next
  const PositionReport c = w.Next(2.0, noon);
  EXPECT_EQ(c.lon_mas, t.points[2].lon_mas);
  EXPECT_EQ(w.Next(2.5, noon).lat_mas, t.points[0].lat_mas);  // looped
}

ParsedOptions Parse(std::vector<const char*> args) {
  args.insert(args.begin(), "velkaro-board");
  return ParseBoardOptions(static_cast<int>(args.size()), args.data());
}

TEST(BoardOptions, DefaultsAndEveryOption) {
  // The default identity, and frames rather than NMEA, the end-to-end link
  // tests see from a board started without options.
  const ParsedOptions none = Parse({});
  EXPECT_TRUE(none.status.ok()) << none.status.message();
  EXPECT_EQ(none.options.rate_hz, 1.0);
  EXPECT_EQ(none.options.lock_after_s, 5.0);

  const ParsedOptions all =
      Parse({"--device", "/dev/ttyUSB0", "--track=t.gpx", "--rate", "10", "--firmware", "2.0 beta",
             "--serial=Z9", "--lock-after", "0.5", "--record", "rec.bin"});
  ASSERT_TRUE(all.status.ok()) << all.status.message();
  EXPECT_EQ(all.options.device, "/dev/ttyUSB0");
  EXPECT_EQ(all.options.track, "t.gpx");
  EXPECT_EQ(all.options.rate_hz, 10.0);
  EXPECT_EQ(all.options.firmware, "2.0 beta");
  EXPECT_EQ(all.options.serial, "Z9");
  EXPECT_EQ(all.options.lock_after_s, 0.5);
  EXPECT_EQ(all.options.record, "rec.bin");

  const ParsedOptions gpsd = Parse({"--nmea", "--link", "/tmp/gps0", "--rate=2"});
  ASSERT_TRUE(gpsd.status.ok()) << gpsd.status.message();
  EXPECT_TRUE(gpsd.options.nmea);
  EXPECT_EQ(gpsd.options.link, "/tmp/gps0");
  EXPECT_EQ(gpsd.options.rate_hz, 2.0);

  EXPECT_EQ(Parse({"--rate", "0"}).options.rate_hz, 0.0);  // answers only
  EXPECT_TRUE(Parse({"--help"}).help);
}

class BadUsage : public ::testing::TestWithParam<std::vector<const char*>> {};

TEST_P(BadUsage, IsReportedNotAccepted) {
  const Status status = Parse(GetParam()).status;
  EXPECT_EQ(status.code(), Status::Code::kInvalid);
  EXPECT_FALSE(status.message().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Options, BadUsage,
    ::testing::Values(
        std::vector<const char*>{"--bogus"}, std::vector<const char*>{"extra"},
        std::vector<const char*>{"--rate"}, std::vector<const char*>{"--rate", "-1"},
        std::vector<const char*>{"--rate", "fast"}, std::vector<const char*>{"--rate", "1000"},
        std::vector<const char*>{"--rate", "nan"}, std::vector<const char*>{"--rate", "10x"},
        std::vector<const char*>{"--rate="}, std::vector<const char*>{"--lock-after", "-3"},
        std::vector<const char*>{"--lock-after", "inf"}, std::vector<const char*>{"--device", ""},
        std::vector<const char*>{"--record"}, std::vector<const char*>{"--link"},
        std::vector<const char*>{"--link", ""}, std::vector<const char*>{"--nmea=yes"},
        std::vector<const char*>{"--firmware",
                                 "0123456789012345678901234567890123456789"
                                 "0123456789012345678901234567890123456789"
                                 "0123456789012345678901234567890123456789"
                                 "0123456789012345678901234567890123456789"
                                 "0123456789012345678901234567890123456789"
                                 "x"}));

// The reasons velkaro-board prints before its usage text.
TEST(BoardOptions, WrongUsageSaysWhatIsWrong) {
  EXPECT_EQ(Parse({"--rate", "1", "--bogus=2"}).status.message(), "unknown option '--bogus=2'");
  EXPECT_EQ(Parse({"--track"}).status.message(), "--track needs a value");
  EXPECT_EQ(Parse({"--rate=fast"}).status.message(), "bad value 'fast' for --rate");
  EXPECT_EQ(Parse({"--device", ""}).status.message(), "bad value '' for --device");
}

}  // namespace
}  // namespace velkaro::board
