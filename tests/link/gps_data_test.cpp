// The GPS record: every field of a payload lands in its member, the fix
// line prints as the site view shows it, and recorded receiver messages
// decode as an independent decoder read them.
#include "link/gps_data.h"

#include "link/fix_summary.h"

#include "tests/support/link_helpers.h"
#include "tests/support/temp_folder.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

namespace velkaro {
namespace {

using testing::Bytes;

void PutBE(uint8_t* p, uint32_t value, int size) {
  for (int i = size - 1; i >= 0; --i, value >>= 8) p[i] = static_cast<uint8_t>(value);
}

// Distinct values in every field, with high bits set where sign or width
// handling could go wrong.
struct SamplePayload {
  SamplePayload() {
    for (int i = 0; i < 152; ++i) bytes[i] = static_cast<uint8_t>(0xA0 + i);  // filler
    bytes[4] = 12;
    bytes[5] = 31;
    PutBE(bytes + 6, 0x8001, 2);  // 32769: above the signed range
    bytes[8] = 23;
    bytes[9] = 59;
    bytes[10] = 58;
    PutBE(bytes + 15, static_cast<uint32_t>(-183600000), 4);  // -51 degrees
    PutBE(bytes + 19, 36000000, 4);                           // 10 degrees
    PutBE(bytes + 23, static_cast<uint32_t>(-5), 4);
    PutBE(bytes + 27, 0x7FFFFFFF, 4);
    PutBE(bytes + 31, 0x08B0BB40, 4);  // 40.5
    PutBE(bytes + 35, 0xF04841E0, 4);  // -73.25
    PutBE(bytes + 39, 5591, 4);
    PutBE(bytes + 43, 0x80000000, 4);
    PutBE(bytes + 47, 0xFFFE, 2);
    PutBE(bytes + 49, 0x1234, 2);
    PutBE(bytes + 51, 3599, 2);
    PutBE(bytes + 53, 0x8000, 2);
    bytes[55] = 12;
    bytes[56] = 255;
    for (int i = 0; i < 72; ++i) bytes[57 + i] = static_cast<uint8_t>(i * 3 + 1);
    bytes[129] = 0xDF;
    bytes[130] = 0x01;
    PutBE(bytes + 133, 0xFFF8, 2);
    PutBE(bytes + 135, static_cast<uint32_t>(-99859), 4);
    PutBE(bytes + 139, 0xFFFF, 2);
    bytes[141] = 0x92;  // bit 7 set, bit 6 clear, offset 18
    bytes[142] = 0x80;
    bytes[143] = 5;
    bytes[144] = 30;
    std::memcpy(bytes + 145, "JX0189", 6);
  }
  uint8_t bytes[152];
};

TEST(GpsData, BeforeAnyFrameTheLineIsAllZero) {
  CGpsData gps;
  EXPECT_FALSE(gps.m_bFresh);
  EXPECT_FALSE(gps.IsLocked());
  char line[CGpsData::kFixLineSize];
  gps.FormatFix(line);
  EXPECT_STREQ(line, "00/00/0000 00:00:00 0.0000 S 0.0000 W");
}

// A 3-D fix off the earth is no lock: the record is damaged, and a point
// stored from it could never be read back.
TEST(GpsData, AThreeDimensionalFixOffTheEarthIsNoLock) {
  CGpsData gps;
  gps.m_fixMode = board::kFixMode3D;
  for (const auto& [lat, lon, locked] : {std::tuple{90.0, -180.0, true}, {-90.0, 180.0, true},
                                        {95.0, 9.0, false}, {45.0, 200.0, false},
                                        {-596.0, 9.0, false}, {45.0, std::nan(""), false}}) {
    gps.m_latB = lat;
    gps.m_lonB = lon;
    EXPECT_EQ(gps.IsLocked(), locked) << lat << " " << lon;
  }
}

TEST(GpsData, DecodesEveryField) {
  SamplePayload sample;
  CGpsData gps;
  gps.Decode(sample.bytes);

  EXPECT_EQ(std::memcmp(gps.m_raw, sample.bytes, 152), 0);
  EXPECT_TRUE(gps.m_bFresh);
  EXPECT_DOUBLE_EQ(gps.m_latA, -51.0);
  EXPECT_DOUBLE_EQ(gps.m_lonA, 10.0);
  testing::ExpectFields({{"month", gps.m_month, 12},
                         {"day", gps.m_day, 31},
                         {"year", gps.m_year, -32767},  // 0x8001 kept bit for bit
                         {"hour", gps.m_hour, 23},
                         {"minute", gps.m_minute, 59},
                         {"second", gps.m_second, 58},
                         {"heightA", gps.m_heightA, -5},
                         {"mslA", gps.m_mslA, 2147483647.0},
                         {"latB", gps.m_latB, 40.5},
                         {"lonB", gps.m_lonB, -73.25},
                         {"heightB", gps.m_heightB, 5591},
                         {"mslB", gps.m_mslB, -2147483648.0},
                         {"speed3d", gps.m_speed3d, 0xFFFE},
                         {"speed2d", gps.m_speed2d, 0x1234},
                         {"heading", gps.m_heading, 3599},
                         {"dop", gps.m_dop, 0x8000},
                         {"satsVisible", gps.m_satsVisible, 12},
                         {"satsTracked", gps.m_satsTracked, 255},
                         {"fixMode", gps.m_fixMode, 6},
                         {"status", gps.m_status, 0xDF},
                         {"statusWord0", gps.m_statusWord[0], 0xDF},
                         {"statusWord1", gps.m_statusWord[1], 0x01},
                         {"clockBias", gps.m_clockBias, 0xFFF8},
                         {"oscOffset", gps.m_oscOffset, -99859},
                         {"temperature", gps.m_temperature, 32767},  // unsigned word, halved
                         {"utcFlag7", gps.m_utcFlag7, 1},
                         {"utcFlag6", gps.m_utcFlag6, 0},
                         {"utcOffset", gps.m_utcOffset, 18},
                         {"gmtNegative", gps.m_gmtNegative, 1},
                         {"gmtHours", gps.m_gmtHours, 5},
                         {"gmtMinutes", gps.m_gmtMinutes, 30}});
  EXPECT_EQ(std::memcmp(gps.m_channels, sample.bytes + 57, 72), 0);
  EXPECT_FALSE(gps.IsLocked());
  EXPECT_STREQ(gps.m_idTag, "JX0189");
  // The quality every source reports the same way: DOP in tenths.
  EXPECT_DOUBLE_EQ(gps.hdop, 0x8000 / 10.0);
  EXPECT_EQ(gps.satellites_used, 255);
  EXPECT_EQ(gps.satellites_seen, 12);
  EXPECT_TRUE(std::isnan(gps.horizontal_error_m));
}

// The status bar says what the source knows, and nothing it has not said.
TEST(FixSummary, TextsSayWhatTheSourceKnowsAndNothingItDoesNot) {
  CGpsData gps;
  EXPECT_EQ(AccuracyText(gps), "");
  EXPECT_EQ(SatellitesText(gps), "");
  EXPECT_EQ(FixAgeText(gps, 5000), "no fix yet");
  gps.m_latB = -37.784788333;
  gps.m_lonB = 175.3148967;
  EXPECT_EQ(PrecisePositionText(gps), "37.7847883 S 175.3148967 E");
  gps.hdop = 1.44;
  gps.satellites_used = 7;
  EXPECT_EQ(AccuracyText(gps), "HDOP 1.4");
  EXPECT_EQ(SatellitesText(gps), "7 satellites");
  bool in_metres = true;
  EXPECT_DOUBLE_EQ(AccuracyFigure(gps, &in_metres), 1.44);
  EXPECT_FALSE(in_metres);
  gps.horizontal_error_m = 3.249;  // an estimate in metres wins over the HDOP
  gps.satellites_seen = 12;
  EXPECT_EQ(AccuracyText(gps), "\u00b13.2 m");
  EXPECT_DOUBLE_EQ(AccuracyFigure(gps, &in_metres), 3.249);
  EXPECT_TRUE(in_metres);
  EXPECT_EQ(SatellitesText(gps), "7/12 satellites");
  gps.m_receivedMs = 1000;
  EXPECT_EQ(FixAgeText(gps, 1450), "fix 0.5 s old");
  EXPECT_EQ(FixAgeText(gps, 900), "fix 0.0 s old");  // never a negative age
  EXPECT_EQ(BoardSourceText("/dev/ttyUSB0", true), "board on /dev/ttyUSB0");
  EXPECT_EQ(BoardSourceText("/dev/ttyS0", false), "no board answering on /dev/ttyS0");
  EXPECT_EQ(GpsdSourceText("localhost:2947", true), "gpsd localhost:2947");
  EXPECT_EQ(GpsdSourceText("localhost:2947", false), "gpsd not reachable");
}

struct FixCase {
  const char* name;
  int month, day, year, hour, minute, second;
  int32_t lat_mas, lon_mas;
  const char* line;
};

class FixLine : public ::testing::TestWithParam<FixCase> {};

TEST_P(FixLine, Prints) {
  const FixCase& c = GetParam();
  uint8_t payload[152] = {};
  payload[4] = static_cast<uint8_t>(c.month);
  payload[5] = static_cast<uint8_t>(c.day);
  PutBE(payload + 6, static_cast<uint32_t>(c.year), 2);
  payload[8] = static_cast<uint8_t>(c.hour);
  payload[9] = static_cast<uint8_t>(c.minute);
  payload[10] = static_cast<uint8_t>(c.second);
  PutBE(payload + 31, static_cast<uint32_t>(c.lat_mas), 4);
  PutBE(payload + 35, static_cast<uint32_t>(c.lon_mas), 4);
  CGpsData gps;
  gps.Decode(payload);
  char line[CGpsData::kFixLineSize];
  std::memset(line, 0x7F, sizeof(line));
  gps.FormatFix(line);
  EXPECT_STREQ(line, c.line);
}

const FixCase kFixes[] = {
    {"Example", 7, 4, 2006, 9, 5, 3, 145800000, -263700000,
     "07/04/2006 09:05:03 40.5000 N 73.2500 W"},
    {"ZeroIsSouthAndWest", 1, 1, 2000, 0, 0, 0, 0, 0, "01/01/2000 00:00:00 0.0000 S 0.0000 W"},
    {"SouthEast", 12, 31, 1999, 23, 59, 59, -1, 1, "12/31/1999 23:59:59 0.0000 S 0.0000 E"},
    {"YearAboveSignedRange", 1, 2, 40000, 3, 4, 5, 3600000, 3600000,
     "01/02/-25536 03:04:05 1.0000 N 1.0000 E"},
    // The widest any payload can make: 48 characters and the zero fill the buffer.
    {"Widest", 255, 255, 32768, 255, 255, 255, INT32_MIN, INT32_MIN,
     "255/255/-32768 255:255:255 596.5232 S 596.5232 W"},
};

INSTANTIATE_TEST_SUITE_P(Lines, FixLine, ::testing::ValuesIn(kFixes),
                         [](const auto& info) { return std::string(info.param.name); });

// Recorded messages of the kind the GPS frame carries, each with an
// independent decode (tests/data/oncore/expected.csv, see its README.txt),
// framed as the board sends them and run through parser and engine.
const std::string kOncoreDir = VELKARO_SOURCE_DIR "/tests/data/oncore";

std::vector<std::string> SplitCsv(const std::string& line) {
  std::vector<std::string> cells;
  std::stringstream in(line);
  std::string cell;
  while (std::getline(in, cell, ',')) cells.push_back(cell);
  if (!line.empty() && line.back() == ',') cells.push_back("");
  return cells;
}

std::vector<std::map<std::string, std::string>> ReadExpected() {
  std::ifstream in(kOncoreDir + "/expected.csv");
  std::string line;
  std::vector<std::map<std::string, std::string>> rows;
  if (!std::getline(in, line)) return rows;
  const std::vector<std::string> header = SplitCsv(line);
  while (std::getline(in, line)) {
    const std::vector<std::string> cells = SplitCsv(line);
    std::map<std::string, std::string> row;
    for (size_t i = 0; i < header.size() && i < cells.size(); ++i) row[header[i]] = cells[i];
    rows.push_back(row);
  }
  return rows;
}

TEST(OncoreRecorded, DecodeAgreesWithIndependentDecode) {
  const auto rows = ReadExpected();
  ASSERT_EQ(rows.size(), 10u) << "missing " << kOncoreDir << "/expected.csv";
  for (const auto& row : rows) {
    SCOPED_TRACE(row.at("file"));
    // The file prints doubles so that they read back exactly.
    auto num = [&](const char* column) { return std::strtod(row.at(column).c_str(), nullptr); };
    auto hex = [&](const char* column) { return std::strtol(row.at(column).c_str(), nullptr, 16); };
    const Bytes payload = testing::ReadAll(kOncoreDir + "/" + row.at("file"));
    ASSERT_EQ(payload.size(), 152u);
    CCom com;
    Published<CGpsData> gps;
    SystemClock clock;
    CEngine engine(com, gps, clock);
    ASSERT_EQ(testing::Deliver(engine, testing::FrameOf(25, payload)), 1);
    const CGpsData g = gps.Read();

    testing::ExpectFields(
        {{"month", g.m_month, num("month")},
         {"day", g.m_day, num("day")},
         {"year", g.m_year, num("year")},
         {"hour", g.m_hour, num("hour")},
         {"minute", g.m_minute, num("minute")},
         {"second", g.m_second, num("second")},
         {"latB", g.m_latB, num("lat_deg")},
         {"lonB", g.m_lonB, num("lon_deg")},
         {"latA", g.m_latA, num("lat15_deg")},
         {"lonA", g.m_lonA, num("lon19_deg")},
         {"heightA", g.m_heightA, num("height23_raw")},
         {"mslA", g.m_mslA, num("msl27_raw")},
         {"heightB", g.m_heightB, num("height39_raw")},
         {"mslB", g.m_mslB, num("msl43_raw")},
         {"speed3d", g.m_speed3d, num("speed3d_raw")},
         {"speed2d", g.m_speed2d, num("speed2d_raw")},
         {"heading", g.m_heading, num("heading_raw")},
         {"dop", g.m_dop, num("dop_raw")},
         {"satsVisible", g.m_satsVisible, num("sats_visible")},
         {"satsTracked", g.m_satsTracked, num("sats_tracked")},
         {"status", g.m_status, hex("status129_hex")},
         {"statusWord0", g.m_statusWord[0], hex("status129_hex")},
         {"statusWord1", g.m_statusWord[1], hex("status130_hex")},
         {"fixMode", g.m_fixMode, num("fix_mode")},
         {"clockBias", g.m_clockBias, num("clock_bias_u16")},
         {"oscOffset", g.m_oscOffset, num("osc_offset")},
         {"temperature", g.m_temperature, static_cast<long>(num("temp_word")) >> 1},
         {"utcFlag7", g.m_utcFlag7, num("utc_flag7") != 0},
         {"utcFlag6", g.m_utcFlag6, num("utc_flag6") != 0},
         {"utcOffset", g.m_utcOffset, num("utc_offset")},
         {"gmtNegative", g.m_gmtNegative, num("gmt_sign") != 0},
         {"gmtHours", g.m_gmtHours, num("gmt_hours")},
         {"gmtMinutes", g.m_gmtMinutes, num("gmt_minutes")},
         {"check byte", g.m_raw[151], hex("checksum151_hex")}});
    EXPECT_EQ(std::string(g.m_idTag), row.at("id_tag"));
    EXPECT_EQ(testing::FixLine(g), row.at("fix_line"));
  }
}

}  // namespace
}  // namespace velkaro
