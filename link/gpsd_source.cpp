#include "link/gpsd_source.h"


#include <chrono>
#include <csignal>
#include <future>
#include <pthread.h>

namespace velkaro {
namespace {

// libgps writes its requests with write(): a connection that gpsd has just
// closed would raise SIGPIPE and end the program. Blocked on this thread,
// the write fails with EPIPE instead and the connection is tried again.
void BlockBrokenPipe() {
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
}

}  // namespace

std::string GpsdSource::CannotConnectText(const GpsdAddress& address) {
  return "Cannot connect to gpsd at " + address.ToString() + ".";
}

void GpsdSource::Start(const GpsdAddress& address, IMessageBox& messages, IBoardUpdateSink* sink) {
  Stop();
  address_ = address;
  engine_.m_hWndNotify.store(sink);
  stop_.store(false);
  stopping_.Reset();
  // The worker makes every attempt; the first one's outcome is waited for
  // here so that a failure is reported while the program starts, as the
  // board's port is.
  std::promise<bool> first;
  std::future<bool> opened = first.get_future();
  worker_ = std::thread([this, first = std::move(first)]() mutable { Run(&first); });
  if (!opened.get()) messages.ShowOk(CannotConnectText(address_));
}

void GpsdSource::Stop() {
  engine_.m_hWndNotify.store(nullptr);
  if (worker_.joinable()) {
    stop_.store(true, std::memory_order_release);
    stopping_.Set();
    worker_.join();
  }
  connection_.Close();
  connected_.store(false);
}

void GpsdSource::Run(std::promise<bool>* first) {
  BlockBrokenPipe();
  const std::chrono::milliseconds retry(kRetryMs);
  while (!stop_.load(std::memory_order_acquire)) {
    if (!connection_.IsOpen()) {
      const bool opened = connection_.Open(address_);
      if (first) {
        first->set_value(opened);
        first = nullptr;
      }
      if (!opened) {
        stopping_.WaitFor(retry);
        continue;
      }
      connected_.store(true, std::memory_order_release);
    }
    if (reader_.Pump(connection_, stop_, *this) == GpsdReader::End::kClosed) {
      // gpsd went away, or was restarted: try again after the usual pause.
      connected_.store(false, std::memory_order_release);
      stopping_.WaitFor(retry);
    }
  }
}

void GpsdSource::OnFix(const CGpsData& record) { engine_.PublishFix(record); }

void GpsdSource::OnIdentity(const GpsdIdentity& identity) {
  engine_.SetIdentity(identity.firmware, identity.serial);
}

}  // namespace velkaro
