// The simulator's command line: defaults, every option, and wrong usage.
#include "tools/board/board_options.h"

#include <vector>

#include <gtest/gtest.h>

namespace velkaro::board {
namespace {

ParsedOptions Parse(std::vector<const char*> args) {
  args.insert(args.begin(), "velkaro-board");
  return ParseBoardOptions(static_cast<int>(args.size()), args.data());
}

TEST(BoardOptions, DefaultsAndEveryOption) {
  const ParsedOptions none = Parse({});
  EXPECT_TRUE(none.error.empty());
  EXPECT_EQ(none.options.firmware, "1.03");
  EXPECT_EQ(none.options.serial, "A1B2C3");
  EXPECT_EQ(none.options.rate_hz, 1.0);
  EXPECT_EQ(none.options.lock_after_s, 5.0);
  EXPECT_TRUE(none.options.device.empty());

  const ParsedOptions all =
      Parse({"--device", "/dev/ttyUSB0", "--track=t.gpx", "--rate", "10", "--firmware", "2.0 beta",
             "--serial=Z9", "--lock-after", "0.5", "--record", "rec.bin"});
  ASSERT_TRUE(all.error.empty()) << all.error;
  EXPECT_EQ(all.options.device, "/dev/ttyUSB0");
  EXPECT_EQ(all.options.track, "t.gpx");
  EXPECT_EQ(all.options.rate_hz, 10.0);
  EXPECT_EQ(all.options.firmware, "2.0 beta");
  EXPECT_EQ(all.options.serial, "Z9");
  EXPECT_EQ(all.options.lock_after_s, 0.5);
  EXPECT_EQ(all.options.record, "rec.bin");

  EXPECT_FALSE(none.options.nmea);
  EXPECT_TRUE(none.options.link.empty());
  const ParsedOptions gpsd = Parse({"--nmea", "--link", "/tmp/gps0", "--rate=2"});
  ASSERT_TRUE(gpsd.error.empty()) << gpsd.error;
  EXPECT_TRUE(gpsd.options.nmea);
  EXPECT_EQ(gpsd.options.link, "/tmp/gps0");
  EXPECT_EQ(gpsd.options.rate_hz, 2.0);

  EXPECT_EQ(Parse({"--rate", "0"}).options.rate_hz, 0.0);  // answers only
  EXPECT_TRUE(Parse({"--help"}).help);
}

class BadUsage : public ::testing::TestWithParam<std::vector<const char*>> {};

TEST_P(BadUsage, IsReportedNotAccepted) { EXPECT_FALSE(Parse(GetParam()).error.empty()); }

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

}  // namespace
}  // namespace velkaro::board
