#include "compression/huffman_decoder.h"

#include "platform/byte_order.h"

#include <algorithm>

// The bit buffer is refilled 8 bytes at a time (libdeflate's way: load a
// word, keep what fits, advance by whole bytes), which leaves at least 56
// bits, enough for four table lookups of at most kLookupBits each without
// another check. Each entry yields up to eight symbols, stored with one
// 8-byte write. A long code's entry takes nothing, so a lane that meets one stands
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
  std::fill(std::begin(long_offset_), std::end(long_offset_), -1);
  tables_.owner = this;
  static_assert(kMaxSymbolsPerLookup <= 8, "the symbols fit one 8-byte store");
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
      length_[n.m_symbol] = p.depth;
    } else if (p.depth == kLookupBits) {
      single[p.code] = 0;
      AddLongCodes(p.code, p.node);
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
      tables_.symbols[index] = 0;
      tables_.bits[index] = 0;
      tables_.count[index] = 0;
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
    tables_.symbols[index] = symbols;
    tables_.bits[index] = static_cast<uint8_t>(used);
    tables_.count[index] = static_cast<uint8_t>(count);
  }
}

// A lane's hot state, kept in registers by the fast loops. The ends are
// read only between runs of rounds, so that the rounds themselves need no
// register for them.
struct HuffmanDecoder::Regs {
  uint64_t bitbuf;
  uint32_t held;  // bits in bitbuf
  const uint8_t* in;
  uint8_t* out;
  const uint8_t* in_end;
  uint8_t* out_end;
  uint32_t last = 1;  // the bits the last lookup took: 0 at a long code

  explicit Regs(const Lane& lane)
      : bitbuf(lane.state.bitbuf),
        held(lane.state.bitcount),
        in(lane.in),
        out(lane.out),
        in_end(lane.in_end),
        out_end(lane.out_end) {}
  void Save(Lane& lane) const {
    lane.state.bitbuf = bitbuf;
    lane.state.bitcount = held;
    lane.in = in;
    lane.out = out;
  }
  bool Stalled() const { return last == 0; }
  // Rounds (a refill and kLookupsPerRefill lookups) that stay clear of both
  // ends: a refill reads 8 bytes and moves on by at most 7, and a round
  // stores at most kFastRoom bytes.
  size_t Rounds() const {
    const ptrdiff_t in_left = in_end - in;
    if (in_left < 8) return 0;
    const size_t by_in = static_cast<size_t>(in_left - 8) / 7 + 1;
    const size_t by_out = static_cast<size_t>(out_end - out) / kFastRoom;
    return by_in < by_out ? by_in : by_out;
  }
  void Refill() {
    bitbuf |= LoadLe64(in) << held;
    in += (63 - held) >> 3;
    held |= 56;
  }
};

inline void HuffmanDecoder::Step(const Tables* t, Regs& r) {
  constexpr uint64_t kMask = (uint64_t{1} << kLookupBits) - 1;
  const uint64_t index = r.bitbuf & kMask;
  const uint32_t bits = t->bits[index];
  StoreLe64(r.out, t->symbols[index]);
  r.out += t->count[index];
  r.bitbuf >>= bits;
  r.held -= bits;
  r.last = bits;
}

// Runs the lanes through the table, each lookup of one lane beside the
// same lookup of the others so that their chains overlap, until one lane is
// near an end of its input or output, or stands at a code too long even for
// the second tables. A lane at a long code stands still for the rest of its
// four lookups, so the last one tells; the rounds then stop, that lane
// takes its code from the second tables (a round leaves it at least
// 56 - 3 * kLookupBits bits), and all go on.
// The rounds that are safe for every lane are counted up front and then run
// without looking at the ends; most lanes take far less than the worst case
// per round, so the count is taken again until it runs out. The lanes and
// the table are worked on as parameters whose address never escapes: a
// store through an output pointer may alias anything the compiler cannot
// prove private, and it would reload every field after each one.
// REQUIRES: every lane between codes.
template <typename... R>
void HuffmanDecoder::Lockstep(R&... lanes) const {
  do {
    [&lanes...](const Tables* table, R... r) {
      for (size_t rounds; (rounds = std::min({r.Rounds()...})) > 0;) {
        do {
          (r.Refill(), ...);
#pragma GCC unroll 4
          for (int k = 0; k < kLookupsPerRefill; ++k) (Step(table, r), ...);
          if ((r.Stalled() || ...)) break;
        } while (--rounds > 0);
        if ((r.Stalled() || ...)) break;
      }
      ((lanes = r), ...);
    }(&tables_, lanes...);
    if (!(lanes.Stalled() || ...)) return;
    ((lanes = lanes.Stalled() ? TakeLong(&tables_, lanes) : lanes), ...);
  } while (!(lanes.Stalled() || ...));
}

// One code of up to kLookupBits + kLongBits bits, for a lane that stands at
// it; the lane comes back unchanged (still stalled) for a longer one. Out of
// line and by value, so that the rounds keep their registers.
HuffmanDecoder::Regs HuffmanDecoder::TakeLong(const Tables* t, Regs r) {
  static_assert(kLookupsPerRefill * kLookupBits + kLongBits <= 56);
  const HuffmanDecoder& d = *t->owner;
  const uint64_t index = r.bitbuf & ((uint64_t{1} << kLookupBits) - 1);
  if (d.long_offset_[index] < 0) return r;
  const uint64_t below = (r.bitbuf >> kLookupBits) & ((1u << kLongBits) - 1);
  const uint16_t entry = d.long_codes_[static_cast<size_t>(d.long_offset_[index]) + below];
  const uint32_t length = entry >> 8;
  if (length == 0 || length > r.held) return r;
  *r.out++ = static_cast<uint8_t>(entry);
  r.bitbuf >>= length;
  r.held -= length;
  r.last = length;
  return r;
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
      Regs a(lane);
      Lockstep(a);
      a.Save(lane);
      if (lane.out == lane.out_end) break;
    }
    // A long code, or close to an end: one symbol alone.
    if (!DecodeOne(lane)) break;
  }
}

void HuffmanDecoder::DecodeLanes(Lane* const* lanes, int count) const {
  // Every lane between codes and far from its ends. A lane resuming a code
  // cut off by the end of its last input has the tree finish that code
  // first.
  auto ready = [&] {
    for (int i = 0; i < count; ++i) {
      Lane& lane = *lanes[i];
      if (!CanGoFast(lane)) return false;
      if (!BetweenCodes(lane.state) && (!DecodeOne(lane) || !CanGoFast(lane))) return false;
    }
    return true;
  };
  while (count >= 2 && ready()) {
    Regs a(*lanes[0]);
    Regs b(*lanes[1]);
    if (count == 2) {
      Lockstep(a, b);
    } else {
      Regs c(*lanes[2]);
      if (count == 3) {
        Lockstep(a, b, c);
      } else {
        Regs d(*lanes[3]);
        Lockstep(a, b, c, d);
        d.Save(*lanes[3]);
      }
      c.Save(*lanes[2]);
    }
    a.Save(*lanes[0]);
    b.Save(*lanes[1]);
    // A lane stands at a long code, or one is near an end: the tree takes
    // a symbol from each lane that has room, and ready() says whether to go on.
    for (int i = 0; i < count; ++i)
      if (CanGoFast(*lanes[i])) DecodeOne(*lanes[i]);
  }
  for (int i = 0; i < count; ++i) Decode(*lanes[i]);
}

// Codes up to kLongBits past the table get a small table of their own under
// their first kLookupBits bits, filled by a walk of the subtree: a leaf at
// depth d fills every entry whose low d bits are its code. Deeper leaves
// leave their entries 0, for the tree.
void HuffmanDecoder::AddLongCodes(uint32_t prefix, int16_t node) {
  constexpr uint32_t kSize = 1u << kLongBits;
  if (long_codes_.size() + kSize > kMaxLongCodes) return;
  const uint32_t offset = static_cast<uint32_t>(long_codes_.size());
  long_offset_[prefix] = static_cast<int32_t>(offset);
  long_codes_.resize(offset + kSize, 0);
  struct Pending {
    int16_t node;
    uint8_t depth;  // below the prefix
    uint32_t code;
  };
  Pending stack[kLongBits + 2];
  int top = 0;
  stack[top++] = {node, 0, 0};
  while (top > 0) {
    const Pending p = stack[--top];
    const CNode& n = nodes_[p.node];
    if (n.m_leaf) {
      const uint16_t entry = static_cast<uint16_t>(n.m_symbol | (kLookupBits + p.depth) << 8);
      for (uint32_t high = 0; high < (kSize >> p.depth); ++high)
        long_codes_[offset + (p.code | high << p.depth)] = entry;
    } else if (p.depth < kLongBits) {
      const uint8_t depth = static_cast<uint8_t>(p.depth + 1);
      stack[top++] = {n.m_right, depth, p.code | 1u << p.depth};
      stack[top++] = {n.m_left, depth, p.code};
    }
  }
}

bool HuffmanDecoder::DecodeOne(Lane& lane) const {
  if (lane.out >= lane.out_end) return false;
  State& s = lane.state;
  if (BetweenCodes(s)) {
    if (s.bitcount < kLookupBits + kLongBits && lane.in_end - lane.in >= 8) {
      s.bitbuf |= LoadLe64(lane.in) << s.bitcount;
      lane.in += (63 - s.bitcount) >> 3;
      s.bitcount |= 56;
    }
    const uint64_t index = s.bitbuf & ((uint64_t{1} << kLookupBits) - 1);
    uint32_t symbol = 0;
    uint32_t length = 0;
    if (tables_.bits[index] != 0) {
      symbol = static_cast<uint8_t>(tables_.symbols[index]);
      length = length_[symbol];
    } else if (long_offset_[index] >= 0) {
      const uint64_t below = (s.bitbuf >> kLookupBits) & ((1u << kLongBits) - 1);
      const uint16_t long_entry = long_codes_[long_offset_[index] + below];
      symbol = long_entry & 0xFF;
      length = long_entry >> 8;
    }
    if (length != 0 && s.bitcount >= length) {
      s.bitbuf >>= length;
      s.bitcount -= length;
      *lane.out++ = static_cast<uint8_t>(symbol);
      return true;
    }
  }
  return WalkOne(lane);
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
