#include "compression/huffman_codec.h"
#include "platform/byte_order.h"

#include <bit>
#include <cstring>

// Every code is precomputed once per file and appended to a 64-bit
// accumulator. After a group of codes the accumulator is stored whole (8
// bytes, unaligned) and the output pointer moves by the complete bytes only,
// so the loop has no branch on the bit position. With fewer than 8 bits
// pending, four codes of up to 14 bits, three of 18 or two of 28 fit before
// a store; the group size is chosen from the counts so that nearly every
// byte takes the grouped path, and the rare longer code goes alone. Codes
// that do not fit the accumulator at all (possible only when the tree is very
// deep) go in 32-bit pieces. A plan has large areas of one colour, and white
// or black pixels are runs of one byte value: eight equal bytes whose code is
// short are appended as one precomputed code; more generally, 24 bytes that
// repeat the 24 before them (flat areas of any colour) are packed once and
// then appended as a few pieces for as long as the repetition lasts.

namespace velkaro {
namespace {

constexpr size_t kGroup = 192;  // symbols coded between room checks

// Only compared with each other: byte order does not matter.
inline bool Equal24(const uint8_t* a, const uint8_t* b) {
  return LoadLe64(a) == LoadLe64(b) && LoadLe64(a + 8) == LoadLe64(b + 8) &&
         LoadLe64(a + 16) == LoadLe64(b + 16);
}

// Codes per store, and the longest code such a group may hold: the pending
// bits (< 8) and the group must fit 63 bits.
constexpr struct {
  int codes;
  uint32_t bits;
} kGroupings[] = {{4, 14}, {3, 18}, {2, 28}};

}  // namespace

HuffmanEncoder::HuffmanEncoder(const HuffmanCode (&codes)[256], const uint64_t* counts)
    : codes_(codes) {
  uint32_t longest = 0;
  uint64_t total = 0;
  for (int s = 0; s < 256; ++s) {
    const uint32_t len = codes[s].length;
    longest = len > longest ? len : longest;
    short_[s] = len <= kShortBits ? codes[s].words[0] | uint64_t{len} << kShortBits : 0;
    total += counts ? counts[s] : 1;
  }
  for (const auto& g : kGroupings) {
    uint64_t covered = 0;
    for (int s = 0; s < 256; ++s) {
      if (codes[s].length <= g.bits) covered += counts ? counts[s] : 1;
    }
    if (covered >= total - total / 200) {
      group_ = g.codes;
      group_bits_ = g.bits;
      break;
    }
  }
  for (int s = 0; s < 256; ++s) {
    grouped_[s] = codes[s].length <= group_bits_ ? short_[s] : 0;
    run8_[s] = 0;
    if (codes[s].length >= 1 && codes[s].length <= 7) {
      const uint32_t len = codes[s].length;
      uint64_t bits = 0;
      for (int k = 0; k < 8; ++k) bits |= codes[s].words[0] << (k * len);
      run8_[s] = bits | uint64_t{8 * len} << kShortBits;
    }
  }
  // Worst case per symbol: its bytes plus the one the pending bits may start,
  // then the 8-byte scratch store.
  reserve_ = kGroup * (longest / 8 + 2) + 8;
}

void HuffmanEncoder::PutLong(int symbol, uint8_t*& out) {
  const HuffmanCode& code = codes_[symbol];
  for (uint32_t k = 0; k < code.length; k += 32) {
    const uint32_t take = code.length - k < 32 ? code.length - k : 32;
    const uint64_t word = code.words[k / 64] >> (k % 64);
    acc_ |= (word & ((uint64_t{1} << take) - 1)) << pending_;
    pending_ += take;  // < 8 + 32
    StoreLe64(out, acc_);
    out += pending_ >> 3;
    acc_ >>= pending_ & ~7u;
    pending_ &= 7;
  }
}

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

template <int kCodesPerStore>
void HuffmanEncoder::EncodeGroups(const uint8_t* begin, const uint8_t*& in, const uint8_t* stop,
                                  uint8_t*& out) {
  uint64_t acc = acc_;
  uint32_t pending = pending_;
  const uint8_t* p = in;
  uint8_t* o = out;
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
        continue;
      }
    }
    const Short c0 = grouped_[p[0]];
    const Short c1 = grouped_[p[1]];
    const Short c2 = kCodesPerStore > 2 ? grouped_[p[2]] : 1;
    const Short c3 = kCodesPerStore > 3 ? grouped_[p[3]] : 1;
    if ((c0 == 0) | (c1 == 0) | (c2 == 0) | (c3 == 0)) [[unlikely]]
      break;
    add(c0);
    add(c1);
    if constexpr (kCodesPerStore > 2) add(c2);
    if constexpr (kCodesPerStore > 3) add(c3);
    p += kCodesPerStore;
    store();
  }
  in = p;
  out = o;
  acc_ = acc;
  pending_ = pending;
}

size_t HuffmanEncoder::Encode(const uint8_t*& in, const uint8_t* in_end, uint8_t* out,
                              uint8_t* out_end) {
  uint8_t* const start = out;
  const uint8_t* const begin = in;
  while (in < in_end && static_cast<size_t>(out_end - out) >= reserve_) {
    const size_t n = static_cast<size_t>(in_end - in) < kGroup ? in_end - in : kGroup;
    const uint8_t* const stop = in + n;
    switch (group_) {
      case 4:
        EncodeGroups<4>(begin, in, stop, out);
        break;
      case 3:
        EncodeGroups<3>(begin, in, stop, out);
        break;
      case 2:
        EncodeGroups<2>(begin, in, stop, out);
        break;
      default:
        break;
    }
    // What the groups left: a longer code, or the last few bytes.
    uint64_t acc = acc_;
    uint32_t pending = pending_;
    const uint8_t* const single_stop = group_ > 1 && stop - in >= group_ ? in + 1 : stop;
    while (in < single_stop) {
      const Short code = short_[*in];
      if (code == 0) [[unlikely]] {
        acc_ = acc;
        pending_ = pending;
        PutLong(*in, out);
        acc = acc_;
        pending = pending_;
        ++in;
        continue;
      }
      ++in;
      acc |= (code & kBitsMask) << pending;
      pending += static_cast<uint32_t>(code >> kShortBits);
      StoreLe64(out, acc);
      out += pending >> 3;
      acc >>= pending & ~7u;  // at most 56: pending < 8 + 56
      pending &= 7;
    }
    acc_ = acc;
    pending_ = pending;
  }
  return static_cast<size_t>(out - start);
}

size_t HuffmanEncoder::Finish(uint8_t* out) {
  if (pending_ == 0) return 0;
  out[0] = static_cast<uint8_t>(acc_);
  acc_ = 0;
  pending_ = 0;
  return 1;
}

}  // namespace velkaro
