#pragma once

// Turns a track into the board's successive position reports: while the
// receiver is still acquiring it stands at the first position, reporting
// fix mode 3; once locked it reports fix mode 7 and moves one track
// position per report, starting over at the end.

#include "simulator/board_frames.h"
#include "simulator/track.h"

#include <cstddef>
#include <ctime>

namespace velkaro::board {

class Walker {
 public:
  // REQUIRES: `track` holds at least one point and outlives the walker;
  // rate_hz > 0.
  Walker(const Track& track, double rate_hz, double lock_after_s);

  // The next report, for `elapsed_s` seconds after the board started and
  // the wall clock `now` (its date and time go into the report, in UTC).
  PositionReport Next(double elapsed_s, std::time_t now);

 private:
  const Track& track_;
  double rate_hz_;
  double lock_after_s_;
  std::size_t index_ = 0;
};

}  // namespace velkaro::board
