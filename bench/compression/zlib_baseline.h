#pragma once

// zlib's Huffman-only deflate and inflate, file to file through 1 MB blocks:
// the nearest well-known coder of the compressed block's kind, run the way
// `vlk compress` and `vlk expand` run, as the yardstick for their speed.

#include <cstdint>
#include <string>

namespace velkaro::bench {

// Returns the size of the deflate stream written, or 0 on any failure.
uint64_t ZlibDeflateFile(const std::string& from, const std::string& to);
// False on any failure, including a stream that does not end.
bool ZlibInflateFile(const std::string& from, const std::string& to);

}  // namespace velkaro::bench
