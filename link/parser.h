#pragma once

#include <cstddef>
#include <cstdint>

namespace velkaro {

// Cuts the board's byte stream into frames. Reads may split a frame
// anywhere, and there may be noise between frames: the parser keeps its
// state between calls, and on any byte that breaks the framing it drops the
// partial frame and waits for the next start pair.
//
// Wire format: 11 12 (start), the type byte, the body, 11 13 (end); inside
// the type and body every 11 is sent as 11 14. The body is the payload and
// a check byte; the parser does not test the check (the engine does).
//
// Invariant: in Idle, m_length is 0 and all of m_buffer is zero; at any time
// every byte of m_buffer from m_length on is zero. So a reader may take a
// fixed-size record from m_buffer and see zeros past a short body.
//
// Not thread-safe: one thread (the link worker) owns the parser.
class CParser {
 public:
  static constexpr uint32_t kBufferSize = 8192;

  enum State : int16_t {
    Idle = 0,            // between frames
    StartLead = 16,      // a 11 was seen between frames
    ExpectType = 32,     // start pair complete; the next byte is the type
    TypeEscape = 48,     // the type byte was 11; 14 must follow
    Payload = 64,        // collecting body bytes
    PayloadEscape = 80,  // a 11 was seen inside the body
    Complete = 96,       // end pair seen; m_type, m_buffer, m_length hold a frame
  };

  CParser();
  virtual ~CParser() = default;

  // Back to Idle with an empty, all-zero buffer.
  void Reset();

  // Advances by one byte; returns 0. In Complete every byte is ignored until
  // Reset. A body that would grow past kBufferSize is dropped (back to Idle).
  int Feed(uint8_t byte);

  // Feeds bytes from `data` until the parser reaches Complete or the input
  // ends; returns how many bytes were consumed. Gives exactly the state that
  // calling Feed on the same bytes one by one gives, but copies runs of
  // plain body bytes at once.
  size_t FeedBlock(const uint8_t* data, size_t size);

  uint8_t m_buffer[kBufferSize];
  uint8_t m_type = 0;
  uint32_t m_length = 0;
  State m_state = Idle;
};

}  // namespace velkaro
