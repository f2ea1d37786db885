#pragma once

// The bundled receiver captures (tests/data/nmea) and what each must do to
// the GPS record, for the tests that read them back.

#include <string>

#include <gtest/gtest.h>

namespace velkaro::testing {

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

}  // namespace velkaro::testing
