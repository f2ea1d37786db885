#include "tests/support/fake_gpsd.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace velkaro::testing {
namespace {

int Listen(int port, int* bound_port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, 4) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(fd);
    return -1;
  }
  *bound_port = ntohs(address.sin_port);
  return fd;
}

int Millis(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

FakeGpsd::FakeGpsd(int port) { listener_ = Listen(port, &port_); }

FakeGpsd::~FakeGpsd() {
  HangUp();
  if (listener_ >= 0) ::close(listener_);
}

bool FakeGpsd::Accept(std::chrono::milliseconds timeout) {
  pollfd p{listener_, POLLIN, 0};
  if (listener_ < 0 || ::poll(&p, 1, static_cast<int>(timeout.count())) != 1) return false;
  const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
  if (client < 0) return false;
  HangUp();
  client_ = client;
  return true;
}

bool FakeGpsd::AcceptWatcher(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (Accept(std::chrono::milliseconds(Millis(deadline)))) {
    const std::string watch = "?WATCH=";
    if (ReceivedUntil(watch, std::chrono::milliseconds(Millis(deadline))).find(watch) !=
        std::string::npos) {
      return true;
    }
  }
  return false;
}

std::string FakeGpsd::ReceivedUntil(const std::string& until, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (client_ >= 0 && received_.find(until) == std::string::npos) {
    pollfd p{client_, POLLIN, 0};
    if (::poll(&p, 1, Millis(deadline)) != 1) break;
    char buffer[512];
    const ssize_t got = ::read(client_, buffer, sizeof buffer);
    if (got <= 0) break;
    received_.append(buffer, static_cast<size_t>(got));
  }
  return received_;
}

bool FakeGpsd::Send(const std::string& lines) {
  size_t done = 0;
  while (client_ >= 0 && done < lines.size()) {
    const ssize_t sent = ::send(client_, lines.data() + done, lines.size() - done, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    done += static_cast<size_t>(sent);
  }
  return done == lines.size();
}

void FakeGpsd::HangUp() {
  if (client_ >= 0) ::close(client_);
  client_ = -1;
  received_.clear();
}

}  // namespace velkaro::testing
