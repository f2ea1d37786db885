#pragma once

#include "link/event.h"
#include "platform/device_registry.h"
#include "platform/message_box.h"
#include "platform/serial_port.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace velkaro {

// The port name the search falls back to when no card is found.
inline constexpr const char* kDefaultPortName = "COM1:";

// Looks for the board's port in the active-driver keys: first a card whose
// "PnpId" starts with "Quatech" or "CF-Serial_I-O" among the subkeys of
// "Drivers\Active", then, if none, a "PnpId" starting with "Socket" in
// "Drivers\Active\00" to "Drivers\Active\50". Returns that key's "Name", or
// "COM1:" when nothing matches. Registry text is narrowed to its low bytes
// and ends at its first NUL; a "Name" longer than 127 characters does not fit
// the port name and is passed over like a value that cannot be read.
std::string FindBoardPort(const IDeviceRegistry& registry);

// The serial link to the board. One instance for the program's run.
//
// Threads: Open and Close run on the UI thread while no worker runs.
// RequestWrite may be called from any thread; TakeWrite, Reopen and Port()
// are the link worker's. The transmit slot is guarded by a mutex: the last request
// before the worker takes the slot wins, and none is lost between the
// worker's take and the reset of the write event.
class CCom {
 public:
  static constexpr uint32_t kTxSize = 128;
  static constexpr size_t kMaxPortNameLength = 127;

  CCom();
  // Waits up to 1000 ms for a running link worker to stop (m_hClosedEvent),
  // then closes the port. Returns at once when no worker runs.
  virtual ~CCom();
  CCom(const CCom&) = delete;
  CCom& operator=(const CCom&) = delete;

  // Finds the board's port (or takes `port_override` when it is not empty),
  // opens it and applies the line settings. Failures are shown in
  // `messages` ("Cannot Open Connection To Board.", "Could not SetCommState")
  // and leave no port open. REQUIRES: no worker runs.
  void Open(const IDeviceRegistry& registry, ISerialPortOpener& opener, IMessageBox& messages,
            const std::string& port_override = "");

  // Parks the first min(length, 128) bytes in the transmit slot, replacing
  // any request the worker has not taken yet, and sets m_hWriteEvent. Never
  // waits for the line. Returns true.
  bool RequestWrite(const uint8_t* bytes, uint32_t length);

  // Worker side: when a request is pending, copies it to `out` (kTxSize
  // bytes), stores its length in `*length`, resets m_hWriteEvent and returns
  // true, all in one step under the slot's lock.
  bool TakeWrite(uint8_t* out, uint32_t* length);

  // The open port, or null. The pointer stays valid until Close().
  ISerialPort* Port() { return m_hPort.get(); }

  // Closes the port. REQUIRES: the link worker has stopped, or is the caller
  // (it closes a port that was lost).
  void Close();

  // Link worker side: closes the port and opens the name Open last used
  // again, with the line settings and nothing shown. True when a port is
  // open afterwards.
  bool Reopen(ISerialPortOpener& opener);

  // The name Open last tried ("COM1:" before any Open).
  const std::string& PortName() const { return port_name_; }

  std::unique_ptr<ISerialPort> m_hPort;
  // Set while a request waits in the slot.
  ManualResetEvent m_hWriteEvent;
  // Set while no link worker uses the port; the link worker resets it when it
  // starts and sets it once it has left its loop.
  ManualResetEvent m_hClosedEvent{true};
  uint8_t m_txBuffer[kTxSize] = {};
  uint32_t m_txLength = 0;

 private:
  std::mutex tx_mutex_;  // guards m_txBuffer, m_txLength and m_hWriteEvent changes
  std::string port_name_ = kDefaultPortName;
};

}  // namespace velkaro
