// The board's side of the framing and of the position message.
#include "simulator/board_frames.h"

#include "link/frame_format.h"
#include "platform/byte_order.h"

#include <cmath>
#include <limits>

namespace velkaro::board {
namespace {

using frame::kEnd;
using frame::kEscape;
using frame::kMarker;
using frame::kStart;

// The receiver's status byte carries flags of its own below the fix mode;
// the simulator keeps one set so that readers must shift, not compare.
constexpr uint8_t kStatusLowBits = 0x02;

void PutStuffed(std::vector<uint8_t>& out, uint8_t b) {
  out.push_back(b);
  if (b == kMarker) out.push_back(kEscape);
}

}  // namespace

std::vector<uint8_t> EncodeFrame(uint8_t type, const uint8_t* payload, std::size_t length) {
  std::vector<uint8_t> out = {kMarker, kStart};
  out.reserve(2 * length + 8);
  uint8_t check = type;
  PutStuffed(out, type);
  for (std::size_t i = 0; i < length; ++i) {
    check ^= payload[i];
    PutStuffed(out, payload[i]);
  }
  PutStuffed(out, check);
  out.push_back(kMarker);
  out.push_back(kEnd);
  return out;
}

std::vector<uint8_t> EncodeTextFrame(uint8_t type, const std::string& text) {
  std::vector<uint8_t> payload(text.begin(), text.end());
  payload.push_back(0);
  return EncodeFrame(type, payload.data(), payload.size());
}

int32_t DegreesToMas(double degrees) {
  const double mas = std::round(degrees * kMasPerDegree);
  if (!(mas > std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  if (mas >= static_cast<double>(std::numeric_limits<int32_t>::max()))
    return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(mas);
}

std::array<uint8_t, kPositionPayloadSize> BuildPositionPayload(const PositionReport& r) {
  std::array<uint8_t, kPositionPayloadSize> p{};
  uint8_t* b = p.data();
  b[kMonth] = static_cast<uint8_t>(r.utc.tm_mon + 1);
  b[kDay] = static_cast<uint8_t>(r.utc.tm_mday);
  StoreBe16(b + kYear, static_cast<uint16_t>(r.utc.tm_year + 1900));
  b[kHour] = static_cast<uint8_t>(r.utc.tm_hour);
  b[kMinute] = static_cast<uint8_t>(r.utc.tm_min);
  b[kSecond] = static_cast<uint8_t>(r.utc.tm_sec);

  for (int block : {kBlockA, kBlockB}) {
    StoreBeI32(b + block + kBlockLat, r.lat_mas);
    StoreBeI32(b + block + kBlockLon, r.lon_mas);
    StoreBeI32(b + block + kBlockHeight, r.height_cm);
    StoreBeI32(b + block + kBlockMsl, r.msl_cm);
  }
  StoreBe16(b + kSpeed3d, r.speed_cms);
  StoreBe16(b + kSpeed2d, r.speed_cms);
  StoreBe16(b + kHeading, r.heading_ddeg);
  StoreBe16(b + kDop, r.dop_tenths);
  b[kSatsVisible] = r.sats_visible;
  b[kSatsTracked] = r.sats_tracked;

  // One record per channel: satellite id, channel mode, signal strength,
  // data age and two status bytes. Channels past the tracked count idle.
  for (int ch = 0; ch < kChannelCount; ++ch) {
    uint8_t* c = b + kChannels + ch * kChannelSize;
    const bool tracking = ch < r.sats_tracked;
    c[0] = tracking ? static_cast<uint8_t>(3 + 2 * ch) : 0;
    c[1] = tracking ? 8 : 0;
    c[2] = tracking ? static_cast<uint8_t>(38 + ch) : 0;
    c[3] = 0;
    c[4] = tracking ? 0xA2 : 0;
    c[5] = 0;
  }

  b[kStatus] = static_cast<uint8_t>((r.fix_mode & 0x07) << kFixModeShift | kStatusLowBits);
  b[kStatus2] = 0;
  StoreBe16(b + kClockBias, 21);
  StoreBeI32(b + kOscOffset, 1234);
  StoreBe16(b + kTemperature, 2 * 25 + 1);  // 25 degrees C in half degrees
  b[kUtc] = 0x80 | 18;                      // offset valid, 18 leap seconds
  b[kGmtSign] = 0;
  b[kGmtHours] = 0;
  b[kGmtMinutes] = 0;
  for (int i = 0; i < 6; ++i) b[kIdTag + i] = static_cast<uint8_t>(r.id_tag[i]);
  return p;
}

}  // namespace velkaro::board
