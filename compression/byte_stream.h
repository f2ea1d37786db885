#pragma once

// The compressor runs the same loops whether the bytes live in files or in
// memory: an Input that can be read from its start twice and an Output that
// only appends. Blocks of kIoBlock bytes keep the system calls few and the
// memory fixed, whatever the size of the plan.
//
// Regular files and memory can also be read and written by position, which
// lets two threads work on different parts at once. Positional reads and
// writes never move the stream; the caller says where the stream stands
// once it is done (SeekTo, EndPositional).

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <span>
#include <sys/types.h>
#include <vector>

namespace velkaro {

inline constexpr size_t kIoBlock = size_t{1} << 20;

// What a positional read or write did: the bytes moved, and errno when it
// failed (then fewer bytes than asked were moved).
struct IoResult {
  size_t bytes = 0;
  int error = 0;
};

class Input {
 public:
  virtual ~Input() = default;
  // Up to n bytes; fewer only at the end or on an error (then error != 0).
  virtual size_t Read(uint8_t* p, size_t n) = 0;
  virtual bool Rewind() = 0;
  // How many bytes a read buffer needs at most: less than kIoBlock only when
  // the input is known to be shorter.
  virtual size_t BufferSize() const { return kIoBlock; }

  // The length from the start when the input can be read by position, else
  // nothing (a pipe, a terminal).
  virtual std::optional<uint64_t> PositionalSize() const { return std::nullopt; }
  // Up to n bytes at `offset` from the start; fewer only at the end or on an
  // error. Safe from several threads at once.
  virtual IoResult ReadAt(uint64_t offset, uint8_t* p, size_t n) const;
  // Leaves the stream `offset` bytes past its start, as if read that far.
  virtual bool SeekTo(uint64_t offset);

  int error = 0;
};

class Output {
 public:
  virtual ~Output() = default;
  virtual bool Write(const uint8_t* p, size_t n) = 0;

  // Switches to positional writes at offsets from the current end of what
  // was written; false (and nothing changes) when the output cannot do that.
  virtual bool BeginPositional() { return false; }
  // Makes room for `size` bytes from that point. Call it from one thread, with
  // no write under way; the bytes it adds are unspecified until written.
  virtual bool Extend(uint64_t /*size*/) { return true; }
  // Writes n bytes at `offset`. Safe from several threads at once on ranges
  // that do not overlap and lie within the room made by Extend.
  virtual IoResult WriteAt(uint64_t /*offset*/, const uint8_t* /*p*/, size_t /*n*/) { return {}; }
  // Ends positional writing with exactly `size` bytes written from that point
  // and the stream after them.
  virtual bool EndPositional(uint64_t /*size*/) { return false; }

  int error = 0;
};

// An open stream from its current position; Rewind returns there.
class FileInput final : public Input {
 public:
  explicit FileInput(std::FILE* f);
  size_t Read(uint8_t* p, size_t n) override;
  bool Rewind() override;
  std::optional<uint64_t> PositionalSize() const override;
  IoResult ReadAt(uint64_t offset, uint8_t* p, size_t n) const override;
  bool SeekTo(uint64_t offset) override;

 private:
  std::FILE* f_;
  off_t start_;
};

class FileOutput final : public Output {
 public:
  // `synced_after`: the file is synced once whole, so the bytes written by
  // position are sent on to the disk as they are written.
  explicit FileOutput(std::FILE* f, bool synced_after = false)
      : f_(f), synced_after_(synced_after) {}
  bool Write(const uint8_t* p, size_t n) override;
  bool BeginPositional() override;
  IoResult WriteAt(uint64_t offset, const uint8_t* p, size_t n) override;
  bool EndPositional(uint64_t size) override;

 private:
  std::FILE* f_;
  bool synced_after_;
  off_t base_ = -1;
};

class MemoryInput final : public Input {
 public:
  explicit MemoryInput(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  size_t Read(uint8_t* p, size_t n) override;
  bool Rewind() override {
    pos_ = 0;
    return true;
  }
  size_t BufferSize() const override;
  std::optional<uint64_t> PositionalSize() const override { return bytes_.size(); }
  IoResult ReadAt(uint64_t offset, uint8_t* p, size_t n) const override;
  bool SeekTo(uint64_t offset) override;

 private:
  std::span<const uint8_t> bytes_;
  size_t pos_ = 0;
};

// Replaces the vector's contents.
class VectorOutput final : public Output {
 public:
  explicit VectorOutput(std::vector<uint8_t>& v) : v_(v) { v_.clear(); }
  bool Write(const uint8_t* p, size_t n) override {
    v_.insert(v_.end(), p, p + n);
    return true;
  }
  bool BeginPositional() override {
    base_ = v_.size();
    return true;
  }
  bool Extend(uint64_t size) override;
  IoResult WriteAt(uint64_t offset, const uint8_t* p, size_t n) override;
  bool EndPositional(uint64_t size) override;

 private:
  std::vector<uint8_t>& v_;
  size_t base_ = 0;
};

// Every byte written to `main` also goes to `copy`, at the same offset from
// where each began. A failure of `main` is this output's; one of `copy`
// fails the write too, and is kept in copy_error() (its errno), so that the
// caller can name the file that failed.
class TeeOutput final : public Output {
 public:
  TeeOutput(Output& main, Output& copy) : main_(main), copy_(copy) {}
  bool Write(const uint8_t* p, size_t n) override;
  bool BeginPositional() override;
  bool Extend(uint64_t size) override;
  IoResult WriteAt(uint64_t offset, const uint8_t* p, size_t n) override;
  bool EndPositional(uint64_t size) override;
  int copy_error() const { return copy_error_; }

 private:
  void KeepCopyError(int error);
  // `step` on main, then on copy, each failure kept where it belongs.
  template <class Step>
  bool Both(Step step);

  Output& main_;
  Output& copy_;
  std::atomic<int> copy_error_{0};
};

// Every byte written through it also goes to `watch`, with its offset from
// where writing began, as soon as it is written: the caller sees an expanded
// plan while it is made. The expander writes one piece at a time, front to
// back, so `watch` is called that way too, though not always on one thread.
using WrittenBytes = std::function<void(uint64_t offset, std::span<const uint8_t> bytes)>;

class WatchedOutput final : public Output {
 public:
  WatchedOutput(Output& inner, WrittenBytes watch) : inner_(inner), watch_(std::move(watch)) {}
  bool Write(const uint8_t* p, size_t n) override;
  bool BeginPositional() override;
  bool Extend(uint64_t size) override;
  IoResult WriteAt(uint64_t offset, const uint8_t* p, size_t n) override;
  bool EndPositional(uint64_t size) override;

 private:
  Output& inner_;
  WrittenBytes watch_;
  uint64_t written_ = 0;  // by sequential writes, before positional ones begin
};

}  // namespace velkaro
