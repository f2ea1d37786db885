#include "link/com.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace velkaro {

CCom::CCom() = default;

CCom::~CCom() {
  // Closing the port under a running worker would pull the line from under
  // its read. A stopped worker has set the event, so this does not wait.
  m_hClosedEvent.WaitFor(std::chrono::milliseconds(1000));
  Close();
}

void CCom::Open(const IDeviceRegistry& registry, ISerialPortOpener& opener, IMessageBox& messages,
                const std::string& port_override) {
  port_name_ = port_override.empty() ? FindBoardPort(registry) : port_override;
  m_hPort = opener.Open(port_name_);
  if (!m_hPort) {
    messages.ShowOk("Cannot Open Connection To Board.");
    return;
  }
  if (!m_hPort->ApplyLineSettings()) {
    m_hPort.reset();
    messages.ShowOk("Could not SetCommState");
    return;
  }
  // Whatever the driver held from before the board was ours is stale.
  m_hPort->Purge(/*output=*/true, /*input=*/false);
  m_hPort->Purge(/*output=*/false, /*input=*/true);
}

bool CCom::RequestWrite(const uint8_t* bytes, uint32_t length) {
  const uint32_t count = std::min(length, kTxSize);
  std::lock_guard<std::mutex> lock(tx_mutex_);
  if (count > 0) std::memcpy(m_txBuffer, bytes, count);
  m_txLength = count;
  m_hWriteEvent.Set();
  return true;
}

bool CCom::TakeWrite(uint8_t* out, uint32_t* length) {
  std::lock_guard<std::mutex> lock(tx_mutex_);
  if (!m_hWriteEvent.IsSet()) return false;
  std::memcpy(out, m_txBuffer, m_txLength);
  *length = m_txLength;
  m_hWriteEvent.Reset();
  return true;
}

void CCom::Close() { m_hPort.reset(); }

bool CCom::Reopen(ISerialPortOpener& opener) {
  m_hPort.reset();
  std::unique_ptr<ISerialPort> port = opener.Open(port_name_);
  if (!port || !port->ApplyLineSettings()) return false;
  port->Purge(/*output=*/true, /*input=*/true);
  m_hPort = std::move(port);
  return true;
}

}  // namespace velkaro
