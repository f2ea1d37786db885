#pragma once

// The byte-wise static Huffman compressor that carries the plan bitmap inside
// a projection file. The byte counts of the whole source are stored with the
// codes and both sides build the same tree from them, so the output is fixed
// byte for byte by the tree-building rule (compression/huffman_tree.h). The
// block layout is in compression/compressed_block_format.h.
//
// Memory stays bounded whatever the file size: compressing reads the source
// twice (once to count, once to code) and expanding streams, both through
// fixed buffers (a few megabytes, plus 1 KB of counts per megabyte of a
// source being compressed). Files and memory are read and written by
// position, which lets an operation use a second thread where the machine
// has two cores (compression/codec_passes.h); pipes are coded in one stream.
//
// Thread safety: one object serves one operation at a time; distinct objects
// are independent.

#include "compression/byte_stream.h"
#include "platform/file_error.h"

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

namespace velkaro {

// One node of the code tree. Leaves 0-255 stand for the byte values; inner
// nodes are numbered from 256 in the order they are made.
class CNode {
 public:
  CNode();
  virtual ~CNode();
  int16_t m_left;     // child reached with bit 0; -1 for a leaf
  int16_t m_right;    // child reached with bit 1; -1 for a leaf
  int16_t m_parent;   // -1 for the root
  uint8_t m_leaf;     // 1 for the 256 leaves
  uint8_t m_symbol;   // the byte value of a leaf
  uint32_t m_weight;  // count of a leaf, 32-bit wrapping sum of the children otherwise
};

// What a compression step did. On failure nothing further was written; `path`
// names the file that failed and `cause` says why (platform/file_error.h).
struct CompressionOutcome {
  bool ok = false;
  uint64_t count = 0;  // Compress: N, the code bytes written; Decompress: bytes written
  FileErrorCause cause = FileErrorCause::kNone;
  std::string path;
  // A short English reason where `cause` alone says too little (a source of
  // 4 GiB or more, a truncated block); empty otherwise. Static storage.
  const char* detail = "";
};

class CCompression {
 public:
  CCompression(std::string source, std::string dest);
  virtual ~CCompression();

  // Source file -> compressed block file. Refuses a source of 4 GiB or more.
  // The sources are opened only when they are regular files; the
  // destination is written all or nothing (platform/atomic_file.h): on any
  // failure it is left as it was.
  CompressionOutcome Compress();
  // The same, with every byte of the block also written to `copy` as it is
  // made, from the block's first byte at copy's current place: a file that
  // holds the block after something else is written with it, not after it.
  // When the copy fails the outcome fails too, copy.error is its errno, and
  // the destination is left as it was.
  CompressionOutcome Compress(Output& copy);
  // Compressed block file -> expanded file. A block whose codes end before
  // L bytes are decoded (or whose file ends before its N code bytes) reports
  // kEndOfFile on the source, with `count` the bytes decoded, and writes
  // nothing. Never emits more than L bytes.
  CompressionOutcome Decompress();

  // The same on open streams, for callers that keep the block inside a larger
  // file. REQUIRES: `source` is positioned at the first byte to compress and
  // is seekable (it is read twice, from that position to its end); the block
  // is written to `dest` from its current position. The paths only name the
  // files in the outcome. The streams stay open and are not closed.
  CompressionOutcome CompressStream(std::FILE* source, std::FILE* dest);
  // REQUIRES: `source` is positioned at the block's offset 0. Reads exactly
  // the block (1032 + N bytes at most) and writes the expanded bytes to
  // `dest` from its current position.
  CompressionOutcome DecompressStream(std::FILE* source, std::FILE* dest);
  // The same, handing every expanded byte to `watch` as well, front to back,
  // as soon as it is written (compression/byte_stream.h). `watch` runs on
  // the codec's threads, one call at a time.
  CompressionOutcome DecompressStream(std::FILE* source, std::FILE* dest,
                                      const WrittenBytes& watch);

  // In memory: `block` receives the whole compressed block, `out` the
  // expanded bytes (replacing their contents).
  CompressionOutcome CompressBytes(std::span<const uint8_t> source, std::vector<uint8_t>& block);
  CompressionOutcome DecompressBytes(std::span<const uint8_t> block, std::vector<uint8_t>& out);

  std::string m_strSource, m_strDest;
  uint32_t m_weights[513];  // by node index; 0-255 are the byte counts
  uint8_t m_active[513];    // 1 while a node waits to be merged
  CNode m_nodes[513];
  int16_t m_root;  // 510 once a tree is built: all 256 leaves take part
};

}  // namespace velkaro
