// The whole link against the real board simulator over a pseudo-terminal:
// the real termios port opened through CCom::Open, the real parser, engine
// and worker thread. Every wait polls a condition against a deadline.
#include "link/com.h"
#include "link/engine.h"
#include "link/link_worker.h"
#include "link/parser.h"
#include "platform/clock.h"
#include "platform/serial_port.h"
#include "tests/support/child_process.h"
#include "tests/support/link_helpers.h"
#include "tests/support/memory_device_registry.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/temp_folder.h"

#include <memory>

#include <gtest/gtest.h>

namespace velkaro {
namespace {

using namespace std::chrono_literals;
using testing::Bytes;

using testing::kSerialRequest;
using testing::kStartupFrame;
using testing::WaitUntil;

// Where `needle` occurs in `hay` from `from` on; npos when it does not.
size_t Find(const Bytes& hay, const Bytes& needle, size_t from = 0) {
  if (hay.size() < needle.size()) return std::string::npos;
  for (size_t i = from; i + needle.size() <= hay.size(); ++i)
    if (std::equal(needle.begin(), needle.end(), hay.begin() + static_cast<long>(i))) return i;
  return std::string::npos;
}

// One handheld-side link on the board's pseudo-terminal.
class LinkOnBoard : public ::testing::Test {
 protected:
  void StartBoard(std::vector<std::string> args) {
    args.push_back("--record");
    args.push_back(record_);
    std::string error;
    ASSERT_TRUE(board_.Start(VELKARO_BIN_DIR "/velkaro-board", args, 10s, &error)) << error;
    ASSERT_EQ(board_.device().rfind("/dev/", 0), 0u) << board_.device();

    TermiosSerialPortOpener opener;
    com_.Open(testing::MemoryDeviceRegistry(), opener, messages_, board_.device());
    ASSERT_TRUE(messages_.shown.empty()) << messages_.shown.front();
    ASSERT_NE(com_.Port(), nullptr);
    engine_.m_hWndNotify = &sink_;
  }

  void TearDown() override {
    worker_.Stop();  // before the port closes
    com_.Close();
    EXPECT_EQ(board_.Stop(), 0) << "the board did not end cleanly on SIGTERM";
  }

  std::string Firmware() const { return testing::FirmwareOf(engine_); }
  std::string Serial() const { return testing::SerialOf(engine_); }

  testing::TempFolder folder_;  // outlives the board, which writes the record
  const std::string record_ = folder_.File("sent.bin");
  testing::BoardProcess board_;
  testing::RecordingMessageBox messages_;
  CCom com_;
  Published<CGpsData> gps_;
  // The worker reads its clock until TearDown stops it: the clocks outlive
  // every test body. The engine stamps on the machine's clock.
  SystemClock system_clock_;
  CEngine engine_{com_, gps_, system_clock_};
  std::unique_ptr<CParser> parser_ = std::make_unique<CParser>();
  testing::CountingSink sink_;
  LinkWorker worker_;
};

TEST_F(LinkOnBoard, IdentityAndLockedReportsFromTheDemoWalk) {
  StartBoard(
      {"--rate", "10", "--lock-after", "1", "--firmware", "9.87-e2e", "--serial", "S3R1AL42"});
  worker_.Start(com_, *parser_, engine_, system_clock_);
  engine_.SendStartupFrame();

  // The firmware answer proves the start-up frame went out; the serial
  // answer proves the engine's own type-2 request did. Each step needs the
  // one before, so a missing answer ends the test at once with its reason.
  ASSERT_TRUE(WaitUntil([&] { return Firmware() == "9.87-e2e"; }, 15s)) << Firmware();
  ASSERT_TRUE(WaitUntil([&] { return Serial() == "S3R1AL42"; }, 15s)) << Serial();

  // Reports arrive, first unlocked, then locked, all on the demo plan.
  ASSERT_TRUE(WaitUntil([&] { return gps_.Read().m_bFresh; }, 15s));
  ASSERT_TRUE(WaitUntil([&] { return gps_.Read().IsLocked(); }, 20s));
  const int seen = sink_.posts.load();
  ASSERT_TRUE(WaitUntil([&] { return sink_.posts.load() >= seen + 5; }, 15s));
  const CGpsData fix = gps_.Read();
  EXPECT_EQ(fix.m_fixMode, board::kFixMode3D);
  EXPECT_GE(fix.m_latB, 45.49757);
  EXPECT_LE(fix.m_latB, 45.5);
  EXPECT_GE(fix.m_lonB, 9.1);
  EXPECT_LE(fix.m_lonB, 9.104608);
  EXPECT_GE(fix.m_year, 2024);
  EXPECT_STREQ(fix.m_idTag, "VLKSIM");

  // What the handheld sent, as the board recorded it: the start-up frame
  // and then the serial-number request.
  const Bytes sent = testing::ReadAll(record_);
  const size_t startup = Find(sent, kStartupFrame);
  ASSERT_NE(startup, std::string::npos);
  EXPECT_NE(Find(sent, kSerialRequest, startup + kStartupFrame.size()), std::string::npos);
}

}  // namespace
}  // namespace velkaro
