#pragma once

// The reference-point file kept beside a plan (`<plan>.points`) and beside a
// saved projection file (`<file>.points`), in the GCP format of QGIS's
// georeferencer, so the points can be loaded there with the plan bitmap:
//
//   #CRS: <one-line WKT of WGS 84, EPSG:4326>
//   mapX,mapY,sourceX,sourceY,enable,dX,dY,residual
//   <one row per point, in capture order>
//
// mapX is the longitude and mapY the latitude in degrees, printed with 17
// significant digits so reading them back gives the very same doubles.
// sourceX, sourceY is the point on the bitmap in the georeferencer's frame:
// pixel edges at whole numbers and y growing upwards, so a tap at plan pixel
// (x, y) is written as (x + 0.5, -(y + 0.5)), the centre of that pixel.
// dX, dY and residual are how far the geocode puts the point from its pixel,
// in plan pixels and in the same frame (0 when there is no geocode).
//
// When any point was averaged, two columns follow that QGIS does not read:
//   mapX,...,residual,spread,fixes
// spread is how widely the point's fixes lay about their mean, in metres,
// and fixes how many were averaged; an instantaneous point has 0 and 1.

#include "platform/status.h"
#include "site/geocode.h"
#include "site/site_projection.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velkaro {

// The WKT of EPSG:4326 on one line, as gdalsrsinfo -o wkt2_2018 prints it.
extern const char kReferencePointsCrsWkt[];
inline constexpr char kReferencePointsHeader[] = "mapX,mapY,sourceX,sourceY,enable,dX,dY,residual";
inline constexpr char kAveragingColumns[] = ",spread,fixes";

// The whole file for `taps` in capture order. With a finite `geocode` each row
// carries its residual; without one dX, dY and residual are 0. `averaging`
// is empty, or holds each tap's averaging in the same order: the spread and
// fixes columns are written when one of them has more than one fix.
std::string FormatReferencePoints(std::span<const CSiteProjection::_tap> taps,
                                  const std::optional<Geocode>& geocode,
                                  std::span<const CSiteProjection::Averaging> averaging = {});

// A row the reader could not take.
struct RefusedRow {
  size_t line = 0;      // counting from 1
  std::string problem;  // what is wrong with it, as ParseReferencePoints says
  bool last = false;    // the file's last line, with no line end after it: cut short
};

struct ReferencePoints {
  Status status;                            // Invalid with "LINE: what is wrong" for a bad line
  std::vector<CSiteProjection::_tap> taps;  // file order; disabled rows left out
  // One per tap, in the same order, when the file has the spread and fixes
  // columns; empty when it has not.
  std::vector<CSiteProjection::Averaging> averaging;
  // With RowFaults::kSkip, the bad rows, in file order (status stays ok).
  std::vector<RefusedRow> refused;
  // The name of the CRS a #CRS line gave instead of WGS 84 degrees.
  std::string other_crs;
};

// What the reader does with a row it cannot take: stop there and refuse
// the file (tools that are handed a file), or skip it and go on (a journal,
// so that every point that can be read is offered back).
enum class RowFaults { kStop, kSkip };

// Reads the text of a reference-point file: ours or one QGIS wrote (CRLF,
// blanks around fields, no #CRS line). A #CRS line must name WGS 84 degrees
// (EPSG:4326). A row needs at least mapX, mapY, sourceX, sourceY and enable;
// a tap's pixel is the one holding the source point (x = floor(sourceX),
// y = floor(-sourceY)), so files written by FormatReferencePoints come back
// exactly. The spread and fixes columns are read where a row has them. A
// leading UTF-8 byte-order mark is passed over. A #CRS line that names
// another CRS refuses the file; a bad row stops the parse or is skipped, as
// `faults` says.
ReferencePoints ParseReferencePoints(std::string_view text, RowFaults faults = RowFaults::kStop);

// True when `text` looks like a reference-point file rather than a plain
// "x,y,lat,lon" tap list: its first non-blank line is a #CRS line or the
// mapX header.
bool LooksLikeReferencePoints(std::string_view text);

}  // namespace velkaro
