// Real receiver captures (tests/data/nmea) replayed by gpsfake into a
// private gpsd, read at the same time through the application's own gpsd
// source and through `vlk watch`. gpsfake's own client prints what gpsd
// reported live; the capture's .chk file holds what gpsd decoded when the
// capture was taken. Every position the source and the tool report must be
// one of those, to the digits gpsd printed; the steady fix must lock, and
// neither the capture without a fix nor the receiver in demo mode may.
#include "link/gpsd_source.h"
#include "tests/support/child_process.h"
#include "tests/support/gpsd_source_rig.h"
#include "tests/support/temp_folder.h"

#include <chrono>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace velkaro {
namespace {

using namespace std::chrono_literals;
using namespace testing;

class Replay : public ::testing::TestWithParam<Capture>, public GpsdSourceRig {
 protected:
  void TearDown() override {
    source.Stop();
    watch_.Stop();
    gpsfake_.Stop();
  }
  std::string File(const char* name) const { return dir_.File(name); }

  testing::TempFolder dir_;
  ChildGroup gpsfake_, watch_;
};

TEST_P(Replay, PositionsAreGpsdsOwnAndOnlyARealFixLocks) {
  ASSERT_TRUE(std::filesystem::is_directory(dir_.path()));
  const std::string capture = CapturePath(GetParam());
  std::string error;
  // gpsfake connects its own client as soon as gpsd's control socket exists,
  // and gpsd may not listen on the port yet: on a busy machine that
  // connection is refused and gpsfake gives up at once. Only that start is
  // tried again, on a fresh port.
  int port = 0;
  for (int attempt = 0; attempt < 3; ++attempt) {
    const int candidate = FreeLoopbackPort();
    ASSERT_NE(candidate, 0);
    // -p: gpsfake's own client watches first, so gpsd opens the replayed
    // line before the log is fed (1.4 s later); -W 1: it ends a second after.
    ASSERT_TRUE(gpsfake_.Start(
        "gpsfake", {"-1", "-p", "-q", "-W", "1", "-P", std::to_string(candidate), capture + ".log"},
        File("live.json"), File("gpsfake.err"), &error))
        << error;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < deadline && !gpsfake_.WaitExit(0ms)) {
      if (WaitListening(candidate, 200ms)) {
        port = candidate;
        break;
      }
    }
    if (port != 0) break;
    gpsfake_.Stop();
    const std::string said = ReadText(File("gpsfake.err"));
    ASSERT_NE(said.find("Connection refused"), std::string::npos) << said;
  }
  ASSERT_NE(port, 0) << ReadText(File("gpsfake.err"));

  const GpsdAddress address{"localhost", std::to_string(port)};
  source.Start(address, messages, &sink);
  ASSERT_TRUE(messages.shown.empty()) << messages.shown[0];
  ASSERT_TRUE(watch_.Start(VELKARO_BIN_DIR "/vlk", {"watch", "--gpsd", address.ToString()},
                           File("watch.out"), File("watch.err"), &error))
      << error;

  // gpsd goes when gpsfake ends; the tool ends with the connection.
  ASSERT_TRUE(gpsfake_.WaitExit(60s)) << ReadText(File("gpsfake.err"));
  gpsfake_.Stop();
  EXPECT_EQ(watch_.WaitExit(10s), 0) << ReadText(File("watch.err"));
  source.Stop();

  const std::vector<std::string> live = ReportsOfClass(File("live.json"), "TPV");
  const std::vector<std::string> chk = ReportsOfClass(capture + ".log.chk", "TPV");
  const std::vector<CGpsData> records = sink.Records();
  const auto watched = WatchPairs(ReadText(File("watch.out")));
  ASSERT_FALSE(live.empty());
  ASSERT_EQ(records.size(), live.size());
  ASSERT_EQ(watched.size(), live.size());

  size_t next_chk = 0;  // positions come in the capture's order
  bool locked = false, propagated = false;
  for (size_t i = 0; i < live.size(); ++i) {
    const CGpsData& r = records[i];
    SCOPED_TRACE(live[i]);
    EXPECT_EQ(watched[i].first, "fix " + FixLine(r));
    EXPECT_EQ(watched[i].second, "mode " + std::to_string(r.m_fixMode));
    if (const std::optional<std::string> time = JsonFixTime(live[i])) {
      EXPECT_EQ(FixLine(r).substr(0, time->size()), *time);
    }
    const std::optional<double> lat = JsonNumber(live[i], "lat");
    const std::optional<double> lon = JsonNumber(live[i], "lon");
    if (lat && lon) {
      EXPECT_NEAR(r.m_latB, *lat, 5e-10);  // gpsd prints nine decimals
      EXPECT_NEAR(r.m_lonB, *lon, 5e-10);
      while (next_chk < chk.size() &&
             (JsonNumber(chk[next_chk], "lat") != lat || JsonNumber(chk[next_chk], "lon") != lon)) {
        ++next_chk;
      }
      ASSERT_LT(next_chk, chk.size()) << "a position gpsd never decoded from the capture";
      EXPECT_NE(watched[i].first.find(ShownPosition(*lat, *lon)), std::string::npos);
    } else if (i > 0) {
      EXPECT_EQ(r.m_latB, records[i - 1].m_latB);
      EXPECT_EQ(r.m_lonB, records[i - 1].m_lonB);
    }
    if (r.m_fixMode == 7) {
      locked = true;
      EXPECT_TRUE(lat && lon);
      EXPECT_EQ(JsonNumber(live[i], "mode"), 3);
      EXPECT_EQ(JsonNumber(live[i], "status").value_or(1), 1);
    }
    propagated = propagated || r.m_fixMode == 5;
  }
  EXPECT_EQ(locked, GetParam().locks);
  EXPECT_EQ(propagated, GetParam().simulated);

  // The identity texts: the receiver as gpsd's last device report named it.
  std::string driver, path;
  for (const std::string& device : ReportsOfClass(File("live.json"), "DEVICE")) {
    if (!JsonText(device, "driver")) continue;
    driver = *JsonText(device, "driver");
    for (const char* part : {"subtype", "subtype1"}) {
      if (JsonText(device, part)) driver += " " + *JsonText(device, part);
    }
    path = JsonText(device, "path").value_or("");
  }
  ASSERT_FALSE(driver.empty());
  EXPECT_EQ(FirmwareOf(engine), driver);
  EXPECT_EQ(SerialOf(engine), path);
}

INSTANTIATE_TEST_SUITE_P(Gpsd, Replay, kCaptures, CaptureTestName);

}  // namespace
}  // namespace velkaro
