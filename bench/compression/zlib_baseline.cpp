#include "bench/compression/zlib_baseline.h"

#include <cstdio>
#include <memory>
#include <vector>
#include <zlib.h>

namespace velkaro::bench {
namespace {

constexpr size_t kBlock = size_t{1} << 20;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

uint64_t ZlibDeflateFile(const std::string& from, const std::string& to) {
  File in(std::fopen(from.c_str(), "rb"));
  File out(std::fopen(to.c_str(), "wb"));
  if (!in || !out) return 0;
  z_stream z{};
  if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15, 8, Z_HUFFMAN_ONLY) != Z_OK) return 0;
  std::vector<uint8_t> src(kBlock), dst(kBlock);
  uint64_t total = 0;
  int flush = Z_NO_FLUSH;
  bool ok = true;
  do {
    z.avail_in = static_cast<uInt>(std::fread(src.data(), 1, src.size(), in.get()));
    z.next_in = src.data();
    flush = std::feof(in.get()) ? Z_FINISH : Z_NO_FLUSH;
    do {
      z.avail_out = static_cast<uInt>(dst.size());
      z.next_out = dst.data();
      ok = ok && deflate(&z, flush) != Z_STREAM_ERROR;
      const size_t have = dst.size() - z.avail_out;
      ok = ok && std::fwrite(dst.data(), 1, have, out.get()) == have;
      total += have;
    } while (ok && z.avail_out == 0);
  } while (ok && flush != Z_FINISH);
  deflateEnd(&z);
  return ok && std::fflush(out.get()) == 0 ? total : 0;
}

bool ZlibInflateFile(const std::string& from, const std::string& to) {
  File in(std::fopen(from.c_str(), "rb"));
  File out(std::fopen(to.c_str(), "wb"));
  if (!in || !out) return false;
  z_stream z{};
  if (inflateInit2(&z, 15) != Z_OK) return false;
  std::vector<uint8_t> src(kBlock), dst(kBlock);
  int status = Z_OK;
  while (status == Z_OK) {
    z.avail_in = static_cast<uInt>(std::fread(src.data(), 1, src.size(), in.get()));
    z.next_in = src.data();
    if (z.avail_in == 0) break;
    do {
      z.avail_out = static_cast<uInt>(dst.size());
      z.next_out = dst.data();
      status = inflate(&z, Z_NO_FLUSH);
      const size_t have = dst.size() - z.avail_out;
      if (std::fwrite(dst.data(), 1, have, out.get()) != have) status = Z_ERRNO;
    } while (z.avail_out == 0 && status == Z_OK);
  }
  inflateEnd(&z);
  return status == Z_STREAM_END && std::fflush(out.get()) == 0;
}

uint64_t ZlibDeflateMemory(std::span<const uint8_t> in, std::span<uint8_t> out) {
  z_stream z{};
  if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15, 8, Z_HUFFMAN_ONLY) != Z_OK) return 0;
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  const int status = deflate(&z, Z_FINISH);
  const uint64_t size = z.total_out;
  deflateEnd(&z);
  return status == Z_STREAM_END ? size : 0;
}

bool ZlibInflateMemory(std::span<const uint8_t> in, std::span<uint8_t> out) {
  z_stream z{};
  if (inflateInit2(&z, 15) != Z_OK) return false;
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  const int status = inflate(&z, Z_FINISH);
  const bool whole = z.total_out == out.size();
  inflateEnd(&z);
  return status == Z_STREAM_END && whole;
}

}  // namespace velkaro::bench
