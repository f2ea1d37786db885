#pragma once

// The board's main loop: answers the handheld's requests, records what it
// sent, and sends position reports at the configured rate.

#include "simulator/board_options.h"
#include "simulator/track.h"
#include "tools/board/board_line.h"

#include <csignal>

namespace velkaro::board {

// Runs until `*stop` becomes non-zero, or the line fails. The caller blocks
// the signals that set `stop` and passes the mask to wait with, in which
// they are unblocked: the loop then sleeps in ppoll and wakes at once on a
// signal, without a window in which one could be missed.
// REQUIRES: `track` has at least one point. Returns the exit status.
int RunBoard(const BoardOptions& options, const Track& track, BoardLine& line,
             const volatile std::sig_atomic_t* stop, const sigset_t* wait_mask);

}  // namespace velkaro::board
