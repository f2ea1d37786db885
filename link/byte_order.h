#pragma once

#include <cstdint>

namespace velkaro {

// Big-endian reads of the board's integers, by offset, never by casting.
inline uint16_t ReadU16BE(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

inline uint32_t ReadU32BE(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

inline int32_t ReadI32BE(const uint8_t* p) { return static_cast<int32_t>(ReadU32BE(p)); }

}  // namespace velkaro
