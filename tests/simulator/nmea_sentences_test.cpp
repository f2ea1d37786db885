// The simulator's NMEA: checksums as real receivers compute them (checked
// against every sentence of the bundled captures), positions that read back
// to the walk's milliarcseconds, hemispheres, and the three sentences before
// and after the fix, field by field; and --link PATH, the simulator's line
// under a stable name, taken over by a second simulator without a moment in
// which the name is missing, and never put over a file that is not a link or
// removed from under its new owner.
#include "simulator/nmea_sentences.h"

#include "simulator/line_link.h"
#include "tests/support/temp_folder.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

namespace velkaro::board {
namespace {

std::vector<std::string> Fields(const std::string& sentence) {
  // Between '$' and '*'.
  const std::string body = sentence.substr(1, sentence.find('*') - 1);
  std::vector<std::string> fields;
  std::stringstream in(body);
  std::string field;
  while (std::getline(in, field, ',')) fields.push_back(field);
  if (!body.empty() && body.back() == ',') fields.push_back("");
  return fields;
}

std::vector<std::string> Sentences(const std::string& text) {
  std::vector<std::string> out;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find("\r\n", at);
    if (end == std::string::npos) break;
    out.push_back(text.substr(at, end + 2 - at));
    at = end + 2;
  }
  return out;
}

TEST(NmeaChecksum, MatchesEverySentenceOfTheRecordedReceivers) {
  int checked = 0;
  for (const char* name : {"bu353s4", "bu353-glonass", "sirfstarv-nmea", "garmin-geko201"}) {
    std::ifstream log(std::string(VELKARO_SOURCE_DIR "/tests/data/nmea/") + name + ".log");
    ASSERT_TRUE(log) << name;
    std::string line;
    while (std::getline(log, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const std::size_t star = line.rfind('*');
      if (line.empty() || line[0] != '$' || star == std::string::npos || star + 3 != line.size())
        continue;
      const std::string body = line.substr(1, star - 1);
      EXPECT_EQ(NmeaChecksum(body), std::strtoul(line.substr(star + 1).c_str(), nullptr, 16))
          << line;
      EXPECT_EQ(NmeaSentence(body), line + "\r\n");
      ++checked;
    }
  }
  EXPECT_GT(checked, 700);
}

TEST(NmeaPosition, HemispheresAndFieldWidths) {
  EXPECT_EQ(NmeaLatitude(0), "0000.0000000,N");
  EXPECT_EQ(NmeaLongitude(0), "00000.0000000,E");
  EXPECT_EQ(NmeaLatitude(-1), "0000.0000167,S");  // 1/60000 minute
  EXPECT_EQ(NmeaLatitude(90 * kMasPerDegree), "9000.0000000,N");
  EXPECT_EQ(NmeaLongitude(-180 * kMasPerDegree), "18000.0000000,W");
  EXPECT_EQ(NmeaLongitude(kMasPerDegree - 1), "00059.9999833,E");
  // The steady-fix capture's first position, which the receiver printed as
  // 3747.0873,S and 17518.8938,E.
  EXPECT_EQ(NmeaLatitude(DegreesToMas(-37.784788333)), "3747.0873000,S");
  EXPECT_EQ(NmeaLongitude(DegreesToMas(175.314896667)), "17518.8938000,E");
}

// ddmm.mmmmmmm back to degrees, as a reader of NMEA does.
double ReadBack(const std::string& field, int degree_digits) {
  const double degrees = std::stod(field.substr(0, degree_digits));
  const double minutes = std::stod(field.substr(degree_digits, field.find(',') - degree_digits));
  const double value = degrees + minutes / 60.0;
  return field.back() == 'S' || field.back() == 'W' ? -value : value;
}

TEST(NmeaPosition, ReadsBackToTheMilliarcsecond) {
  // Half a unit of the seventh decimal of a minute.
  const double bound = 0.5e-7 / 60.0 + 1e-12;
  for (int32_t mas = -648000000; mas <= 648000000; mas += 7777777) {
    const double degrees = mas / static_cast<double>(kMasPerDegree);
    EXPECT_NEAR(ReadBack(NmeaLongitude(mas), 3), degrees, bound) << mas;
    if (std::abs(mas) <= 90 * kMasPerDegree) {
      EXPECT_NEAR(ReadBack(NmeaLatitude(mas), 2), degrees, bound) << mas;
    }
  }
}

PositionReport Report(uint8_t fix_mode) {
  PositionReport r;
  r.utc.tm_year = 2026 - 1900;
  r.utc.tm_mon = 5;
  r.utc.tm_mday = 15;
  r.utc.tm_hour = 10;
  r.utc.tm_min = 30;
  r.utc.tm_sec = 5;
  r.lat_mas = DegreesToMas(45.49784);
  r.lon_mas = DegreesToMas(-9.100384);
  r.msl_cm = 12000;
  r.height_cm = 16800;
  r.speed_cms = 140;
  r.heading_ddeg = 2705;
  r.fix_mode = fix_mode;
  r.sats_tracked = 8;
  r.sats_visible = 10;
  r.dop_tenths = 14;
  return r;
}

TEST(NmeaReport, BeforeTheFixNoPosition) {
  const std::vector<std::string> s = Sentences(NmeaReport(Report(kFixAcquiring), 7));
  ASSERT_EQ(s.size(), 6u);  // GGA, GSA, three GSV, RMC
  const auto gga = Fields(s[0]), gsa = Fields(s[1]), rmc = Fields(s[5]);
  ASSERT_EQ(gga.size(), 15u);
  EXPECT_EQ(gga[0], "GPGGA");
  EXPECT_EQ(gga[1], "103005.07");
  EXPECT_EQ(gga[2] + gga[3] + gga[4] + gga[5], "");
  EXPECT_EQ(gga[6], "0");
  ASSERT_EQ(gsa.size(), 18u);
  EXPECT_EQ(gsa[0] + " " + gsa[1] + " " + gsa[2], "GPGSA A 1");
  ASSERT_EQ(rmc.size(), 13u);
  EXPECT_EQ(rmc[0] + " " + rmc[1] + " " + rmc[2], "GPRMC 103005.07 V");
  EXPECT_EQ(rmc[3] + rmc[4] + rmc[5] + rmc[6], "");
  EXPECT_EQ(rmc[9], "150626");
  EXPECT_EQ(rmc[12], "N");
}

TEST(NmeaReport, WithTheFixAThreeDimensionalPosition) {
  const std::string text = NmeaReport(Report(kFixMode3D), 99);
  const std::vector<std::string> s = Sentences(text);
  ASSERT_EQ(s.size(), 6u);
  for (const std::string& sentence : s) {
    EXPECT_LE(sentence.size(), 82u) << sentence;  // NMEA's limit, CR LF included
    const std::size_t star = sentence.find('*');
    EXPECT_EQ(NmeaSentence(sentence.substr(1, star - 1)), sentence);
  }
  const auto gga = Fields(s[0]), gsa = Fields(s[1]), rmc = Fields(s[5]);
  ASSERT_EQ(gga.size(), 15u);
  EXPECT_EQ(gga[1], "103005.99");
  EXPECT_EQ(gga[2] + "," + gga[3], "4529.8704000,N");
  // 9.100384 degrees is 32761382.4 mas: the board sends 32761382.
  EXPECT_EQ(gga[4] + "," + gga[5], "00906.0230333,W");
  EXPECT_EQ(gga[6], "1");
  EXPECT_EQ(gga[8], "1.4");
  EXPECT_EQ(gga[9] + gga[10] + " " + gga[11] + gga[12], "120.0M 48.0M");
  ASSERT_EQ(gsa.size(), 18u);
  EXPECT_EQ(gsa[2], "3");
  EXPECT_EQ(gsa[16], "1.4");  // HDOP, between PDOP and VDOP
  // Ten in view, four to a sentence; the eight used have a signal.
  const auto gsv1 = Fields(s[2]), gsv3 = Fields(s[4]);
  ASSERT_EQ(gsv1.size(), 4u + 4 * 4);
  EXPECT_EQ(gsv1[0] + " " + gsv1[1] + " " + gsv1[2] + " " + gsv1[3], "GPGSV 3 1 10");
  EXPECT_EQ(gsv1[4] + " " + gsv1[5] + " " + gsv1[6] + " " + gsv1[7], "03 15 000 42");
  ASSERT_EQ(gsv3.size(), 4u + 2 * 4);
  EXPECT_EQ(gsv3[4] + " " + gsv3[7] + " " + gsv3[8] + " " + gsv3[11], "19  21 ");
  ASSERT_EQ(rmc.size(), 13u);
  EXPECT_EQ(rmc[2], "A");
  EXPECT_EQ(rmc[3] + "," + rmc[4] + "," + rmc[5] + "," + rmc[6], "4529.8704000,N,00906.0230333,W");
  EXPECT_EQ(rmc[7], "2.72");   // 1.4 m/s in knots
  EXPECT_EQ(rmc[8], "270.5");  // course over ground
  EXPECT_EQ(rmc[9], "150626");
  EXPECT_EQ(rmc[12], "A");
}

class LineLinkTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(std::filesystem::is_directory(folder_.path())); }
  static std::string Target(const std::string& path) {
    char buffer[256];
    const ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer);
    return n < 0 ? "" : std::string(buffer, static_cast<size_t>(n));
  }
  bool Exists(const std::string& path) const {
    struct stat s {};
    return ::lstat(path.c_str(), &s) == 0;
  }

  testing::TempFolder folder_;
  std::string dir_ = folder_.path().string();
  std::string name_ = folder_.File("gps0");
};

TEST_F(LineLinkTest, ASecondBoardTakesTheNameAndKeepsItWhenTheFirstEnds) {
  std::string error;
  LineLink first;
  ASSERT_TRUE(first.Create(name_, "/dev/pts/7", &error)) << error;
  EXPECT_EQ(Target(name_), "/dev/pts/7");
  {
    LineLink second;
    ASSERT_TRUE(second.Create(name_, "/dev/pts/8", &error)) << error;
    EXPECT_EQ(Target(name_), "/dev/pts/8");
    first.Remove();  // the first board ends: the name stays the second's
    EXPECT_EQ(Target(name_), "/dev/pts/8");
  }
  EXPECT_FALSE(Exists(name_));  // the second board ended too
  EXPECT_EQ(::rmdir(dir_.c_str()), 0) << "a temporary name was left in the folder";
  ::mkdir(dir_.c_str(), 0700);
}

TEST_F(LineLinkTest, AFileThatIsNoLinkIsLeftAlone) {
  std::ofstream(name_) << "keep me";
  std::string error;
  LineLink link;
  EXPECT_FALSE(link.Create(name_, "/dev/pts/7", &error));
  EXPECT_NE(error.find("not a symbolic link"), std::string::npos) << error;
  link.Remove();
  std::string content;
  std::getline(std::ifstream(name_), content);
  EXPECT_EQ(content, "keep me");

  EXPECT_FALSE(link.Create(dir_ + "/missing/gps0", "/dev/pts/7", &error));
}

}  // namespace
}  // namespace velkaro::board
