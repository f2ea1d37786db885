#pragma once

// The gpsd source wired as the program wires it, with everything it hands
// on kept for a test: every record it publishes, read at the moment the
// board update is posted, the messages it shows and the identity texts.
// Then the bundled receiver captures (tests/data/nmea) and what each must do
// to the GPS record, and gpsd's JSON reports read independently of libgps
// (the ones gpsd printed for the captures, *.chk, and a running gpsd's),
// taken apart with plain patterns.

#include "link/engine.h"
#include "link/gps_data.h"
#include "link/gpsd_source.h"
#include "link/published.h"
#include "platform/clock.h"
#include "tests/support/link_helpers.h"
#include "tests/support/recording_message_box.h"

#include <fstream>
#include <mutex>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace velkaro::testing {

class RecordingSink : public IBoardUpdateSink {
 public:
  explicit RecordingSink(Published<CGpsData>& gps) : gps_(gps) {}
  // On the source's worker thread.
  void PostBoardUpdate() override {
    std::lock_guard<std::mutex> lock(mutex_);
    records_.push_back(gps_.Read());
  }
  std::vector<CGpsData> Records() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return records_;
  }
  size_t Count() const { return Records().size(); }

 private:
  Published<CGpsData>& gps_;
  mutable std::mutex mutex_;
  std::vector<CGpsData> records_;
};

struct GpsdSourceRig {
  CCom com;
  Published<CGpsData> gps;
  SystemClock clock;
  CEngine engine{com, gps, clock};
  testing::RecordingMessageBox messages;
  RecordingSink sink{gps};
  GpsdSource source{engine};
};

struct Capture {
  const char* name;
  bool locks;      // gpsd reports a real 3-D fix
  bool simulated;  // the receiver runs in demo mode
};

inline const auto kCaptures =
    ::testing::Values(Capture{"bu353s4", true, false}, Capture{"bu353-glonass", true, false},
                      Capture{"sirfstarv-nmea", true, false}, Capture{"bu303-nofix", false, false},
                      Capture{"garmin-geko201", false, true});

// The capture's path without its extension (".log", ".log.chk").
inline std::string CapturePath(const Capture& capture) {
  return std::string(VELKARO_SOURCE_DIR "/tests/data/nmea/") + capture.name;
}

// The capture's name as a test name.
inline std::string CaptureTestName(const ::testing::TestParamInfo<Capture>& info) {
  std::string name = info.param.name;
  for (char& c : name) {
    if (c == '-') c = '_';
  }
  return name;
}

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
