// Expanding by rounds of stretches (compression/code_stretch.h): the first
// stretch of a round continues from where the last round stopped, the others
// start from a guess; the workers decode a few stretches each in step, and
// the stretches are then joined in order and written where their bytes
// belong, each by the worker that decoded it: bytes read by the core that
// wrote them come from its own cache, while the other core would pull every
// line of them across. When a join fails the round ends there and the next
// one starts from the right decoder, so the output never depends on a guess.
// Sources that cannot be read by position are decoded in one stream
// (expand_stream.cpp).

#include "compression/code_stretch.h"
#include "compression/codec_outcome.h"
#include "compression/codec_passes.h"
#include "compression/compressed_block_format.h"
#include "compression/huffman_codec.h"
#include "compression/worker_pair.h"
#include "platform/memory.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <optional>
#include <vector>

namespace velkaro {
namespace {

// A stretch as read, with its read's outcome.
struct Stretch : CodeStretch {
  int error = 0;
};

struct Round {
  uint64_t available = 0;  // code bytes there are, N at most
  size_t stretch_bytes = 0;
  size_t output_room = 0;  // bytes a stretch may decode
  int sync_symbols = 0;
};

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

// The stretches of one round, and where their right bytes go once joined.
struct RoundSet {
  std::vector<Stretch> stretches;
  int used = 0;   // stretches laid out
  int valid = 0;  // stretches joined
  std::vector<uint64_t> at;
  std::vector<size_t> bytes;
  int split = 0;  // the first stretch the second worker decoded, or `used`
};

// One expansion by rounds of stretches. Two sets of stretches take turns:
// while the workers decode one round into one set, they write the round
// before from the other, each the stretches it decoded: the first before it
// decodes, the second after (a file takes one writer at a time, and an
// output that is watched needs its bytes in order).
class StretchExpander {
 public:
  // `available`: the code bytes the input holds, N at most.
  StretchExpander(CCompression& self, const BlockStart& start, const Input& in, Output& out,
                  uint64_t available, const CodecTuning& tuning);
  CompressionOutcome Run();

 private:
  void LayOut(RoundSet& set);
  // Decodes `set`; worker 0 first writes `written` if there is one.
  void DecodeRound(RoundSet& set, const RoundSet* written);
  // Joins the stretches while each reached the next and they agree, and
  // places their bytes, no further than L. The lane that ends the round
  // carries on in the next.
  void JoinRound(RoundSet& set);
  // The stretches `worker` decoded, or all of them for -1; 0 or errno.
  int Write(const RoundSet& set, int worker = -1);

  CCompression& self_;
  const BlockStart& start_;
  const Input& in_;
  Output& out_;
  Round round_;
  int lanes_ = 1;
  std::unique_ptr<WorkerPair> workers_;
  std::unique_ptr<HuffmanDecoder> decoder_;
  PageBuffer buffer_;  // every stretch's input and output
  RoundSet sets_[2];
  bool positional_ = false;
  HuffmanDecoder::State carried_;
  uint64_t pos_ = 0;      // the next code byte of the round to come
  uint64_t emitted_ = 0;  // bytes placed so far
  bool progress_ = true;
  int cautious_ = 0;  // rounds left to decode without guessing
  int failing_rounds_ = 0;
};

StretchExpander::StretchExpander(CCompression& self, const BlockStart& start, const Input& in,
                                 Output& out, uint64_t available, const CodecTuning& tuning)
    : self_(self), start_(start), in_(in), out_(out) {
  Round& r = round_;
  r.available = available;
  r.sync_symbols = std::max(tuning.sync_symbols, 1);
  // Stretches that decode about half their room, so that the first of a
  // round rarely fills its room before it reaches the next.
  const double mean_bits = MeanCodeBits(self);
  const double wanted = static_cast<double>(tuning.stretch_output) * mean_bits / 16;
  r.stretch_bytes = static_cast<size_t>(
      std::clamp<double>(wanted, 1, static_cast<double>(std::max<size_t>(tuning.stretch, 1))));
  r.stretch_bytes =
      static_cast<size_t>(std::min<uint64_t>(r.stretch_bytes, std::max<uint64_t>(r.available, 1)));
  r.output_room = std::min(tuning.stretch_output, 8 * r.stretch_bytes + 64);
  // Where the stretch is shorter than wanted, four times what its codes
  // promise is room enough, and the rest would be memory held for nothing:
  // the buffers are in huge pages, resident whether used or not.
  const double promised = static_cast<double>(r.stretch_bytes) * 8 / std::max(mean_bits, 1.0);
  r.output_room = std::min(r.output_room, static_cast<size_t>(4 * promised) + 4096);

  workers_ = std::make_unique<WorkerPair>(r.available > r.stretch_bytes ? tuning.threads : 1);
  // Codes of about a byte give one symbol per lookup, and the lookup chain
  // sets the pace: four lanes hide it. Short codes give several symbols per
  // lookup and keep the stores busy instead: three lanes do best.
  lanes_ = tuning.lanes > 0 ? std::min(tuning.lanes, HuffmanDecoder::kMaxLanes)
           : mean_bits >= 6 ? 4
                            : 3;
  // One group of lanes per worker and round: more stretches in flight cost
  // more than they balance (each is memory first touched, and bytes the
  // writer reads from the other core).
  const int groups = workers_->workers();
  const uint64_t needed = (r.available + r.stretch_bytes - 1) / r.stretch_bytes;
  const int count = static_cast<int>(std::clamp<uint64_t>(
      tuning.stretches > 0 ? tuning.stretches : lanes_ * groups, 1, std::max<uint64_t>(needed, 1)));

  decoder_ = std::make_unique<HuffmanDecoder>(self.m_nodes, self.m_root);
  carried_ = decoder_->Start();
  // Each buffer starts on a cache line of its own, so that two workers
  // never write one line.
  auto line = [](size_t n) { return (n + 63) / 64 * 64; };
  const size_t in_size = line(r.stretch_bytes);
  const size_t out_size = line(r.output_room + r.sync_symbols + 2 * HuffmanDecoder::kOutputSlack);
  buffer_ = PageBuffer(2 * static_cast<size_t>(count) * (in_size + out_size));
  uint8_t* next = buffer_.data();
  for (RoundSet& set : sets_) {
    set.stretches.resize(buffer_.data() ? count : 0);
    for (Stretch& s : set.stretches) {
      s.in = next;
      s.out = next + in_size;
      next += in_size + out_size;
    }
    set.at.resize(count);
    set.bytes.resize(count);
  }
}

void StretchExpander::LayOut(RoundSet& set) {
  int count = static_cast<int>(set.stretches.size());
  if (cautious_ > 0) {
    --cautious_;
    count = 1;
  }
  for (set.used = 0; set.used < count; ++set.used) {
    const uint64_t begin = pos_ + set.used * round_.stretch_bytes;
    if (set.used > 0 && begin >= round_.available) break;
    set.stretches[set.used].begin = begin;
    set.stretches[set.used].length =
        static_cast<size_t>(std::min<uint64_t>(round_.stretch_bytes, round_.available - begin));
  }
}

// The workers take groups of `lanes_` stretches and decode each group in
// step: the first from the front of the round, the second from its back,
// until they meet. So each decodes one unbroken run of stretches, however
// the two happen to be paced, and the round before is written front to back
// when the first writes its run before it decodes and the second its own
// after.
void StretchExpander::DecodeRound(RoundSet& set, const RoundSet* written) {
  const size_t first_room =
      static_cast<size_t>(std::min<uint64_t>(round_.output_room, start_.length - emitted_));
  const uint32_t groups = static_cast<uint32_t>((set.used + lanes_ - 1) / lanes_);
  // The groups not yet taken: [front, back), front in the low half.
  std::atomic<uint64_t> untaken{uint64_t{groups} << 32};
  auto take = [&untaken](int worker) -> int {
    uint64_t ends = untaken.load();
    for (;;) {
      const uint32_t front = static_cast<uint32_t>(ends);
      const uint32_t back = static_cast<uint32_t>(ends >> 32);
      if (front >= back) return -1;
      const uint64_t rest = worker == 0 ? ends + 1 : ends - (uint64_t{1} << 32);
      if (untaken.compare_exchange_weak(ends, rest)) return int(worker == 0 ? front : back - 1);
    }
  };
  std::atomic<int> write_error{0};
  std::atomic<bool> front_written{false};
  auto write = [&](int worker) {
    if (const int error = Write(*written, worker)) write_error = error;
  };
  auto decode = [&](int g) {
    HuffmanDecoder::Lane* group[HuffmanDecoder::kMaxLanes];
    const int j = g * lanes_;
    const int n = std::min(lanes_, set.used - j);
    for (int i = 0; i < n; ++i) {
      Stretch& s = set.stretches[j + i];
      const bool first = j + i == 0;
      const IoResult got = in_.ReadAt(block::kCodesOffset + s.begin, s.in, s.length);
      s.error = got.error;
      s.length = got.bytes;
      s.Start(*decoder_, first ? &carried_ : nullptr, first ? first_room : round_.output_room,
              round_.sync_symbols);
      group[i] = &s.lane;
    }
    decoder_->DecodeLanes(group, n);
  };
  workers_->Run([&](int worker) {
    if (written && worker == 0) {
      write(0);
      front_written = true;
      front_written.notify_one();
    }
    for (int g; (g = take(worker)) >= 0;) decode(g);
    if (written && worker == 1) {
      front_written.wait(false);
      write(1);
    }
  });
  if (written) out_.error = write_error;
  // The first worker took the groups before the front, the second the rest.
  set.split = std::min(static_cast<int>(static_cast<uint32_t>(untaken.load())) * lanes_, set.used);
}

void StretchExpander::JoinRound(RoundSet& set) {
  std::vector<Stretch>& st = set.stretches;
  const Stretch* carrier = &st[0];
  uint64_t next_pos = carrier->begin + carrier->consumed();
  bool failed = false;
  for (set.valid = 1; set.valid < set.used; ++set.valid) {
    Stretch& prev = st[set.valid - 1];
    Stretch& cur = st[set.valid];
    if (prev.consumed() < prev.length || prev.begin + prev.length != cur.begin) break;
    failed |= !Join(*decoder_, prev, cur, round_.sync_symbols);
    carrier = &cur;
    next_pos = cur.begin + cur.consumed();
  }
  uint64_t total = 0;
  for (int j = 0; j < set.valid; ++j) {
    set.at[j] = emitted_ + total;
    set.bytes[j] = static_cast<size_t>(
        std::min<uint64_t>(st[j].produced() - st[j].first, start_.length - set.at[j]));
    total += set.bytes[j];
  }
  // A join that failed cost its stretch a second decoding; rounds that keep
  // failing (codes that never fall back into step) go without guessing for
  // 1, 3, then 7 rounds.
  if (set.used > 1) failing_rounds_ = failed ? failing_rounds_ + 1 : 0;
  if (failing_rounds_ > 1) cautious_ = (1 << std::min(failing_rounds_ - 1, 3)) - 1;
  progress_ = total > 0 || next_pos > pos_;
  emitted_ += total;
  carried_ = carrier->lane.state;
  pos_ = next_pos;
}

int StretchExpander::Write(const RoundSet& set, int worker) {
  const int begin = worker == 1 ? set.split : 0;
  const int end = worker == 0 ? std::min(set.split, set.valid) : set.valid;
  for (int j = begin; j < end; ++j) {
    const uint8_t* const bytes = set.stretches[j].out + set.stretches[j].first;
    if (!positional_) {
      if (!out_.Write(bytes, set.bytes[j])) return out_.error ? out_.error : EIO;
      continue;
    }
    const IoResult put = out_.WriteAt(set.at[j], bytes, set.bytes[j]);
    if (put.bytes != set.bytes[j]) return put.error ? put.error : EIO;
  }
  return 0;
}

CompressionOutcome StretchExpander::Run() {
  if (sets_[0].stretches.empty()) return Failure(ENOMEM, self_.m_strDest);
  positional_ = out_.BeginPositional();
  int cur = 0;
  if (start_.length > 0) {
    LayOut(sets_[cur]);
    DecodeRound(sets_[cur], nullptr);
  }
  while (start_.length > 0) {
    RoundSet& set = sets_[cur];
    for (int j = 0; j < set.used; ++j)
      if (set.stretches[j].error) return Failure(set.stretches[j].error, self_.m_strSource);
    JoinRound(set);
    if (positional_ && !out_.Extend(emitted_)) return Failure(out_.error, self_.m_strDest);
    if (emitted_ >= start_.length || !progress_) {
      if (const int error = Write(set)) return Failure(error, self_.m_strDest);
      break;
    }
    cur = 1 - cur;
    LayOut(sets_[cur]);
    DecodeRound(sets_[cur], &set);
    if (out_.error) return Failure(out_.error, self_.m_strDest);
  }
  if (positional_ && !out_.EndPositional(emitted_)) return Failure(out_.error, self_.m_strDest);
  if (emitted_ < start_.length) return Truncated(self_.m_strSource, emitted_, kShortCodes);
  return Success(emitted_);
}

}  // namespace

CompressionOutcome ExpandWith(CCompression& self, const BlockStart& start, Input& in, Output& out,
                              const CodecTuning& tuning) {
  self.m_root = BuildHuffmanTree(self.m_weights, self.m_active, self.m_nodes);
  const std::optional<uint64_t> size = in.PositionalSize();
  if (!size) return ExpandStream(self, start, in, out);
  const uint64_t available = std::min<uint64_t>(
      start.code_bytes, *size > block::kCodesOffset ? *size - block::kCodesOffset : 0);
  StretchExpander expander(self, start, in, out, available, tuning);
  const CompressionOutcome outcome = expander.Run();
  // Where a sequential reader would have left the source: after the codes.
  in.SeekTo(block::kCodesOffset + available);
  return outcome;
}

}  // namespace velkaro
