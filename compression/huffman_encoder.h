#pragma once

// Turns bytes into their codes, first bit in the least significant bit of
// each output byte. Keeps up to 7 pending bits between calls.

#include "compression/huffman_tree.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace velkaro {

class HuffmanEncoder {
 public:
  // `counts`, when given, are the byte counts of the data to come; they only
  // choose how many codes are packed between stores (any data is coded
  // correctly either way).
  explicit HuffmanEncoder(const HuffmanCode (&codes)[256], const uint64_t* counts = nullptr);

  // The room Encode leaves unused at the end of `out`: it stops once less is
  // left. A buffer must be larger than this.
  size_t Reserve() const { return reserve_; }

  // Codes bytes from `in` (advanced past what was coded) until `in_end` or
  // until fewer than Reserve() bytes of room remain before `out_end`. Returns
  // the number of complete code bytes stored at `out`. Bytes just past those
  // may be scribbled on (scratch for the 8-byte stores).
  size_t Encode(const uint8_t*& in, const uint8_t* in_end, uint8_t* out, uint8_t* out_end);

  // Stores the last, partly filled byte if there is one; returns 0 or 1.
  size_t Finish(uint8_t* out);

  // Starts afresh as if `zero_bits` (0 to 7) zero bits had been coded: the
  // first byte stored then holds the codes from that bit up, so that a block
  // coded on its own can be joined to the bits before it with one OR.
  void Restart(uint32_t zero_bits);

 private:
  // A code of at most kShortBits bits packed with its length: the code in
  // bits 0-55, first bit in bit 0, the length in bits 56-63. 0 stands for a
  // code that must take a slower path.
  using Short = uint64_t;
  static constexpr uint32_t kShortBits = 56;
  static constexpr uint64_t kBitsMask = (uint64_t{1} << kShortBits) - 1;

  // A stretch of 24 bytes (eight 24-bit pixels) that repeats, with its
  // codes packed into at most four pieces of at most kShortBits bits.
  static constexpr int kChunk = 24;
  static constexpr int kMaxPieces = 4;
  struct RepeatedChunk {
    uint8_t bytes[kChunk];
    int pieces = 0;  // 0: none held
    Short piece[kMaxPieces];
  };

  // One run of the grouped loop over a window of the input; returns how many
  // flat-area shortcuts it took (always 0 when kFlat is off).
  using GroupLoop = int (HuffmanEncoder::*)(const uint8_t* begin, const uint8_t*& in,
                                            const uint8_t* stop, uint8_t*& out);
  template <int kCodesPerStore, bool kFlat>
  int EncodeGroups(const uint8_t* begin, const uint8_t*& in, const uint8_t* stop, uint8_t*& out);
  static GroupLoop Loop(int codes_per_store, bool flat);

  // The codes of two bytes at once, by the 16 bits they make (the first
  // byte low): their codes joined, and the length of both; 0 and 64 where
  // both are longer than a group of pairs may hold (see HuffmanEncoder's
  // constructor). 320 KB, filled once for a long source, where it halves
  // the lookups of the plain loop.
  struct PairTable {
    uint32_t code[1u << 16];
    uint8_t length[1u << 16];
  };
  template <int kPairsPerStore>
  int EncodePairs(const uint8_t* begin, const uint8_t*& in, const uint8_t* stop, uint8_t*& out);
  static GroupLoop PairLoop(int pairs_per_store);
  void FillPairs(uint32_t pair_bits);
  void EncodeSingles(const uint8_t*& in, const uint8_t* stop, uint8_t*& out);
  void PutLong(int symbol, uint8_t*& out);
  bool HoldChunk(const uint8_t* p);

  std::unique_ptr<PairTable> pairs_;
  RepeatedChunk chunk_;
  Short short_[256];
  // The grouped loop's codes: those of at most group_bits_, and their
  // lengths; any other code is 0 with the length 64, so that a group holding
  // one overflows the accumulator and is caught by a single compare.
  uint64_t group_code_[256];
  uint8_t group_length_[256];
  Short run8_[256];  // eight copies of a code of at most 7 bits, else 0
  int group_ = 1;    // codes per store in the main loop
  uint32_t group_bits_ = kShortBits;
  GroupLoop flat_loop_ = nullptr;   // with the flat-area shortcuts
  GroupLoop plain_loop_ = nullptr;  // without
  size_t plain_left_ = 0;           // bytes left to code without looking for flat areas
  uint32_t misses_ = 0;             // windows in a row that looked and found none
  const HuffmanCode* codes_;
  size_t reserve_;
  uint64_t acc_ = 0;
  uint32_t pending_ = 0;  // bits in acc_, always < 8 between symbols
};

}  // namespace velkaro
