#include <bit>
#include <cstring>

#include "site/huffman_codec.h"

// Every code is precomputed once per file and appended to a 64-bit
// accumulator; after each symbol the accumulator is stored whole (8 bytes,
// unaligned) and the output pointer moves by the complete bytes only, so the
// loop has no branch on the bit position. Codes that do not fit the
// accumulator (possible only when the tree is very deep) go in 32-bit pieces.

namespace velkaro {
namespace {

inline void Store64(uint8_t* p, uint64_t v) {
  // The low byte goes first: the stream fills each byte from bit 0 up.
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(p, &v, 8);
  } else {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
  }
}

constexpr size_t kGroup = 32;  // symbols coded between room checks

}  // namespace

HuffmanEncoder::HuffmanEncoder(const HuffmanCode (&codes)[256]) : codes_(codes) {
  uint32_t longest = 0;
  for (int s = 0; s < 256; ++s) {
    const uint32_t len = codes[s].length;
    longest = len > longest ? len : longest;
    short_[s].length = len <= kShortBits ? len : 0;
    short_[s].bits = len <= kShortBits ? codes[s].words[0] : 0;
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
    Store64(out, acc_);
    out += pending_ >> 3;
    acc_ >>= pending_ & ~7u;
    pending_ &= 7;
  }
}

size_t HuffmanEncoder::Encode(const uint8_t*& in, const uint8_t* in_end, uint8_t* out,
                              uint8_t* out_end) {
  uint8_t* const start = out;
  uint64_t acc = acc_;
  uint32_t pending = pending_;
  while (in < in_end && static_cast<size_t>(out_end - out) >= reserve_) {
    const size_t n = static_cast<size_t>(in_end - in) < kGroup ? in_end - in : kGroup;
    const uint8_t* const stop = in + n;
    while (in < stop) {
      const Short code = short_[*in];
      if (code.length == 0) [[unlikely]] {
        acc_ = acc;
        pending_ = pending;
        PutLong(*in, out);
        acc = acc_;
        pending = pending_;
        ++in;
        continue;
      }
      ++in;
      acc |= code.bits << pending;
      pending += code.length;
      Store64(out, acc);
      out += pending >> 3;
      acc >>= pending & ~7u;  // at most 56: pending < 8 + 56
      pending &= 7;
    }
  }
  acc_ = acc;
  pending_ = pending;
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
