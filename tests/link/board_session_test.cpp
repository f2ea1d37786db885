// The board session's start-up and shut-down order, without Qt: what the
// board sees and when the program pauses decides whether it answers.
#include "link/board_session.h"

#include "platform/device_registry.h"
#include "platform/message_box.h"
#include "tests/link/link_fakes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace velkaro {
namespace {

using testing::Bytes;
using testing::FakeOpener;

// Logs the start-up pauses (taken on the test's thread) without waiting;
// the worker's short naps, on its own thread, are slept for real.
class OrderClock : public IClock {
 public:
  explicit OrderClock(std::vector<std::string>& log) : log_(log) {}
  int64_t NowSeconds() override { return 1'700'000'000; }
  void SleepMs(int ms) override {
    if (ms >= 1000) {
      log_.push_back("sleep " + std::to_string(ms));
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
  }

 private:
  std::vector<std::string>& log_;
};

class LoggingOpener : public FakeOpener {
 public:
  explicit LoggingOpener(std::vector<std::string>& log) : log_(log) {}
  std::unique_ptr<ISerialPort> Open(const std::string& name) override {
    log_.push_back("open " + name);
    return FakeOpener::Open(name);
  }

 private:
  std::vector<std::string>& log_;
};

struct CountingSink : IBoardUpdateSink {
  void PostBoardUpdate() override { ++updates; }
  int updates = 0;
};

TEST(BoardSession, OpensPausesStartsTheWorkerQueuesTheStartupFrameAndPausesAgain) {
  std::vector<std::string> log;
  BoardLink link;
  OrderClock clock(log);
  LoggingOpener opener(log);
  MemoryDeviceRegistry registry;
  RecordingMessageBox messages;
  CountingSink sink;
  BoardSession session(link, clock);

  session.Start(registry, opener, messages, "/dev/ttyFAKE", &sink);
  EXPECT_EQ(log, (std::vector<std::string>{"open /dev/ttyFAKE", "sleep 2000", "sleep 2000"}));
  EXPECT_TRUE(session.Running());
  EXPECT_EQ(link.engine.m_hWndNotify.load(), &sink);
  EXPECT_TRUE(messages.shown.empty());

  session.Stop();
  EXPECT_FALSE(session.Running());
  EXPECT_EQ(link.engine.m_hWndNotify.load(), nullptr);
  // The start-up request was queued: the worker wrote it before it stopped,
  // or it still waits in the transmit slot. Both are read after the join.
  ASSERT_NE(opener.last, nullptr);
  Bytes first;
  if (!opener.last->written.empty()) {
    first = opener.last->written.front();
  } else {
    uint8_t slot[CCom::kTxSize];
    uint32_t length = 0;
    ASSERT_TRUE(link.com.TakeWrite(slot, &length));
    first.assign(slot, slot + length);
  }
  EXPECT_EQ(first, (Bytes{0x11, 0x12, 0x01, 0x00, 0x11, 0x13}));
  session.Stop();  // idempotent
}

TEST(BoardSession, GoesOnWithoutABoardWhenTheLineDoesNotOpen) {
  std::vector<std::string> log;
  BoardLink link;
  OrderClock clock(log);
  LoggingOpener opener(log);
  opener.port.reset();
  MemoryDeviceRegistry registry;
  RecordingMessageBox messages;
  BoardSession session(link, clock);

  session.Start(registry, opener, messages, "", nullptr);
  EXPECT_EQ(log, (std::vector<std::string>{"open COM1:", "sleep 2000", "sleep 2000"}));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0], "Cannot Open Connection To Board.");
  EXPECT_TRUE(session.Running());
}

}  // namespace
}  // namespace velkaro
