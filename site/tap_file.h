#pragma once

#include "platform/status.h"
#include "site/site_projection.h"

#include <string>
#include <string_view>
#include <vector>

namespace velkaro {

// A tap file lists reference points in capture order, one "x,y,lat,lon" line
// each: plan pixel column and row (32-bit integers), latitude and longitude
// in decimal degrees. Blank lines and lines starting with '#' are skipped;
// spaces around the fields and a CR before the line end are allowed.
// A text whose first non-blank line is a #CRS line or the mapX header is read
// as a reference-point file instead (site/reference_points_file.h).
struct TapFile {
  Status status;
  std::vector<CSiteProjection::_tap> taps;  // empty unless status is ok
};

// Parses the text of a tap file. The first bad line stops the parse, an
// Invalid status saying "LINE: what is wrong".
TapFile ParseTapFile(std::string_view text);

// Reads and parses the file at `path`. A file that cannot be read is a file
// error; a bad line is Invalid with "PATH:LINE: what is wrong".
TapFile ReadTapFile(const std::string& path);

}  // namespace velkaro
