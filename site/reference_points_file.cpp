#include "site/reference_points_file.h"

#include "site/text_fields.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <initializer_list>

namespace velkaro {

// Generated once with: gdalsrsinfo -o wkt2_2018 --single-line EPSG:4326
const char kReferencePointsCrsWkt[] =
    "GEOGCRS[\"WGS 84\",ENSEMBLE[\"World Geodetic System 1984 ensemble\",MEMBER[\"World Geodetic "
    "System 1984 (Transit)\"],MEMBER[\"World Geodetic System 1984 (G730)\"],MEMBER[\"World "
    "Geodetic System 1984 (G873)\"],MEMBER[\"World Geodetic System 1984 (G1150)\"],MEMBER[\"World "
    "Geodetic System 1984 (G1674)\"],MEMBER[\"World Geodetic System 1984 (G1762)\"],MEMBER[\"World "
    "Geodetic System 1984 (G2139)\"],ELLIPSOID[\"WGS "
    "84\",6378137,298.257223563,LENGTHUNIT[\"metre\",1]],ENSEMBLEACCURACY[2.0]],PRIMEM["
    "\"Greenwich\",0,ANGLEUNIT[\"degree\",0.0174532925199433]],CS[ellipsoidal,2],AXIS[\"geodetic "
    "latitude (Lat)\",north,ORDER[1],ANGLEUNIT[\"degree\",0.0174532925199433]],AXIS[\"geodetic "
    "longitude "
    "(Lon)\",east,ORDER[2],ANGLEUNIT[\"degree\",0.0174532925199433]],USAGE[SCOPE[\"Horizontal "
    "component of 3D system.\"],AREA[\"World.\"],BBOX[-90,-180,90,180]],ID[\"EPSG\",4326]]";

namespace {

constexpr size_t kMinFields = 5;  // mapX,mapY,sourceX,sourceY,enable
constexpr size_t kResidualFields = 8;  // ... dX,dY,residual
constexpr size_t kMaxFields = 10;      // ... spread,fixes

void AppendNumber(std::string& out, double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", value);
  out += text;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    if (lower(text[i]) != lower(prefix[i])) return false;
  }
  return true;
}

// A geographic CRS whose own identifier is EPSG:4326. Only the end counts:
// a projected CRS on WGS 84 also holds the 4326 identifier, inside.
bool NamesWgs84Degrees(std::string_view wkt) {
  std::string packed;
  for (char c : wkt) {
    if (c != ' ' && c != '\t' && c != '\r') packed += c;
  }
  const std::string_view p = packed;
  if (p.empty() || p == "EPSG:4326") return true;
  const bool geographic = StartsWithNoCase(p, "GEOGCRS[") || StartsWithNoCase(p, "GEOGCS[");
  return geographic &&
         (p.ends_with("ID[\"EPSG\",4326]]") || p.ends_with("AUTHORITY[\"EPSG\",\"4326\"]]"));
}

// The name a CRS's WKT gives it (its first quoted text), or the text itself
// when it is an identifier such as "EPSG:32632"; at most 80 characters.
std::string CrsName(std::string_view wkt) {
  wkt = TrimField(wkt);
  const size_t open = wkt.find('"');
  const size_t close = open == std::string_view::npos ? open : wkt.find('"', open + 1);
  const std::string_view name =
      close == std::string_view::npos ? wkt : wkt.substr(open + 1, close - open - 1);
  return std::string(name.substr(0, 80));
}

// A source coordinate as the pixel that holds it; false when it is not a
// number or that pixel is outside 32 bits.
bool PixelOf(double source, int32_t& pixel) {
  if (!std::isfinite(source)) return false;
  const double floored = std::floor(source);
  if (floored < INT32_MIN || floored > INT32_MAX) return false;
  pixel = static_cast<int32_t>(floored);
  return true;
}

// Parses one data row; an empty result means `tap`, `averaging` and
// `enabled` are set.
std::string ParseRow(std::string_view line, CSiteProjection::_tap& tap,
                     CSiteProjection::Averaging& averaging, bool& enabled) {
  const std::vector<std::string_view> fields = SplitFields(line, kMaxFields);
  if (fields.size() > kMaxFields) return "expected at most 10 fields, found more";
  if (fields.size() < kMinFields)
    return "expected mapX,mapY,sourceX,sourceY,enable, found " + std::to_string(fields.size()) +
           " fields";
  double lon = 0.0, lat = 0.0, source_x = 0.0, source_y = 0.0;
  int enable = 0;
  int32_t x = 0, y = 0;
  if (!ParseLongitudeField(fields[0], lon))
    return "mapX is not a longitude in degrees (-180 to 180)";
  if (!ParseLatitudeField(fields[1], lat)) return "mapY is not a latitude in degrees (-90 to 90)";
  if (!ParseWholeField(fields[2], source_x) || !PixelOf(source_x, x))
    return "sourceX is not a plan column";
  if (!ParseWholeField(fields[3], source_y) || !PixelOf(-source_y, y))
    return "sourceY is not a plan row";
  if (!ParseWholeField(fields[4], enable) || (enable != 0 && enable != 1))
    return "enable is not 0 or 1";
  tap = CSiteProjection::_tap{x, y, lat, lon, 0};
  enabled = enable == 1;
  averaging = CSiteProjection::Averaging{tap, 0.0, 1};
  if (fields.size() > kResidualFields &&
      (!ParseWholeField(fields[kResidualFields], averaging.spread_m) ||
       !std::isfinite(averaging.spread_m) || averaging.spread_m < 0.0))
    return "spread is not a distance in metres";
  if (fields.size() > kResidualFields + 1 &&
      (!ParseWholeField(fields[kResidualFields + 1], averaging.fixes) || averaging.fixes < 1))
    return "fixes is not a count of fixes";
  return {};
}

}  // namespace

std::string FormatReferencePoints(std::span<const CSiteProjection::_tap> taps,
                                  const std::optional<Geocode>& geocode,
                                  std::span<const CSiteProjection::Averaging> averaging) {
  bool finite = geocode.has_value();
  if (finite) {
    const Geocode& g = *geocode;
    for (double c : {g.xLat, g.xLon, g.x0, g.yLat, g.yLon, g.y0})
      finite = finite && std::isfinite(c);
  }
  const bool averaged =
      averaging.size() == taps.size() &&
      std::any_of(averaging.begin(), averaging.end(), [](const auto& a) { return a.fixes > 1; });
  std::string out = std::string("#CRS: ") + kReferencePointsCrsWkt + "\n" + kReferencePointsHeader +
                    (averaged ? kAveragingColumns : "") + "\n";
  for (size_t i = 0; i < taps.size(); ++i) {
    const CSiteProjection::_tap& tap = taps[i];
    const double x = tap.x, y = tap.y, lat = tap.lat, lon = tap.lon;
    double dx = 0.0, dy = 0.0, residual = 0.0;
    if (finite) {
      const Geocode& g = *geocode;
      dx = (g.xLat * lat + g.xLon * lon + g.x0) - x;
      // The georeferencer's y grows upwards.
      dy = -((g.yLat * lat + g.yLon * lon + g.y0) - y);
      residual = std::sqrt(dx * dx + dy * dy);
      if (!std::isfinite(residual)) dx = dy = residual = 0.0;
    }
    for (double value : {lon, lat, x + 0.5, -(y + 0.5)}) {
      AppendNumber(out, value);
      out += ',';
    }
    out += "1,";
    AppendNumber(out, dx);
    out += ',';
    AppendNumber(out, dy);
    out += ',';
    AppendNumber(out, residual);
    if (averaged) {
      out += ',';
      AppendNumber(out, averaging[i].spread_m);
      out += ',' + std::to_string(averaging[i].fixes);
    }
    out += '\n';
  }
  return out;
}

ReferencePoints ParseReferencePoints(std::string_view text, RowFaults faults) {
  ReferencePoints result;
  size_t line_number = 0;
  bool any_averaged = false;
  auto fail = [&](const std::string& problem) {
    result.status = Status::Invalid(std::to_string(line_number) + ": " + problem);
    result.taps.clear();
    result.averaging.clear();
    result.refused.clear();
    return result;
  };
  // A byte-order mark is how some editors start a UTF-8 file.
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  while (!text.empty()) {
    ++line_number;
    const bool last = text.find('\n') == std::string_view::npos;
    const std::string_view line = TrimField(TakeLine(text));
    if (line.empty()) continue;
    if (StartsWithNoCase(line, "#CRS:")) {
      if (!NamesWgs84Degrees(line.substr(5))) {
        fail("the #CRS line does not name WGS 84 degrees (EPSG:4326)");
        result.other_crs = CrsName(line.substr(5));
        return result;
      }
      continue;
    }
    if (line.front() == '#') continue;
    if (StartsWithNoCase(TrimField(SplitFields(line, 1)[0]), "mapX")) continue;  // the header
    CSiteProjection::_tap tap{};
    CSiteProjection::Averaging averaging;
    bool enabled = false;
    if (std::string problem = ParseRow(line, tap, averaging, enabled); !problem.empty()) {
      if (faults == RowFaults::kStop) return fail(problem);
      result.refused.push_back({line_number, std::move(problem), last});
      continue;
    }
    if (!enabled) continue;
    result.taps.push_back(tap);
    result.averaging.push_back(averaging);
    any_averaged = any_averaged || averaging.fixes > 1;
  }
  if (!any_averaged) result.averaging.clear();
  return result;
}

bool LooksLikeReferencePoints(std::string_view text) {
  while (!text.empty()) {
    const std::string_view line = TrimField(TakeLine(text));
    if (line.empty()) continue;
    return StartsWithNoCase(line, "#CRS:") || StartsWithNoCase(line, "mapX,");
  }
  return false;
}

}  // namespace velkaro
