#pragma once

#include "site/projection_file_format.h"

#include <cstdint>
#include <string>

namespace velkaro::vlk {

// What the header and the block's fixed part say about a projection file.
struct ProjectionSummary {
  uint8_t header[kProjectionHeaderSize];
  uint32_t code_bytes = 0;   // N
  uint32_t plan_length = 0;  // L
  uint64_t file_length = 0;
};

// Reads and checks the fixed parts; prints why a file is refused and returns
// false. Unlike the program's open command, which reads only the block, this
// also insists on the header's length, magic and format byte.
bool ReadSummary(const std::string& path, ProjectionSummary& summary);

// Matrix element k (4 * row + column) of the header.
double Element(const ProjectionSummary& summary, int k);

}  // namespace velkaro::vlk
