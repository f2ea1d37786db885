#include "link/fix_summary.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace velkaro {
namespace {

std::string Printed(const char* format, double value) {
  char text[48];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

std::string PrecisePositionText(const CGpsData& gps) {
  char text[64];
  std::snprintf(text, sizeof text, "%.7f %c %.7f %c", std::fabs(gps.m_latB),
                gps.m_latB < 0 ? 'S' : 'N', std::fabs(gps.m_lonB), gps.m_lonB < 0 ? 'W' : 'E');
  return text;
}

double AccuracyFigure(const CGpsData& gps, bool* in_metres) {
  *in_metres = std::isfinite(gps.horizontal_error_m);
  return *in_metres ? gps.horizontal_error_m : gps.hdop;
}

std::string AccuracyText(const CGpsData& gps) {
  bool in_metres = false;
  const double figure = AccuracyFigure(gps, &in_metres);
  if (!std::isfinite(figure)) return "";
  return in_metres ? Printed("\u00b1%.1f m", figure) : Printed("HDOP %.1f", figure);
}

std::string SatellitesText(const CGpsData& gps) {
  if (gps.satellites_used < 0) return "";
  if (gps.satellites_seen < 0) return std::to_string(gps.satellites_used) + " satellites";
  return std::to_string(gps.satellites_used) + "/" + std::to_string(gps.satellites_seen) +
         " satellites";
}

std::string FixAgeText(const CGpsData& gps, int64_t now_ms) {
  if (gps.m_receivedMs == 0) return "no fix yet";
  const double seconds = static_cast<double>(std::max<int64_t>(now_ms - gps.m_receivedMs, 0)) / 1000.0;
  return Printed("fix %.1f s old", seconds);
}

std::string FixStatusText(const CGpsData& gps, int64_t now_ms, const std::string& source) {
  std::string line;
  auto add = [&line](const std::string& part) {
    if (part.empty()) return;
    if (!line.empty()) line += "  ";
    line += part;
  };
  if (gps.IsLockedAt(now_ms)) {
    add(PrecisePositionText(gps));
    add(AccuracyText(gps));
    add(SatellitesText(gps));
  } else {
    add("no 3-D fix");
  }
  add(FixAgeText(gps, now_ms));
  add(source);
  return line;
}

std::string BoardSourceText(const std::string& port, bool answering) {
  return (answering ? "board on " : "no board answering on ") + port;
}

std::string GpsdSourceText(const std::string& address, bool connected) {
  return connected ? "gpsd " + address : "gpsd not reachable";
}

}  // namespace velkaro
