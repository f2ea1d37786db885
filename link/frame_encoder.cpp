// The frames the handheld sends: start pair, type, payload, the check
// position, end pair, with every 11 of type and payload escaped as 11 14.
#include "link/board_message.h"
#include "link/engine.h"
#include "link/frame_format.h"

#include <cstddef>

namespace velkaro {
namespace {

using frame::kEnd;
using frame::kEscape;
using frame::kMarker;
using frame::kStart;

}  // namespace

bool CEngine::SendFrame(uint8_t type, const uint8_t* payload, uint32_t length) {
  uint8_t frame[CCom::kTxSize];
  size_t n = 0;
  // Returns false instead of writing past the work area: a frame cut short
  // would reach the board without its end pair.
  auto put = [&](uint8_t b) {
    if (n == sizeof(frame)) return false;
    frame[n++] = b;
    if (b == kMarker) {
      if (n == sizeof(frame)) return false;
      frame[n++] = kEscape;
    }
    return true;
  };
  frame[n++] = kMarker;
  frame[n++] = kStart;
  if (!put(type)) return false;
  for (uint32_t i = 0; i < length; ++i) {
    if (!put(payload[i])) return false;
  }
  // The handheld leaves the check position 00, whatever the type and payload.
  if (n + 3 > sizeof(frame)) return false;
  frame[n++] = 0x00;
  frame[n++] = kMarker;
  frame[n++] = kEnd;
  return com_.RequestWrite(frame, static_cast<uint32_t>(n));
}

bool CEngine::SendStartupFrame() { return SendFrame(board::kRequestStartup, nullptr, 0); }

bool CEngine::SendKeepAlive() {
  static constexpr uint8_t kKeepAlive[2] = {0x00, 0x00};
  return com_.RequestWrite(kKeepAlive, sizeof(kKeepAlive));
}

}  // namespace velkaro
