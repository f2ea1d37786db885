// What the simulated board sends must be what the handheld's own parser,
// check rule and GPS decoder accept: every test here goes through the
// link's real code, not a second reading of the layout.
#include "simulator/board_frames.h"

#include "link/engine.h"
#include "link/gps_data.h"
#include "link/parser.h"
#include "tests/support/link_helpers.h"

#include <vector>

#include <gtest/gtest.h>

namespace velkaro::board {
namespace {

struct Parsed {
  bool complete = false;
  uint8_t type = 0;
  std::vector<uint8_t> body;
};

Parsed ParseOne(const std::vector<uint8_t>& wire) {
  CParser parser;
  Parsed out;
  for (uint8_t b : wire) {
    parser.Feed(b);
    if (parser.m_state == CParser::Complete) {
      out.complete = true;
      out.type = parser.m_type;
      out.body.assign(parser.m_buffer, parser.m_buffer + parser.m_length);
      break;
    }
  }
  return out;
}

struct FrameCase {
  const char* name;
  uint8_t type;
  std::vector<uint8_t> payload;
};

class EncodeFrameTest : public ::testing::TestWithParam<FrameCase> {};

TEST_P(EncodeFrameTest, ParsesBackAndPassesTheCheck) {
  const FrameCase& c = GetParam();
  const std::vector<uint8_t> wire = EncodeFrame(c.type, c.payload.data(), c.payload.size());

  // Every marker on the wire is one of the three pairs; inside the frame
  // only the escape pair may appear.
  ASSERT_GE(wire.size(), 5u);
  for (std::size_t i = 2; i + 2 < wire.size(); ++i) {
    if (wire[i] == 0x11) {
      ASSERT_EQ(wire[i + 1], 0x14) << "unescaped 11 at " << i;
      ++i;
    }
  }

  const Parsed p = ParseOne(wire);
  ASSERT_TRUE(p.complete);
  EXPECT_EQ(p.type, c.type);
  ASSERT_EQ(p.body.size(), c.payload.size() + 1);
  EXPECT_TRUE(std::equal(c.payload.begin(), c.payload.end(), p.body.begin()));
  EXPECT_TRUE(CEngine::CheckFrame(p.type, p.body.data(), static_cast<uint32_t>(p.body.size())));
}

INSTANTIATE_TEST_SUITE_P(
    Frames, EncodeFrameTest,
    ::testing::Values(FrameCase{"Empty", 5, {}}, FrameCase{"MarkerType", 0x11, {0x20}},
                      FrameCase{"MarkersEverywhere", 0x19, {0x11, 0x11, 0x12, 0x11, 0x13, 0x14}},
                      FrameCase{"CheckByteIsAMarker", 0x01, {0x10}},  // 01 ^ 10 = 11
                      FrameCase{"TypeAndCheckAreMarkers", 0x11, {}},
                      FrameCase{"PlainBytesThatLookLikePairs", 0x12, {0x12, 0x13, 0x14, 0x00}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EncodeTextFrame, FirmwareFrameIsTheHandheldsExample) {
  // Text, its zero and the check byte, exactly as the handheld expects it.
  const std::vector<uint8_t> want = {0x11, 0x12, 0x01, 0x31, 0x2E, 0x30,
                                     0x33, 0x00, 0x1D, 0x11, 0x13};
  EXPECT_EQ(EncodeTextFrame(kTypeFirmware, "1.03"), want);
}

TEST(DegreesToMas, RoundsToNearestAndSaturates) {
  EXPECT_EQ(DegreesToMas(40.5), 145800000);
  EXPECT_EQ(DegreesToMas(-73.25), -263700000);
  EXPECT_EQ(DegreesToMas(1.4e-7), 1);  // 0.504 mas
  EXPECT_EQ(DegreesToMas(-1.4e-7), -1);
  EXPECT_EQ(DegreesToMas(1.3e-7), 0);  // 0.468 mas
  EXPECT_EQ(DegreesToMas(1e9), INT32_MAX);
  EXPECT_EQ(DegreesToMas(-1e9), INT32_MIN);
}

struct PayloadCase {
  const char* name;
  int32_t lat_mas, lon_mas;
  uint8_t fix_mode;
  int year, month, day, hour, minute, second;
};

class PositionPayloadTest : public ::testing::TestWithParam<PayloadCase> {};

TEST_P(PositionPayloadTest, DecodesThroughTheHandheldsRecord) {
  const PayloadCase& c = GetParam();
  PositionReport r;
  r.utc.tm_year = c.year - 1900;
  r.utc.tm_mon = c.month - 1;
  r.utc.tm_mday = c.day;
  r.utc.tm_hour = c.hour;
  r.utc.tm_min = c.minute;
  r.utc.tm_sec = c.second;
  r.lat_mas = c.lat_mas;
  r.lon_mas = c.lon_mas;
  r.fix_mode = c.fix_mode;
  r.height_cm = -1234567;
  r.msl_cm = 0x11111111;  // marker bytes in the payload
  r.speed_cms = 0xBEEF;
  r.heading_ddeg = 3599;
  r.dop_tenths = 14;
  r.sats_visible = 11;
  r.sats_tracked = 12;

  const auto payload = BuildPositionPayload(r);
  // Through the wire and the parser first, as the handheld receives it.
  const Parsed p = ParseOne(EncodeFrame(kTypePosition, payload.data(), payload.size()));
  ASSERT_TRUE(p.complete);
  ASSERT_EQ(p.type, kTypePosition);
  ASSERT_TRUE(CEngine::CheckFrame(p.type, p.body.data(), static_cast<uint32_t>(p.body.size())));

  CGpsData gps;
  gps.Decode(p.body.data());
  EXPECT_EQ(gps.IsLocked(), c.fix_mode == kFixMode3D);
  const double scale = 1.0 / 3600000.0;
  testing::ExpectFields({{"fixMode", gps.m_fixMode, c.fix_mode},
                         {"year", gps.m_year, c.year},
                         {"month", gps.m_month, c.month},
                         {"day", gps.m_day, c.day},
                         {"hour", gps.m_hour, c.hour},
                         {"minute", gps.m_minute, c.minute},
                         {"second", gps.m_second, c.second},
                         {"latB", gps.m_latB, c.lat_mas * scale},
                         {"lonB", gps.m_lonB, c.lon_mas * scale},
                         {"latA", gps.m_latA, gps.m_latB},
                         {"lonA", gps.m_lonA, gps.m_lonB},
                         {"heightB", gps.m_heightB, -1234567},
                         {"mslB", gps.m_mslB, 0x11111111},
                         {"speed3d", gps.m_speed3d, 0xBEEF},
                         {"speed2d", gps.m_speed2d, 0xBEEF},
                         {"heading", gps.m_heading, 3599},
                         {"dop", gps.m_dop, 14},
                         {"satsVisible", gps.m_satsVisible, 11},
                         {"satsTracked", gps.m_satsTracked, 12},
                         {"temperature", gps.m_temperature, 25},
                         {"utcFlag7", gps.m_utcFlag7, true},
                         {"utcOffset", gps.m_utcOffset, 18}});
  EXPECT_STREQ(gps.m_idTag, "VLKSIM");
  for (int ch = 0; ch < 12; ++ch) EXPECT_NE(gps.m_channels[ch][0], 0) << ch;  // 12 tracked
}

INSTANTIATE_TEST_SUITE_P(
    Payloads, PositionPayloadTest,
    ::testing::Values(
        PayloadCase{"DemoSiteLocked", 163783296, 32761382, kFixMode3D, 2026, 12, 8, 1, 9, 12},
        PayloadCase{"Acquiring", 163783296, 32761382, kFixAcquiring, 2026, 1, 31, 23, 59, 59},
        PayloadCase{"SouthWest", -145800000, -263700000, kFixMode3D, 2006, 7, 4, 9, 5, 3},
        PayloadCase{"Extremes", 324000000, -648000000, kFixMode3D, 1999, 12, 31, 0, 0, 0},
        PayloadCase{"ZeroAndMarkers", 0, 0x11111111, kFixMode3D, 2011, 11, 11, 17, 17, 17}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velkaro::board
