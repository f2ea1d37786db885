// The encoder's grouped loop, with and without the flat-area shortcuts, for
// every group size.

#include "compression/huffman_encoder.h"
#include "platform/byte_order.h"

#include <array>
#include <cstring>
#include <utility>

namespace velkaro {
namespace {

// Only compared with each other: byte order does not matter.
inline bool Equal24(const uint8_t* a, const uint8_t* b) {
  return LoadLe64(a) == LoadLe64(b) && LoadLe64(a + 8) == LoadLe64(b + 8) &&
         LoadLe64(a + 16) == LoadLe64(b + 16);
}

// Stores a group of codes gathered in `a` (n bits, the pending ones
// included) and keeps the bits of its last, partial byte; false, with
// nothing stored, when a code too long for the group overflowed the sum.
inline bool StoreGroup(uint64_t a, uint32_t n, uint64_t& acc, uint32_t& pending, uint8_t*& out) {
  if (n > 63) [[unlikely]]
    return false;
  StoreLe64(out, a);
  out += n >> 3;
  acc = a >> (n & ~7u);
  pending = n & 7;
  return true;
}

}  // namespace

bool HuffmanEncoder::HoldChunk(const uint8_t* p) {
  chunk_.pieces = 0;
  uint64_t bits = 0;
  uint32_t length = 0;
  int pieces = 0;
  for (int k = 0; k < kChunk; ++k) {
    const Short code = short_[p[k]];
    const uint32_t len = static_cast<uint32_t>(code >> kShortBits);
    if (code == 0) return false;
    if (length + len > kShortBits) {
      if (pieces == kMaxPieces) return false;
      chunk_.piece[pieces++] = bits | uint64_t{length} << kShortBits;
      bits = 0;
      length = 0;
    }
    bits |= (code & kBitsMask) << length;
    length += len;
  }
  if (pieces == kMaxPieces) return false;
  chunk_.piece[pieces++] = bits | uint64_t{length} << kShortBits;
  std::memcpy(chunk_.bytes, p, kChunk);
  chunk_.pieces = pieces;
  return true;
}

template <int kCodesPerStore, bool kFlat>
int HuffmanEncoder::EncodeGroups(const uint8_t* begin, const uint8_t*& in, const uint8_t* stop,
                                 uint8_t*& out) {
  uint64_t acc = acc_;
  uint32_t pending = pending_;
  const uint8_t* p = in;
  uint8_t* o = out;
  int shortcuts = 0;
  auto add = [&](Short code) {
    acc |= (code & kBitsMask) << pending;
    pending += static_cast<uint32_t>(code >> kShortBits);
  };
  auto store = [&] {
    StoreLe64(o, acc);
    o += pending >> 3;
    acc >>= pending & ~7u;
    pending &= 7;
  };
  const uint8_t* next_check = p;
  while (stop - p >= kCodesPerStore) {
    if constexpr (kFlat) {
      // Once per 24 bytes: does a held chunk, or the 24 bytes just coded, repeat here?
      if (p >= next_check && stop - p >= kChunk) {
        next_check = p + kChunk;
        if ((chunk_.pieces && Equal24(p, chunk_.bytes)) ||
            (p - begin >= kChunk && Equal24(p, p - kChunk) && HoldChunk(p))) {
          for (int k = 0; k < chunk_.pieces; ++k) {
            add(chunk_.piece[k]);
            store();
          }
          p += kChunk;
          next_check = p;
          ++shortcuts;
          continue;
        }
      }
      if (stop - p >= 8) {
        const uint64_t word = LoadLe64(p);
        const Short run = run8_[p[0]];
        if (word == p[0] * uint64_t{0x0101010101010101} && run != 0) {
          add(run);
          p += 8;
          store();
          ++shortcuts;
          continue;
        }
      }
    }
    // A longer code's length (64) overflows the sum: the group goes back
    // to the caller untouched.
    uint64_t a = acc;
    uint32_t n = pending;
#pragma GCC unroll 8
    for (int k = 0; k < kCodesPerStore; ++k) {
      const uint8_t b = p[k];
      a |= group_code_[b] << (n & 63);
      n += group_length_[b];
    }
    if (!StoreGroup(a, n, acc, pending, o)) break;
    p += kCodesPerStore;
  }
  in = p;
  out = o;
  acc_ = acc;
  pending_ = pending;
  return shortcuts;
}

// As the plain grouped loop, two codes a lookup.
template <int kPairsPerStore>
int HuffmanEncoder::EncodePairs(const uint8_t* /*begin*/, const uint8_t*& in, const uint8_t* stop,
                                uint8_t*& out) {
  const uint32_t* const code = pairs_->code;
  const uint8_t* const length = pairs_->length;
  uint64_t acc = acc_;
  uint32_t pending = pending_;
  const uint8_t* p = in;
  uint8_t* o = out;
  for (size_t left = static_cast<size_t>(stop - p) / (2 * kPairsPerStore); left > 0; --left) {
    // As in the groups, a pair too long overflows the sum.
    uint64_t a = acc;
    uint32_t n = pending;
#pragma GCC unroll 4
    for (int k = 0; k < kPairsPerStore; ++k) {
      const uint16_t pair = LoadLe16(p + 2 * k);
      a |= uint64_t{code[pair]} << (n & 63);
      n += length[pair];
    }
    if (!StoreGroup(a, n, acc, pending, o)) break;
    p += 2 * kPairsPerStore;
  }
  in = p;
  out = o;
  acc_ = acc;
  pending_ = pending;
  return 0;
}

HuffmanEncoder::GroupLoop HuffmanEncoder::PairLoop(int pairs_per_store) {
  switch (pairs_per_store) {
    case 2:
      return &HuffmanEncoder::EncodePairs<2>;
    case 3:
      return &HuffmanEncoder::EncodePairs<3>;
    case 4:
      return &HuffmanEncoder::EncodePairs<4>;
    default:
      return nullptr;
  }
}

HuffmanEncoder::GroupLoop HuffmanEncoder::Loop(int codes_per_store, bool flat) {
  // The loop for 2 to 8 codes a store, without and with the shortcuts.
  static constexpr auto kLoops = []<int... N>(std::integer_sequence<int, N...>) {
    return std::array<std::array<GroupLoop, 2>, sizeof...(N)>{
        {{&HuffmanEncoder::EncodeGroups<N + 2, false>,
          &HuffmanEncoder::EncodeGroups<N + 2, true>}...}};
  }(std::make_integer_sequence<int, 7>{});
  if (codes_per_store < 2 || codes_per_store > 8) return nullptr;
  return kLoops[static_cast<size_t>(codes_per_store - 2)][flat ? 1 : 0];
}

}  // namespace velkaro
