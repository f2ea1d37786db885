#pragma once

// A stretch of the code stream decoded on its own. The stream's first
// stretch starts where the codes start; any other starts from a guess, that
// a code begins at its first byte, and records where its first codes begin.
// The stretch before it, which is right, then decodes on into it until it
// stands where the guessed stretch recorded a code start (Join); from there
// both read the same bits the same way, so the rest of the guessed stretch
// is right. A prefix code falls back into step after a few codes almost
// always; where it does not (a long run of one short code can keep the
// guess a bit out of step for as long as the run lasts), the right decoder
// decodes the whole stretch again.

#include "compression/huffman_decoder.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velkaro {

// A code's start inside a stretch: bits from the stretch's first byte, and
// bytes decoded before it.
struct CodeStart {
  int64_t bit;
  size_t index;
};

struct CodeStretch {
  uint64_t begin = 0;  // offset among the code bytes
  size_t length = 0;   // bytes in `in`
  // Buffers the caller owns, reused stretch after stretch.
  uint8_t* in = nullptr;
  uint8_t* out = nullptr;
  HuffmanDecoder::Lane lane;
  std::vector<CodeStart> starts;
  size_t room = 0;   // bytes `out` may be decoded into
  size_t first = 0;  // the first right byte of `out` once joined

  // Sets the lane up over in[0, length) with `room` bytes of output: from
  // `carried`, or from a guess with up to `sync_symbols` code starts
  // recorded. REQUIRES: `out` holds room + sync_symbols + 16 bytes.
  void Start(const HuffmanDecoder& decoder, const HuffmanDecoder::State* carried, size_t room_bytes,
             int sync_symbols);
  size_t consumed() const { return static_cast<size_t>(lane.in - in); }
  size_t produced() const { return static_cast<size_t>(lane.out - out); }
};

// Decodes on from the end of `prev` into `next`, at most sync_symbols + 1
// codes, until the two agree; prev's output then holds the codes decoded on
// and next.first says where next's right bytes begin. True when they agree;
// false when they do not, and then `next` has been decoded again from the
// right state (next.first is 0). Either way `next` ends right.
bool Join(const HuffmanDecoder& decoder, CodeStretch& prev, CodeStretch& next, int sync_symbols);

}  // namespace velkaro
