// gpsd's reports in the GPS record: the fix-mode rule with its traps (demo
// mode, dead reckoning, reports without a position), date and time in UTC,
// what a report leaves out, the identity texts, and telling report classes
// apart; and `--gpsd HOST[:PORT]`, with its defaults and what is refused.
#include "link/gpsd_report.h"

#include "link/engine.h"
#include "link/gpsd_address.h"
#include "tests/support/link_helpers.h"

#include <cmath>
#include <cstring>
#include <gps.h>
#include <limits>
#include <optional>
#include <string>

#include <gtest/gtest.h>

namespace velkaro {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

gps_fix_t Fix(int mode, int status, double lat, double lon, time_t seconds = 0) {
  gps_fix_t fix;
  std::memset(&fix, 0, sizeof fix);
  fix.mode = mode;
  fix.status = status;
  fix.latitude = lat;
  fix.longitude = lon;
  fix.time.tv_sec = seconds;
  return fix;
}

struct ModeCase {
  const char* what;
  int mode, status;
  double lat, lon;
  uint8_t expected;
};

class FixModeRule : public ::testing::TestWithParam<ModeCase> {};

TEST_P(FixModeRule, MapsGpsdModeAndStatus) {
  const ModeCase& c = GetParam();
  EXPECT_EQ(FixModeFromGpsd(Fix(c.mode, c.status, c.lat, c.lon)), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Gpsd, FixModeRule,
    ::testing::Values(ModeCase{"plain 3-D fix", MODE_3D, STATUS_FIX, 45.5, 9.1, 7},
                      // gpsd leaves "status" out of a plain fix; libgps then reads 0.
                      ModeCase{"3-D fix without a status", MODE_3D, STATUS_NO_FIX, -37.8, 175.3, 7},
                      ModeCase{"differential", MODE_3D, STATUS_DGPS_FIX, 45.5, 9.1, 7},
                      ModeCase{"RTK fixed", MODE_3D, STATUS_RTK_FIX, 45.5, 9.1, 7},
                      ModeCase{"GNSS with dead reckoning", MODE_3D, STATUS_GNSSDR, 45.5, 9.1, 7},
                      ModeCase{"demo mode", MODE_3D, STATUS_SIM, 40.4, -3.65, 5},
                      ModeCase{"dead reckoning only", MODE_3D, STATUS_DR, 45.5, 9.1, 5},
                      ModeCase{"time only", MODE_3D, STATUS_TIME, 45.5, 9.1, 3},
                      ModeCase{"3-D without latitude", MODE_3D, STATUS_FIX, kNaN, 9.1, 3},
                      ModeCase{"3-D with an infinite longitude", MODE_3D, STATUS_FIX, 45.5, kInf,
                               3},
                      ModeCase{"3-D beyond the pole", MODE_3D, STATUS_FIX, 90.5, 9.1, 3},
                      ModeCase{"3-D past the antimeridian", MODE_3D, STATUS_FIX, 45.5, -180.5, 3},
                      ModeCase{"2-D fix", MODE_2D, STATUS_FIX, 45.5, 9.1, 6},
                      ModeCase{"no fix", MODE_NO_FIX, STATUS_NO_FIX, kNaN, kNaN, 3},
                      ModeCase{"no fix in demo mode", MODE_NO_FIX, STATUS_SIM, kNaN, kNaN, 3},
                      ModeCase{"mode not seen yet", MODE_NOT_SEEN, STATUS_NO_FIX, kNaN, kNaN, 3},
                      ModeCase{"a mode gpsd does not send", 9, STATUS_FIX, 45.5, 9.1, 3}));

TEST(GpsdFix, FillsDateTimeAndBothBlocksAsTheFixLineShowsThem) {
  CGpsData record;
  // 2014-12-31T03:07:19.250Z, the steady-fix capture's first timed report.
  gps_fix_t fix = Fix(MODE_3D, STATUS_NO_FIX, -37.784788333, 175.314896667, 1419995239);
  fix.time.tv_nsec = 250000000;
  ApplyGpsdFix(fix, record);

  EXPECT_EQ(record.m_latB, -37.784788333);
  EXPECT_EQ(record.m_lonB, 175.314896667);
  EXPECT_EQ(record.m_latA, record.m_latB);
  EXPECT_EQ(record.m_lonA, record.m_lonB);
  EXPECT_EQ(record.m_fixMode, 7);
  EXPECT_EQ(record.m_status >> board::kFixModeShift, 7);
  EXPECT_TRUE(record.m_bFresh);
  EXPECT_TRUE(record.IsLocked());
  EXPECT_EQ(testing::FixLine(record), "12/31/2014 03:07:19 37.7848 S 175.3149 E");
}

TEST(GpsdFix, AReportWithoutTimeOrPositionKeepsThePreviousOnes) {
  CGpsData record;
  ApplyGpsdFix(Fix(MODE_3D, STATUS_FIX, 45.49784, 9.1003839, 1781778600), record);
  const std::string before = testing::FixLine(record);

  // The demo-mode receiver's reports: mode 1, simulated, nothing else.
  ApplyGpsdFix(Fix(MODE_NO_FIX, STATUS_SIM, kNaN, kNaN), record);
  EXPECT_EQ(testing::FixLine(record), before);
  EXPECT_EQ(record.m_latB, 45.49784);
  EXPECT_EQ(record.m_fixMode, 3);
  EXPECT_FALSE(record.IsLocked());

  // A position out of range is no position either.
  ApplyGpsdFix(Fix(MODE_2D, STATUS_FIX, 45.5, 200.0), record);
  EXPECT_EQ(record.m_lonB, 9.1003839);
  EXPECT_EQ(record.m_fixMode, 6);
}

devconfig_t Device(const char* path, const char* driver, const char* subtype = "",
                   const char* subtype1 = "") {
  devconfig_t device;
  std::memset(&device, 0, sizeof device);
  std::strncpy(device.path, path, sizeof device.path - 1);
  std::strncpy(device.driver, driver, sizeof device.driver - 1);
  std::strncpy(device.subtype, subtype, sizeof device.subtype - 1);
  std::strncpy(device.subtype1, subtype1, sizeof device.subtype1 - 1);
  return device;
}

// The error estimate is gpsd's eph, else the two axes' combined; HDOP and
// satellites come from SKY and stay until the next SKY.
TEST(GpsdFix, AccuracyComesFromEphOrTheAxesAndSatellitesFromSky) {
  CGpsData record;
  gps_fix_t fix = Fix(MODE_3D, STATUS_FIX, 45.5, 9.1);
  fix.eph = 2.5;
  fix.epx = fix.epy = 30.0;
  ApplyGpsdFix(fix, record);
  EXPECT_DOUBLE_EQ(record.horizontal_error_m, 2.5);
  fix.eph = kNaN;
  fix.epx = 3.0;
  fix.epy = 4.0;
  ApplyGpsdFix(fix, record);
  EXPECT_DOUBLE_EQ(record.horizontal_error_m, 5.0);
  fix.epy = kNaN;  // one axis alone is no horizontal estimate; an old one is not kept
  ApplyGpsdFix(fix, record);
  EXPECT_TRUE(std::isnan(record.horizontal_error_m));

  gps_data_t sky;
  std::memset(&sky, 0, sizeof sky);
  sky.dop.hdop = 1.4;
  sky.satellites_used = 7;
  sky.satellites_visible = 12;
  ApplyGpsdSky(sky, record);
  ApplyGpsdFix(fix, record);
  EXPECT_DOUBLE_EQ(record.hdop, 1.4);
  EXPECT_EQ(record.satellites_used, 7);
  EXPECT_EQ(record.satellites_seen, 12);
  sky.dop.hdop = kNaN;
  ApplyGpsdSky(sky, record);
  EXPECT_TRUE(std::isnan(record.hdop));
}

TEST(GpsdIdentity, DriverAndFirmwareMakeTheFirmwareTextThePathTheSerial) {
  EXPECT_EQ(IdentityFromGpsd(Device("/dev/pts/3", "NMEA0183")),
            (GpsdIdentity{"NMEA0183", "/dev/pts/3"}));
  EXPECT_EQ(IdentityFromGpsd(Device("/dev/ttyACM0", "u-blox", "SW 7.03", "HW 00070000")),
            (GpsdIdentity{"u-blox SW 7.03 HW 00070000", "/dev/ttyACM0"}));
  EXPECT_EQ(IdentityFromGpsd(Device("/dev/ttyUSB0", "")), (GpsdIdentity{"", "/dev/ttyUSB0"}));

  // Texts that fill their arrays to the last byte are read to the end, not past it.
  devconfig_t full = Device("", "");
  std::memset(full.driver, 'D', sizeof full.driver);
  std::memset(full.path, 'P', sizeof full.path);
  const GpsdIdentity identity = IdentityFromGpsd(full);
  EXPECT_EQ(identity.firmware, std::string(sizeof full.driver, 'D'));
  EXPECT_EQ(identity.serial, std::string(sizeof full.path, 'P'));
}

TEST(GpsdIdentity, TheEngineShowsItCutToItsFields) {
  CCom com;
  Published<CGpsData> gps;
  SystemClock clock;
  CEngine engine(com, gps, clock);
  engine.SetIdentity("NMEA0183", "/dev/serial/by-id/usb-Prolific_Technology-if00-port0");
  EXPECT_EQ(testing::FirmwareOf(engine), "NMEA0183");
  EXPECT_EQ(testing::SerialOf(engine), "/dev/serial/by-id/usb-Prolific_");  // 31 characters

  // An unknown text leaves the shown one; a long one keeps its zero.
  engine.SetIdentity(std::string(400, 'f'), "");
  EXPECT_EQ(testing::FirmwareOf(engine), std::string(CEngine::kFirmwareSize - 1, 'f'));
  EXPECT_EQ(testing::SerialOf(engine), "/dev/serial/by-id/usb-Prolific_");
}

TEST(GpsdReport, ClassIsReadFromTheReportsStart) {
  EXPECT_EQ(ClassifyGpsdReport(R"({"class":"TPV","device":"/dev/pts/1","mode":3})"),
            GpsdReportKind::kTpv);
  EXPECT_EQ(ClassifyGpsdReport(R"({"class":"DEVICE","path":"/dev/pts/1"})"),
            GpsdReportKind::kDevice);
  EXPECT_EQ(ClassifyGpsdReport(R"({"class":"DEVICES","devices":[]})"), GpsdReportKind::kDevices);
  EXPECT_EQ(ClassifyGpsdReport(R"({"class":"SKY","satellites":[]})"), GpsdReportKind::kSky);
  for (const char* other :
       {R"({"class":"SKYE"})", R"({"class":"TPVX"})", R"({"class":"TP)",
        R"( {"class":"TPV"})", R"({"mode":3,"class":"TPV"})", "", "$GPGGA,,,,,,0,,,,,,,,*66"}) {
    EXPECT_EQ(ClassifyGpsdReport(other), GpsdReportKind::kOther) << other;
  }
}

struct AddressCase {
  const char* text;
  const char* host;
  const char* port;
  const char* shown;
};

class GoodAddress : public ::testing::TestWithParam<AddressCase> {};

TEST_P(GoodAddress, IsReadWithDefaultsForWhatIsLeftOut) {
  const AddressCase& c = GetParam();
  const std::optional<GpsdAddress> address = ParseGpsdAddress(c.text);
  ASSERT_TRUE(address) << c.text;
  EXPECT_EQ(address->host, c.host);
  EXPECT_EQ(address->port, c.port);
  EXPECT_EQ(address->ToString(), c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Gpsd, GoodAddress,
    ::testing::Values(AddressCase{"", "localhost", "2947", "localhost:2947"},
                      AddressCase{"gps.local", "gps.local", "2947", "gps.local:2947"},
                      AddressCase{"localhost:29470", "localhost", "29470", "localhost:29470"},
                      AddressCase{":3000", "localhost", "3000", "localhost:3000"},
                      AddressCase{"10.0.0.7:", "10.0.0.7", "2947", "10.0.0.7:2947"},
                      AddressCase{"[::1]:2948", "::1", "2948", "[::1]:2948"},
                      AddressCase{"[fe80::1]", "fe80::1", "2947", "[fe80::1]:2947"},
                      AddressCase{"::1", "::1", "2947", "[::1]:2947"},
                      AddressCase{"h:65535", "h", "65535", "h:65535"}));

TEST(GpsdAddress, BadPortsAndHostsAreRefused) {
  for (const char* text : {"localhost:0", "localhost:65536", "localhost:080", "localhost:http",
                           "localhost:-1", "localhost:+80", "localhost:123456", "bad host:2947",
                           "tab\there", "[::1", "[::1]2947", "[::1]:x", "[]]:1", "a]b:2947"}) {
    EXPECT_FALSE(ParseGpsdAddress(text)) << text;
  }
  EXPECT_FALSE(ParseGpsdAddress(std::string(254, 'h')));
  EXPECT_TRUE(ParseGpsdAddress(std::string(253, 'h')));
}

}  // namespace
}  // namespace velkaro
