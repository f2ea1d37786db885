#include "compression/huffman_decoder.h"

#include "platform/byte_order.h"

// The bit buffer is refilled 8 bytes at a time (libdeflate's way: load a
// word, keep what fits, advance by whole bytes), which leaves at least 56
// bits, enough for four table lookups of at most kLookupBits each without
// another check. Each entry yields up to six symbols, stored with one 8-byte
// write. A long code's entry takes nothing, so a lane that meets one stands
// still for the rest of its four lookups; the loop then stops and the walk
// decodes that code. Near the ends of the input or of the output one symbol
// at a time is decoded by walking the tree, which never reads past `in_end`
// nor writes past `out_end`.

namespace velkaro {
namespace {

static_assert(HuffmanDecoder::kLookupsPerRefill * HuffmanDecoder::kLookupBits <= 56);
static_assert(HuffmanDecoder::kLookupBits < 16);

bool CanGoFast(const HuffmanDecoder::Lane& lane) {
  return lane.in_end - lane.in >= 8 &&
         static_cast<size_t>(lane.out_end - lane.out) >= HuffmanDecoder::kFastRoom;
}

}  // namespace

HuffmanDecoder::HuffmanDecoder(const CNode (&nodes)[kTreeNodes], int16_t root)
    : nodes_(nodes), root_(root), own_(Start()) {
  static_assert(kMaxSymbolsPerLookup * 8 <= 64 - kSymbolsShift, "the symbols fit their field");
  static_assert(kLookupBits < (1 << kCountShift), "the bit count fits below the count");
  constexpr uint32_t kEntries = 1u << kLookupBits;
  // First the one-symbol table: a walk of the tree to the table's depth,
  // where a leaf at depth d fills every entry whose low d bits are its code.
  // Each entry: bits 0-7 the symbol, 8-15 its length (0 for a long code).
  uint32_t single[kEntries];
  struct Pending {
    int16_t node;
    uint8_t depth;
    uint32_t code;
  };
  Pending stack[kLookupBits + 2];
  int top = 0;
  stack[top++] = {root, 0, 0};
  while (top > 0) {
    const Pending p = stack[--top];
    const CNode& n = nodes[p.node];
    if (n.m_leaf) {
      for (uint32_t high = 0; high < (kEntries >> p.depth); ++high)
        single[p.code | high << p.depth] = n.m_symbol | uint32_t{p.depth} << 8;
    } else if (p.depth == kLookupBits) {
      single[p.code] = 0;
    } else {
      const uint8_t depth = static_cast<uint8_t>(p.depth + 1);
      stack[top++] = {n.m_right, depth, p.code | 1u << p.depth};
      stack[top++] = {n.m_left, depth, p.code};
    }
  }

  // Then each entry takes as many whole codes as its bits hold: the next
  // code is the one-symbol entry of the bits left over, if it fits in them.
  for (uint32_t index = 0; index < kEntries; ++index) {
    const uint32_t first = single[index];
    const uint32_t first_length = (first >> 8) & 0xFF;
    if (first_length == 0) {
      table_[index] = 0;
      continue;
    }
    uint64_t symbols = first & 0xFF;
    uint64_t count = 1;
    uint32_t used = first_length;
    while (count < kMaxSymbolsPerLookup && used < kLookupBits) {
      const uint32_t next = single[index >> used];
      const uint32_t length = (next >> 8) & 0xFF;
      if (length == 0 || used + length > kLookupBits) break;
      symbols |= static_cast<uint64_t>(next & 0xFF) << (8 * count);
      ++count;
      used += length;
    }
    table_[index] = symbols << kSymbolsShift | count << kCountShift | uint64_t{used};
  }
}

// A lane's hot state, kept in registers by the fast loops.
struct HuffmanDecoder::Regs {
  uint64_t bitbuf;
  uint32_t bitcount;
  const uint8_t* in;
  uint8_t* out;

  explicit Regs(const Lane& lane)
      : bitbuf(lane.state.bitbuf), bitcount(lane.state.bitcount), in(lane.in), out(lane.out) {}
  void Save(Lane& lane) const {
    lane.state.bitbuf = bitbuf;
    lane.state.bitcount = bitcount;
    lane.in = in;
    lane.out = out;
  }
  bool Fast(const Lane& lane) const {
    return lane.in_end - in >= 8 && static_cast<size_t>(lane.out_end - out) >= kFastRoom;
  }
  void Refill() {
    bitbuf |= LoadLe64(in) << bitcount;
    in += (63 - bitcount) >> 3;
    bitcount |= 56;
  }
};

// One lookup: stores its symbols and returns its entry (0 at a long code,
// which leaves the lane where it is).
inline uint64_t HuffmanDecoder::Step(Regs& r) const {
  constexpr uint64_t kMask = (uint64_t{1} << kLookupBits) - 1;
  const uint64_t entry = table_[r.bitbuf & kMask];
  r.bitbuf >>= entry & 63;
  r.bitcount -= static_cast<uint32_t>(entry & 0xFF);
  StoreLe64(r.out, entry >> kSymbolsShift);
  r.out += (entry >> kCountShift) & 0xF;
  return entry;
}

// Runs the lane through the table until it is near an end of its input or
// output, or stands at a long code. REQUIRES: the lane between codes.
void HuffmanDecoder::DecodeFast(Lane& lane) const {
  Regs a(lane);
  while (a.Fast(lane)) {
    a.Refill();
    // Stop at a long code, before the lookups that would stand still on it.
    if (Step(a) == 0 || Step(a) == 0 || Step(a) == 0 || Step(a) == 0) break;
  }
  a.Save(lane);
}

// The same for two lanes, their lookups interleaved so that the two chains
// overlap; stops when either lane would.
void HuffmanDecoder::DecodeFast(Lane& lane_a, Lane& lane_b) const {
  Regs a(lane_a);
  Regs b(lane_b);
  while (a.Fast(lane_a) && b.Fast(lane_b)) {
    a.Refill();
    b.Refill();
    uint64_t stalled = 0;
    for (int k = 0; k < kLookupsPerRefill; ++k) {
      stalled |= Step(a) == 0;
      stalled |= Step(b) == 0;
    }
    if (stalled) break;
  }
  a.Save(lane_a);
  b.Save(lane_b);
}

bool HuffmanDecoder::WalkOne(Lane& lane) const {
  int node = lane.state.node;
  uint64_t bitbuf = lane.state.bitbuf;
  uint32_t bitcount = lane.state.bitcount;
  bool leaf = true;
  while (!nodes_[node].m_leaf) {
    if (bitcount == 0) {
      if (lane.in == lane.in_end) {
        leaf = false;
        break;
      }
      bitbuf = *lane.in++;
      bitcount = 8;
    }
    node = bitbuf & 1 ? nodes_[node].m_right : nodes_[node].m_left;
    bitbuf >>= 1;
    --bitcount;
  }
  lane.state.bitbuf = bitbuf;
  lane.state.bitcount = bitcount;
  lane.state.node = static_cast<int16_t>(leaf ? root_ : node);
  if (leaf) *lane.out++ = nodes_[node].m_symbol;
  return leaf;
}

void HuffmanDecoder::Decode(Lane& lane) const {
  while (lane.out < lane.out_end) {
    if (BetweenCodes(lane.state) && CanGoFast(lane)) {
      DecodeFast(lane);
      if (lane.out == lane.out_end) break;
    }
    // A long code, or close to an end: one symbol by the tree.
    if (!WalkOne(lane)) break;
  }
}

void HuffmanDecoder::DecodePair(Lane& a, Lane& b) const {
  while (BetweenCodes(a.state) && BetweenCodes(b.state) && CanGoFast(a) && CanGoFast(b)) {
    DecodeFast(a, b);
    if (!CanGoFast(a) || !CanGoFast(b)) break;
    // One of them stands at a long code: a symbol from each by the tree.
    if (!WalkOne(a) || !WalkOne(b)) break;
  }
  Decode(a);
  Decode(b);
}

size_t HuffmanDecoder::Decode(const uint8_t*& in, const uint8_t* in_end, uint8_t* out,
                              uint8_t* out_end) {
  Lane lane{own_, in, in_end, out, out_end};
  Decode(lane);
  in = lane.in;
  own_ = lane.state;
  return static_cast<size_t>(lane.out - out);
}

}  // namespace velkaro
