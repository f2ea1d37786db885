// The gpsd source against a stand-in gpsd in the test process: what one
// connection's reports become (records, identity texts, board updates),
// gpsd's own recorded reports read back, a connection gpsd closes, and gpsd
// missing at start.
#include "link/gpsd_source.h"

#include "platform/clock.h"
#include "tests/support/child_process.h"
#include "tests/support/fake_gpsd.h"
#include "tests/support/gpsd_source_rig.h"
#include "tests/support/temp_folder.h"

#include <cmath>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace velkaro {
namespace {

using namespace std::chrono_literals;
using namespace testing;

struct GpsdSourceTest : ::testing::Test, GpsdSourceRig {
  static GpsdAddress Loopback(int port) { return {"127.0.0.1", std::to_string(port)}; }
};

constexpr const char* kGreeting =
    R"({"class":"VERSION","release":"3.22","rev":"3.22","proto_major":3,"proto_minor":14})"
    "\n"
    R"({"class":"DEVICES","devices":[{"class":"DEVICE","path":"/dev/ttyUSB0","bps":4800}]})"
    "\n"
    R"({"class":"WATCH","enable":true,"json":true,"nmea":false,"raw":0})"
    "\n";

TEST_F(GpsdSourceTest, ReportsBecomeStampedRecordsIdentityTextsAndUpdates) {
  FakeGpsd gpsd;
  ASSERT_TRUE(gpsd.Listening());
  const int64_t before = clock.NowMonotonicMs();
  source.Start(Loopback(gpsd.Port()), messages, &sink);
  EXPECT_TRUE(messages.shown.empty());
  ASSERT_TRUE(gpsd.AcceptWatcher(5s));
  EXPECT_NE(gpsd.ReceivedUntil("}", 1s).find(R"("json":true)"), std::string::npos);

  ASSERT_TRUE(gpsd.Send(std::string(kGreeting) +
                        R"({"class":"DEVICE","path":"/dev/ttyUSB0","driver":"NMEA0183"})"
                        "\n"
                        R"({"class":"SKY","device":"/dev/ttyUSB0","satellites":[]})"
                        "\n"
                        R"({"class":"TPV","device":"/dev/ttyUSB0","mode":3,)"
                        R"("time":"2026-06-15T10:30:05.000Z","lat":45.49784,"lon":9.1003840})"
                        "\n"
                        R"({"class":"TPV","device":"/dev/ttyUSB0","mode":1})"
                        "\n"));
  ASSERT_TRUE(WaitUntil([&] { return sink.Count() == 2; }, 5s));
  const int64_t after = clock.NowMonotonicMs();

  const std::vector<CGpsData> records = sink.Records();
  EXPECT_EQ(FixLine(records[0]), "06/15/2026 10:30:05 45.4978 N 9.1004 E");
  EXPECT_EQ(records[0].m_fixMode, 7);
  EXPECT_GE(records[0].m_receivedMs, before);
  EXPECT_LE(records[0].m_receivedMs, after);
  EXPECT_TRUE(records[0].IsLockedAt(after));
  // The fix is lost: the last position stays, the lock goes.
  EXPECT_EQ(FixLine(records[1]), FixLine(records[0]));
  EXPECT_EQ(records[1].m_fixMode, 3);
  EXPECT_FALSE(gps.Read().IsLockedAt(clock.NowMonotonicMs()));

  EXPECT_EQ(FirmwareOf(engine), "NMEA0183");
  EXPECT_EQ(SerialOf(engine), "/dev/ttyUSB0");
  source.Stop();
  EXPECT_EQ(engine.m_hWndNotify.load(), nullptr);
}

TEST_F(GpsdSourceTest, AConnectionGpsdClosesIsOpenedAgainByItself) {
  FakeGpsd gpsd;
  source.Start(Loopback(gpsd.Port()), messages, &sink);
  ASSERT_TRUE(gpsd.AcceptWatcher(5s));
  ASSERT_TRUE(gpsd.Send(R"({"class":"TPV","mode":3,"lat":45.5,"lon":9.1})"
                        "\n"));
  ASSERT_TRUE(WaitUntil([&] { return sink.Count() == 1; }, 5s));

  gpsd.HangUp();  // gpsd restarted
  ASSERT_TRUE(WaitUntil([&] { return !source.Connected(); }, 5s));
  ASSERT_TRUE(gpsd.AcceptWatcher(5s));
  ASSERT_TRUE(gpsd.Send(R"({"class":"TPV","mode":2,"lat":-45.5,"lon":-9.1})"
                        "\n"));
  ASSERT_TRUE(WaitUntil([&] { return sink.Count() == 2; }, 5s));
  EXPECT_TRUE(source.Connected());
  EXPECT_EQ(sink.Records()[1].m_latB, -45.5);
  EXPECT_EQ(sink.Records()[1].m_fixMode, 6);
  EXPECT_TRUE(messages.shown.empty());
}

// vlk watch --count N that gets fewer reports says why and fails, so a
// script does not take a cut-short watch for a finished one.
TEST(VlkWatch, EndedBeforeItsCountItSaysWhyAndFails) {
  TempFolder dir;
  FakeGpsd gpsd;
  ChildGroup watch;
  std::string error;
  ASSERT_TRUE(watch.Start(VELKARO_BIN_DIR "/vlk",
                          {"watch", "--gpsd", "127.0.0.1:" + std::to_string(gpsd.Port()),
                           "--count", "50"},
                          dir.File("out.txt"), dir.File("err.txt"), &error))
      << error;
  ASSERT_TRUE(gpsd.AcceptWatcher(5s));
  ASSERT_TRUE(gpsd.Send(R"({"class":"TPV","mode":3,"lat":45.5,"lon":9.1})"
                        "\n"));
  std::this_thread::sleep_for(200ms);
  gpsd.HangUp();
  EXPECT_EQ(watch.WaitExit(10s), std::optional<int>(1));
  EXPECT_EQ(ReadText(dir.File("err.txt")),
            "vlk watch: the connection to gpsd at 127.0.0.1:" + std::to_string(gpsd.Port()) +
                " ended after 1 report: gpsd closed it or sent a line it could not read\n");
}

// gpsd's reports may arrive in pieces; one left half sent (a remote gpsd
// whose network dropped) must not hold the worker when the program ends.
TEST_F(GpsdSourceTest, AReportInPiecesIsReadWholeAndAHalfSentOneHoldsNothing) {
  FakeGpsd gpsd;
  source.Start(Loopback(gpsd.Port()), messages, &sink);
  ASSERT_TRUE(gpsd.AcceptWatcher(5s));
  const std::string report = R"({"class":"TPV","mode":3,"lat":-12.25,"lon":130.5})"
                             "\n";
  ASSERT_TRUE(gpsd.Send(report.substr(0, 20)));
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(sink.Count(), 0u);
  ASSERT_TRUE(gpsd.Send(report.substr(20) + report.substr(0, 30)));
  ASSERT_TRUE(WaitUntil([&] { return sink.Count() == 1; }, 5s));
  EXPECT_EQ(sink.Records()[0].m_latB, -12.25);
  EXPECT_EQ(sink.Records()[0].m_lonB, 130.5);
  std::this_thread::sleep_for(300ms);  // the worker waits for the rest
  source.Stop();                       // with the second report still half sent
  EXPECT_FALSE(source.Running());
}

TEST_F(GpsdSourceTest, GpsdMissingAtStartIsReportedAndPickedUpOnceItListens) {
  const int port = testing::FreeLoopbackPort();
  ASSERT_NE(port, 0);
  source.Start(Loopback(port), messages, &sink);
  EXPECT_EQ(messages.shown, std::vector<std::string>{"Cannot connect to gpsd at 127.0.0.1:" +
                                                     std::to_string(port) + "."});
  EXPECT_TRUE(source.Running());
  EXPECT_FALSE(source.Connected());

  FakeGpsd gpsd(port);
  ASSERT_TRUE(gpsd.Listening());
  ASSERT_TRUE(gpsd.AcceptWatcher(5s));
  ASSERT_TRUE(gpsd.Send(R"({"class":"TPV","mode":3,"lat":1.0,"lon":2.0})"
                        "\n"));
  ASSERT_TRUE(WaitUntil([&] { return sink.Count() == 1; }, 5s));
  EXPECT_EQ(messages.shown.size(), 1u);
}

// gpsd's own reports from the bundled captures (its regression-test output),
// read back through the source: every position and time as gpsd printed it.
class RecordedReports : public GpsdSourceTest, public ::testing::WithParamInterface<Capture> {};

TEST_P(RecordedReports, ReadBackAsGpsdPrintedThem) {
  const std::string path = CapturePath(GetParam()) + ".log.chk";
  std::ifstream chk(path);
  ASSERT_TRUE(chk) << path;
  std::string all, line;
  while (std::getline(chk, line)) {
    if (!line.empty() && line[0] == '{') all += line + "\n";  // the rest are comments
  }
  const std::vector<std::string> tpv = ReportsOfClass(path, "TPV");
  ASSERT_FALSE(tpv.empty());

  FakeGpsd gpsd;
  source.Start(Loopback(gpsd.Port()), messages, &sink);
  ASSERT_TRUE(gpsd.AcceptWatcher(5s));
  ASSERT_TRUE(gpsd.Send(kGreeting + all));
  ASSERT_TRUE(WaitUntil([&] { return sink.Count() >= tpv.size(); }, 10s));
  const std::vector<CGpsData> records = sink.Records();
  ASSERT_EQ(records.size(), tpv.size());

  bool locked = false, propagated = false;
  double lat = 0, lon = 0;
  for (size_t i = 0; i < tpv.size(); ++i) {
    propagated = propagated || records[i].m_fixMode == 5;
    // Without a position in the report the last one stays.
    lat = JsonNumber(tpv[i], "lat").value_or(lat);
    lon = JsonNumber(tpv[i], "lon").value_or(lon);
    EXPECT_NEAR(records[i].m_latB, lat, 5e-10) << tpv[i];
    EXPECT_NEAR(records[i].m_lonB, lon, 5e-10) << tpv[i];
    if (const std::optional<std::string> time = JsonFixTime(tpv[i])) {
      EXPECT_EQ(FixLine(records[i]).substr(0, time->size()), *time) << tpv[i];
    }
    if (records[i].m_fixMode == 7) {
      locked = true;
      EXPECT_EQ(JsonNumber(tpv[i], "mode"), 3) << tpv[i];
      EXPECT_EQ(tpv[i].find("\"status\":"), std::string::npos) << tpv[i];
    }
  }
  EXPECT_EQ(locked, GetParam().locks);
  EXPECT_EQ(propagated, GetParam().simulated);
  EXPECT_EQ(SerialOf(engine), "/dev/ttyUSB0");
}

INSTANTIATE_TEST_SUITE_P(Gpsd, RecordedReports, kCaptures, CaptureTestName);

}  // namespace
}  // namespace velkaro
