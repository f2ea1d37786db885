#include "gis/zip_times.h"

#include "platform/byte_order.h"

#include <algorithm>
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace velkaro::gis {
namespace {

constexpr uint32_t kEndOfDirectory = 0x06054b50;
constexpr uint32_t kDirectoryEntry = 0x02014b50;
constexpr uint32_t kLocalHeader = 0x04034b50;
constexpr size_t kEndOfDirectoryBytes = 22;
constexpr size_t kDirectoryEntryBytes = 46;
constexpr size_t kLongestComment = 0xFFFF;

// MS-DOS time and date: two-second steps, years from 1980.
void DosTime(std::time_t when, uint16_t& time, uint16_t& date) {
  std::tm local{};
  localtime_r(&when, &local);
  const int year = std::clamp(local.tm_year + 1900, 1980, 2107);
  time = uint16_t(local.tm_hour << 11 | local.tm_min << 5 | local.tm_sec / 2);
  date = uint16_t((year - 1980) << 9 | (local.tm_mon + 1) << 5 | local.tm_mday);
}

bool ReadAt(int fd, uint64_t at, uint8_t* bytes, size_t length) {
  return ::pread(fd, bytes, length, off_t(at)) == ssize_t(length);
}

bool StampAt(int fd, uint64_t at, uint16_t time, uint16_t date) {
  uint8_t stamp[4];
  StoreLe16(stamp, time);
  StoreLe16(stamp + 2, date);
  return ::pwrite(fd, stamp, 4, off_t(at)) == 4;
}

}  // namespace

bool StampZipEntries(const std::string& path, std::time_t when) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  bool ok = ::fstat(fd, &info) == 0;
  const uint64_t size = ok ? uint64_t(info.st_size) : 0;
  // The end-of-directory record is in the last 22 bytes plus its comment.
  const size_t tail_length = size_t(std::min<uint64_t>(size, kEndOfDirectoryBytes + kLongestComment));
  std::vector<uint8_t> tail(tail_length);
  ok = ok && ReadAt(fd, size - tail_length, tail.data(), tail_length);
  size_t end = tail_length;
  for (size_t i = tail_length >= kEndOfDirectoryBytes ? tail_length - kEndOfDirectoryBytes + 1 : 0;
       ok && i-- > 0;) {
    if (LoadLe32(tail.data() + i) == kEndOfDirectory) {
      end = i;
      break;
    }
  }
  if (!ok || end == tail_length) {
    ::close(fd);
    return ok;
  }
  uint16_t time = 0, date = 0;
  DosTime(when, time, date);
  const uint16_t entries = LoadLe16(tail.data() + end + 10);
  uint64_t at = LoadLe32(tail.data() + end + 16);
  for (uint16_t n = 0; ok && n < entries; ++n) {
    uint8_t entry[kDirectoryEntryBytes];
    if (!ReadAt(fd, at, entry, sizeof entry) || LoadLe32(entry) != kDirectoryEntry) break;
    const uint64_t local = LoadLe32(entry + 42);
    uint8_t local_head[4];
    ok = StampAt(fd, at + 12, time, date);
    if (ok && ReadAt(fd, local, local_head, 4) && LoadLe32(local_head) == kLocalHeader)
      ok = StampAt(fd, local + 10, time, date);
    at += kDirectoryEntryBytes + LoadLe16(entry + 28) + LoadLe16(entry + 30) + LoadLe16(entry + 32);
  }
  ok = ::close(fd) == 0 && ok;
  return ok;
}

}  // namespace velkaro::gis
