// The serial line on Linux: a termios device opened without blocking.
//
// The link worker polls: it asks how many bytes the driver holds, reads
// exactly those, and never waits on the port. The descriptor therefore stays
// O_NONBLOCK for its whole life, so even a read or write issued at the wrong
// moment returns at once instead of stalling the worker.
#include "platform/serial_port.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace velkaro {
namespace {

// A write that the driver cannot take at once (its output queue is full) is
// retried for at most this long in total, so a stuck line costs the worker a
// bounded pause and never a hang.
constexpr int kWriteRetryBudgetMs = 200;
constexpr int kWriteRetryStepMs = 10;

class TermiosSerialPort : public ISerialPort {
 public:
  explicit TermiosSerialPort(int fd) : fd_(fd) {}
  ~TermiosSerialPort() override { ::close(fd_); }
  TermiosSerialPort(const TermiosSerialPort&) = delete;
  TermiosSerialPort& operator=(const TermiosSerialPort&) = delete;

  bool ApplyLineSettings() override {
    termios tio{};
    if (::tcgetattr(fd_, &tio) != 0) return false;
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    // A read returns what is there, possibly nothing; the worker polls.
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (::cfsetispeed(&tio, B38400) != 0 || ::cfsetospeed(&tio, B38400) != 0) return false;
    if (::tcsetattr(fd_, TCSANOW, &tio) != 0) return false;

    // RTS raised, DTR lowered. A pseudo-terminal has no modem lines and
    // refuses both requests (ENOTTY or EINVAL); that is not a failure of the
    // line settings, so the results are deliberately not tested.
    int rts = TIOCM_RTS;
    int dtr = TIOCM_DTR;
    (void)::ioctl(fd_, TIOCMBIS, &rts);
    (void)::ioctl(fd_, TIOCMBIC, &dtr);
    return true;
  }

  uint32_t BytesWaiting() override {
    int count = 0;
    if (::ioctl(fd_, FIONREAD, &count) != 0) {
      NoteError(errno);
      return 0;
    }
    return count < 0 ? 0 : static_cast<uint32_t>(count);
  }

  uint32_t Read(uint8_t* dst, uint32_t max) override {
    for (;;) {
      ssize_t n = ::read(fd_, dst, max);
      // Bytes were said to be waiting: an end of file is a hang-up.
      if (n == 0 && max > 0) lost_ = true;
      if (n >= 0) return static_cast<uint32_t>(n);
      if (errno != EINTR) {
        NoteError(errno);
        return 0;
      }
    }
  }

  uint32_t Write(const uint8_t* src, uint32_t length) override {
    uint32_t done = 0;
    int waited_ms = 0;
    while (done < length) {
      ssize_t n = ::write(fd_, src + done, length - done);
      if (n > 0) {
        done += static_cast<uint32_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
        NoteError(errno);
        break;
      }
      if (waited_ms >= kWriteRetryBudgetMs) break;
      pollfd p{fd_, POLLOUT, 0};
      (void)::poll(&p, 1, kWriteRetryStepMs);
      waited_ms += kWriteRetryStepMs;
    }
    return done;
  }

  bool Lost() override {
    if (!lost_) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) lost_ = true;
    }
    return lost_;
  }

  void Purge(bool output, bool input) override {
    if (output && input) {
      ::tcflush(fd_, TCIOFLUSH);
    } else if (output) {
      ::tcflush(fd_, TCOFLUSH);
    } else if (input) {
      ::tcflush(fd_, TCIFLUSH);
    }
  }

 private:
  // Errors that say the line is gone, not that it is busy.
  void NoteError(int error) {
    if (error != EINTR && error != EAGAIN && error != EWOULDBLOCK) lost_ = true;
  }

  int fd_;
  bool lost_ = false;
};

}  // namespace

std::string DevicePathForPortName(const std::string& name) {
  // "COMn:" with n a positive decimal number; anything else is a path.
  if (name.size() < 5 || name.compare(0, 3, "COM") != 0 || name.back() != ':') return name;
  const std::string digits = name.substr(3, name.size() - 4);
  if (digits.empty() || digits.size() > 3) return name;
  for (char c : digits) {
    if (c < '0' || c > '9') return name;
  }
  const int n = std::atoi(digits.c_str());
  if (n < 1) return name;
  return "/dev/ttyS" + std::to_string(n - 1);
}

std::unique_ptr<ISerialPort> TermiosSerialPortOpener::Open(const std::string& name) {
  const std::string path = DevicePathForPortName(name);
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  return std::make_unique<TermiosSerialPort>(fd);
}

}  // namespace velkaro
