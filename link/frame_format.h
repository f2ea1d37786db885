#pragma once

#include <cstdint>

namespace velkaro::frame {

// The wire's framing bytes, both directions. 11 never stands alone on the
// line: 11 12 starts a frame, 11 13 ends it, and 11 14 is one data byte 11
// inside the type or the body.
constexpr uint8_t kMarker = 0x11;
constexpr uint8_t kStart = 0x12;
constexpr uint8_t kEnd = 0x13;
constexpr uint8_t kEscape = 0x14;

}  // namespace velkaro::frame
