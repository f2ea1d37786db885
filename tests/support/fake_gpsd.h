#pragma once

// A stand-in for gpsd inside the test process: a listening socket on the
// loopback interface that the test drives line by line. No threads: the
// test calls it while the code under test runs its own.

#include <chrono>
#include <string>

namespace velkaro::testing {

class FakeGpsd {
 public:
  // Listens on `port` of 127.0.0.1 (0: any free port). Listening() tells
  // whether that worked.
  explicit FakeGpsd(int port = 0);
  ~FakeGpsd();
  FakeGpsd(const FakeGpsd&) = delete;
  FakeGpsd& operator=(const FakeGpsd&) = delete;

  bool Listening() const { return listener_ >= 0; }
  int Port() const { return port_; }

  // Waits at most `timeout` for the next client; it replaces the current one.
  bool Accept(std::chrono::milliseconds timeout);
  // Accepts clients until one asks for a watch ("?WATCH="), waiting at
  // most `timeout` in all; other clients (a reachability probe) are dropped.
  bool AcceptWatcher(std::chrono::milliseconds timeout);
  // What the client has sent so far, waiting at most `timeout` for `until`.
  std::string ReceivedUntil(const std::string& until, std::chrono::milliseconds timeout);
  // Sends `lines` to the client as they are.
  bool Send(const std::string& lines);
  // Closes the client's connection, as gpsd does when it stops.
  void HangUp();

 private:
  int listener_ = -1;
  int client_ = -1;
  int port_ = 0;
  std::string received_;
};

}  // namespace velkaro::testing
