#include "tools/board/board_line.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace velkaro::board {
namespace {

bool MakeRaw(int fd, int baud) {
  const speed_t speed = baud == 4800 ? B4800 : B38400;
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) return false;
  ::cfmakeraw(&tio);
  tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS | CSTOPB | PARENB);
  tio.c_cflag |= CLOCAL | CREAD | CS8;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  ::cfsetispeed(&tio, speed);
  ::cfsetospeed(&tio, speed);
  return ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

std::string Reason(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

}  // namespace

BoardLine::~BoardLine() {
  if (slave_fd_ >= 0) ::close(slave_fd_);
  if (fd_ >= 0) ::close(fd_);
}

bool BoardLine::OpenPseudoTerminal(std::string* error) {
  fd_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) {
    *error = Reason("cannot open a pseudo-terminal");
    return false;
  }
  char name[128];
  if (::grantpt(fd_) != 0 || ::unlockpt(fd_) != 0 || ::ptsname_r(fd_, name, sizeof name) != 0) {
    *error = Reason("cannot set up the pseudo-terminal");
    return false;
  }
  path_ = name;
  slave_fd_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (slave_fd_ < 0 || !MakeRaw(slave_fd_, baud_) || (shared_ && ::fchmod(slave_fd_, 0666) != 0)) {
    *error = Reason("cannot set up the pseudo-terminal");
    return false;
  }
  return true;
}

bool BoardLine::OpenDevice(const std::string& path, std::string* error) {
  fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) {
    *error = Reason(("cannot open " + path).c_str());
    return false;
  }
  if (!MakeRaw(fd_, baud_)) {
    *error = Reason(("cannot apply the line settings to " + path).c_str());
    return false;
  }
  path_ = path;
  return true;
}

}  // namespace velkaro::board
