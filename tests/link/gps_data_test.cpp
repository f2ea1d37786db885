// The GPS record: every field of a payload lands in its member, and the fix
// line prints as the site view shows it.
#include "link/gps_data.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace velkaro {
namespace {

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

TEST(GpsData, DecodesEveryField) {
  SamplePayload sample;
  CGpsData gps;
  gps.Decode(sample.bytes);

  EXPECT_EQ(std::memcmp(gps.m_raw, sample.bytes, 152), 0);
  EXPECT_TRUE(gps.m_bFresh);
  EXPECT_EQ(gps.m_month, 12);
  EXPECT_EQ(gps.m_day, 31);
  EXPECT_EQ(gps.m_year, -32767);  // 0x8001 kept bit for bit
  EXPECT_EQ(gps.m_hour, 23);
  EXPECT_EQ(gps.m_minute, 59);
  EXPECT_EQ(gps.m_second, 58);
  EXPECT_DOUBLE_EQ(gps.m_latA, -51.0);
  EXPECT_DOUBLE_EQ(gps.m_lonA, 10.0);
  EXPECT_EQ(gps.m_heightA, -5.0);
  EXPECT_EQ(gps.m_mslA, 2147483647.0);
  EXPECT_EQ(gps.m_latB, 40.5);
  EXPECT_EQ(gps.m_lonB, -73.25);
  EXPECT_EQ(gps.m_heightB, 5591.0);
  EXPECT_EQ(gps.m_mslB, -2147483648.0);
  EXPECT_EQ(gps.m_speed3d, 0xFFFE);
  EXPECT_EQ(gps.m_speed2d, 0x1234);
  EXPECT_EQ(gps.m_heading, 3599);
  EXPECT_EQ(gps.m_dop, 0x8000);
  EXPECT_EQ(gps.m_satsVisible, 12);
  EXPECT_EQ(gps.m_satsTracked, 255);
  EXPECT_EQ(std::memcmp(gps.m_channels, sample.bytes + 57, 72), 0);
  EXPECT_EQ(gps.m_channels[11][5], 71 * 3 + 1);
  EXPECT_EQ(gps.m_fixMode, 6);
  EXPECT_FALSE(gps.IsLocked());
  EXPECT_EQ(gps.m_status, 0xDF);
  EXPECT_EQ(gps.m_statusWord[0], 0xDF);
  EXPECT_EQ(gps.m_statusWord[1], 0x01);
  EXPECT_EQ(gps.m_clockBias, 0xFFF8);
  EXPECT_EQ(gps.m_oscOffset, -99859);
  EXPECT_EQ(gps.m_temperature, 32767.0);  // unsigned word, halved
  EXPECT_TRUE(gps.m_utcFlag7);
  EXPECT_FALSE(gps.m_utcFlag6);
  EXPECT_EQ(gps.m_utcOffset, 18);
  EXPECT_TRUE(gps.m_gmtNegative);
  EXPECT_EQ(gps.m_gmtHours, 5);
  EXPECT_EQ(gps.m_gmtMinutes, 30);
  EXPECT_STREQ(gps.m_idTag, "JX0189");
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

}  // namespace
}  // namespace velkaro
