#include "compression/huffman_encoder.h"

#include "platform/byte_order.h"

#include <algorithm>

// Every code is precomputed once per file and appended to a 64-bit
// accumulator. After a group of codes the accumulator is stored whole (8
// bytes, unaligned) and the output pointer moves by the complete bytes only,
// so the loop has no branch on the bit position. With fewer than 8 bits
// pending, eight codes of up to 7 bits fit before a store, seven of 8, six of
// 9, five of 11, four of 14, three of 18 or two of 28; the group size is
// chosen from the counts so that nearly every byte takes the grouped path,
// and the rare longer code goes alone. Codes that do not fit the accumulator
// at all (possible only when the tree is very deep) go in 32-bit pieces. On
// a long source the loop that does not look for flat areas takes two bytes
// a lookup from a table of every pair's joined codes, grouped the same way.
//
// A plan has large areas of one colour, and white or black pixels are runs
// of one byte value: eight equal bytes whose code is short are appended as
// one precomputed code; more generally, 24 bytes that repeat the 24 before
// them (flat areas of any colour) are packed once and then appended as a few
// pieces for as long as the repetition lasts. Looking for those costs a
// photograph or a scan as much as coding it, so a window of the input in
// which they were not found is followed by a few windows coded without
// looking, and more after each further miss (huffman_encoder_groups.cpp).

namespace velkaro {
namespace {

// Symbols coded between room checks; every group size divides it.
constexpr size_t kWindow = 840;
// Bytes coded without looking for flat areas after a window that had none:
// counted in bytes, since a long code ends a window early. Each further
// window in a row without them doubles that, up to 2^kMaxMissShift times:
// a photograph then looks once in 49 windows.
constexpr size_t kPlainBytes = 3 * kWindow;
constexpr uint32_t kMaxMissShift = 4;

// Codes per store, and the longest code such a group may hold: the pending
// bits (< 8) and the group must fit 63 bits.
constexpr struct {
  int codes;
  uint32_t bits;
} kGroupings[] = {{8, 7}, {7, 8}, {6, 9}, {5, 11}, {4, 14}, {3, 18}, {2, 28}};
static_assert(kWindow % 8 == 0 && kWindow % 7 == 0 && kWindow % 6 == 0 && kWindow % 5 == 0);

// The same for pairs of codes; a source shorter than kPairsFrom bytes does
// without them, as filling their table would cost more than it saves.
constexpr struct {
  int pairs;
  uint32_t bits;
} kPairGroupings[] = {{4, 14}, {3, 18}, {2, 28}};
constexpr uint64_t kPairsFrom = uint64_t{1} << 20;

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
    static_assert(7 + 8 * 7 <= 63 && 7 + 2 * 28 <= 63);
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
    const uint32_t len = codes[s].length;
    group_code_[s] = len <= group_bits_ ? codes[s].words[0] : 0;
    group_length_[s] = static_cast<uint8_t>(len <= group_bits_ ? len : 64);
    run8_[s] = 0;
    if (len >= 1 && len <= 7) {
      uint64_t bits = 0;
      for (uint32_t k = 0; k < 8; ++k) bits |= codes[s].words[0] << (k * len);
      run8_[s] = bits | uint64_t{8 * len} << kShortBits;
    }
  }
  flat_loop_ = Loop(group_, true);
  plain_loop_ = Loop(group_, false);
  if (counts && total >= kPairsFrom) {
    // How often two bytes in a row have codes of l1 + l2 bits, from how many
    // bytes have codes of each length.
    double by_length[kMaxCodeBits + 1] = {};
    for (int s = 0; s < 256; ++s)
      by_length[codes[s].length] += static_cast<double>(counts[s]) / static_cast<double>(total);
    for (const auto& g : kPairGroupings) {
      static_assert(7 + 4 * 14 <= 63 && 7 + 3 * 18 <= 63 && 7 + 2 * 28 <= 63);
      double covered = 0;
      for (uint32_t l1 = 1; l1 < g.bits; ++l1)
        for (uint32_t l2 = 1; l1 + l2 <= g.bits; ++l2) covered += by_length[l1] * by_length[l2];
      if (covered >= 0.995) {
        FillPairs(g.bits);
        plain_loop_ = PairLoop(g.pairs);
        break;
      }
    }
  }
  // Worst case per symbol: its bytes plus the one the pending bits may start,
  // then the 8-byte scratch store.
  reserve_ = kWindow * (longest / 8 + 2) + 8;
}

void HuffmanEncoder::FillPairs(uint32_t pair_bits) {
  pairs_ = std::make_unique_for_overwrite<PairTable>();
  for (uint32_t a = 0; a < 256; ++a) {
    for (uint32_t b = 0; b < 256; ++b) {
      const uint32_t length = uint32_t{codes_[a].length} + codes_[b].length;
      const bool fits = length <= pair_bits;
      pairs_->code[a | b << 8] =
          fits ? static_cast<uint32_t>(codes_[a].words[0] | codes_[b].words[0] << codes_[a].length)
               : 0;
      pairs_->length[a | b << 8] = static_cast<uint8_t>(fits ? length : 64);
    }
  }
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

// One code per store: the end of a window, and codes too long for a group.
void HuffmanEncoder::EncodeSingles(const uint8_t*& in, const uint8_t* stop, uint8_t*& out) {
  uint64_t acc = acc_;
  uint32_t pending = pending_;
  while (in < stop) {
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

size_t HuffmanEncoder::Encode(const uint8_t*& in, const uint8_t* in_end, uint8_t* out,
                              uint8_t* out_end) {
  uint8_t* const start = out;
  const uint8_t* const begin = in;
  while (in < in_end && static_cast<size_t>(out_end - out) >= reserve_) {
    const size_t n = static_cast<size_t>(in_end - in) < kWindow ? in_end - in : kWindow;
    const uint8_t* const stop = in + n;
    if (plain_left_ > 0 && plain_loop_) {
      const uint8_t* const from = in;
      (this->*plain_loop_)(begin, in, stop, out);
      const size_t done = static_cast<size_t>(in - from);
      plain_left_ = done < plain_left_ ? plain_left_ - done : 0;
    } else if (flat_loop_ && (this->*flat_loop_)(begin, in, stop, out) == 0) {
      plain_left_ = kPlainBytes << std::min(misses_++, kMaxMissShift);
    } else {
      misses_ = 0;
    }
    // What the groups left: a longer code, or the last few bytes.
    EncodeSingles(in, flat_loop_ && stop - in >= group_ ? in + 1 : stop, out);
  }
  return static_cast<size_t>(out - start);
}

void HuffmanEncoder::Restart(uint32_t zero_bits) {
  acc_ = 0;
  pending_ = zero_bits & 7;
  chunk_.pieces = 0;
  plain_left_ = 0;
  misses_ = 0;
}

size_t HuffmanEncoder::Finish(uint8_t* out) {
  if (pending_ == 0) return 0;
  out[0] = static_cast<uint8_t>(acc_);
  acc_ = 0;
  pending_ = 0;
  return 1;
}

}  // namespace velkaro
