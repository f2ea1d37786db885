#include "compression/byte_stream.h"

#include <algorithm>
#include <cerrno>

namespace velkaro {

FileInput::FileInput(std::FILE* f) : f_(f), start_(ftello(f)) {}

size_t FileInput::Read(uint8_t* p, size_t n) {
  const size_t got = std::fread(p, 1, n, f_);
  if (got < n && std::ferror(f_)) error = errno ? errno : EIO;
  return got;
}

bool FileInput::Rewind() {
  if (start_ < 0 || fseeko(f_, start_, SEEK_SET) != 0) {
    error = errno ? errno : ESPIPE;
    return false;
  }
  return true;
}

bool FileOutput::Write(const uint8_t* p, size_t n) {
  if (n == 0 || std::fwrite(p, 1, n, f_) == n) return true;
  error = errno ? errno : EIO;
  return false;
}

size_t MemoryInput::Read(uint8_t* p, size_t n) {
  const size_t take = std::min(n, bytes_.size() - pos_);
  std::copy_n(bytes_.data() + pos_, take, p);
  pos_ += take;
  return take;
}

size_t MemoryInput::BufferSize() const { return std::min(kIoBlock, bytes_.size() + 1); }

}  // namespace velkaro
