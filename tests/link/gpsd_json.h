#pragma once

// Reading gpsd's JSON reports in tests, independently of libgps: the
// reports gpsd printed for the bundled captures (tests/data/nmea/*.chk) and
// the ones a running gpsd sends, taken apart with plain patterns.

#include <fstream>
#include <optional>
#include <regex>
#include <string>
#include <vector>

namespace velkaro::testing {

// The number after "key": in one report, if there is one.
inline std::optional<double> JsonNumber(const std::string& report, const std::string& key) {
  const std::regex pattern("\"" + key + "\":(-?[0-9.]+)");
  std::smatch match;
  if (!std::regex_search(report, match, pattern)) return std::nullopt;
  return std::stod(match[1]);
}

// The text after "key": in one report, if there is one (without escapes,
// which gpsd's driver names and device paths do not need).
inline std::optional<std::string> JsonText(const std::string& report, const std::string& key) {
  const std::regex pattern("\"" + key + "\":\"([^\"]*)\"");
  std::smatch match;
  if (!std::regex_search(report, match, pattern)) return std::nullopt;
  return match.str(1);
}

// A report's time as the fix line shows it, "MM/DD/YYYY hh:mm:ss", if the
// report has one.
inline std::optional<std::string> JsonFixTime(const std::string& report) {
  static const std::regex pattern(R"("time":"(\d{4})-(\d\d)-(\d\d)T(\d\d:\d\d:\d\d))");
  std::smatch m;
  if (!std::regex_search(report, m, pattern)) return std::nullopt;
  return m.str(2) + "/" + m.str(3) + "/" + m.str(1) + " " + m.str(4);
}

// The reports of one class from a file of gpsd's output, in order.
inline std::vector<std::string> ReportsOfClass(const std::string& path, const std::string& name) {
  std::vector<std::string> reports;
  std::ifstream in(path);
  const std::string prefix = "{\"class\":\"" + name + "\"";
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(prefix, 0) == 0) reports.push_back(line);
  }
  return reports;
}

}  // namespace velkaro::testing
