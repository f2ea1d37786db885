#include "link/link_worker.h"

#include "link/frame_pump.h"

#include <algorithm>

namespace velkaro {
LinkPass RunLinkWorkerPass(CCom& com, CParser& parser, CEngine& engine, IClock& clock,
                           LinkWorkerState& state) {
  uint8_t received[LinkWorkerState::kReceiveSize];
  ISerialPort* port = com.Port();
  if (port && port->Lost()) {
    com.Close();  // the next try to open it waits a while
    parser.Reset();
    state.next_reopen_ms = clock.NowMonotonicMs() + LinkWorkerState::kReopenEveryMs;
    return LinkPass::LineLost;
  }
  if (!port && state.opener) {
    const int64_t now_ms = clock.NowMonotonicMs();
    if (now_ms >= state.next_reopen_ms) {
      state.next_reopen_ms = now_ms + LinkWorkerState::kReopenEveryMs;
      if (com.Reopen(*state.opener)) {
        parser.Reset();
        engine.SendStartupFrame();
        return LinkPass::Reopened;
      }
    }
  }
  const uint32_t waiting = port ? port->BytesWaiting() : 0;
  if (waiting > 0) {
    const uint32_t got = port->Read(received, std::min(waiting, LinkWorkerState::kReceiveSize));
    PumpBytes(parser, received, got, [&engine](uint8_t type, const uint8_t* body, uint32_t length) {
      engine.HandleFrame(type, body, length);
    });
    return LinkPass::Received;
  }

  // A quiet pass: the line is ours to write.
  uint8_t pending[CCom::kTxSize];
  uint32_t pending_length = 0;
  if (com.TakeWrite(pending, &pending_length)) {
    // Without a port the request fails without a word, as any write error.
    if (port) port->Write(pending, pending_length);
    // The clock is not read again here: the write counts from the last
    // quiet pass that read it.
    state.lastActivity = state.now;
    return LinkPass::Wrote;
  }

  state.now = clock.NowSeconds();
  if (state.g_bFirstIdle) {
    state.g_bFirstIdle = false;
    state.lastActivity = state.now;
    return LinkPass::ClockStart;
  }
  if (state.now > state.lastActivity + LinkWorkerState::kKeepAliveSeconds) {
    state.lastActivity = state.now;
    engine.SendKeepAlive();  // written by the next quiet pass
    return LinkPass::KeepAlive;
  }
  clock.SleepMs(LinkWorkerState::kQuietSleepMs);
  return LinkPass::Slept;
}

int LinkWorkerProc(CCom& com, CParser& parser, CEngine& engine, IClock& clock,
                   LinkWorkerState& state) {
  parser.Reset();
  state.lastActivity = 0;
  state.now = 0;
  while (!state.g_bStopWorker.load(std::memory_order_acquire)) {
    RunLinkWorkerPass(com, parser, engine, clock, state);
  }
  return 0;
}

void LinkWorker::Start(CCom& com, CParser& parser, CEngine& engine, IClock& clock,
                       ISerialPortOpener* opener) {
  Stop();
  state_.g_bFirstIdle = true;
  state_.opener = opener;
  state_.next_reopen_ms = clock.NowMonotonicMs() + LinkWorkerState::kReopenEveryMs;
  state_.g_bStopWorker.store(false);
  com_ = &com;
  com.m_hClosedEvent.Reset();
  thread_ = std::thread([&com, &parser, &engine, &clock, this] {
    LinkWorkerProc(com, parser, engine, clock, state_);
  });
}

void LinkWorker::Stop() {
  if (!thread_.joinable()) return;
  state_.g_bStopWorker.store(true, std::memory_order_release);
  thread_.join();
  com_->m_hClosedEvent.Set();
  com_ = nullptr;
}

}  // namespace velkaro
