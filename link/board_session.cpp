#include "link/board_session.h"

namespace velkaro {

void BoardSession::Start(const IDeviceRegistry& registry, ISerialPortOpener& opener,
                         IMessageBox& messages, const std::string& port_override,
                         IBoardUpdateSink* sink) {
  link_.engine.m_hWndNotify.store(sink);
  link_.com.Open(registry, opener, messages, port_override);
  clock_.SleepMs(kStartupPauseMs);
  worker_.Start(link_.com, link_.parser, link_.engine, clock_, &opener);
  link_.engine.SendStartupFrame();
  clock_.SleepMs(kStartupPauseMs);
}

void BoardSession::Stop() {
  link_.engine.m_hWndNotify.store(nullptr);
  worker_.Stop();
}

}  // namespace velkaro
