// The reference-point file: what we write comes back bit for bit, files that
// QGIS's georeferencer writes are read, and anything else is refused with the
// line that is wrong.
#include "site/reference_points_file.h"

#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace velkaro {
namespace {

using testing::Lines;
using Tap = CSiteProjection::_tap;

// Every field, doubles to the bit.
void ExpectSameTaps(const std::vector<Tap>& got, const std::vector<Tap>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i)
    EXPECT_EQ(std::memcmp(&got[i], &want[i], sizeof(Tap)), 0) << "tap " << i;
}

TEST(ReferencePointsFile, RandomTapsComeBackBitForBit) {
  std::mt19937_64 random(20240611);
  std::uniform_int_distribution<int32_t> pixel(INT32_MIN, INT32_MAX);
  std::uniform_real_distribution<double> lat(-90.0, 90.0), lon(-180.0, 180.0);
  std::vector<Tap> taps;
  for (int i = 0; i < 2000; ++i)
    taps.push_back(Tap{pixel(random), pixel(random), lat(random), lon(random), 0});
  // The edges of every range, and doubles whose shortest text is long.
  taps.push_back(Tap{INT32_MIN, INT32_MAX, -90.0, 180.0, 0});
  taps.push_back(Tap{INT32_MAX, INT32_MIN, 90.0, -180.0, 0});
  taps.push_back(Tap{0, -1, std::nextafter(0.0, 1.0), -0.0, 0});
  taps.push_back(Tap{-1, 0, 0.1 + 0.2, std::nextafter(45.0, 0.0), 0});

  const ReferencePoints parsed = ParseReferencePoints(FormatReferencePoints(taps, std::nullopt));
  ASSERT_TRUE(parsed.status.ok()) << parsed.status.message();
  ExpectSameTaps(parsed.taps, taps);
}

// Averaged points keep their spread and fix count in two more columns,
// which a file of instantaneous points does not have.
TEST(ReferencePointsFile, AveragedPointsKeepSpreadAndFixes) {
  const std::vector<Tap> taps{Tap{10, 20, 45.5, 9.1, 0}, Tap{30, 40, 45.4, 9.2, 0}};
  const std::vector<CSiteProjection::Averaging> averaging{{taps[0], 0.0, 1},
                                                          {taps[1], 0.1 + 0.2, 6}};
  const std::string text = FormatReferencePoints(taps, std::nullopt, averaging);
  const std::vector<std::string> lines = Lines(text);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1], "mapX,mapY,sourceX,sourceY,enable,dX,dY,residual,spread,fixes");
  EXPECT_EQ(lines[2], "9.0999999999999996,45.5,10.5,-20.5,1,0,0,0,0,1");
  EXPECT_EQ(lines[3], "9.1999999999999993,45.399999999999999,30.5,-40.5,1,0,0,0,0.30000000000000004,6");
  const ReferencePoints parsed = ParseReferencePoints(text);
  ASSERT_TRUE(parsed.status.ok()) << parsed.status.message();
  ExpectSameTaps(parsed.taps, taps);
  ASSERT_EQ(parsed.averaging.size(), 2u);
  EXPECT_EQ(parsed.averaging[1].spread_m, 0.1 + 0.2);
  EXPECT_EQ(parsed.averaging[1].fixes, 6);
  EXPECT_EQ(parsed.averaging[0].fixes, 1);

  const std::vector<CSiteProjection::Averaging> instant{{taps[0], 0.0, 1}, {taps[1], 0.0, 1}};
  EXPECT_EQ(FormatReferencePoints(taps, std::nullopt, instant),
            FormatReferencePoints(taps, std::nullopt));
  EXPECT_TRUE(ParseReferencePoints(FormatReferencePoints(taps, std::nullopt)).averaging.empty());
}

TEST(ReferencePointsFile, WritesTheGeoreferencerLayoutWithResidualsInItsFrame) {
  // 1e-5 degrees per pixel, north up: x = 1e5 (lon - 7), y = -1e5 (lat - 46).
  const Geocode geocode{0.0, 1e5, -7e5, -1e5, 0.0, 46e5};
  // The first tap lies where the geocode puts it; the second sits 3 columns
  // left of and 4 rows below where the geocode puts its position.
  const std::vector<Tap> taps{Tap{100, 200, 45.998, 7.001, 0}, Tap{97, 204, 45.998, 7.001, 0}};
  const std::vector<std::string> lines = Lines(FormatReferencePoints(taps, geocode));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], std::string("#CRS: ") + kReferencePointsCrsWkt);
  EXPECT_EQ(lines[0].find('\n'), std::string::npos);
  EXPECT_EQ(lines[1], "mapX,mapY,sourceX,sourceY,enable,dX,dY,residual");
  EXPECT_EQ(lines[2].rfind("7.0010000000000003,45.997999999999998,100.5,-200.5,1,", 0), 0u)
      << lines[2];

  double d[8];
  char comma;
  std::istringstream row(lines[3]);
  for (int i = 0; i < 8; ++i) row >> d[i] >> comma;
  EXPECT_EQ(d[2], 97.5);
  EXPECT_EQ(d[3], -204.5);
  EXPECT_EQ(d[4], 1.0);
  EXPECT_NEAR(d[5], 3.0, 1e-6);  // the geocode's column is 3 further right
  EXPECT_NEAR(d[6], 4.0, 1e-6);  // 4 rows up, and up is positive there
  EXPECT_NEAR(d[7], 5.0, 1e-6);

  // No geocode, or one that is not finite: no residuals.
  for (const std::optional<Geocode>& none :
       {std::optional<Geocode>(), std::optional<Geocode>(Geocode{NAN, 1, 1, 1, 1, 1})}) {
    const std::vector<std::string> plain = Lines(FormatReferencePoints(taps, none));
    ASSERT_EQ(plain.size(), 4u);
    EXPECT_EQ(plain[3], "7.0010000000000003,45.997999999999998,97.5,-204.5,1,0,0,0");
  }
}

TEST(ReferencePointsFile, ReadsWhatTheGeoreferencerWrites) {
  // As QGIS saves points picked by hand: CRLF, blanks, sub-pixel source
  // points, a disabled point, no dX/dY/residual in the oldest files.
  const std::string text =
      "#CRS: GEOGCS[\"WGS 84\",DATUM[\"WGS_1984\",SPHEROID[\"WGS 84\",6378137,298.257223563]],"
      "PRIMEM[\"Greenwich\",0],UNIT[\"degree\",0.0174532925199433],AUTHORITY[\"EPSG\",\"4326\"]]"
      "\r\n"
      "mapX,mapY,sourceX,sourceY,enable,dX,dY,residual\r\n"
      " 7.25 , 45.5 , 123.7 , -45.2 , 1 , 0.1 , -0.2 , 0.22\r\n"
      "7.26,45.51,0.99,-0.01,0,0,0,0\r\n"
      "\r\n"
      "-0.5,-33.25,0,-0.5,1\r\n";
  const ReferencePoints parsed = ParseReferencePoints(text);
  ASSERT_TRUE(parsed.status.ok()) << parsed.status.message();
  // The pixel holding a point on its top-left edge is that pixel.
  ExpectSameTaps(parsed.taps, {Tap{123, 45, 45.5, 7.25, 0}, Tap{0, 0, -33.25, -0.5, 0}});

  EXPECT_TRUE(
      ParseReferencePoints("#CRS: EPSG:4326\nmapX,mapY,sourceX,sourceY,enable\n").status.ok());
  EXPECT_TRUE(ParseReferencePoints("#CRS: \n").status.ok());
}

struct BadPoints {
  const char* name;
  const char* text;
  const char* error;
};

class ReferencePointsRefuse : public ::testing::TestWithParam<BadPoints> {};

TEST_P(ReferencePointsRefuse, TheFirstBadLineWithItsNumber) {
  const ReferencePoints parsed = ParseReferencePoints(GetParam().text);
  EXPECT_FALSE(parsed.status.ok());
  EXPECT_EQ(parsed.status.code(), Status::Code::kInvalid);
  EXPECT_TRUE(parsed.taps.empty());
  EXPECT_EQ(parsed.status.message(), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ReferencePointsRefuse,
    ::testing::Values(
        // Map coordinates in metres: a projected CRS on WGS 84 holds the
        // 4326 identifier too, but not as its own.
        BadPoints{"ProjectedCrs",
                  "#CRS: PROJCS[\"WGS 84 / UTM zone 32N\",GEOGCS[\"WGS 84\",AUTHORITY[\"EPSG\","
                  "\"4326\"]],PROJECTION[\"Transverse_Mercator\"],AUTHORITY[\"EPSG\",\"32632\"]]\n"
                  "mapX,mapY,sourceX,sourceY,enable\n",
                  "1: the #CRS line does not name WGS 84 degrees (EPSG:4326)"},
        BadPoints{"OtherDatum", "#CRS: GEOGCRS[\"ETRS89\",ID[\"EPSG\",4258]]\n",
                  "1: the #CRS line does not name WGS 84 degrees (EPSG:4326)"},
        BadPoints{"FourFields", "mapX,mapY,sourceX,sourceY\n7,45,1,-1\n",
                  "2: expected mapX,mapY,sourceX,sourceY,enable, found 4 fields"},
        BadPoints{"ElevenFields", "#CRS:\n7,45,1,-1,1,0,0,0,0,1,0\n",
                  "2: expected at most 10 fields, found more"},
        BadPoints{"NegativeSpread", "#CRS:\n7,45,1,-1,1,0,0,0,-0.5,3\n",
                  "2: spread is not a distance in metres"},
        BadPoints{"NoFixes", "#CRS:\n7,45,1,-1,1,0,0,0,0.5,0\n",
                  "2: fixes is not a count of fixes"},
        BadPoints{"MetresAsDegrees", "mapX,\n512345.5,5123456.5,1,-1,1\n",
                  "2: mapX is not a longitude in degrees (-180 to 180)"},
        BadPoints{"LatitudeOutOfRange", "mapX,\n7,90.5,1,-1,1\n",
                  "2: mapY is not a latitude in degrees (-90 to 90)"},
        BadPoints{"SourceNotANumber", "mapX,\n7,45,nan,-1,1\n", "2: sourceX is not a plan column"},
        BadPoints{"SourceBeyond32Bits", "mapX,\n7,45,1,-2147483648.5,1\n",
                  "2: sourceY is not a plan row"},
        BadPoints{"TrailingJunk", "mapX,\n7,45,1,-1x,1\n", "2: sourceY is not a plan row"},
        BadPoints{"EnableTwo", "mapX,\n7,45,1,-1,2\n", "2: enable is not 0 or 1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReferencePointsFile, IsToldFromATapListByItsFirstLine) {
  EXPECT_TRUE(LooksLikeReferencePoints("\n  #CRS: x\n"));
  EXPECT_TRUE(LooksLikeReferencePoints("\r\nmapX,mapY,sourceX,sourceY,enable\r\n"));
  EXPECT_FALSE(LooksLikeReferencePoints("# x,y,lat,lon\nmapX,mapY\n"));
  EXPECT_FALSE(LooksLikeReferencePoints("10,20,45.5,7.25\n"));
  EXPECT_FALSE(LooksLikeReferencePoints(""));
}

}  // namespace
}  // namespace velkaro
