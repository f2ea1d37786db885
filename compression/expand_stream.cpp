// Expanding a block read in sequence: its fixed part first, then its codes
// through one decoder and fixed buffers (pipes, and sources that cannot be
// read by position).

#include "compression/codec_outcome.h"
#include "compression/codec_passes.h"
#include "compression/compressed_block_format.h"
#include "compression/huffman_codec.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace velkaro {

bool ReadBlockStart(CCompression& self, Input& in, BlockStart& start, CompressionOutcome& failure) {
  uint8_t header[block::kHeaderSize];
  const size_t got = in.Read(header, sizeof header);
  if (in.error) {
    failure = Failure(in.error, self.m_strSource);
    return false;
  }
  if (got < sizeof header) {
    failure = Truncated(self.m_strSource, 0, kShortHeader);
    return false;
  }
  start.code_bytes = LoadLe32(header + block::kCodeCountOffset);
  start.length = LoadLe32(header + block::kSourceLengthOffset);
  for (int i = 0; i < kTreeNodes; ++i) self.m_weights[i] = 0;
  for (size_t s = 0; s < block::kSymbolCount; ++s)
    self.m_weights[s] = LoadLe32(header + block::kTableOffset + 4 * s);
  return true;
}

CompressionOutcome DecompressWith(CCompression& self, Input& in, Output& out,
                                  const CodecTuning& tuning) {
  BlockStart start;
  CompressionOutcome failure;
  if (!ReadBlockStart(self, in, start, failure)) return failure;
  return ExpandWith(self, start, in, out, tuning);
}

CompressionOutcome ExpandStream(CCompression& self, const BlockStart& start, Input& in,
                                Output& out) {
  auto decoder = std::make_unique<HuffmanDecoder>(self.m_nodes, self.m_root);
  const size_t out_block = static_cast<size_t>(std::min<uint64_t>(kIoBlock, start.length));
  std::vector<uint8_t> src(std::min<uint64_t>({kIoBlock, start.code_bytes, in.BufferSize()}));
  std::vector<uint8_t> dst(out_block + HuffmanDecoder::kOutputSlack);
  uint64_t codes_left = start.code_bytes;
  size_t in_pos = 0;
  size_t in_len = 0;
  bool input_done = codes_left == 0;
  uint64_t emitted = 0;
  size_t fill = 0;
  while (emitted < start.length) {
    if (in_pos == in_len && !input_done) {
      const size_t want = static_cast<size_t>(std::min<uint64_t>(src.size(), codes_left));
      in_len = in.Read(src.data(), want);
      if (in.error) return Failure(in.error, self.m_strSource);
      in_pos = 0;
      codes_left -= in_len;
      input_done = in_len < want || codes_left == 0;
    }
    const size_t room =
        static_cast<size_t>(std::min<uint64_t>(out_block - fill, start.length - emitted));
    const uint8_t* p = src.data() + in_pos;
    const size_t produced =
        decoder->Decode(p, src.data() + in_len, dst.data() + fill, dst.data() + fill + room);
    in_pos = static_cast<size_t>(p - src.data());
    fill += produced;
    emitted += produced;
    if (fill == out_block) {
      if (!out.Write(dst.data(), fill)) return Failure(out.error, self.m_strDest);
      fill = 0;
    }
    if (produced == 0 && in_pos == in_len && input_done) break;
  }
  if (!out.Write(dst.data(), fill)) return Failure(out.error, self.m_strDest);
  if (emitted < start.length) return Truncated(self.m_strSource, emitted, kShortCodes);
  return Success(emitted);
}

}  // namespace velkaro
