// Any frame the board encodes must come out of the handheld's parser whole
// and pass its check: the first input byte is the type, the rest the payload.
#include "link/engine.h"
#include "link/parser.h"
#include "simulator/board_frames.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t type = data[0];
  const uint8_t* payload = data + 1;
  const size_t length = size - 1;
  if (length + 1 > velkaro::CParser::kBufferSize) return 0;

  static auto parser = std::make_unique<velkaro::CParser>();
  parser->Reset();
  const auto wire = velkaro::board::EncodeFrame(type, payload, length);
  size_t fed = 0;
  while (fed < wire.size() && parser->m_state != velkaro::CParser::Complete)
    parser->Feed(wire[fed++]);
  if (parser->m_state != velkaro::CParser::Complete || fed != wire.size()) std::abort();
  if (parser->m_type != type || parser->m_length != length + 1) std::abort();
  if (length > 0 && std::memcmp(parser->m_buffer, payload, length) != 0) std::abort();
  if (!velkaro::CEngine::CheckFrame(type, parser->m_buffer, parser->m_length)) std::abort();
  return 0;
}
