// The demo site file: its records, its errors, and the built-in walk
// agreeing with the landmarks beside it.
#include "simulator/demo_site.h"

#include "simulator/board_frames.h"
#include "simulator/track.h"

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace velkaro::board {
namespace {

TEST(DemoSite, ReadsEachKindOfRecord) {
  const DemoSite site = ParseDemoSite(
      "# a site\r\n\ngeocode,45.5,-0.0000045,9.1,0.0000064\r\n"
      "landmark,Main gate,60,480,10\nwalk,45.497840000,9.100383889\n");
  ASSERT_TRUE(site.status.ok()) << site.status.message();
  EXPECT_EQ(site.Lat(480), 45.5 - 480 * 0.0000045);
  EXPECT_EQ(site.Lon(60), 9.1 + 60 * 0.0000064);
  ASSERT_EQ(site.landmarks.size(), 1u);
  EXPECT_EQ(site.landmarks[0].name, "Main gate");
  EXPECT_EQ(site.landmarks[0].x, 60);
  EXPECT_EQ(site.landmarks[0].y, 480);
  EXPECT_EQ(site.landmarks[0].pause, 10);
  EXPECT_EQ(site.walk, "lat,lon\n45.497840000,9.100383889\n");
}

TEST(DemoSite, NamesTheFirstBadLine) {
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"geocode,1,2,3\n", "line 1: geocode needs four numbers"},
      {"geocode,1,2,3,4\n#\nlandmark,Gate,6x,4,1\n",
       "line 3: landmark needs a name, two whole pixel numbers and a pause"},
      {"geocode,1,2,3,4\nlandmark,Gate,6,4,-1\n",
       "line 2: landmark needs a name, two whole pixel numbers and a pause"},
      {"geocode,1,2,3,4\nwalk,45.5\n", "line 2: walk needs a latitude and a longitude"},
      {"geocode,1,2,3,4\nlandmarks,Gate,6,4,1\n", "line 2: unknown record \"landmarks\""},
      {"landmark,Gate,6,4,1\n", "no geocode"},
  };
  for (const auto& c : cases) {
    const Status status = ParseDemoSite(c.text).status;
    EXPECT_EQ(status.code(), Status::Code::kInvalid) << c.text;
    EXPECT_EQ(status.message(), c.error) << c.text;
  }
}

// Whoever moves a landmark must regenerate the walk: the walk stands at each
// landmark's position, in the file's order, for the landmark's pause.
TEST(DemoSite, BuiltInWalkStandsAtEveryLandmarkInTurn) {
  const DemoSite& site = BuiltInDemoSite();
  ASSERT_EQ(site.landmarks.size(), 6u);
  const Track walk = ParseTrack(site.walk);
  ASSERT_TRUE(walk.errors.empty());
  auto from = walk.points.begin();
  for (const DemoLandmark& landmark : site.landmarks) {
    const TrackPoint at{DegreesToMas(site.Lat(landmark.y)), DegreesToMas(site.Lon(landmark.x))};
    from = std::find(from, walk.points.end(), at);
    ASSERT_NE(from, walk.points.end()) << landmark.name;
    const auto still =
        std::find_if(from, walk.points.end(), [&](const TrackPoint& p) { return p != at; });
    EXPECT_EQ(still - from, landmark.pause) << landmark.name;
    from = still;
  }
}

// The walk's stops are found as the landmarks, in the site's order, each
// told with its pixel and its stay at the walk's rate.
TEST(DemoSite, TheWalkArrivesAtEachLandmarkInTurn) {
  const DemoSite& site = BuiltInDemoSite();
  const Track walk = ParseTrack(BuiltInWalkText());
  std::vector<std::string> arrivals;
  const DemoLandmark* last = nullptr;
  for (const TrackPoint& point : walk.points) {
    const DemoLandmark* here = LandmarkAt(site, point.lat_mas, point.lon_mas);
    if (here != nullptr && here != last) arrivals.push_back(here->name);
    last = here;
  }
  std::vector<std::string> names;
  for (const DemoLandmark& landmark : site.landmarks) names.push_back(landmark.name);
  EXPECT_EQ(arrivals, names);
  EXPECT_EQ(LandmarkAt(site, 0, 0), nullptr);
  const DemoLandmark fountain{"Fountain", 360, 270, 10};
  EXPECT_EQ(ArrivalText(fountain, 2.0),
            "now at Fountain: click plan pixel (360, 270); it stays 5 s here");
}

}  // namespace
}  // namespace velkaro::board
