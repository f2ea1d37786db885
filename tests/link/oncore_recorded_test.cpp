// Recorded receiver messages of the kind the GPS frame carries, each with an
// independent decode (testdata/oncore/expected.csv, see its README.txt).
// Each is framed as the board sends it and run through parser and engine.
#include "link/engine.h"
#include "link/frame_pump.h"
#include "tests/support/frames.h"
#include "tests/support/temp_folder.h"

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace velkaro {
namespace {

using testing::Bytes;

const std::string kDataDir = VELKARO_SOURCE_DIR "/tests/data/oncore";

std::vector<std::string> SplitCsv(const std::string& line) {
  std::vector<std::string> cells;
  std::stringstream in(line);
  std::string cell;
  while (std::getline(in, cell, ',')) cells.push_back(cell);
  if (!line.empty() && line.back() == ',') cells.push_back("");
  return cells;
}

std::vector<std::map<std::string, std::string>> ReadExpected() {
  std::ifstream in(kDataDir + "/expected.csv");
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

long Int(const std::map<std::string, std::string>& row, const char* column) {
  return std::strtol(row.at(column).c_str(), nullptr, 10);
}
long Hex(const std::map<std::string, std::string>& row, const char* column) {
  return std::strtol(row.at(column).c_str(), nullptr, 16);
}
// The file prints doubles so that they read back exactly.
double Real(const std::map<std::string, std::string>& row, const char* column) {
  return std::strtod(row.at(column).c_str(), nullptr);
}

TEST(OncoreRecorded, DecodeAgreesWithIndependentDecode) {
  const auto rows = ReadExpected();
  ASSERT_EQ(rows.size(), 10u) << "missing " << kDataDir << "/expected.csv";

  CCom com;
  Published<CGpsData> gps;
  CEngine engine(com, gps);
  CParser parser;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.at("file"));
    const Bytes payload = testing::ReadAll(kDataDir + "/" + row.at("file"));
    ASSERT_EQ(payload.size(), 152u);
    const Bytes wire = testing::FrameOf(25, payload);
    int frames = 0;
    PumpBytes(parser, wire.data(), wire.size(), [&](uint8_t type, const uint8_t* body, uint32_t n) {
      EXPECT_TRUE(engine.HandleFrame(type, body, n));
      ++frames;
    });
    ASSERT_EQ(frames, 1);
    const CGpsData g = gps.Read();

    EXPECT_EQ(g.m_month, Int(row, "month"));
    EXPECT_EQ(g.m_day, Int(row, "day"));
    EXPECT_EQ(g.m_year, Int(row, "year"));
    EXPECT_EQ(g.m_hour, Int(row, "hour"));
    EXPECT_EQ(g.m_minute, Int(row, "minute"));
    EXPECT_EQ(g.m_second, Int(row, "second"));
    EXPECT_EQ(g.m_latB, Real(row, "lat_deg"));
    EXPECT_EQ(g.m_lonB, Real(row, "lon_deg"));
    EXPECT_EQ(g.m_latA, Real(row, "lat15_deg"));
    EXPECT_EQ(g.m_lonA, Real(row, "lon19_deg"));
    EXPECT_EQ(g.m_heightA, Int(row, "height23_raw"));
    EXPECT_EQ(g.m_mslA, Int(row, "msl27_raw"));
    EXPECT_EQ(g.m_heightB, Int(row, "height39_raw"));
    EXPECT_EQ(g.m_mslB, Int(row, "msl43_raw"));
    EXPECT_EQ(g.m_speed3d, Int(row, "speed3d_raw"));
    EXPECT_EQ(g.m_speed2d, Int(row, "speed2d_raw"));
    EXPECT_EQ(g.m_heading, Int(row, "heading_raw"));
    EXPECT_EQ(g.m_dop, Int(row, "dop_raw"));
    EXPECT_EQ(g.m_satsVisible, Int(row, "sats_visible"));
    EXPECT_EQ(g.m_satsTracked, Int(row, "sats_tracked"));
    EXPECT_EQ(g.m_status, Hex(row, "status129_hex"));
    EXPECT_EQ(g.m_statusWord[0], Hex(row, "status129_hex"));
    EXPECT_EQ(g.m_statusWord[1], Hex(row, "status130_hex"));
    EXPECT_EQ(g.m_fixMode, Int(row, "fix_mode"));
    EXPECT_EQ(g.m_clockBias, Int(row, "clock_bias_u16"));
    EXPECT_EQ(g.m_oscOffset, Int(row, "osc_offset"));
    EXPECT_EQ(g.m_temperature, static_cast<double>(Int(row, "temp_word") >> 1));
    EXPECT_EQ(g.m_utcFlag7, Int(row, "utc_flag7") != 0);
    EXPECT_EQ(g.m_utcFlag6, Int(row, "utc_flag6") != 0);
    EXPECT_EQ(g.m_utcOffset, Int(row, "utc_offset"));
    EXPECT_EQ(g.m_gmtNegative, Int(row, "gmt_sign") != 0);
    EXPECT_EQ(g.m_gmtHours, Int(row, "gmt_hours"));
    EXPECT_EQ(g.m_gmtMinutes, Int(row, "gmt_minutes"));
    EXPECT_EQ(std::string(g.m_idTag), row.at("id_tag"));
    EXPECT_EQ(g.m_raw[151], Hex(row, "checksum151_hex"));

    char line[CGpsData::kFixLineSize];
    g.FormatFix(line);
    EXPECT_EQ(std::string(line), row.at("fix_line"));
  }
}

}  // namespace
}  // namespace velkaro
