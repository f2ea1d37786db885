#pragma once

// Board frames for tests, built with the board simulator's own encoder
// (simulator/board_frames.h), and handed to an engine through the real
// parser.

#include "link/engine.h"

#include <cstdint>
#include <vector>

namespace velkaro::testing {

using Bytes = std::vector<uint8_t>;

// The frame as the board puts it on the line: start pair, stuffed type,
// payload and check byte, end pair.
Bytes FrameOf(uint8_t type, const Bytes& payload);

// A type-25 payload dated 06/15/2026 12:00:00 at `lat`, `lon` (degrees,
// rounded to the nearest milliarcsecond): a 3-D fix when `locked`, else the
// receiver still acquiring satellites.
Bytes PositionPayload(bool locked, double lat, double lon);

// Feeds `wire` through a parser of its own and hands each complete frame to
// `engine`, as the link worker does. Returns how many frames the engine
// accepted.
int Deliver(CEngine& engine, const Bytes& wire);

}  // namespace velkaro::testing
