#pragma once

// Pieces of a few bytes for the codec's threaded passes, taken from the
// input's length so that a corpus meets every size and every seam.

#include "compression/codec_passes.h"

#include <cstddef>

namespace velkaro::fuzz {

inline CodecTuning SmallPieces(size_t size) {
  CodecTuning tuning;
  tuning.block = 1 + size % 11;
  tuning.stretch = 1 + size % 13;
  tuning.stretch_output = 1 + size % 97;
  tuning.sync_symbols = 1 + static_cast<int>(size % 5);
  tuning.stretches = 1 + static_cast<int>(size % 6);
  tuning.lanes = 1 + static_cast<int>(size % 4);
  tuning.threads = 1;
  return tuning;
}

}  // namespace velkaro::fuzz
