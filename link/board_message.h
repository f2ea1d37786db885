#pragma once

// The board's messages: frame types in both directions and the layout of the
// 152-byte type-25 position/status/data payload. The engine, the handheld's
// encoder, the GPS record's decoder and the board simulator all take their
// numbers from here. Integers in the payload are big-endian
// (platform/byte_order.h).

#include <cstddef>
#include <cstdint>

namespace velkaro::board {

// Frame types, board to handheld.
inline constexpr uint8_t kTypeFirmware = 1;  // zero-terminated firmware text
inline constexpr uint8_t kTypeSerial = 2;    // zero-terminated serial number
inline constexpr uint8_t kTypeAcknowledge = 5;
inline constexpr uint8_t kTypePosition = 25;  // the payload below

// Frame types, handheld to board.
inline constexpr uint8_t kRequestStartup = 1;  // answered by kTypeFirmware
inline constexpr uint8_t kRequestSerial = 2;   // answered by kTypeSerial

// Fix modes, bits 7..5 of the receiver status byte; names in the GPS record.
inline constexpr uint8_t kFixAcquiring = 3;
inline constexpr uint8_t kFixPropagate = 5;
inline constexpr uint8_t kFixMode2D = 6;
inline constexpr uint8_t kFixMode3D = 7;  // the only mode that is a lock
inline constexpr int kFixModeShift = 5;

// Positions are whole milliarcseconds; heights centimetres.
inline constexpr int32_t kMasPerDegree = 3600000;

// Payload offsets of the 12-channel position/status/data message.
inline constexpr std::size_t kPositionPayloadSize = 152;
inline constexpr int kMonth = 4, kDay = 5, kYear = 6, kHour = 8, kMinute = 9, kSecond = 10;
// Two position blocks, A and B, each latitude, longitude, height, msl height.
inline constexpr int kBlockA = 15, kBlockB = 31;
inline constexpr int kBlockLat = 0, kBlockLon = 4, kBlockHeight = 8, kBlockMsl = 12;
inline constexpr int kSpeed3d = 47, kSpeed2d = 49, kHeading = 51, kDop = 53;
inline constexpr int kSatsVisible = 55, kSatsTracked = 56, kChannels = 57, kChannelSize = 6;
inline constexpr int kChannelCount = 12;
inline constexpr int kStatus = 129, kStatus2 = 130, kClockBias = 133, kOscOffset = 135;
inline constexpr int kTemperature = 139, kUtc = 141, kGmtSign = 142, kGmtHours = 143;
inline constexpr int kGmtMinutes = 144, kIdTag = 145, kIdTagSize = 6;

static_assert(kBlockA + kBlockMsl + 4 == kBlockB, "block B follows block A");
static_assert(kBlockB + kBlockMsl + 4 == kSpeed3d, "speeds follow block B");
static_assert(kChannels + kChannelCount * kChannelSize == kStatus,
              "channel records end at the status byte");
static_assert(kIdTag + kIdTagSize + 1 == kPositionPayloadSize, "the tag ends one byte short");

}  // namespace velkaro::board
