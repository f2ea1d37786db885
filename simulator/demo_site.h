#pragma once

// The demo site (resources/demo/site.csv, described in site.md beside it):
// the demo plan's fixed geocode, its landmarks and the simulator's built-in
// walk over them, in one file that the simulator, the scripted demo, the
// run script and the tests all read.

#include "platform/status.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velkaro::board {

// A marked spot on the demo plan where the built-in walk stands for
// `pause` positions.
struct DemoLandmark {
  std::string name;
  int x = 0, y = 0;
  int pause = 0;
};

struct DemoSite {
  // Plan pixel (x, y) lies at lat0 + y * lat_per_row, lon0 + x * lon_per_column.
  double lat0 = 0.0, lat_per_row = 0.0;
  double lon0 = 0.0, lon_per_column = 0.0;
  std::vector<DemoLandmark> landmarks;  // in the walk's order
  std::string walk;                     // the walk as track text ("lat,lon" lines)
  Status status;                        // Invalid, "line N: ...", when the text is not a site

  double Lat(double y) const { return lat0 + y * lat_per_row; }
  double Lon(double x) const { return lon0 + x * lon_per_column; }
};

// Parses site text: "geocode,LAT0,LAT_PER_ROW,LON0,LON_PER_COLUMN",
// "landmark,NAME,X,Y,PAUSE" and "walk,LAT,LON" records, one a line; blank
// lines and lines starting with '#' are skipped. The first bad record stops
// the parse with an Invalid `status`; a text without a geocode is an error too.
DemoSite ParseDemoSite(std::string_view text);

// The landmark whose position, in whole milliarcseconds as the walk
// reports it, is (lat_mas, lon_mas); null where there is none.
const DemoLandmark* LandmarkAt(const DemoSite& site, int32_t lat_mas, int32_t lon_mas);

// "now at Fountain: click plan pixel (360, 270); it stays 10 s here", for a
// walk at `rate_hz` reports a second.
std::string ArrivalText(const DemoLandmark& landmark, double rate_hz);

// The site text, embedded at build time so that the programs run from
// anywhere.
const std::string& BuiltInSiteText();
// BuiltInSiteText parsed; the build's own file, so it always parses.
const DemoSite& BuiltInDemoSite();
// The built-in walk as track text, for ParseTrack.
const std::string& BuiltInWalkText();

}  // namespace velkaro::board
