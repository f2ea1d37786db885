#include "compression/code_stretch.h"

namespace velkaro {
namespace {

// The bit position of the lane's next code within `begin`'s bytes, counting
// the bits it holds but has not decoded. Meaningful between codes.
int64_t NextCodeBit(const HuffmanDecoder::Lane& lane, const uint8_t* begin) {
  return 8 * (lane.in - begin) - int64_t{lane.state.bitcount};
}

// One symbol, by the tree; false when the input ends first.
bool DecodeOne(const HuffmanDecoder& decoder, HuffmanDecoder::Lane& lane) {
  uint8_t* const before = lane.out;
  uint8_t* const end = lane.out_end;
  lane.out_end = lane.out + 1;
  decoder.Decode(lane);
  lane.out_end = end;
  return lane.out != before;
}

}  // namespace

void CodeStretch::Start(const HuffmanDecoder& decoder, const HuffmanDecoder::State* carried,
                        size_t room, int sync_symbols) {
  first = 0;
  starts.clear();
  lane.in = in.get();
  lane.in_end = lane.in + length;
  lane.out = out.get();
  lane.out_end = lane.out + room;
  if (carried) {
    lane.state = *carried;
    return;
  }
  lane.state = decoder.Start();
  starts.push_back({0, 0});
  while (static_cast<int>(starts.size()) <= sync_symbols && lane.out < lane.out_end &&
         DecodeOne(decoder, lane)) {
    starts.push_back({NextCodeBit(lane, in.get()), produced()});
  }
}

bool Join(const HuffmanDecoder& decoder, CodeStretch& prev, CodeStretch& next, int sync_symbols,
          size_t& taken) {
  HuffmanDecoder::Lane lane = prev.lane;
  const uint8_t* const begin = next.in.get();
  lane.in = begin;
  lane.in_end = begin + next.length;
  lane.out_end = lane.out + sync_symbols + 1;
  size_t k = 0;
  bool joined = false;
  for (int steps = 0; steps <= sync_symbols; ++steps) {
    if (decoder.BetweenCodes(lane.state)) {
      const int64_t bit = NextCodeBit(lane, begin);
      while (k < next.starts.size() && next.starts[k].bit < bit) ++k;
      if (k == next.starts.size()) break;
      if (next.starts[k].bit == bit) {
        next.first = next.starts[k].index;
        joined = true;
        break;
      }
    }
    if (!DecodeOne(decoder, lane)) break;
  }
  prev.lane.state = lane.state;
  prev.lane.out = lane.out;
  taken = static_cast<size_t>(lane.in - begin);
  return joined;
}

}  // namespace velkaro
