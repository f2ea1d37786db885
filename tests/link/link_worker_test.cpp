// The link worker, pass by pass, with a fake port and a fake clock: reading
// comes first, writes wait for a quiet pass, the keep-alive clock and a lost
// line; then on a real thread, and inside the board session, whose start-up
// and shut-down order (what the board sees and when the program pauses)
// decides whether the board answers.
#include "link/link_worker.h"

#include "link/board_session.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_serial_port.h"
#include "tests/support/link_helpers.h"
#include "tests/support/memory_device_registry.h"
#include "tests/support/recording_message_box.h"

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

namespace velkaro {
namespace {

using testing::Bytes;
using testing::CountingSink;
using testing::EventTrail;
using testing::FakeClock;
using testing::FakeOpener;
using testing::FakePort;
using testing::FrameOf;
using testing::kSerialRequest;
using testing::kStartupFrame;
using testing::MemoryDeviceRegistry;
using testing::RecordingMessageBox;

const Bytes kKeepAlive = {0x00, 0x00};

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
  FakeClock clock;
  CEngine engine{com, gps, clock};
  CountingSink sink;
  LinkWorkerState state;
};

Bytes GpsFrame(uint8_t month) {
  Bytes payload(152, 0);
  payload[4] = month;
  payload[129] = 0xE0;
  return FrameOf(25, payload);
}

// Two frames in one read both reach the engine, in order; a frame split
// over three reads completes in the last.
TEST_F(WorkerFixture, FramesReachTheEngineHoweverTheReadsSplitThem) {
  Bytes chunk = GpsFrame(3);
  const Bytes second = GpsFrame(4);
  chunk.insert(chunk.end(), second.begin(), second.end());
  port->Queue(chunk);
  EXPECT_EQ(Pass(), LinkPass::Received);
  EXPECT_EQ(sink.posts, 2);
  EXPECT_EQ(gps.Read().m_month, 4);
  EXPECT_EQ(parser.m_state, CParser::Idle);

  const Bytes frame = GpsFrame(9);
  port->Queue(Bytes(frame.begin(), frame.begin() + 100));
  port->Queue(Bytes(frame.begin() + 100, frame.end() - 1));
  port->Queue(Bytes(frame.end() - 1, frame.end()));
  EXPECT_EQ(Pass(), LinkPass::Received);
  EXPECT_EQ(Pass(), LinkPass::Received);
  EXPECT_EQ(sink.posts, 2);
  EXPECT_EQ(Pass(), LinkPass::Received);
  EXPECT_EQ(sink.posts, 3);
  EXPECT_EQ(gps.Read().m_month, 9);
}

TEST_F(WorkerFixture, WriteWaitsForAQuietPassAndIdentityIsRequested) {
  engine.SendStartupFrame();
  for (int i = 0; i < 3; ++i) port->Queue(GpsFrame(1));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Pass(), LinkPass::Received);
  EXPECT_TRUE(port->Writes().empty());
  EXPECT_EQ(Pass(), LinkPass::Wrote);
  ASSERT_EQ(port->Writes().size(), 1u);
  EXPECT_EQ(port->Writes()[0], kStartupFrame);

  // The board answers with its firmware; the worker itself asks for the serial.
  port->Queue(FrameOf(1, {'2', '.', '1', 0}));
  EXPECT_EQ(Pass(), LinkPass::Received);
  EXPECT_EQ(Pass(), LinkPass::Wrote);
  EXPECT_EQ(port->Writes().back(), kSerialRequest);
  EXPECT_EQ(testing::FirmwareOf(engine), "2.1");
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
  EXPECT_EQ(opener.Last()->Writes()[0], kStartupFrame);
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
  SystemClock clock;
  CEngine engine(*com, gps, clock);
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
  EXPECT_EQ(opener.Last()->Writes()[0], kStartupFrame);

  const auto start = std::chrono::steady_clock::now();
  com.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
}

struct BoardSessionTest : ::testing::Test {
  EventTrail log;
  // Logs the start-up pauses (taken on the test's thread) without waiting;
  // the worker's short naps, on its own thread, are slept for real.
  FakeClock clock{{.sleep_naps = true, .trail = &log}};
  BoardLink link{clock};
  FakeOpener opener{log};
  MemoryDeviceRegistry registry;
  RecordingMessageBox messages;
  CountingSink sink;
  BoardSession session{link, clock};
};

TEST_F(BoardSessionTest, OpensPausesStartsTheWorkerQueuesTheStartupFrameAndPausesAgain) {
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
  const std::vector<Bytes>& writes = opener.Last()->Writes();
  EXPECT_EQ(writes.empty() ? testing::TakeWrite(link.com) : writes.front(), kStartupFrame);
  session.Stop();  // idempotent
}

TEST_F(BoardSessionTest, GoesOnWithoutABoardWhenTheLineDoesNotOpen) {
  opener.SetFail(true);
  session.Start(registry, opener, messages, "", nullptr);
  EXPECT_EQ(log.Entries(), (std::vector<std::string>{"open COM1:", "sleep 2000", "sleep 2000"}));
  EXPECT_EQ(messages.shown, std::vector<std::string>{"Cannot Open Connection To Board."});
  EXPECT_TRUE(session.Running());
}

}  // namespace
}  // namespace velkaro
