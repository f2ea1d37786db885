#pragma once

// The code tree and the codes it gives. Compressor and expander build the tree
// from the same 256 counts by the same rule, so the rule is part of the block
// format and is kept exactly:
//
//   Every node 0-255 starts active. Repeatedly, the two active nodes of least
//   weight are merged into the next new node (256, 257, ...): among equal
//   weights the lower index is taken first; the new node's left child is the
//   lower of the two indices and its right child the higher; its weight is
//   their sum in unsigned 32-bit arithmetic (wrapping, so that counts read
//   from an untrusted block still give one deterministic tree). The last node
//   made (always 510) is the root.
//
// Wrapping sums can make a degenerate tree up to 255 levels deep, so codes
// here have any length from 1 to 255 bits.

#include "compression/compression.h"

#include <cstdint>

namespace velkaro {

inline constexpr int kTreeNodes = 513;
inline constexpr int kMaxCodeBits = 255;

// Builds the tree from weights[0..255]; clears weights, active and nodes of
// the other indices first. Returns the root index.
int16_t BuildHuffmanTree(uint32_t (&weights)[kTreeNodes], uint8_t (&active)[kTreeNodes],
                         CNode (&nodes)[kTreeNodes]);

// The code of one byte value in stream order: bit k of the code (k = 0 next
// to the root) is bit (k % 64) of words[k / 64].
struct HuffmanCode {
  uint8_t length = 0;
  uint64_t words[4] = {};
};

// The code of every byte value of a tree made by BuildHuffmanTree.
void ComputeCodes(const CNode (&nodes)[kTreeNodes], int16_t root, HuffmanCode (&codes)[256]);

}  // namespace velkaro
