#pragma once

// What the board puts on the line: byte-stuffed frames with a true check
// byte, and the 152-byte type-25 position/status payload. Plain functions on
// values; thread-safe.

#include "link/board_message.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace velkaro::board {

// The frame 11 12 <type> <payload> <check> 11 13 with the check byte the
// board computes (the exclusive-or of the type and every payload byte), and
// every 11 in the type, the payload and the check byte sent as 11 14.
std::vector<uint8_t> EncodeFrame(uint8_t type, const uint8_t* payload, std::size_t length);

// A text report (firmware, serial number): the text and its terminating
// zero as the payload, as the board sends it.
std::vector<uint8_t> EncodeTextFrame(uint8_t type, const std::string& text);

// Degrees to whole milliarcseconds, rounded to nearest (halves away from 0),
// saturated to the int32 range.
int32_t DegreesToMas(double degrees);

// The content of one position report.
struct PositionReport {
  std::tm utc{};              // date and time of the fix; tm_year is years since 1900
  int32_t lat_mas = 0;        // north positive
  int32_t lon_mas = 0;        // east positive
  int32_t height_cm = 0;      // above the ellipsoid
  int32_t msl_cm = 0;         // above mean sea level
  uint16_t speed_cms = 0;     // 3-D and 2-D speed, cm/s
  uint16_t heading_ddeg = 0;  // 0.1 degree, clockwise from north
  uint8_t fix_mode = kFixAcquiring;
  uint8_t sats_visible = 0;
  uint8_t sats_tracked = 0;
  uint16_t dop_tenths = 0;
  char id_tag[6] = {'V', 'L', 'K', 'S', 'I', 'M'};
};

// The 152-byte type-25 payload, big-endian, at the offsets the handheld
// decodes: date and time at 4..10, position block A at 15..30 and block B at
// 31..46 (both carry the same fix), speeds, heading, DOP, satellite counts,
// 12 channel records, the status byte at 129 (fix mode in bits 7..5), clock
// and oscillator words, temperature, UTC offset and the tag at 145.
std::array<uint8_t, kPositionPayloadSize> BuildPositionPayload(const PositionReport& report);

}  // namespace velkaro::board
