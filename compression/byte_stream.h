#pragma once

// The compressor runs the same loops whether the bytes live in files or in
// memory: an Input that can be read from its start twice and an Output that
// only appends. Blocks of kIoBlock bytes keep the system calls few and the
// memory fixed, whatever the size of the plan.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <sys/types.h>
#include <vector>

namespace velkaro {

inline constexpr size_t kIoBlock = size_t{1} << 20;

class Input {
 public:
  virtual ~Input() = default;
  // Up to n bytes; fewer only at the end or on an error (then error != 0).
  virtual size_t Read(uint8_t* p, size_t n) = 0;
  virtual bool Rewind() = 0;
  // How many bytes a read buffer needs at most: less than kIoBlock only when
  // the input is known to be shorter.
  virtual size_t BufferSize() const { return kIoBlock; }
  int error = 0;
};

class Output {
 public:
  virtual ~Output() = default;
  virtual bool Write(const uint8_t* p, size_t n) = 0;
  int error = 0;
};

// An open stream from its current position; Rewind returns there.
class FileInput final : public Input {
 public:
  explicit FileInput(std::FILE* f);
  size_t Read(uint8_t* p, size_t n) override;
  bool Rewind() override;

 private:
  std::FILE* f_;
  off_t start_;
};

class FileOutput final : public Output {
 public:
  explicit FileOutput(std::FILE* f) : f_(f) {}
  bool Write(const uint8_t* p, size_t n) override;

 private:
  std::FILE* f_;
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

 private:
  std::vector<uint8_t>& v_;
};

}  // namespace velkaro
