#pragma once

#include "link/board_message.h"

#include <cstdint>
#include <limits>

namespace velkaro {

// The board's GPS status record: one decoded type-25 payload (the 12-channel
// position/status/data message). A plain value: the link publishes whole
// copies of it (see published.h), so readers never see half a record.
class CGpsData {
 public:
  static constexpr int kPayloadSize = static_cast<int>(board::kPositionPayloadSize);
  static constexpr int kFixLineSize = 49;  // the longest fix line + its zero

  CGpsData();

  // Copies exactly kPayloadSize bytes from `payload` into m_raw and decodes
  // every field; nothing is validated. REQUIRES: `payload` points to at least
  // kPayloadSize readable bytes (the parser's buffer is zero past a short body).
  void Decode(const uint8_t* payload);

  // Writes "MM/DD/YYYY hh:mm:ss lat N|S lon E|W" (at most 48 characters and a
  // zero) into `out`, which must hold kFixLineSize bytes.
  void FormatFix(char* out) const;

  // A fix older than this is not a lock: the board may be gone.
  static constexpr int64_t kStaleAfterMs = 3000;

  // The system's position (m_latB, m_lonB) lies on the earth: latitude in
  // [-90, 90] and longitude in [-180, 180] degrees. A record that says
  // otherwise is damaged, whatever its fix mode.
  bool IsOnEarth() const {
    return m_latB >= -90.0 && m_latB <= 90.0 && m_lonB >= -180.0 && m_lonB <= 180.0;
  }
  // The receiver reports a 3-D fix at a position on the earth, however old
  // the report.
  bool IsLocked() const { return m_fixMode == board::kFixMode3D && IsOnEarth(); }
  // A lock to rely on at `now_ms` (IClock::NowMonotonicMs): a 3-D fix
  // received at most kStaleAfterMs before. A record never received is never a lock.
  bool IsLockedAt(int64_t now_ms) const {
    return IsLocked() && m_receivedMs != 0 && now_ms - m_receivedMs <= kStaleAfterMs;
  }

  const char* m_compassNames[20];
  const char* m_fixNames[8];
  const char* m_antennaNames[4];
  uint8_t m_raw[kPayloadSize];
  uint8_t m_fixMode;
  int16_t m_month, m_day, m_year;
  int16_t m_hour, m_minute, m_second;
  uint16_t m_dop;
  uint16_t m_heading;
  uint16_t m_speed3d, m_speed2d;
  uint16_t m_clockBias;
  bool m_gmtNegative;
  uint16_t m_gmtHours, m_gmtMinutes;
  char m_idTag[7];
  double m_latA, m_lonA;
  double m_heightA, m_mslA;
  double m_latB, m_lonB;  // the system's position: degrees, north and east positive
  double m_heightB, m_mslB;
  double m_temperature;
  uint8_t m_status;
  uint16_t m_satsVisible, m_satsTracked;
  int32_t m_oscOffset;
  uint8_t m_statusWord[2];
  uint8_t m_channels[12][6];
  bool m_utcFlag7, m_utcFlag6;
  uint16_t m_utcOffset;
  bool m_bFresh;
  // When the record arrived, on the clock the engine was given; 0 until a
  // report is received. CEngine::PublishFix stamps it.
  int64_t m_receivedMs = 0;

  // What the source tells of the fix's quality, whichever source it is: the
  // board's record gives its DOP (received in tenths) and its satellites
  // tracked and visible; gpsd gives its horizontal error estimate, HDOP and
  // satellites used and seen. NaN or -1 where the source has not said.
  static constexpr double kUnknown = std::numeric_limits<double>::quiet_NaN();
  double horizontal_error_m = kUnknown;
  double hdop = kUnknown;
  int satellites_used = -1;
  int satellites_seen = -1;
};

}  // namespace velkaro
