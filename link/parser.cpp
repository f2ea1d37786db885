#include "link/parser.h"

#include "link/frame_format.h"

#include <cstring>

namespace velkaro {
namespace {

using frame::kEnd;
using frame::kEscape;
using frame::kMarker;
using frame::kStart;

}  // namespace

CParser::CParser() { std::memset(m_buffer, 0, sizeof(m_buffer)); }

// Only appends write the buffer, and they write below m_length, so clearing
// that much restores the all-zero buffer. Clearing 8192 bytes for every noise
// byte between frames would cost more than the parsing itself.
void CParser::Reset() {
  std::memset(m_buffer, 0, m_length);
  m_length = 0;
  m_state = Idle;
}

int CParser::Feed(uint8_t byte) {
  switch (m_state) {
    case Idle:
      if (byte == kMarker) m_state = StartLead;
      break;
    case StartLead:
      m_state = byte == kStart ? ExpectType : Idle;
      break;
    case ExpectType:
      // 12, 13 and 14 are ordinary type values; only 11 comes escaped.
      m_type = byte;
      m_state = byte == kMarker ? TypeEscape : Payload;
      break;
    case TypeEscape:
      m_state = byte == kEscape ? Payload : Idle;
      break;
    case Payload:
      if (byte == kMarker) {
        m_state = PayloadEscape;
      } else if (m_length < kBufferSize) {
        m_buffer[m_length++] = byte;
      } else {
        m_state = Idle;  // the body would overrun the buffer: drop the frame
      }
      break;
    case PayloadEscape:
      if (byte == kEnd) {
        m_state = Complete;
      } else if (byte == kEscape && m_length < kBufferSize) {
        m_buffer[m_length++] = kMarker;
        m_state = Payload;
      } else {
        // Not a pair that may stand in a body (a start pair included), or a
        // body too long: the frame is lost and this byte is consumed.
        m_state = Idle;
      }
      break;
    case Complete:
      break;
  }
  if (m_state == Idle) Reset();
  return 0;
}

size_t CParser::FeedBlock(const uint8_t* data, size_t size) {
  size_t i = 0;
  while (i < size && m_state != Complete) {
    if (m_state == Payload) {
      // Copy the run of plain body bytes up to the next marker in one go.
      const uint8_t* run = data + i;
      const size_t left = size - i;
      const void* marker = std::memchr(run, kMarker, left);
      const size_t run_length =
          marker ? static_cast<size_t>(static_cast<const uint8_t*>(marker) - run) : left;
      const size_t room = kBufferSize - m_length;
      if (run_length > room) {
        // Feed would store `room` bytes and drop the frame on the next one.
        i += room + 1;
        Reset();
        continue;
      }
      std::memcpy(m_buffer + m_length, run, run_length);
      m_length += static_cast<uint32_t>(run_length);
      i += run_length;
      if (i < size) Feed(data[i++]);  // the marker
      continue;
    }
    if (m_state == Idle) {
      // Noise between frames changes nothing until a marker comes.
      const void* marker = std::memchr(data + i, kMarker, size - i);
      if (!marker) return size;
      i = static_cast<size_t>(static_cast<const uint8_t*>(marker) - data);
    }
    Feed(data[i++]);
  }
  return i;
}

}  // namespace velkaro
