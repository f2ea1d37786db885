#pragma once

// zlib's Huffman-only deflate and inflate, file to file through 1 MB blocks:
// the nearest well-known coder of the compressed block's kind, run the way
// `vlk compress` and `vlk expand` run, as the yardstick for their speed;
// and the same in memory, in one call, as the yardstick for the coder alone.

#include <cstdint>
#include <span>
#include <string>

namespace velkaro::bench {

// Returns the size of the deflate stream written, or 0 on any failure.
uint64_t ZlibDeflateFile(const std::string& from, const std::string& to);
// False on any failure, including a stream that does not end.
bool ZlibInflateFile(const std::string& from, const std::string& to);

// Returns the size of the deflate stream of `in` written to `out`, or 0 on
// any failure, including an `out` too small.
uint64_t ZlibDeflateMemory(std::span<const uint8_t> in, std::span<uint8_t> out);
// `out` must hold exactly the expanded bytes; false unless the stream ends
// there.
bool ZlibInflateMemory(std::span<const uint8_t> in, std::span<uint8_t> out);

}  // namespace velkaro::bench
