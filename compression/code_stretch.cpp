#include "compression/code_stretch.h"

namespace velkaro {
namespace {

// The bit position of the lane's next code within `begin`'s bytes, counting
// the bits it holds but has not decoded. Meaningful between codes.
int64_t NextCodeBit(const HuffmanDecoder::Lane& lane, const uint8_t* begin) {
  return 8 * (lane.in - begin) - int64_t{lane.state.bitcount};
}

}  // namespace

void CodeStretch::Start(const HuffmanDecoder& decoder, const HuffmanDecoder::State* carried,
                        size_t room_bytes, int sync_symbols) {
  room = room_bytes;
  first = 0;
  starts.clear();
  lane.in = in;
  lane.in_end = lane.in + length;
  lane.out = out;
  lane.out_end = lane.out + room_bytes;
  if (carried) {
    lane.state = *carried;
    return;
  }
  lane.state = decoder.Start();
  starts.push_back({0, 0});
  while (static_cast<int>(starts.size()) <= sync_symbols && decoder.DecodeOne(lane)) {
    starts.push_back({NextCodeBit(lane, in), produced()});
  }
}

bool Join(const HuffmanDecoder& decoder, CodeStretch& prev, CodeStretch& next, int sync_symbols) {
  HuffmanDecoder::Lane lane = prev.lane;
  const uint8_t* const begin = next.in;
  lane.in = begin;
  lane.in_end = begin + next.length;
  lane.out_end = lane.out + sync_symbols + 1;
  size_t k = 0;
  for (int steps = 0; steps <= sync_symbols; ++steps) {
    if (decoder.BetweenCodes(lane.state)) {
      const int64_t bit = NextCodeBit(lane, begin);
      while (k < next.starts.size() && next.starts[k].bit < bit) ++k;
      if (k == next.starts.size()) break;
      if (next.starts[k].bit == bit) {
        prev.lane.state = lane.state;
        prev.lane.out = lane.out;
        next.first = next.starts[k].index;
        return true;
      }
    }
    if (!decoder.DecodeOne(lane)) break;
  }
  // Out of step all the way: the right decoder does the rest of `next`,
  // whose guessed bytes are dropped.
  prev.lane.out = lane.out;
  next.first = 0;
  next.lane.state = lane.state;
  next.lane.in = lane.in;
  next.lane.out = next.out;
  next.lane.out_end = next.out + next.room;
  decoder.Decode(next.lane);
  return false;
}

}  // namespace velkaro
