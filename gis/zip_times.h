#pragma once

#include <ctime>
#include <string>

namespace velkaro::gis {

// Gives every entry of the zip archive at `path` the modification time
// `when` (local time, as zip's MS-DOS fields hold it), in its local header
// and in the central directory. GDAL's zip writer leaves both zero, which
// reads as the invalid date 1980-00-00 and makes some unzip tools complain.
//
// REQUIRES: the archive was written by this process (the export's own
// temporary file); an archive whose directory does not parse is left as it
// is. Returns false when the file cannot be read or written.
bool StampZipEntries(const std::string& path, std::time_t when);

}  // namespace velkaro::gis
