// Compressing: count, build the code, write the header, code the source.
//
// The counts fix every code's length before a single code is written, so
// the bit at which each block's codes start is known from the blocks'
// counts alone. A source that can be read by position is therefore cut into
// blocks that two workers count and then code independently: each block is
// coded as if its first bit were at that bit's place in its byte, its whole
// bytes are written straight to their offset, and the one or two bytes it
// shares with its neighbours are joined by OR once every block is done. The
// result is byte for byte the single stream of codes. A source that cannot
// be read by position (a pipe) is counted and coded in one stream.

#include "compression/byte_counts.h"
#include "compression/codec_outcome.h"
#include "compression/codec_passes.h"
#include "compression/compressed_block_format.h"
#include "compression/huffman_codec.h"
#include "compression/worker_pair.h"
#include "platform/memory.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <memory>
#include <optional>
#include <vector>

namespace velkaro {
namespace {

// The code of every byte value and the block's fixed part, from the counts.
struct CodePlan {
  uint64_t counts[256];
  uint64_t length = 0;
  uint64_t code_bytes = 0;
  HuffmanCode codes[256];
};

std::optional<CompressionOutcome> PlanCodes(CCompression& self, CodePlan& plan) {
  if (plan.length > block::kMaxSourceLength) return Failure(0, self.m_strSource, kTooLarge);
  for (int s = 0; s < 256; ++s) self.m_weights[s] = static_cast<uint32_t>(plan.counts[s]);
  self.m_root = BuildHuffmanTree(self.m_weights, self.m_active, self.m_nodes);
  ComputeCodes(self.m_nodes, self.m_root, plan.codes);
  uint64_t bits = 0;
  for (int s = 0; s < 256; ++s) bits += plan.counts[s] * plan.codes[s].length;
  plan.code_bytes = (bits + 7) / 8;
  if (plan.code_bytes > block::kMaxSourceLength) return Failure(0, self.m_strSource, kTooLarge);
  return std::nullopt;
}

// N is known before coding: the header goes out first and nothing has to be
// patched, so the destination may be any stream.
bool WriteHeader(const CCompression& self, const CodePlan& plan, Output& out) {
  uint8_t header[block::kHeaderSize];
  StoreLe32(header + block::kCodeCountOffset, static_cast<uint32_t>(plan.code_bytes));
  StoreLe32(header + block::kSourceLengthOffset, static_cast<uint32_t>(plan.length));
  for (size_t s = 0; s < block::kSymbolCount; ++s)
    StoreLe32(header + block::kTableOffset + 4 * s, self.m_weights[s]);
  return out.Write(header, sizeof header);
}

// Codes `in` from its start as one stream through fixed buffers.
CompressionOutcome EncodeStream(CCompression& self, const CodePlan& plan, Input& in, Output& out) {
  if (!in.Rewind()) return Failure(in.error, self.m_strSource);
  HuffmanEncoder encoder(plan.codes, plan.counts);
  std::vector<uint8_t> src(std::min<uint64_t>(kIoBlock, plan.length + 1));
  std::vector<uint8_t> dst(std::min<uint64_t>(kIoBlock, plan.code_bytes + 8) +
                           2 * encoder.Reserve());
  uint64_t read = 0;
  uint64_t written = 0;
  size_t fill = 0;
  for (;;) {
    const size_t got = in.Read(src.data(), src.size());
    if (in.error) return Failure(in.error, self.m_strSource);
    read += got;
    if (read > plan.length) return Failure(0, self.m_strSource, kChanged);
    const uint8_t* p = src.data();
    const uint8_t* const end = p + got;
    while (p < end) {
      fill += encoder.Encode(p, end, dst.data() + fill, dst.data() + dst.size());
      if (dst.size() - fill < encoder.Reserve() + 8) {
        if (!out.Write(dst.data(), fill)) return Failure(out.error, self.m_strDest);
        written += fill;
        fill = 0;
      }
    }
    if (got < src.size()) break;
  }
  fill += encoder.Finish(dst.data() + fill);
  if (!out.Write(dst.data(), fill)) return Failure(out.error, self.m_strDest);
  written += fill;
  if (read != plan.length || written != plan.code_bytes)
    return Failure(0, self.m_strSource, kChanged);
  return Success(plan.code_bytes);
}

CompressionOutcome CompressStreaming(CCompression& self, Input& in, Output& out) {
  auto plan = std::make_unique<CodePlan>();
  if (!CountBytes(in, plan->counts, plan->length)) return Failure(in.error, self.m_strSource);
  if (auto failure = PlanCodes(self, *plan)) return *failure;
  if (!WriteHeader(self, *plan, out)) return Failure(out.error, self.m_strDest);
  return EncodeStream(self, *plan, in, out);
}

// What the workers found wrong; the first error wins.
struct Trouble {
  std::atomic<int> read_error{0};
  std::atomic<int> write_error{0};
  std::atomic<bool> changed{false};

  static void Keep(std::atomic<int>& slot, int error) {
    int none = 0;
    slot.compare_exchange_strong(none, error);
  }
  bool Any() const { return read_error || write_error || changed; }
};

struct Histogram {
  uint32_t counts[256];
};

// The source cut into blocks, with where each block's codes start.
struct Blocks {
  uint64_t size = 0;
  size_t length = 0;  // bytes per block, the last one shorter
  uint64_t count = 0;
  std::vector<Histogram> histograms;
  std::vector<uint64_t> first_bit;  // count + 1 entries, the last is the total

  size_t Bytes(uint64_t k) const {
    return static_cast<size_t>(std::min<uint64_t>(length, size - k * length));
  }
  size_t BufferSize() const { return static_cast<size_t>(std::min<uint64_t>(length, size)); }
  // Reads block k whole into `buf`; false, with the trouble noted, otherwise.
  bool Read(const Input& in, uint64_t k, uint8_t* buf, Trouble& trouble) const {
    const IoResult got = in.ReadAt(k * length, buf, Bytes(k));
    if (got.error) Trouble::Keep(trouble.read_error, got.error);
    if (got.bytes == Bytes(k)) return true;
    trouble.changed = true;
    return false;
  }
};

// Each worker's buffer for a block of the source, kept from the counting
// pass to the coding pass. Its pages come in whole (platform/memory.h): a
// buffer of the heap is new memory again on every run, faulted in 4 KiB at
// a time.
using SourceBuffers = PageBuffer[2];

void CountBlocks(const Input& in, Blocks& blocks, WorkerPair& workers, SourceBuffers& buffers,
                 Trouble& trouble) {
  std::atomic<uint64_t> next{0};
  workers.Run([&](int worker) {
    uint8_t* const buf = buffers[worker].data();
    for (uint64_t k; (k = next++) < blocks.count && !trouble.Any();) {
      if (!blocks.Read(in, k, buf, trouble)) return;
      CountBlock(buf, blocks.Bytes(k), blocks.histograms[k].counts);
    }
  });
}

// A byte that two blocks' codes share, holding one block's bits of it.
struct SharedByte {
  uint64_t offset = UINT64_MAX;  // none
  uint8_t bits = 0;
};

void EncodeBlocks(const Input& in, Output& out, const CodePlan& plan, const Blocks& blocks,
                  WorkerPair& workers, SourceBuffers& buffers, Trouble& trouble,
                  std::vector<SharedByte>& shared) {
  size_t widest = 0;
  for (uint64_t k = 0; k < blocks.count; ++k) {
    const uint64_t span = (blocks.first_bit[k + 1] + 7) / 8 - blocks.first_bit[k] / 8;
    widest = std::max(widest, static_cast<size_t>(span));
  }
  std::atomic<uint64_t> next{0};
  workers.Run([&](int worker) {
    auto encoder = std::make_unique<HuffmanEncoder>(plan.codes, plan.counts);
    uint8_t* const src = buffers[worker].data();
    const size_t dst_size = widest + encoder->Reserve() + 8;
    const PageBuffer dst_buffer(dst_size);
    uint8_t* const dst = dst_buffer.data();
    if (dst == nullptr) {
      Trouble::Keep(trouble.write_error, ENOMEM);
      return;
    }
    for (uint64_t k; (k = next++) < blocks.count && !trouble.Any();) {
      if (!blocks.Read(in, k, src, trouble)) return;
      const size_t want = blocks.Bytes(k);

      const uint64_t first = blocks.first_bit[k];
      const uint64_t end = blocks.first_bit[k + 1];
      encoder->Restart(static_cast<uint32_t>(first % 8));
      const uint8_t* p = src;
      size_t n = encoder->Encode(p, src + want, dst, dst + dst_size);
      n += encoder->Finish(dst + n);
      // Codes other than the counts promised: the source changed between the passes.
      const uint64_t start_byte = first / 8;
      if (p != src + want || n != (end + 7) / 8 - start_byte) {
        trouble.changed = true;
        return;
      }
      const uint64_t whole_begin = (first + 7) / 8;
      const uint64_t whole_end = end / 8;
      if (whole_begin < whole_end) {
        const size_t bytes = static_cast<size_t>(whole_end - whole_begin);
        const IoResult put = out.WriteAt(whole_begin, dst + (whole_begin - start_byte), bytes);
        if (put.bytes != bytes) Trouble::Keep(trouble.write_error, put.error ? put.error : EIO);
      }
      if (first % 8) shared[2 * k] = {start_byte, dst[0]};
      if (end % 8 && !(first % 8 && end / 8 == start_byte))
        shared[2 * k + 1] = {end / 8, dst[end / 8 - start_byte]};
    }
  });
}

// Joins the bytes the blocks share and writes each once.
bool WriteSharedBytes(Output& out, std::vector<SharedByte>& shared) {
  std::sort(shared.begin(), shared.end(),
            [](const SharedByte& a, const SharedByte& b) { return a.offset < b.offset; });
  for (size_t i = 0; i < shared.size() && shared[i].offset != UINT64_MAX;) {
    uint8_t byte = 0;
    size_t j = i;
    for (; j < shared.size() && shared[j].offset == shared[i].offset; ++j) byte |= shared[j].bits;
    const IoResult put = out.WriteAt(shared[i].offset, &byte, 1);
    if (put.bytes != 1) {
      out.error = put.error ? put.error : EIO;
      return false;
    }
    i = j;
  }
  return true;
}

}  // namespace

CompressionOutcome CompressWith(CCompression& self, Input& in, Output& out,
                                const CodecTuning& tuning) {
  const std::optional<uint64_t> size = in.PositionalSize();
  if (!size) return CompressStreaming(self, in, out);
  if (*size > block::kMaxSourceLength) return Failure(0, self.m_strSource, kTooLarge);

  Blocks blocks;
  blocks.size = *size;
  blocks.length = std::max<size_t>(tuning.block, 1);
  blocks.count = (blocks.size + blocks.length - 1) / blocks.length;
  blocks.histograms.resize(blocks.count);
  WorkerPair workers(blocks.count >= 2 ? tuning.threads : 1);
  SourceBuffers buffers;
  for (int w = 0; w < workers.workers(); ++w) {
    buffers[w] = PageBuffer(blocks.BufferSize());
    if (blocks.BufferSize() > 0 && buffers[w].data() == nullptr)
      return Failure(ENOMEM, self.m_strSource);
  }
  Trouble trouble;
  CountBlocks(in, blocks, workers, buffers, trouble);
  uint8_t past_end;
  if (!trouble.Any() && in.ReadAt(blocks.size, &past_end, 1).bytes != 0) trouble.changed = true;
  if (trouble.read_error) return Failure(trouble.read_error, self.m_strSource);
  if (trouble.changed) return Failure(0, self.m_strSource, kChanged);

  auto plan = std::make_unique<CodePlan>();
  plan->length = blocks.size;
  std::fill(std::begin(plan->counts), std::end(plan->counts), 0);
  for (const Histogram& h : blocks.histograms)
    for (int s = 0; s < 256; ++s) plan->counts[s] += h.counts[s];
  if (auto failure = PlanCodes(self, *plan)) return *failure;
  if (!WriteHeader(self, *plan, out)) return Failure(out.error, self.m_strDest);
  if (!out.BeginPositional()) return EncodeStream(self, *plan, in, out);

  blocks.first_bit.assign(blocks.count + 1, 0);
  for (uint64_t k = 0; k < blocks.count; ++k) {
    uint64_t bits = 0;
    for (int s = 0; s < 256; ++s)
      bits += uint64_t{blocks.histograms[k].counts[s]} * plan->codes[s].length;
    blocks.first_bit[k + 1] = blocks.first_bit[k] + bits;
  }
  if (!out.Extend(plan->code_bytes)) return Failure(out.error, self.m_strDest);
  std::vector<SharedByte> shared(2 * blocks.count);
  EncodeBlocks(in, out, *plan, blocks, workers, buffers, trouble, shared);
  if (trouble.read_error) return Failure(trouble.read_error, self.m_strSource);
  if (trouble.write_error) return Failure(trouble.write_error, self.m_strDest);
  if (!trouble.Any() && in.ReadAt(blocks.size, &past_end, 1).bytes != 0) trouble.changed = true;
  if (trouble.changed) return Failure(0, self.m_strSource, kChanged);
  if (!WriteSharedBytes(out, shared) || !out.EndPositional(plan->code_bytes))
    return Failure(out.error, self.m_strDest);
  // Where a sequential reader would have left the source.
  in.SeekTo(blocks.size);
  return Success(plan->code_bytes);
}

}  // namespace velkaro
