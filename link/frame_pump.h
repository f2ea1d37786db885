#pragma once

#include "link/parser.h"

#include <cstddef>
#include <cstdint>

namespace velkaro {

// Runs received bytes through the parser and calls
// `on_frame(type, body, length)` for each complete frame, in order, then
// resets the parser. The parser keeps its state across calls, so a frame may
// span several. The link worker and `vlk decode` both go through here.
template <class OnFrame>
void PumpBytes(CParser& parser, const uint8_t* data, size_t size, OnFrame&& on_frame) {
  while (size > 0) {
    const size_t used = parser.FeedBlock(data, size);
    data += used;
    size -= used;
    if (parser.m_state == CParser::Complete) {
      on_frame(parser.m_type, static_cast<const uint8_t*>(parser.m_buffer), parser.m_length);
      parser.Reset();
    }
  }
}

}  // namespace velkaro
