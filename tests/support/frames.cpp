#include "tests/support/frames.h"

#include "link/board_message.h"
#include "link/frame_pump.h"
#include "link/parser.h"
#include "simulator/board_frames.h"

namespace velkaro::testing {

Bytes FrameOf(uint8_t type, const Bytes& payload) {
  return board::EncodeFrame(type, payload.data(), payload.size());
}

Bytes PositionPayload(bool locked, double lat, double lon) {
  board::PositionReport report;
  report.utc.tm_year = 2026 - 1900;
  report.utc.tm_mon = 6 - 1;
  report.utc.tm_mday = 15;
  report.utc.tm_hour = 12;
  report.lat_mas = board::DegreesToMas(lat);
  report.lon_mas = board::DegreesToMas(lon);
  report.fix_mode = locked ? board::kFixMode3D : board::kFixAcquiring;
  const auto payload = board::BuildPositionPayload(report);
  return Bytes(payload.begin(), payload.end());
}

int Deliver(CEngine& engine, const Bytes& wire) {
  CParser parser;
  int accepted = 0;
  PumpBytes(parser, wire.data(), wire.size(),
            [&](uint8_t type, const uint8_t* body, uint32_t length) {
              if (engine.HandleFrame(type, body, length)) ++accepted;
            });
  return accepted;
}

}  // namespace velkaro::testing
