#pragma once

// How the compressor cuts its work into pieces for its threads. The output
// never depends on these: tests and fuzzers shrink the pieces so that every
// seam (a block ending mid-byte, a stretch of codes starting mid-code) is
// crossed many times on small inputs, and benchmarks choose the threads.

#include "compression/byte_stream.h"
#include "compression/compression.h"

#include <cstddef>
#include <cstdio>
#include <span>
#include <vector>

namespace velkaro {

struct CodecTuning {
  // Compressing: source bytes per block. Each block is counted and coded on
  // its own and its codes written at the bit where they belong.
  size_t block = kIoBlock;
  // Expanding: code bytes per stretch, at most. Stretches after the first
  // are decoded from their first whole byte before the end of the one
  // before them is known, then joined where the two agree.
  size_t stretch = kIoBlock / 8;
  // Expanding: the most bytes a stretch may decode; stretches are shortened
  // so that a typical one decodes about half of this.
  size_t stretch_output = 2 * kIoBlock;
  // Expanding: symbols whose bit positions a speculative stretch records, to
  // be matched by the stretch before it; past them it is decoded again.
  int sync_symbols = 256;
  // Expanding: stretches a worker decodes in step, 1 to
  // HuffmanDecoder::kMaxLanes; 0 chooses from the codes' mean length.
  int lanes = 0;
  // Expanding: stretches decoded and not yet placed, at most, in whole
  // groups of `lanes` and two groups at least; 0 takes two groups a worker.
  int stretches = 0;
  // 0: two threads where the machine has two cores; else 1 or 2.
  int threads = 0;
};

// CCompression's operations with a chosen tuning; its own methods use the
// default one. The streams' REQUIREMENTS are those of CompressStream and
// DecompressStream. Sources that cannot be read by position are coded in
// one stream on one thread.
CompressionOutcome CompressWith(CCompression& self, Input& in, Output& out,
                                const CodecTuning& tuning);
CompressionOutcome DecompressWith(CCompression& self, Input& in, Output& out,
                                  const CodecTuning& tuning);

// Compress and Decompress of CCompression (paths in the object), and
// CompressStream, with a chosen tuning.
CompressionOutcome CompressFileWith(CCompression& self, const CodecTuning& tuning,
                                    Output* copy = nullptr);
CompressionOutcome DecompressFileWith(CCompression& self, const CodecTuning& tuning);
CompressionOutcome CompressStreamWith(CCompression& self, std::FILE* source, std::FILE* dest,
                                      const CodecTuning& tuning);

// The fixed part of a block, read first so that a file too short to be a
// block is refused before its destination is created.
struct BlockStart {
  uint32_t code_bytes = 0;
  uint32_t length = 0;
};

// Reads the block's fixed part into `start` and its counts into
// self.m_weights; false with `failure` set when the input is too short or
// unreadable.
bool ReadBlockStart(CCompression& self, Input& in, BlockStart& start, CompressionOutcome& failure);
// Expands the codes that follow the fixed part.
CompressionOutcome ExpandWith(CCompression& self, const BlockStart& start, Input& in, Output& out,
                              const CodecTuning& tuning);
// The same in one stream on one thread. REQUIRES: self.m_root built from
// self.m_weights.
CompressionOutcome ExpandStream(CCompression& self, const BlockStart& start, Input& in,
                                Output& out);

}  // namespace velkaro
