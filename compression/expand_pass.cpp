// Expanding: the header's counts give the tree, the codes give the bytes.
//
// One code follows another with nothing to say where each starts, so the
// codes cannot simply be cut in two for two threads. They are decoded in
// rounds of stretches instead. The first stretch of a round continues from
// where the last round stopped. Each later stretch is decoded from its first
// byte as if a code started there, a guess, and records the bit positions of
// its first codes. Once all are done the stretches are joined in order: the
// decoder of the stretch before, which is right, decodes on into the next
// one, code by code, until it stands at a position the next stretch
// recorded. From there both read the same bits the same way, so the rest of
// the guessed stretch is right. A prefix code falls back into step after a
// few codes almost always; when it does not within the recorded codes, the
// round ends there and the next round starts from the right decoder, so the
// output never depends on the guess. Sources that cannot be read by position
// are decoded in one stream.

#include "compression/codec_outcome.h"
#include "compression/codec_passes.h"
#include "compression/compressed_block_format.h"
#include "compression/huffman_codec.h"
#include "compression/worker_pair.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <optional>
#include <vector>

namespace velkaro {
namespace {

// A code's start inside a stretch: bits from the stretch's first byte, and
// bytes decoded before it.
struct Boundary {
  int64_t bit;
  size_t index;
};

struct Stretch {
  uint64_t begin = 0;  // offset among the code bytes
  size_t length = 0;   // bytes read
  // Filled as decoded, never cleared: an untouched page costs nothing.
  std::unique_ptr<uint8_t[]> in;
  std::unique_ptr<uint8_t[]> out;
  HuffmanDecoder::Lane lane;
  std::vector<Boundary> starts;
  size_t consumed = 0;  // bytes of `in` the decoder has taken
  size_t produced = 0;
  size_t first = 0;  // the first right byte of `out` once joined
  int error = 0;
};

struct Round {
  uint64_t available = 0;  // code bytes there are, N at most
  size_t stretch_bytes = 0;
  size_t output_room = 0;  // bytes a stretch may decode
  int sync_symbols = 0;
};

// Reads a stretch and sets its lane up: the first of a round continues
// `carried`; the others guess that a code starts at their first byte and
// record where their first codes start.
void StartStretch(const Input& in, const HuffmanDecoder& decoder, const Round& round, Stretch& s,
                  const HuffmanDecoder::State* carried, size_t room) {
  const IoResult got = in.ReadAt(block::kCodesOffset + s.begin, s.in.get(), s.length);
  s.error = got.error;
  s.length = got.bytes;
  s.first = 0;
  s.starts.clear();
  HuffmanDecoder::Lane& lane = s.lane;
  lane.in = s.in.get();
  lane.in_end = lane.in + s.length;
  lane.out = s.out.get();
  lane.out_end = lane.out + room;
  if (carried) {
    lane.state = *carried;
    return;
  }
  lane.state = decoder.Start();
  s.starts.push_back({0, 0});
  while (static_cast<int>(s.starts.size()) <= round.sync_symbols && lane.out < lane.out_end) {
    HuffmanDecoder::Lane one = lane;
    one.out_end = one.out + 1;
    decoder.Decode(one);
    if (one.out == lane.out) break;
    lane.in = one.in;
    lane.state = one.state;
    lane.out = one.out;
    s.starts.push_back({8 * (lane.in - s.in.get()) - int64_t{lane.state.bitcount},
                        static_cast<size_t>(lane.out - s.out.get())});
  }
}

void EndStretch(Stretch& s) {
  s.consumed = static_cast<size_t>(s.lane.in - s.in.get());
  s.produced = static_cast<size_t>(s.lane.out - s.out.get());
}

// Decodes on from the end of `prev` into `next` until the two agree. True
// when they do (next.first then says where next's right bytes begin); false
// when they do not within the codes `next` recorded, with prev's lane left
// inside `next` after the bytes it decoded there.
bool Join(const HuffmanDecoder& decoder, Stretch& prev, Stretch& next, int sync_symbols,
          size_t& taken) {
  HuffmanDecoder::Lane lane = prev.lane;
  const uint8_t* const begin = next.in.get();
  lane.in = begin;
  lane.in_end = begin + next.length;
  lane.out = prev.out.get() + prev.produced;
  size_t k = 0;
  bool joined = false;
  for (int steps = 0; steps <= sync_symbols; ++steps) {
    if (decoder.BetweenCodes(lane.state)) {
      const int64_t bit = 8 * (lane.in - begin) - int64_t{lane.state.bitcount};
      while (k < next.starts.size() && next.starts[k].bit < bit) ++k;
      if (k == next.starts.size()) break;
      if (next.starts[k].bit == bit) {
        next.first = next.starts[k].index;
        joined = true;
        break;
      }
    }
    uint8_t* const before = lane.out;
    lane.out_end = lane.out + 1;
    decoder.Decode(lane);
    if (lane.out == before) break;
  }
  prev.lane.state = lane.state;
  prev.produced = static_cast<size_t>(lane.out - prev.out.get());
  taken = static_cast<size_t>(lane.in - begin);
  return joined;
}

// The bits per source byte the counts promise: how far a stretch's codes go.
double MeanCodeBits(const CCompression& self) {
  HuffmanCode codes[256];
  ComputeCodes(self.m_nodes, self.m_root, codes);
  uint64_t bits = 0, symbols = 0;
  for (int s = 0; s < 256; ++s) {
    bits += uint64_t{self.m_weights[s]} * codes[s].length;
    symbols += self.m_weights[s];
  }
  return symbols ? static_cast<double>(bits) / static_cast<double>(symbols) : 8.0;
}

CompressionOutcome ExpandStreaming(CCompression& self, const BlockStart& start, Input& in,
                                   Output& out);

}  // namespace

CompressionOutcome ExpandWith(CCompression& self, const BlockStart& start, Input& in, Output& out,
                              const CodecTuning& tuning) {
  self.m_root = BuildHuffmanTree(self.m_weights, self.m_active, self.m_nodes);
  const std::optional<uint64_t> size = in.PositionalSize();
  if (!size) return ExpandStreaming(self, start, in, out);

  Round round;
  round.available = std::min<uint64_t>(
      start.code_bytes, *size > block::kCodesOffset ? *size - block::kCodesOffset : 0);
  round.sync_symbols = std::max(tuning.sync_symbols, 1);
  // Stretches that decode about half their room, so that the first of a
  // round rarely fills its room before it reaches the next.
  const double mean_bits = MeanCodeBits(self);
  const double wanted = static_cast<double>(tuning.stretch_output) * mean_bits / 16;
  round.stretch_bytes = static_cast<size_t>(
      std::clamp<double>(wanted, 1, static_cast<double>(std::max<size_t>(tuning.stretch, 1))));
  round.stretch_bytes = static_cast<size_t>(
      std::min<uint64_t>(round.stretch_bytes, std::max<uint64_t>(round.available, 1)));
  round.output_room = std::min(tuning.stretch_output, 8 * round.stretch_bytes + 64);

  WorkerPair workers(round.available > round.stretch_bytes ? tuning.threads : 1);
  const uint64_t needed = (round.available + round.stretch_bytes - 1) / round.stretch_bytes;
  // Codes of about a byte give one symbol per lookup, and the lookup chain
  // sets the pace: three lanes hide it. Short codes give several symbols per
  // lookup and keep the stores busy instead: two lanes do best.
  const int lanes = tuning.lanes > 0 ? std::min(tuning.lanes, HuffmanDecoder::kMaxLanes)
                    : mean_bits >= 6 ? 3
                                     : 2;
  // Two groups of lanes per worker and round: a worker held up by another
  // program leaves its second group to the other.
  const int groups = workers.workers() > 1 ? 2 * workers.workers() : 1;
  const int count = static_cast<int>(std::clamp<uint64_t>(
      tuning.stretches > 0 ? tuning.stretches : lanes * groups, 1, std::max<uint64_t>(needed, 1)));
  const auto decoder_storage = std::make_unique<HuffmanDecoder>(self.m_nodes, self.m_root);
  const HuffmanDecoder& decoder = *decoder_storage;
  std::vector<Stretch> stretches(count);
  for (Stretch& s : stretches) {
    s.in = std::make_unique_for_overwrite<uint8_t[]>(round.stretch_bytes);
    s.out = std::make_unique_for_overwrite<uint8_t[]>(round.output_room + round.sync_symbols +
                                                      2 * HuffmanDecoder::kOutputSlack);
  }
  const bool positional = out.BeginPositional();
  std::vector<uint64_t> at(count);

  HuffmanDecoder::State carried = decoder.Start();
  uint64_t pos = 0;
  uint64_t emitted = 0;
  while (emitted < start.length) {
    int used = 0;
    for (; used < count; ++used) {
      const uint64_t begin = pos + used * round.stretch_bytes;
      if (used > 0 && begin >= round.available) break;
      stretches[used].begin = begin;
      stretches[used].length =
          static_cast<size_t>(std::min<uint64_t>(round.stretch_bytes, round.available - begin));
    }
    const size_t first_room =
        static_cast<size_t>(std::min<uint64_t>(round.output_room, start.length - emitted));
    // Each worker takes a few stretches at a time and decodes them in step.
    std::atomic<int> next{0};
    workers.Run([&](int) {
      for (int j; (j = next.fetch_add(lanes)) < used;) {
        HuffmanDecoder::Lane* group[HuffmanDecoder::kMaxLanes];
        const int n = std::min(lanes, used - j);
        for (int i = 0; i < n; ++i) {
          Stretch& s = stretches[j + i];
          const bool first = j + i == 0;
          StartStretch(in, decoder, round, s, first ? &carried : nullptr,
                       first ? first_room : round.output_room);
          group[i] = &s.lane;
        }
        decoder.DecodeLanes(group, n);
        for (int i = 0; i < n; ++i) EndStretch(stretches[j + i]);
      }
    });
    for (int j = 0; j < used; ++j)
      if (stretches[j].error) return Failure(stretches[j].error, self.m_strSource);

    // Join the stretches while each reached the next and they agree. The
    // decoder that ends the round carries on in the next.
    int valid = 1;
    const Stretch* carrier = &stretches[0];
    uint64_t next_pos = carrier->begin + carrier->consumed;
    for (; valid < used; ++valid) {
      Stretch& prev = stretches[valid - 1];
      Stretch& cur = stretches[valid];
      if (prev.consumed < prev.length || prev.begin + prev.length != cur.begin) break;
      size_t taken = 0;
      if (!Join(decoder, prev, cur, round.sync_symbols, taken)) {
        next_pos = cur.begin + taken;
        break;
      }
      carrier = &cur;
      next_pos = cur.begin + cur.consumed;
    }

    // Write what the joined stretches decoded, no further than L.
    uint64_t total = 0;
    for (int j = 0; j < valid; ++j) {
      const Stretch& s = stretches[j];
      at[j] = emitted + total;
      total += std::min<uint64_t>(s.produced - s.first, start.length - at[j]);
    }
    auto bytes = [&](int j) {
      const uint64_t end = j + 1 < valid ? at[j + 1] : emitted + total;
      return static_cast<size_t>(end - at[j]);
    };
    if (positional) {
      if (!out.Extend(emitted + total)) return Failure(out.error, self.m_strDest);
      std::atomic<int> next_write{0};
      std::atomic<int> write_error{0};
      workers.Run([&](int) {
        for (int j; (j = next_write++) < valid;) {
          const IoResult put =
              out.WriteAt(at[j], stretches[j].out.get() + stretches[j].first, bytes(j));
          if (put.bytes != bytes(j)) write_error = put.error ? put.error : EIO;
        }
      });
      if (write_error) return Failure(write_error, self.m_strDest);
    } else {
      for (int j = 0; j < valid; ++j)
        if (!out.Write(stretches[j].out.get() + stretches[j].first, bytes(j)))
          return Failure(out.error, self.m_strDest);
    }

    const bool progress = total > 0 || next_pos > pos;
    emitted += total;
    carried = carrier->lane.state;
    pos = next_pos;
    if (!progress) break;
  }
  if (positional && !out.EndPositional(emitted)) return Failure(out.error, self.m_strDest);
  // Where a sequential reader would have left the source: after the codes.
  in.SeekTo(block::kCodesOffset + round.available);
  if (emitted < start.length) return Truncated(self.m_strSource, emitted, kShortCodes);
  return Success(emitted);
}

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

namespace {

// One decoder through fixed buffers, for inputs read only in sequence.
CompressionOutcome ExpandStreaming(CCompression& self, const BlockStart& start, Input& in,
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

}  // namespace
}  // namespace velkaro
