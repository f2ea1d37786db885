#include "compression/byte_stream.h"

#include "platform/atomic_file.h"
#include "platform/regular_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velkaro {

IoResult Input::ReadAt(uint64_t, uint8_t*, size_t) const { return {0, ESPIPE}; }

bool Input::SeekTo(uint64_t) { return false; }

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

// Only a regular file is sure to give the same bytes to pread as to fread.
std::optional<uint64_t> FileInput::PositionalSize() const {
  struct stat st;
  if (start_ < 0 || fstat(fileno(f_), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return st.st_size > start_ ? static_cast<uint64_t>(st.st_size - start_) : 0;
}

IoResult FileInput::ReadAt(uint64_t offset, uint8_t* p, size_t n) const {
  IoResult result;
  result.bytes =
      ReadFileAt(fileno(f_), static_cast<uint64_t>(start_) + offset, p, n, &result.error);
  return result;
}

bool FileInput::SeekTo(uint64_t offset) {
  if (start_ < 0 || fseeko(f_, static_cast<off_t>(start_ + offset), SEEK_SET) != 0) {
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

// pwrite bypasses the stream's buffer, so that is emptied first; and a file
// opened for appending would put every pwrite at its end, so it is refused.
bool FileOutput::BeginPositional() {
  struct stat st;
  const int fd = fileno(f_);
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || (flags & O_APPEND) || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if (std::fflush(f_) != 0) return false;
  base_ = ftello(f_);
  return base_ >= 0;
}

IoResult FileOutput::WriteAt(uint64_t offset, const uint8_t* p, size_t n) {
  IoResult result;
  while (result.bytes < n) {
    const ssize_t put = pwrite(fileno(f_), p + result.bytes, n - result.bytes,
                               static_cast<off_t>(base_ + offset + result.bytes));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      result.error = put < 0 && errno ? errno : EIO;
      break;
    }
    result.bytes += static_cast<size_t>(put);
  }
  if (synced_after_)
    StartWriteback(fileno(f_), static_cast<uint64_t>(base_) + offset, result.bytes);
  return result;
}

bool FileOutput::EndPositional(uint64_t size) {
  if (fseeko(f_, static_cast<off_t>(base_ + size), SEEK_SET) == 0) return true;
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

IoResult MemoryInput::ReadAt(uint64_t offset, uint8_t* p, size_t n) const {
  if (offset >= bytes_.size()) return {};
  const size_t take = static_cast<size_t>(std::min<uint64_t>(n, bytes_.size() - offset));
  std::memcpy(p, bytes_.data() + offset, take);
  return {take, 0};
}

bool MemoryInput::SeekTo(uint64_t offset) {
  pos_ = static_cast<size_t>(std::min<uint64_t>(offset, bytes_.size()));
  return true;
}

bool VectorOutput::Extend(uint64_t size) {
  if (base_ + size > v_.size()) v_.resize(base_ + size);
  return true;
}

IoResult VectorOutput::WriteAt(uint64_t offset, const uint8_t* p, size_t n) {
  if (offset > v_.size() - base_ || n > v_.size() - base_ - offset) return {0, EIO};
  if (n) std::memcpy(v_.data() + base_ + offset, p, n);
  return {n, 0};
}

bool VectorOutput::EndPositional(uint64_t size) {
  v_.resize(base_ + size);
  return true;
}

bool WatchedOutput::Write(const uint8_t* p, size_t n) {
  if (!inner_.Write(p, n)) {
    error = inner_.error;
    return false;
  }
  watch_(written_, {p, n});
  written_ += n;
  return true;
}

bool WatchedOutput::BeginPositional() { return inner_.BeginPositional(); }

bool WatchedOutput::Extend(uint64_t size) {
  if (inner_.Extend(size)) return true;
  error = inner_.error;
  return false;
}

IoResult WatchedOutput::WriteAt(uint64_t offset, const uint8_t* p, size_t n) {
  const IoResult put = inner_.WriteAt(offset, p, n);
  if (put.bytes > 0) watch_(written_ + offset, {p, put.bytes});
  return put;
}

bool WatchedOutput::EndPositional(uint64_t size) {
  if (!inner_.EndPositional(size)) {
    error = inner_.error;
    return false;
  }
  written_ += size;
  return true;
}

// Called from several threads at once by WriteAt: only the atomic is
// written there; `error` is set by the calls made from one thread.
void TeeOutput::KeepCopyError(int error) {
  int none = 0;
  copy_error_.compare_exchange_strong(none, error ? error : EIO);
}

template <class Step>
bool TeeOutput::Both(Step step) {
  if (!step(main_)) {
    error = main_.error ? main_.error : EIO;
    return false;
  }
  if (step(copy_)) return true;
  KeepCopyError(copy_.error);
  error = copy_error_;
  return false;
}

bool TeeOutput::Write(const uint8_t* p, size_t n) {
  return Both([&](Output& o) { return o.Write(p, n); });
}

// Both or neither: a copy that cannot be written by position leaves both to
// be written in order.
bool TeeOutput::BeginPositional() { return copy_.BeginPositional() && main_.BeginPositional(); }

bool TeeOutput::Extend(uint64_t size) {
  return Both([&](Output& o) { return o.Extend(size); });
}

IoResult TeeOutput::WriteAt(uint64_t offset, const uint8_t* p, size_t n) {
  const IoResult put = main_.WriteAt(offset, p, n);
  if (put.bytes != n) return put;
  const IoResult copied = copy_.WriteAt(offset, p, n);
  if (copied.bytes != n) KeepCopyError(copied.error);
  return copied;
}

bool TeeOutput::EndPositional(uint64_t size) {
  return Both([&](Output& o) { return o.EndPositional(size); });
}

}  // namespace velkaro
