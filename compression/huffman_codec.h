#pragma once

// The coding loops behind CCompression, on memory buffers. The callers own
// all I/O: they feed input in large blocks and drain output buffers, so the
// loops allocate nothing and never see a file.

#include "compression/huffman_tree.h"

#include <cstddef>
#include <cstdint>

namespace velkaro {

// Turns bytes into their codes, first bit in the least significant bit of
// each output byte. Keeps up to 7 pending bits between calls.
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

  void PutLong(int symbol, uint8_t*& out);
  bool HoldChunk(const uint8_t* p);
  template <int kCodesPerStore>
  void EncodeGroups(const uint8_t* begin, const uint8_t*& in, const uint8_t* stop, uint8_t*& out);

  RepeatedChunk chunk_;
  Short short_[256];
  Short grouped_[256];  // codes of at most group_bits_, else 0
  Short run8_[256];     // eight copies of a code of at most 7 bits, else 0
  int group_ = 1;       // codes per store in the main loop
  uint32_t group_bits_ = kShortBits;
  const HuffmanCode* codes_;
  size_t reserve_;
  uint64_t acc_ = 0;
  uint32_t pending_ = 0;  // bits in acc_, always < 8 between symbols
};

// Turns codes back into bytes. A table indexed by the next kLookupBits bits
// gives up to six whole symbols at once, so one lookup does not wait on the
// previous symbol's length; codes longer than the table are finished by a
// walk of the tree from the node the table reached. The walk handles any
// depth, and also decodes the few bits at the ends of the input.
class HuffmanDecoder {
 public:
  static constexpr int kLookupBits = 12;
  static constexpr int kMaxSymbolsPerLookup = 6;
  // Room past `out_end` that Decode may scribble on.
  static constexpr size_t kOutputSlack = 8;

  // REQUIRES: `nodes` outlives the decoder and holds a tree made by
  // BuildHuffmanTree with root `root`.
  HuffmanDecoder(const CNode (&nodes)[kTreeNodes], int16_t root);

  // Decodes from `in` (advanced past the bytes taken) into `out` until
  // `out_end` is reached or the input is used up; a code cut off by the end
  // of the input is resumed by the next call. Returns the bytes stored.
  size_t Decode(const uint8_t*& in, const uint8_t* in_end, uint8_t* out, uint8_t* out_end);

 private:
  // Entry layout: bits 0-7 the bits the entry takes, 8-11 the count of its
  // symbols, 16-63 the symbols in order. The bit count sits lowest so the
  // decode loop shifts the bit buffer by the entry itself: the lookup chain,
  // each lookup waiting on the last, is one load and one shift long. A count
  // of 0 marks a code longer than the table: bits 16-31 then hold the node
  // reached after kLookupBits bits.
  static constexpr int kCountShift = 8;
  static constexpr int kSymbolsShift = 16;

  bool WalkOne(const uint8_t*& in, const uint8_t* in_end, uint8_t*& out);

  const CNode* nodes_;
  int16_t root_;
  int16_t node_;  // where a cut-off code stopped; root_ between symbols
  uint64_t bitbuf_ = 0;
  uint32_t bitcount_ = 0;  // bits in bitbuf_; the bits above are zero
  uint64_t table_[1u << kLookupBits];
};

}  // namespace velkaro
