#include "link/gpsd_connection.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <gps.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace velkaro {
namespace {

using Clock = std::chrono::steady_clock;

// One non-blocking connection attempt to `info`, given up at `deadline`.
bool ConnectsBefore(const addrinfo& info, Clock::time_point deadline) {
  const int fd =
      ::socket(info.ai_family, info.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, info.ai_protocol);
  if (fd < 0) return false;
  bool connected = ::connect(fd, info.ai_addr, info.ai_addrlen) == 0;
  if (!connected && errno == EINPROGRESS) {
    pollfd p{fd, POLLOUT, 0};
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    int error = 0;
    socklen_t length = sizeof(error);
    connected = left > 0 && ::poll(&p, 1, static_cast<int>(left)) == 1 &&
                ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
  }
  ::close(fd);
  return connected;
}

// Whether something accepts connections at `address` within `timeout`.
bool Reachable(const GpsdAddress& address, std::chrono::milliseconds timeout) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(address.host.c_str(), address.port.c_str(), &hints, &found) != 0) return false;
  const auto deadline = Clock::now() + timeout;
  bool reachable = false;
  for (const addrinfo* info = found; info && !reachable && Clock::now() < deadline;
       info = info->ai_next) {
    reachable = ConnectsBefore(*info, deadline);
  }
  ::freeaddrinfo(found);
  return reachable;
}

// libgps reads with recv(): on a blocking socket it would wait for the rest
// of a half-received report for as long as gpsd takes to send it. The socket
// is made non-blocking (libgps 3.22 makes it so itself), so the wait stays
// ours, in slices Stop can interrupt. Keep-alive probes find a connection to
// a remote gpsd that died silently (a dropped network) within about half a
// minute, after which it is opened again like any lost connection.
bool Unblock(int fd) {
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) return false;
  const int on = 1, idle_s = 10, interval_s = 5, probes = 3;
  ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
  ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle_s, sizeof idle_s);
  ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval_s, sizeof interval_s);
  ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
  return true;
}

}  // namespace

GpsdConnection::GpsdConnection()
    : data_(std::make_unique<gps_data_t>()), report_buffer_(new char[kReportSize]()) {}

GpsdConnection::~GpsdConnection() { Close(); }

bool GpsdConnection::Open(const GpsdAddress& address, std::chrono::milliseconds timeout) {
  Close();
  if (!Reachable(address, timeout)) return false;
  std::memset(data_.get(), 0, sizeof(gps_data_t));
  if (::gps_open(address.host.c_str(), address.port.c_str(), data_.get()) != 0) return false;
  open_ = true;
  if (!Unblock(data_->gps_fd) ||
      ::gps_stream(data_.get(), WATCH_ENABLE | WATCH_JSON, nullptr) != 0) {
    Close();
    return false;
  }
  return true;
}

void GpsdConnection::Close() {
  if (!open_) return;
  ::gps_close(data_.get());
  open_ = false;
  report_ = {};
}

GpsdConnection::Result GpsdConnection::Next(std::chrono::milliseconds timeout) {
  // libgps keeps what it has read past a report, so ask it before waiting.
  const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(timeout).count();
  if (!::gps_waiting(data_.get(), static_cast<int>(micros))) return Result::kNothing;
  report_buffer_[0] = '\0';
  const int got = ::gps_read(data_.get(), report_buffer_.get(), kReportSize);
  if (got < 0) {
    Close();
    return Result::kClosed;
  }
  if (got == 0) {
    // Part of a report: libgps holds bytes, so it says a report is waiting
    // at once, every time. Wait on the socket itself for the rest instead of
    // spinning.
    pollfd p{data_->gps_fd, POLLIN, 0};
    ::poll(&p, 1, static_cast<int>(timeout.count()));
    return Result::kNothing;
  }
  report_ = std::string_view(report_buffer_.get(), ::strnlen(report_buffer_.get(), kReportSize));
  return Result::kReport;
}

}  // namespace velkaro
