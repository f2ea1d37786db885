#include "simulator/demo_site.h"

#include "simulator/board_frames.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <system_error>

namespace velkaro::board {
namespace {

std::vector<std::string_view> Split(std::string_view line) {
  std::vector<std::string_view> fields;
  for (;;) {
    const size_t comma = line.find(',');
    fields.push_back(line.substr(0, comma));
    if (comma == std::string_view::npos) return fields;
    line.remove_prefix(comma + 1);
  }
}

bool Number(std::string_view field, double& out) {
  const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), out);
  return ec == std::errc() && end == field.data() + field.size() && !field.empty();
}

bool Whole(std::string_view field, int& out) {
  const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), out);
  return ec == std::errc() && end == field.data() + field.size() && !field.empty();
}

// One record into `site`; what is wrong with it, or "".
std::string Record(std::string_view line, DemoSite& site, bool& have_geocode) {
  const std::vector<std::string_view> f = Split(line);
  if (f[0] == "geocode") {
    if (f.size() != 5 || !Number(f[1], site.lat0) || !Number(f[2], site.lat_per_row) ||
        !Number(f[3], site.lon0) || !Number(f[4], site.lon_per_column))
      return "geocode needs four numbers";
    have_geocode = true;
    return {};
  }
  if (f[0] == "landmark") {
    DemoLandmark landmark;
    if (f.size() != 5 || f[1].empty() || !Whole(f[2], landmark.x) || !Whole(f[3], landmark.y) ||
        !Whole(f[4], landmark.pause) || landmark.pause < 0)
      return "landmark needs a name, two whole pixel numbers and a pause";
    landmark.name = std::string(f[1]);
    site.landmarks.push_back(std::move(landmark));
    return {};
  }
  if (f[0] == "walk") {
    double lat = 0.0, lon = 0.0;
    if (f.size() != 3 || !Number(f[1], lat) || !Number(f[2], lon))
      return "walk needs a latitude and a longitude";
    // The walk's own text: the track reader rounds it as the board does.
    site.walk.append(f[1]).append(",").append(f[2]).append("\n");
    return {};
  }
  return "unknown record \"" + std::string(f[0]) + "\"";
}

}  // namespace

DemoSite ParseDemoSite(std::string_view text) {
  DemoSite site;
  site.walk = "lat,lon\n";
  bool have_geocode = false;
  int number = 0;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    if (std::string why = Record(line, site, have_geocode); !why.empty()) {
      site.status = Status::Invalid("line " + std::to_string(number) + ": " + why);
      return site;
    }
  }
  if (!have_geocode) site.status = Status::Invalid("no geocode");
  return site;
}

const DemoSite& BuiltInDemoSite() {
  static const DemoSite site = [] {
    DemoSite parsed = ParseDemoSite(BuiltInSiteText());
    // The file is part of the build; a broken one is the build's fault.
    if (!parsed.status.ok()) std::abort();
    return parsed;
  }();
  return site;
}

const std::string& BuiltInWalkText() { return BuiltInDemoSite().walk; }

const DemoLandmark* LandmarkAt(const DemoSite& site, int32_t lat_mas, int32_t lon_mas) {
  for (const DemoLandmark& landmark : site.landmarks) {
    // As the walk's text is read: degrees to whole milliarcseconds, rounded.
    if (DegreesToMas(site.Lat(landmark.y)) == lat_mas &&
        DegreesToMas(site.Lon(landmark.x)) == lon_mas)
      return &landmark;
  }
  return nullptr;
}

std::string ArrivalText(const DemoLandmark& landmark, double rate_hz) {
  char text[160];
  std::snprintf(text, sizeof text, "now at %s: click plan pixel (%d, %d); it stays %.0f s here",
                landmark.name.c_str(), landmark.x, landmark.y,
                rate_hz > 0 ? landmark.pause / rate_hz : 0.0);
  return text;
}

}  // namespace velkaro::board
