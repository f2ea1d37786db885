#include "link/gps_data.h"

#include "link/board_message.h"
#include "platform/byte_order.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace velkaro {
namespace {

using namespace board;

// Positions come in milliarcseconds. The board's own software multiplies by
// the double nearest 1/3,600,000 rather than dividing, and the last bit of
// the result differs between the two: keep the multiplication.
constexpr double kDegreesPerMas = 1.0 / 3600000.0;

constexpr const char* kCompassNames[17] = {"N",  "NNE", "NE", "ENE", "E",  "ESE",
                                           "SE", "SSE", "S",  "SSW", "SW", "WSW",
                                           "W",  "WNW", "NW", "NNW", "N"};
constexpr const char* kFixNames[8] = {
    "Reserved",      "Reserved",       "Bad Geometry", "Acquiring Satellites",
    "Position Hold", "Propogate Mode", "2D Fix",       "3D Fix"};
constexpr const char* kAntennaNames[4] = {"OK", "Overcurrent", "Undercurrent", "NV"};

}  // namespace

CGpsData::CGpsData()
    : m_compassNames{},
      m_fixNames{},
      m_antennaNames{},
      m_raw{},
      m_fixMode(0),
      m_month(0),
      m_day(0),
      m_year(0),
      m_hour(0),
      m_minute(0),
      m_second(0),
      m_dop(0),
      m_heading(0),
      m_speed3d(0),
      m_speed2d(0),
      m_clockBias(0),
      m_gmtNegative(false),
      m_gmtHours(0),
      m_gmtMinutes(0),
      m_idTag{},
      m_latA(0),
      m_lonA(0),
      m_heightA(0),
      m_mslA(0),
      m_latB(0),
      m_lonB(0),
      m_heightB(0),
      m_mslB(0),
      m_temperature(0),
      m_status(0),
      m_satsVisible(0),
      m_satsTracked(0),
      m_oscOffset(0),
      m_statusWord{},
      m_channels{},
      m_utcFlag7(false),
      m_utcFlag6(false),
      m_utcOffset(0),
      m_bFresh(false) {
  for (int i = 0; i < 17; ++i) m_compassNames[i] = kCompassNames[i];
  for (int i = 17; i < 20; ++i) m_compassNames[i] = "";
  for (int i = 0; i < 8; ++i) m_fixNames[i] = kFixNames[i];
  for (int i = 0; i < 4; ++i) m_antennaNames[i] = kAntennaNames[i];
}

void CGpsData::Decode(const uint8_t* payload) {
  std::memcpy(m_raw, payload, kPayloadSize);
  const uint8_t* p = m_raw;
  m_fixMode = static_cast<uint8_t>(p[kStatus] >> kFixModeShift);
  m_bFresh = true;

  m_month = p[kMonth];
  m_day = p[kDay];
  // Stored bit for bit: a year above 32767 reads back negative.
  m_year = static_cast<int16_t>(LoadBe16(p + kYear));
  m_hour = p[kHour];
  m_minute = p[kMinute];
  m_second = p[kSecond];

  m_latA = static_cast<double>(LoadBeI32(p + kBlockA + kBlockLat)) * kDegreesPerMas;
  m_lonA = static_cast<double>(LoadBeI32(p + kBlockA + kBlockLon)) * kDegreesPerMas;
  m_heightA = static_cast<double>(LoadBeI32(p + kBlockA + kBlockHeight));
  m_mslA = static_cast<double>(LoadBeI32(p + kBlockA + kBlockMsl));
  m_latB = static_cast<double>(LoadBeI32(p + kBlockB + kBlockLat)) * kDegreesPerMas;
  m_lonB = static_cast<double>(LoadBeI32(p + kBlockB + kBlockLon)) * kDegreesPerMas;
  m_heightB = static_cast<double>(LoadBeI32(p + kBlockB + kBlockHeight));
  m_mslB = static_cast<double>(LoadBeI32(p + kBlockB + kBlockMsl));

  m_speed3d = LoadBe16(p + kSpeed3d);
  m_speed2d = LoadBe16(p + kSpeed2d);
  m_heading = LoadBe16(p + kHeading);
  m_dop = LoadBe16(p + kDop);
  m_satsVisible = p[kSatsVisible];
  m_satsTracked = p[kSatsTracked];
  hdop = m_dop == 0 ? kUnknown : m_dop / 10.0;  // a DOP of 0 is one never computed
  satellites_used = m_satsTracked;
  satellites_seen = m_satsVisible;
  std::memcpy(m_channels, p + kChannels, sizeof(m_channels));

  m_status = p[kStatus];
  m_statusWord[0] = p[kStatus];
  m_statusWord[1] = p[kStatus2];
  m_clockBias = LoadBe16(p + kClockBias);
  m_oscOffset = LoadBeI32(p + kOscOffset);
  m_temperature = static_cast<double>(LoadBe16(p + kTemperature) >> 1);

  m_utcFlag7 = (p[kUtc] & 0x80) != 0;
  m_utcFlag6 = (p[kUtc] & 0x40) != 0;
  m_utcOffset = p[kUtc] & 0x3F;
  m_gmtNegative = p[kGmtSign] != 0;
  m_gmtHours = p[kGmtHours];
  m_gmtMinutes = p[kGmtMinutes];

  std::memcpy(m_idTag, p + kIdTag, kIdTagSize);
  m_idTag[kIdTagSize] = '\0';
}

void CGpsData::FormatFix(char* out) const {
  // A decoded record never needs more than 48 characters: 8-bit date and
  // time parts, a 16-bit year and coordinates below 596.6 degrees (2^31 mas).
  // The wide scratch line keeps a record filled in by hand from being
  // written past `out`; such a line is cut to fit.
  char line[720];
  int n = std::snprintf(line, sizeof(line), "%02d/%02d/%04d %02d:%02d:%02d %.4f %c %.4f %c",
                        m_month, m_day, m_year, m_hour, m_minute, m_second, std::fabs(m_latB),
                        m_latB > 0 ? 'N' : 'S', std::fabs(m_lonB), m_lonB > 0 ? 'E' : 'W');
  n = std::clamp(n, 0, kFixLineSize - 1);
  std::memcpy(out, line, static_cast<size_t>(n));
  out[n] = '\0';
}

}  // namespace velkaro
