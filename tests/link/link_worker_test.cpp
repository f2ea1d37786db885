// The link worker, pass by pass, with a fake port and a fake clock: reading
// comes first, writes wait for a quiet pass, and the keep-alive clock.
#include "link/link_worker.h"

#include "tests/support/fake_clock.h"
#include "tests/support/fake_serial_port.h"
#include "tests/support/frames.h"
#include "tests/support/memory_device_registry.h"
#include "tests/support/recording_message_box.h"

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

namespace velkaro {
namespace {

using testing::Bytes;
using testing::FakeClock;
using testing::FakeOpener;
using testing::FakePort;
using testing::FrameOf;
using testing::MemoryDeviceRegistry;
using testing::RecordingMessageBox;

const Bytes kKeepAlive = {0x00, 0x00};

class CountingSink : public IBoardUpdateSink {
 public:
  void PostBoardUpdate() override { ++posts; }
  std::atomic<int> posts{0};
};

struct WorkerFixture : ::testing::Test {
  WorkerFixture() {
    MemoryDeviceRegistry registry;
    RecordingMessageBox messages;
    com.Open(registry, opener, messages, "/dev/fake");
    port = opener.Last();
    engine.m_hWndNotify = &sink;
    parser.Reset();
  }

  LinkPass Pass() { return RunLinkWorkerPass(com, parser, engine, clock, state); }

  FakeOpener opener;
  FakePort* port = nullptr;
  CCom com;
  CParser parser;
  Published<CGpsData> gps;
  CEngine engine{com, gps};
  CountingSink sink;
  FakeClock clock;
  LinkWorkerState state;
};

Bytes GpsFrame(uint8_t month) {
  Bytes payload(152, 0);
  payload[4] = month;
  payload[129] = 0xE0;
  return FrameOf(25, payload);
}

TEST_F(WorkerFixture, TwoFramesInOneReadBothReachTheEngineInOrder) {
  Bytes chunk = GpsFrame(3);
  const Bytes second = GpsFrame(4);
  chunk.insert(chunk.end(), second.begin(), second.end());
  port->Queue(chunk);
  EXPECT_EQ(Pass(), LinkPass::Received);
  EXPECT_EQ(sink.posts, 2);
  EXPECT_EQ(gps.Read().m_month, 4);
  EXPECT_EQ(parser.m_state, CParser::Idle);
}

TEST_F(WorkerFixture, FrameSplitOverReadsCompletesInTheLast) {
  const Bytes frame = GpsFrame(9);
  port->Queue(Bytes(frame.begin(), frame.begin() + 100));
  port->Queue(Bytes(frame.begin() + 100, frame.end() - 1));
  port->Queue(Bytes(frame.end() - 1, frame.end()));
  EXPECT_EQ(Pass(), LinkPass::Received);
  EXPECT_EQ(Pass(), LinkPass::Received);
  EXPECT_EQ(sink.posts, 0);
  EXPECT_EQ(Pass(), LinkPass::Received);
  EXPECT_EQ(sink.posts, 1);
  EXPECT_EQ(gps.Read().m_month, 9);
}

TEST_F(WorkerFixture, WriteWaitsForAQuietPassAndIdentityIsRequested) {
  engine.SendStartupFrame();
  for (int i = 0; i < 3; ++i) port->Queue(GpsFrame(1));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Pass(), LinkPass::Received);
  EXPECT_TRUE(port->Writes().empty());
  EXPECT_EQ(Pass(), LinkPass::Wrote);
  ASSERT_EQ(port->Writes().size(), 1u);
  EXPECT_EQ(port->Writes()[0], (Bytes{0x11, 0x12, 0x01, 0x00, 0x11, 0x13}));

  // The board answers with its firmware; the worker itself asks for the serial.
  port->Queue(FrameOf(1, {'2', '.', '1', 0}));
  EXPECT_EQ(Pass(), LinkPass::Received);
  EXPECT_EQ(Pass(), LinkPass::Wrote);
  EXPECT_EQ(port->Writes().back(), (Bytes{0x11, 0x12, 0x02, 0x00, 0x11, 0x13}));
  char firmware[CEngine::kFirmwareSize];
  engine.GetFirmware(firmware);
  EXPECT_STREQ(firmware, "2.1");
}

// The first quiet pass starts the clock; a reading exactly 10 s later sends
// nothing, 11 s later queues 00 00, and the pass after writes it.
TEST_F(WorkerFixture, KeepAliveAfterMoreThanTenQuietSeconds) {
  const int64_t t0 = clock.seconds;
  EXPECT_EQ(Pass(), LinkPass::ClockStart);
  EXPECT_EQ(state.lastActivity, t0);
  EXPECT_TRUE(port->Writes().empty());

  clock.seconds = t0 + 10;
  EXPECT_EQ(Pass(), LinkPass::Slept);
  EXPECT_EQ(clock.slept_ms, 5);

  clock.seconds = t0 + 11;
  EXPECT_EQ(Pass(), LinkPass::KeepAlive);
  EXPECT_TRUE(port->Writes().empty());
  EXPECT_EQ(Pass(), LinkPass::Wrote);
  EXPECT_EQ(port->Writes(), std::vector<Bytes>{kKeepAlive});
  EXPECT_EQ(state.lastActivity, t0 + 11);
}

// A write counts from the clock reading of the last quiet pass, not from a
// fresh reading, and received traffic never moves the clock.
TEST_F(WorkerFixture, WriteSetsActivityToLastQuietReading) {
  const int64_t t0 = clock.seconds;
  EXPECT_EQ(Pass(), LinkPass::ClockStart);
  clock.seconds = t0 + 7;
  EXPECT_EQ(Pass(), LinkPass::Slept);  // now = t0 + 7
  clock.seconds = t0 + 9;
  engine.SendStartupFrame();
  const int readings = clock.readings;
  EXPECT_EQ(Pass(), LinkPass::Wrote);
  EXPECT_EQ(clock.readings, readings);  // the write pass reads no clock
  EXPECT_EQ(state.lastActivity, t0 + 7);

  clock.seconds = t0 + 17;
  port->Queue(GpsFrame(1));
  EXPECT_EQ(Pass(), LinkPass::Received);
  EXPECT_EQ(state.lastActivity, t0 + 7);
  EXPECT_EQ(Pass(), LinkPass::Slept);  // 17 is not more than 7 + 10
  clock.seconds = t0 + 18;
  EXPECT_EQ(Pass(), LinkPass::KeepAlive);
}

TEST_F(WorkerFixture, WithoutAPortWritesAreDroppedAndKeepAlivesStillQueued) {
  com.Close();  // the fake port is gone with it
  port = nullptr;
  engine.SendStartupFrame();
  EXPECT_EQ(Pass(), LinkPass::Wrote);
  EXPECT_FALSE(com.m_hWriteEvent.IsSet());
  EXPECT_EQ(Pass(), LinkPass::ClockStart);
  clock.seconds += 11;
  EXPECT_EQ(Pass(), LinkPass::KeepAlive);
  EXPECT_TRUE(com.m_hWriteEvent.IsSet());
}

// A board that is unplugged hangs its line up: the worker closes the port,
// waits about a second (trying no sooner, so a dead line costs no spinning),
// opens the same name again and asks the new board who it is.
TEST_F(WorkerFixture, ALostLineIsClosedAndOpenedAgainAboutOnceASecond) {
  state.opener = &opener;
  port->Queue({0x11, 0x12, 0x19});  // half a frame, then the line dies
  EXPECT_EQ(Pass(), LinkPass::Received);
  port->HangUp();
  EXPECT_EQ(Pass(), LinkPass::LineLost);
  EXPECT_EQ(com.Port(), nullptr);
  EXPECT_EQ(parser.m_state, CParser::Idle) << "the half frame must not join the next line's bytes";

  // No board yet: no try before a second has passed, then one a second.
  opener.SetFail(true);
  clock.ahead_ms += LinkWorkerState::kReopenEveryMs - 1;
  EXPECT_EQ(Pass(), LinkPass::ClockStart);
  EXPECT_EQ(opener.Names().size(), 1u);
  clock.ahead_ms += 1;
  EXPECT_EQ(Pass(), LinkPass::Slept);
  EXPECT_EQ(opener.Names().size(), 2u);
  EXPECT_EQ(Pass(), LinkPass::Slept);
  EXPECT_EQ(opener.Names().size(), 2u);

  // The board is back behind the same name.
  opener.SetFail(false);
  clock.ahead_ms += LinkWorkerState::kReopenEveryMs;
  EXPECT_EQ(Pass(), LinkPass::Reopened);
  EXPECT_EQ(opener.Names(), (std::vector<std::string>{"/dev/fake", "/dev/fake", "/dev/fake"}));
  ASSERT_NE(com.Port(), nullptr);
  EXPECT_EQ(opener.Last()->SettingsApplied(), 1);
  EXPECT_EQ(Pass(), LinkPass::Wrote);
  ASSERT_EQ(opener.Last()->Writes().size(), 1u);
  EXPECT_EQ(opener.Last()->Writes()[0], (Bytes{0x11, 0x12, 0x01, 0x00, 0x11, 0x13}));
}

// Without an opener (tools that read a capture) a lost line stays closed.
TEST_F(WorkerFixture, WithoutAnOpenerALostLineStaysClosed) {
  port->HangUp();
  EXPECT_EQ(Pass(), LinkPass::LineLost);
  clock.ahead_ms += 10 * LinkWorkerState::kReopenEveryMs;
  EXPECT_EQ(Pass(), LinkPass::ClockStart);
  EXPECT_EQ(opener.Names().size(), 1u);
}

// A real thread: the loop runs against the fake port until stopped, the
// port closes only afterwards, and the link's destructor does not pause.
TEST(LinkWorkerThread, StopEndsTheLoopBeforeThePortCloses) {
  auto com = std::make_unique<CCom>();
  FakeOpener opener;
  MemoryDeviceRegistry registry;
  RecordingMessageBox messages;
  com->Open(registry, opener, messages, "/dev/fake");
  CParser parser;
  Published<CGpsData> gps;
  CEngine engine(*com, gps);
  SystemClock clock;
  LinkWorker worker;
  worker.Start(*com, parser, engine, clock);
  EXPECT_TRUE(worker.Running());
  EXPECT_FALSE(com->m_hClosedEvent.IsSet());
  engine.SendStartupFrame();
  // The port may be read while the worker runs; how soon the worker gets to
  // the write depends on the machine's load, so wait for it (bounded).
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (opener.Last()->Writes().empty() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  worker.Stop();
  worker.Stop();  // idempotent
  EXPECT_FALSE(worker.Running());
  EXPECT_TRUE(com->m_hClosedEvent.IsSet());
  ASSERT_EQ(opener.Last()->Writes().size(), 1u);
  EXPECT_EQ(opener.Last()->Writes()[0], (Bytes{0x11, 0x12, 0x01, 0x00, 0x11, 0x13}));

  const auto start = std::chrono::steady_clock::now();
  com.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
}

}  // namespace
}  // namespace velkaro
