// The board session's start-up and shut-down order, without Qt: what the
// board sees and when the program pauses decides whether it answers.
#include "link/board_session.h"

#include "tests/support/fake_clock.h"
#include "tests/support/fake_serial_port.h"
#include "tests/support/memory_device_registry.h"
#include "tests/support/recording_message_box.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace velkaro {
namespace {

using testing::Bytes;
using testing::EventTrail;
using testing::FakeClock;
using testing::FakeOpener;
using testing::MemoryDeviceRegistry;
using testing::RecordingMessageBox;

struct CountingSink : IBoardUpdateSink {
  void PostBoardUpdate() override { ++updates; }
  int updates = 0;
};

TEST(BoardSession, OpensPausesStartsTheWorkerQueuesTheStartupFrameAndPausesAgain) {
  EventTrail log;
  BoardLink link;
  // Logs the start-up pauses (taken on the test's thread) without waiting;
  // the worker's short naps, on its own thread, are slept for real.
  FakeClock clock({.sleep_naps = true, .trail = &log});
  FakeOpener opener(log);
  MemoryDeviceRegistry registry;
  RecordingMessageBox messages;
  CountingSink sink;
  BoardSession session(link, clock);

  session.Start(registry, opener, messages, "/dev/ttyFAKE", &sink);
  EXPECT_EQ(log.Entries(),
            (std::vector<std::string>{"open /dev/ttyFAKE", "sleep 2000", "sleep 2000"}));
  EXPECT_TRUE(session.Running());
  EXPECT_EQ(link.engine.m_hWndNotify.load(), &sink);
  EXPECT_TRUE(messages.shown.empty());

  session.Stop();
  EXPECT_FALSE(session.Running());
  EXPECT_EQ(link.engine.m_hWndNotify.load(), nullptr);
  // The start-up request was queued: the worker wrote it before it stopped,
  // or it still waits in the transmit slot. Both are read after the join.
  ASSERT_NE(opener.Last(), nullptr);
  Bytes first;
  if (!opener.Last()->Writes().empty()) {
    first = opener.Last()->Writes().front();
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
  EventTrail log;
  BoardLink link;
  FakeClock clock({.sleep_naps = true, .trail = &log});
  FakeOpener opener(log);
  opener.SetFail(true);
  MemoryDeviceRegistry registry;
  RecordingMessageBox messages;
  BoardSession session(link, clock);

  session.Start(registry, opener, messages, "", nullptr);
  EXPECT_EQ(log.Entries(), (std::vector<std::string>{"open COM1:", "sleep 2000", "sleep 2000"}));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0], "Cannot Open Connection To Board.");
  EXPECT_TRUE(session.Running());
}

}  // namespace
}  // namespace velkaro
