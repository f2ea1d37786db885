// The termios port on a real pseudo-terminal pair: the test holds the
// master, the port under test opens the slave by its path.
#include "platform/serial_port.h"

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

namespace velkaro {
namespace {

TEST(DevicePathForPortName, MapsComNamesAndPassesEverythingElseThrough) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"COM1:", "/dev/ttyS0"}, {"COM12:", "/dev/ttyS11"}, {"COM0:", "COM0:"},
      {"COM:", "COM:"},        {"COM1", "COM1"},          {"com1:", "com1:"},
      {"COM1x:", "COM1x:"},    {"COM-1:", "COM-1:"},      {"COM99999:", "COM99999:"},
      {"/dev/ttyUSB0", "/dev/ttyUSB0"}, {"", ""}};
  for (const auto& [name, path] : cases) EXPECT_EQ(DevicePathForPortName(name), path) << name;
  EXPECT_EQ(TermiosSerialPortOpener().Open("/nonexistent/velkaro-tty"), nullptr);
}

class PtyPort : public ::testing::Test {
 protected:
  void SetUp() override {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(master_, 0);
    ASSERT_EQ(::grantpt(master_), 0);
    ASSERT_EQ(::unlockpt(master_), 0);
    port_ = TermiosSerialPortOpener().Open(::ptsname(master_));
    ASSERT_NE(port_, nullptr);
    ASSERT_TRUE(port_->ApplyLineSettings());
  }
  void TearDown() override {
    port_.reset();
    if (master_ >= 0) ::close(master_);
  }

  // Waits (bounded) until the port reports at least `n` bytes waiting.
  uint32_t WaitForBytes(uint32_t n) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    uint32_t have = 0;
    while ((have = port_->BytesWaiting()) < n && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return have;
  }

  std::vector<uint8_t> ReadMaster(size_t n) {
    std::vector<uint8_t> got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (got.size() < n && std::chrono::steady_clock::now() < deadline) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      uint8_t buf[4096];
      const ssize_t r = ::read(master_, buf, sizeof buf);
      if (r > 0) got.insert(got.end(), buf, buf + r);
    }
    return got;
  }

  int master_ = -1;
  std::unique_ptr<ISerialPort> port_;
};

TEST_F(PtyPort, LineSettingsAreRawAt38400WithoutFlowControl) {
  // Read the settings back through the master's view of the same terminal.
  termios tio{};
  ASSERT_EQ(::tcgetattr(master_, &tio), 0);
  EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B38400));
  EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), 0u);
  EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(tio.c_oflag & OPOST, 0u);
}

TEST_F(PtyPort, BytesPassUnchangedBothWaysAndAnEmptyLineReadsAtOnce) {
  uint8_t none[16];
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(port_->Read(none, sizeof none), 0u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));

  // All 256 values, including the ones a cooked terminal would eat or
  // translate (CR, LF, ^C, ^S/^Q, DEL, 0x11 the frame marker).
  std::vector<uint8_t> sent(256);
  for (int i = 0; i < 256; ++i) sent[i] = static_cast<uint8_t>(i);
  ASSERT_EQ(::write(master_, sent.data(), sent.size()), 256);
  ASSERT_EQ(WaitForBytes(256), 256u);
  std::vector<uint8_t> got(300);
  got.resize(port_->Read(got.data(), static_cast<uint32_t>(got.size())));
  EXPECT_EQ(got, sent);
  EXPECT_EQ(port_->BytesWaiting(), 0u);

  EXPECT_EQ(port_->Write(sent.data(), 256), 256u);
  EXPECT_EQ(ReadMaster(256), sent);
}

TEST_F(PtyPort, WriteToAStalledLineGivesUpWithoutHanging) {
  // Nobody reads the master: the terminal's queue fills up, and the port
  // must return a short count within its retry budget instead of blocking.
  std::vector<uint8_t> big(1 << 20, 0x55);
  const auto start = std::chrono::steady_clock::now();
  const uint32_t n = port_->Write(big.data(), static_cast<uint32_t>(big.size()));
  EXPECT_LT(n, big.size());
  EXPECT_GT(n, 0u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST_F(PtyPort, PurgeDropsPendingInput) {
  const uint8_t noise[] = {1, 2, 3, 4, 5, 6, 7, 8};
  ASSERT_EQ(::write(master_, noise, sizeof noise), static_cast<ssize_t>(sizeof noise));
  ASSERT_EQ(WaitForBytes(sizeof noise), sizeof noise);
  port_->Purge(true, true);
  EXPECT_EQ(port_->BytesWaiting(), 0u);

  // The line still works after the purge.
  const uint8_t after[] = {0x42};
  ASSERT_EQ(::write(master_, after, 1), 1);
  ASSERT_EQ(WaitForBytes(1), 1u);
  uint8_t b = 0;
  EXPECT_EQ(port_->Read(&b, 1), 1u);
  EXPECT_EQ(b, 0x42);
}

}  // namespace
}  // namespace velkaro
