#include "simulator/nmea_sentences.h"

#include "link/board_message.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace velkaro::board {
namespace {

constexpr double kKnotsPerMetrePerSecond = 3600.0 / 1852.0;

// Degrees and minutes of an angle in milliarcseconds, the minutes rounded
// to seven decimals in integer arithmetic. One milliarcsecond is 1/60000
// minute, so the rounding never reaches 60 minutes, and it moves a position
// by less than a hundredth of a milliarcsecond.
std::string DegreesMinutes(int32_t mas, int degree_digits, char positive, char negative) {
  constexpr int64_t kUnitsPerMinute = 10000000;  // seven decimals
  const int64_t magnitude = std::llabs(static_cast<int64_t>(mas));
  const int64_t degrees = magnitude / kMasPerDegree;
  // x * kUnitsPerMinute / 60000 = x * 500 / 3, rounded to nearest.
  const int64_t units = ((magnitude % kMasPerDegree) * 500 + 1) / 3;
  char text[32];
  std::snprintf(text, sizeof text, "%0*lld%02lld.%07lld,%c", degree_digits,
                static_cast<long long>(degrees), static_cast<long long>(units / kUnitsPerMinute),
                static_cast<long long>(units % kUnitsPerMinute), mas < 0 ? negative : positive);
  return text;
}

std::string Format(const char* format, auto... values) {
  char text[128];
  std::snprintf(text, sizeof text, format, values...);
  return text;
}

std::string TimeOfDay(const PositionReport& r, int centiseconds) {
  return Format("%02d%02d%02d.%02d", r.utc.tm_hour, r.utc.tm_min, r.utc.tm_sec, centiseconds);
}

std::string Gga(const PositionReport& r, bool fixed, int centiseconds) {
  const std::string time = TimeOfDay(r, centiseconds);
  if (!fixed) return Format("GPGGA,%s,,,,,0,%02d,,,M,,M,,", time.c_str(), r.sats_tracked);
  return Format("GPGGA,%s,%s,%s,1,%02d,%.1f,%.1f,M,%.1f,M,,", time.c_str(),
                NmeaLatitude(r.lat_mas).c_str(), NmeaLongitude(r.lon_mas).c_str(), r.sats_tracked,
                r.dop_tenths / 10.0, r.msl_cm / 100.0, (r.height_cm - r.msl_cm) / 100.0);
}

// The satellites used are the channels the board reports as tracking.
std::string Gsa(const PositionReport& r, bool fixed) {
  std::string body = fixed ? "GPGSA,A,3" : "GPGSA,A,1";
  for (int ch = 0; ch < kChannelCount; ++ch) {
    body += ',';
    if (fixed && ch < r.sats_tracked) body += Format("%02d", 3 + 2 * ch);
  }
  if (!fixed) return body + ",,,";
  const double hdop = r.dop_tenths / 10.0;
  const double vdop = hdop * 1.2;
  return body + Format(",%.1f,%.1f,%.1f", std::hypot(hdop, vdop), hdop, vdop);
}

// The satellites in view, four to a sentence: the first `sats_tracked` of
// them are the ones GSA names as used, with a signal; the rest are in view
// without one. Their places in the sky are made up but stay put.
std::string Gsv(const PositionReport& r) {
  const int count = std::min<int>(r.sats_visible, kChannelCount);
  if (count == 0) return NmeaSentence("GPGSV,1,1,00");
  const int sentences = (count + 3) / 4;
  std::string out;
  for (int s = 0; s < sentences; ++s) {
    std::string body = Format("GPGSV,%d,%d,%02d", sentences, s + 1, count);
    for (int ch = 4 * s; ch < std::min(count, 4 * s + 4); ++ch) {
      body += Format(",%02d,%02d,%03d,", 3 + 2 * ch, 15 + 5 * ch, (37 * ch) % 360);
      if (ch < r.sats_tracked) body += Format("%02d", 42 - ch);
    }
    out += NmeaSentence(body);
  }
  return out;
}

std::string Rmc(const PositionReport& r, bool fixed, int centiseconds) {
  const std::string time = TimeOfDay(r, centiseconds);
  const std::string date =
      Format("%02d%02d%02d", r.utc.tm_mday, r.utc.tm_mon + 1, (r.utc.tm_year + 1900) % 100);
  if (!fixed) return Format("GPRMC,%s,V,,,,,,,%s,,,N", time.c_str(), date.c_str());
  return Format("GPRMC,%s,A,%s,%s,%.2f,%.1f,%s,,,A", time.c_str(), NmeaLatitude(r.lat_mas).c_str(),
                NmeaLongitude(r.lon_mas).c_str(), r.speed_cms / 100.0 * kKnotsPerMetrePerSecond,
                r.heading_ddeg / 10.0, date.c_str());
}

}  // namespace

uint8_t NmeaChecksum(std::string_view body) {
  uint8_t sum = 0;
  for (char c : body) sum ^= static_cast<uint8_t>(c);
  return sum;
}

std::string NmeaSentence(std::string_view body) {
  char tail[8];
  std::snprintf(tail, sizeof tail, "*%02X\r\n", unsigned{NmeaChecksum(body)});
  return "$" + std::string(body) + tail;
}

std::string NmeaLatitude(int32_t mas) { return DegreesMinutes(mas, 2, 'N', 'S'); }
std::string NmeaLongitude(int32_t mas) { return DegreesMinutes(mas, 3, 'E', 'W'); }

std::string NmeaReport(const PositionReport& report, int centiseconds) {
  const bool fixed = report.fix_mode == kFixMode3D;
  return NmeaSentence(Gga(report, fixed, centiseconds)) + NmeaSentence(Gsa(report, fixed)) +
         Gsv(report) + NmeaSentence(Rmc(report, fixed, centiseconds));
}

}  // namespace velkaro::board
