#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace velkaro {

// One open serial line. Only the link worker reads and writes it once it runs;
// nothing here blocks for longer than the driver's write needs.
class ISerialPort {
 public:
  virtual ~ISerialPort() = default;
  // Applies the board's line settings: 38400 baud, 8 data bits, no parity,
  // 1 stop bit, raw bytes, no flow control, RTS raised, DTR lowered, and the
  // read timeouts. Returns false when the driver refuses the settings. A
  // refusal of the modem-line controls alone (a pseudo-terminal) is not one.
  virtual bool ApplyLineSettings() = 0;
  // Number of received bytes the driver holds now.
  virtual uint32_t BytesWaiting() = 0;
  // Reads at most `max` bytes that are already waiting; returns how many.
  virtual uint32_t Read(uint8_t* dst, uint32_t max) = 0;
  // Writes `length` bytes; returns how many the driver took.
  virtual uint32_t Write(const uint8_t* src, uint32_t length) = 0;
  // Discards pending output and/or pending input.
  virtual void Purge(bool output, bool input) = 0;
  // True once the line has failed for good: hung up (the board or its
  // adapter is gone), or a byte count, read or write failed with an error
  // such as EIO, ENXIO or ENODEV. Such a port is to be closed and opened
  // again; nothing read from it counts.
  virtual bool Lost() { return false; }
};

// Opens a port by its design name. Tests give the link a fake opener.
class ISerialPortOpener {
 public:
  virtual ~ISerialPortOpener() = default;
  // Returns null when the port does not open.
  virtual std::unique_ptr<ISerialPort> Open(const std::string& name) = 0;
};

// The machine's serial devices: "COMn:" is /dev/ttyS(n-1); any other name is
// taken as a device path.
class TermiosSerialPortOpener : public ISerialPortOpener {
 public:
  std::unique_ptr<ISerialPort> Open(const std::string& name) override;
};

// "COM1:" -> "/dev/ttyS0"; a name that is not "COMn:" comes back unchanged.
std::string DevicePathForPortName(const std::string& name);

}  // namespace velkaro
