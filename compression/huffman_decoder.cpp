#include "compression/huffman_codec.h"
#include "platform/byte_order.h"

#include <bit>
#include <cstring>

// The bit buffer is refilled 8 bytes at a time (libdeflate's way: load a
// word, keep what fits, advance by whole bytes), which leaves at least 56
// bits, enough for four table lookups of at most kLookupBits each without
// another check. Each entry yields up to six symbols, stored with one 8-byte
// write. Near the ends of the input or of the output, and for codes longer
// than the table, one symbol at a time is decoded by walking the tree, which
// never reads past `in_end` nor writes past `out_end`.

namespace velkaro {
namespace {

constexpr int kLookupsPerRefill = 4;
static_assert(kLookupsPerRefill * HuffmanDecoder::kLookupBits <= 56);
static_assert(HuffmanDecoder::kLookupBits < 16);

}  // namespace

HuffmanDecoder::HuffmanDecoder(const CNode (&nodes)[kTreeNodes], int16_t root)
    : nodes_(nodes), root_(root), node_(root) {
  static_assert(kMaxSymbolsPerLookup * 8 <= 64 - kSymbolsShift, "the symbols fit their field");
  static_assert(kLookupBits < (1 << kCountShift), "the bit count fits below the count");
  constexpr uint32_t kEntries = 1u << kLookupBits;
  // First the one-symbol table: a walk of the tree to the table's depth,
  // where a leaf at depth d fills every entry whose low d bits are its code,
  // and an inner node at full depth marks its single entry as a long code.
  // Each entry: bits 0-7 the symbol, 8-15 its length (0 for a long code),
  // 16-31 the node reached.
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
      single[p.code] = static_cast<uint32_t>(p.node) << 16;
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
      table_[index] = uint64_t{first >> 16} << kSymbolsShift | uint64_t{kLookupBits};
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

bool HuffmanDecoder::WalkOne(const uint8_t*& in, const uint8_t* in_end, uint8_t*& out) {
  int node = node_;
  while (!nodes_[node].m_leaf) {
    if (bitcount_ == 0) {
      if (in == in_end) {
        node_ = static_cast<int16_t>(node);
        return false;
      }
      bitbuf_ = *in++;
      bitcount_ = 8;
    }
    node = bitbuf_ & 1 ? nodes_[node].m_right : nodes_[node].m_left;
    bitbuf_ >>= 1;
    --bitcount_;
  }
  *out++ = nodes_[node].m_symbol;
  node_ = root_;
  return true;
}

size_t HuffmanDecoder::Decode(const uint8_t*& in, const uint8_t* in_end, uint8_t* out,
                              uint8_t* out_end) {
  uint8_t* const start = out;
  constexpr size_t kFastRoom = kLookupsPerRefill * kMaxSymbolsPerLookup;
  constexpr uint64_t kMask = (uint64_t{1} << kLookupBits) - 1;
  for (;;) {
    if (node_ == root_) {
      uint64_t bitbuf = bitbuf_;
      uint32_t bitcount = bitcount_;
      bool long_code = false;
      while (in_end - in >= 8 && static_cast<size_t>(out_end - out) >= kFastRoom) {
        bitbuf |= LoadLe64(in) << bitcount;
        in += (63 - bitcount) >> 3;
        bitcount |= 56;
        for (int k = 0; k < kLookupsPerRefill; ++k) {
          const uint64_t entry = table_[bitbuf & kMask];
          bitbuf >>= entry & 63;
          bitcount -= static_cast<uint32_t>(entry & 0xFF);
          const uint32_t count = static_cast<uint32_t>(entry >> kCountShift) & 0xF;
          if (count == 0) [[unlikely]] {
            node_ = static_cast<int16_t>((entry >> kSymbolsShift) & 0xFFFF);
            long_code = true;
            break;
          }
          StoreLe64(out, entry >> kSymbolsShift);
          out += count;
        }
        if (long_code) break;
      }
      bitbuf_ = bitbuf;
      bitcount_ = bitcount;
      if (long_code) {
        // The walk finishes the symbol; room for it was checked above.
        if (!WalkOne(in, in_end, out)) return static_cast<size_t>(out - start);
        continue;
      }
    }
    // Close to an end: one symbol at a time, or a code cut off earlier.
    if (out == out_end) break;
    if (!WalkOne(in, in_end, out)) break;
    if (in_end - in >= 8 && static_cast<size_t>(out_end - out) >= kFastRoom) continue;
    // Keep walking until an end is reached.
    while (out < out_end && WalkOne(in, in_end, out)) {
    }
    break;
  }
  return static_cast<size_t>(out - start);
}

}  // namespace velkaro
