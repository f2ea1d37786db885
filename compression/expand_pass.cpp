// Expanding by stretches (compression/code_stretch.h): the codes are cut
// into stretches of one length, and every stretch but the first is decoded
// from a guess, so any stretch can be decoded at any time. The workers take
// groups of stretches in order, each group decoded in step, whichever worker
// is free: neither waits for the other while a group is left. A stretch is
// placed (joined to the one after it, decoded on where its room filled or
// the join failed, and written) by one worker at a time and in order, as a
// file (one writer at a time) and a watched output (bytes in order) need.
// Each worker places the groups it decoded, whose bytes its own caches
// hold, and another's only when it has nothing else to do: pulling every
// line across from the other core costs more than the wait it saves. A ring
// of two groups per worker bounds the memory; a group's buffers are reused
// once its stretches are placed. Sources that cannot be read by position
// are decoded in one stream (expand_stream.cpp).

#include "compression/code_stretch.h"
#include "compression/codec_outcome.h"
#include "compression/codec_passes.h"
#include "compression/compressed_block_format.h"
#include "compression/huffman_codec.h"
#include "compression/worker_pair.h"
#include "platform/memory.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace velkaro {
namespace {

// A stretch as read, with its read's outcome.
struct Stretch : CodeStretch {
  int error = 0;
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

// The buffers of one group of stretches, reused group after group.
struct Slot {
  std::vector<Stretch> stretches;
  uint64_t group = 0;
  bool decoded = false;
  int worker = 0;  // the one that decoded it
};

class StretchExpander {
 public:
  // `available`: the code bytes the input holds, N at most.
  StretchExpander(CCompression& self, const BlockStart& start, const Input& in, Output& out,
                  uint64_t available, const CodecTuning& tuning);
  CompressionOutcome Run();

 private:
  // What each worker does until the expansion ends.
  void Work(int worker);
  // Under the lock: whether the next stretch and the one after it (if
  // any) are decoded, so that the next can be placed, and by `worker`
  // (who decoded it, or `any`).
  bool Placeable(int worker, bool any) const;
  bool Decoded(uint64_t stretch) const;
  // Under the lock: whether a slot is free for the next group.
  bool Takeable() const;
  void DecodeGroup(Slot& slot);
  // Finishes stretch `j`, joins it to the one after and writes it; false
  // once the expansion has ended (everything placed, L reached, an error).
  bool Place(uint64_t j);
  // Writes what `s` decoded past its first right byte, no further than L.
  bool Put(const Stretch& s);
  Slot& Holding(uint64_t group) { return ring_[group % ring_.size()]; }
  const Slot& Holding(uint64_t group) const { return ring_[group % ring_.size()]; }
  Stretch& At(uint64_t stretch) { return Holding(stretch / lanes_).stretches[stretch % lanes_]; }

  CCompression& self_;
  const BlockStart& start_;
  const Input& in_;
  Output& out_;
  uint64_t available_ = 0;
  size_t stretch_bytes_ = 0;
  size_t output_room_ = 0;  // bytes a stretch may decode at once
  int sync_symbols_ = 0;
  int lanes_ = 1;
  uint64_t stretch_count_ = 0;
  uint64_t group_count_ = 0;
  std::unique_ptr<WorkerPair> workers_;
  std::unique_ptr<HuffmanDecoder> decoder_;
  PageBuffer buffer_;  // every stretch's input and output
  std::vector<Slot> ring_;
  bool positional_ = false;

  // The writer's alone: one worker writes at a time.
  uint64_t emitted_ = 0;  // bytes placed so far
  int read_error_ = 0;
  int write_error_ = 0;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::atomic<uint64_t> changes_{0};  // bumped under the lock at each change
  uint64_t taken_ = 0;                // groups taken to decode
  uint64_t placed_ = 0;               // stretches placed
  bool writing_ = false;
  bool done_ = false;
};

StretchExpander::StretchExpander(CCompression& self, const BlockStart& start, const Input& in,
                                 Output& out, uint64_t available, const CodecTuning& tuning)
    : self_(self), start_(start), in_(in), out_(out), available_(available) {
  sync_symbols_ = std::max(tuning.sync_symbols, 1);
  // Stretches that decode about half their room, so that a room rarely
  // fills before its stretch's codes run out.
  const double mean_bits = MeanCodeBits(self);
  const double wanted = static_cast<double>(tuning.stretch_output) * mean_bits / 16;
  stretch_bytes_ = static_cast<size_t>(
      std::clamp<double>(wanted, 1, static_cast<double>(std::max<size_t>(tuning.stretch, 1))));
  stretch_bytes_ =
      static_cast<size_t>(std::min<uint64_t>(stretch_bytes_, std::max<uint64_t>(available, 1)));
  output_room_ = std::min(tuning.stretch_output, 8 * stretch_bytes_ + 64);
  // Where the stretch is shorter than wanted, four times what its codes
  // promise is room enough, and the rest would be memory held for nothing:
  // the buffers are in huge pages, resident whether used or not.
  const double promised = static_cast<double>(stretch_bytes_) * 8 / std::max(mean_bits, 1.0);
  output_room_ = std::min(output_room_, static_cast<size_t>(4 * promised) + 4096);
  stretch_count_ = (available + stretch_bytes_ - 1) / stretch_bytes_;

  workers_ = std::make_unique<WorkerPair>(available > stretch_bytes_ ? tuning.threads : 1);
  // Codes of about a byte give one symbol per lookup, and the lookup chain
  // sets the pace: four lanes hide it. Short codes give several symbols per
  // lookup and keep the stores busy instead: three lanes do best.
  lanes_ = tuning.lanes > 0 ? std::min(tuning.lanes, HuffmanDecoder::kMaxLanes)
           : mean_bits >= 6 ? 4
                            : 3;
  group_count_ = (stretch_count_ + lanes_ - 1) / lanes_;
  // Two groups a worker: one decoding, one decoded and waiting to be joined
  // to the group after it. More cost memory first touched and bytes evicted
  // from the caches before they are written.
  const int wanted_slots =
      tuning.stretches > 0 ? (tuning.stretches + lanes_ - 1) / lanes_ : 2 * workers_->workers();
  const size_t slots = static_cast<size_t>(std::clamp<uint64_t>(
      static_cast<uint64_t>(std::max(wanted_slots, 2)), 1, std::max<uint64_t>(group_count_, 1)));

  decoder_ = std::make_unique<HuffmanDecoder>(self.m_nodes, self.m_root);
  // Each buffer starts on a cache line of its own, so that two workers
  // never write one line.
  auto line = [](size_t n) { return (n + 63) / 64 * 64; };
  const size_t in_size = line(stretch_bytes_);
  const size_t out_size = line(output_room_ + sync_symbols_ + 2 * HuffmanDecoder::kOutputSlack);
  buffer_ = PageBuffer(slots * static_cast<size_t>(lanes_) * (in_size + out_size),
                       PageBuffer::Faults::kUpFront);
  if (!buffer_.data()) return;
  ring_.resize(slots);
  uint8_t* next = buffer_.data();
  for (Slot& slot : ring_) {
    slot.stretches.resize(static_cast<size_t>(lanes_));
    for (Stretch& s : slot.stretches) {
      s.in = next;
      s.out = next + in_size;
      next += in_size + out_size;
    }
  }
}

bool StretchExpander::Decoded(uint64_t stretch) const {
  // A slot names only a group already taken, and is marked decoded once
  // that group is.
  const uint64_t group = stretch / lanes_;
  const Slot& slot = Holding(group);
  return slot.group == group && slot.decoded;
}

bool StretchExpander::Placeable(int worker, bool any) const {
  return !writing_ && Decoded(placed_) && (placed_ + 1 == stretch_count_ || Decoded(placed_ + 1)) &&
         (any || Holding(placed_ / lanes_).worker == worker);
}

bool StretchExpander::Takeable() const {
  return taken_ < group_count_ && taken_ - placed_ / lanes_ < ring_.size();
}

void StretchExpander::DecodeGroup(Slot& slot) {
  HuffmanDecoder::Lane* lanes[HuffmanDecoder::kMaxLanes];
  const HuffmanDecoder::State first = decoder_->Start();
  int n = 0;
  for (; n < lanes_; ++n) {
    const uint64_t k = slot.group * lanes_ + n;
    if (k >= stretch_count_) break;
    Stretch& s = slot.stretches[n];
    s.begin = k * stretch_bytes_;
    const size_t wanted =
        static_cast<size_t>(std::min<uint64_t>(stretch_bytes_, available_ - s.begin));
    const IoResult got = in_.ReadAt(block::kCodesOffset + s.begin, s.in, wanted);
    s.error = got.error;
    s.length = got.bytes;
    s.Start(*decoder_, k == 0 ? &first : nullptr, output_room_, sync_symbols_);
    lanes[n] = &s.lane;
  }
  decoder_->DecodeLanes(lanes, n);
}

void StretchExpander::Work(int worker) {
  std::unique_lock<std::mutex> lock(mutex_);
  auto changed = [this] {
    ++changes_;
    changed_.notify_all();
  };
  while (!done_) {
    // A worker writes the stretches it decoded, which its own caches
    // still hold, unless there is nothing else for it to do.
    if (Placeable(worker, !Takeable())) {
      writing_ = true;
      const uint64_t j = placed_;
      lock.unlock();
      const bool more = Place(j);
      lock.lock();
      writing_ = false;
      ++placed_;
      done_ = !more;
      changed();
    } else if (Takeable()) {
      Slot& slot = Holding(taken_);
      slot.group = taken_++;
      slot.decoded = false;
      slot.worker = worker;
      lock.unlock();
      DecodeGroup(slot);
      lock.lock();
      slot.decoded = true;
      changed();
    } else {
      // The other worker is writing or decoding what comes next; that
      // mostly takes microseconds, and a sleep far longer to wake from.
      const uint64_t seen = changes_;
      lock.unlock();
      SpinFor([&] { return changes_.load() != seen; });
      lock.lock();
      changed_.wait(lock, [&] { return changes_.load() != seen; });
    }
  }
}

bool StretchExpander::Put(const Stretch& s) {
  const size_t n =
      static_cast<size_t>(std::min<uint64_t>(s.produced() - s.first, start_.length - emitted_));
  const uint8_t* const bytes = s.out + s.first;
  IoResult put{n, 0};
  if (!positional_) {
    if (!out_.Write(bytes, n)) put = {0, out_.error};
  } else {
    put = out_.Extend(emitted_ + n) ? out_.WriteAt(emitted_, bytes, n) : IoResult{0, out_.error};
  }
  if (put.bytes != n) {
    write_error_ = put.error ? put.error : EIO;
    return false;
  }
  emitted_ += n;
  return emitted_ < start_.length;
}

bool StretchExpander::Place(uint64_t j) {
  Stretch& cur = At(j);
  if (cur.error) {
    read_error_ = cur.error;
    return false;
  }
  // A room that filled may have stopped the stretch before its codes ran
  // out (bytes not taken, or codes held in the bit buffer): write what it
  // holds and decode on into it.
  while (cur.lane.out >= cur.lane.out_end) {
    if (!Put(cur)) return false;
    cur.first = 0;
    cur.lane.out = cur.out;
    cur.lane.out_end = cur.out + cur.room;
    decoder_->Decode(cur.lane);
  }
  bool more = false;
  if (j + 1 < stretch_count_) {
    Stretch& next = At(j + 1);
    if (next.error) {
      read_error_ = next.error;
      return false;
    }
    // A read that came back short ends the codes there.
    more = cur.begin + cur.length == next.begin;
    if (more) Join(*decoder_, cur, next, sync_symbols_);
  }
  return Put(cur) && more;
}

CompressionOutcome StretchExpander::Run() {
  if (ring_.empty()) return Failure(ENOMEM, self_.m_strDest);
  positional_ = out_.BeginPositional();
  if (start_.length > 0 && stretch_count_ > 0) workers_->Run([this](int w) { Work(w); });
  if (read_error_) return Failure(read_error_, self_.m_strSource);
  if (write_error_) return Failure(write_error_, self_.m_strDest);
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
