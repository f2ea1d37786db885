// The board unplugged and another plugged in behind the same name, for real:
// the simulator on a pseudo-terminal reached through a symbolic link (as
// /dev/serial/by-id names an adapter), killed, and a new one started behind
// the link. The worker notices the hang-up, closes the line, opens the same
// name again within a few seconds and asks the new board who it is, while
// the fix goes stale in between.
#include "link/board_session.h"
#include "platform/clock.h"
#include "platform/serial_port.h"
#include "tests/support/child_process.h"
#include "tests/support/fake_clock.h"
#include "tests/support/link_helpers.h"
#include "tests/support/memory_device_registry.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/temp_folder.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <unistd.h>

#include <gtest/gtest.h>

namespace velkaro {
namespace {

using namespace std::chrono_literals;
using testing::WaitUntil;

// Points `link` at `target`, replacing any earlier link in one rename.
void PointLink(const std::string& link, const std::string& target) {
  const std::string staging = link + ".new";
  std::remove(staging.c_str());
  ASSERT_EQ(::symlink(target.c_str(), staging.c_str()), 0);
  ASSERT_EQ(std::rename(staging.c_str(), link.c_str()), 0);
}

TEST(LineLost, TheSameNameIsOpenedAgainAndTheNewBoardIdentified) {
  testing::TempFolder folder;
  const std::string link = folder.File("board");
  testing::BoardProcess first;
  std::string error;
  ASSERT_TRUE(first.Start(VELKARO_BIN_DIR "/velkaro-board",
                          {"--rate", "10", "--lock-after", "0", "--serial", "FIRST1"}, 10s, &error))
      << error;
  PointLink(link, first.device());

  // The machine's time without the start-up pauses, which only cost the
  // test time.
  testing::FakeClock clock({.system_time = true, .sleep_naps = true});
  BoardLink board{clock};
  TermiosSerialPortOpener opener;
  testing::MemoryDeviceRegistry registry;
  testing::RecordingMessageBox messages;
  BoardSession session(board, clock);
  session.Start(registry, opener, messages, link, nullptr);
  ASSERT_TRUE(messages.shown.empty()) << messages.shown.front();
  ASSERT_TRUE(WaitUntil([&] { return testing::SerialOf(board.engine) == "FIRST1"; }, 10s));
  ASSERT_TRUE(WaitUntil([&] { return board.gps.Read().IsLockedAt(clock.NowMonotonicMs()); }, 10s));

  // Unplugged: the fix goes stale, nothing is shown as live.
  first.Stop();
  ASSERT_TRUE(WaitUntil([&] { return !board.gps.Read().IsLockedAt(clock.NowMonotonicMs()); }, 10s));

  testing::BoardProcess second;
  ASSERT_TRUE(second.Start(VELKARO_BIN_DIR "/velkaro-board",
                           {"--rate", "10", "--lock-after", "0", "--serial", "SECOND"}, 10s,
                           &error))
      << error;
  PointLink(link, second.device());
  EXPECT_TRUE(WaitUntil([&] { return testing::SerialOf(board.engine) == "SECOND"; }, 15s))
      << "the line was not opened again, or the new board not asked";
  EXPECT_TRUE(WaitUntil([&] { return board.gps.Read().IsLockedAt(clock.NowMonotonicMs()); }, 10s));

  session.Stop();
  board.com.Close();
}

}  // namespace
}  // namespace velkaro
