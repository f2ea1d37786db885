#pragma once

// Turns codes back into bytes. A table indexed by the next kLookupBits bits
// gives up to eight whole symbols at once; codes longer than the table are
// finished by a walk of the tree, which handles any depth and also decodes
// the few bits at the ends of the input.
//
// Each lookup waits on the one before it, since only that one says where
// the next code starts: on codes of about 8 bits the table yields one symbol
// per lookup, and the chain of lookups, not the work, sets the pace. Several
// streams of codes decoded in step (DecodeLanes) run several chains at once.

#include "compression/huffman_tree.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velkaro {

class HuffmanDecoder {
 public:
  static constexpr int kLookupBits = 12;
  static constexpr int kMaxSymbolsPerLookup = 8;
  // Room past `out_end` that decoding may scribble on.
  static constexpr size_t kOutputSlack = 8;
  // Lookups between two refills of the bit buffer, and the output room they
  // need: the fast loops run only while a lane has that much.
  static constexpr int kLookupsPerRefill = 4;
  static constexpr size_t kFastRoom = kLookupsPerRefill * kMaxSymbolsPerLookup;

  // REQUIRES: `nodes` outlives the decoder and holds a tree made by
  // BuildHuffmanTree with root `root`.
  HuffmanDecoder(const CNode (&nodes)[kTreeNodes], int16_t root);
  HuffmanDecoder(const HuffmanDecoder&) = delete;
  HuffmanDecoder& operator=(const HuffmanDecoder&) = delete;

  // Where the decoding of one stream of codes stands: bits taken from the
  // input and not yet decoded (the low `bitcount` bits of `bitbuf`), and the
  // tree node a code cut off by the end of the input has reached.
  struct State {
    uint64_t bitbuf = 0;
    uint32_t bitcount = 0;
    int16_t node = -1;
  };
  // One stream of codes and where its bytes go; decoding advances `in` past
  // the bytes taken and `out` past the bytes stored.
  struct Lane {
    State state;
    const uint8_t* in = nullptr;
    const uint8_t* in_end = nullptr;
    uint8_t* out = nullptr;
    uint8_t* out_end = nullptr;
  };

  // The state before the first bit of a code, with nothing held.
  State Start() const { return {0, 0, root_}; }
  bool BetweenCodes(const State& s) const { return s.node == root_; }

  // Decodes until `out_end` is reached or the input is used up; a code cut
  // off by the end of the input is resumed when the lane gets more input.
  // Lanes share nothing but the table: several threads may decode at once.
  void Decode(Lane& lane) const;
  // The same for up to kMaxLanes lanes at once, decoded in step.
  static constexpr int kMaxLanes = 4;
  void DecodeLanes(Lane* const* lanes, int count) const;
  // Exactly one symbol, by the table where it can; false when the input or
  // the output room ends first.
  bool DecodeOne(Lane& lane) const;

  // One stream held by the decoder itself: decodes from `in` (advanced past
  // the bytes taken) into `out`; returns the bytes stored.
  size_t Decode(const uint8_t*& in, const uint8_t* in_end, uint8_t* out, uint8_t* out_end);

 private:
  // By the next kLookupBits bits: the symbols of the whole codes they hold,
  // in order from the lowest byte, stored with one 8-byte write whatever
  // their number; the bits those codes take; and their count. Kept apart,
  // the decode loop stores the symbols as loaded and takes each of the
  // others with one byte load, with nothing to shift or mask out: the chain
  // from one lookup to the next is one mask, one load and one shift. One
  // block, so that a single register reaches all three. A code longer than
  // the table takes no bits and gives no symbol.
  struct Tables {
    uint64_t symbols[1u << kLookupBits];
    uint8_t bits[1u << kLookupBits];
    uint8_t count[1u << kLookupBits];
    const HuffmanDecoder* owner;  // for its second tables, rarely needed
  };

  // Codes longer than the table, up to kLongBits more, for DecodeOne.
  static constexpr int kLongBits = 8;
  static constexpr size_t kMaxLongCodes = size_t{64} << kLongBits;
  void AddLongCodes(uint32_t prefix, int16_t node);

  struct Regs;
  static void Step(const Tables* t, Regs& r);
  template <typename... R>
  void Lockstep(R&... r) const;
  [[gnu::noinline]] static Regs TakeLong(const Tables* t, Regs r);
  bool WalkOne(Lane& lane) const;

  const CNode* nodes_;
  int16_t root_;
  State own_;                 // the stream of the three-pointer Decode
  uint8_t length_[256] = {};  // code lengths of at most kLookupBits, for DecodeOne
  Tables tables_;
  // By the table's index of a long code's first bits: where its own table
  // starts in long_codes_, or -1. Entries: the symbol, and the code's length
  // in bits 8-15; 0 for a code longer still.
  int32_t long_offset_[1u << kLookupBits];
  std::vector<uint16_t> long_codes_;
};

}  // namespace velkaro
