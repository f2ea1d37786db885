#pragma once

#include "link/com.h"
#include "link/gps_data.h"
#include "link/published.h"
#include "platform/clock.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace velkaro {

// The board-update message the main frame receives after each GPS frame.
constexpr unsigned WM_BOARD_UPDATE = 32868;

// Told after every accepted GPS frame. Called on the link worker thread; it
// must not block (the GUI posts its board-update message from it).
class IBoardUpdateSink {
 public:
  virtual ~IBoardUpdateSink() = default;
  virtual void PostBoardUpdate() = 0;
};

// Gives meaning to the frames the parser cuts out: tests the check byte,
// keeps the board's identity texts, decodes GPS frames into the published
// record, answers the firmware report with the serial-number request, and
// builds the frames the handheld sends.
//
// Threads: HandleFrame runs on the link worker. GetFirmware and GetSerial
// may be called from any thread: the texts are written and read under the
// engine's mutex. The GPS record is published whole through `gps`.
// Lifetimes: `com`, `gps` and `clock` must outlive the engine.
class CEngine {
 public:
  static constexpr uint32_t kSerialSize = 32;
  static constexpr uint32_t kFirmwareSize = 237;
  static constexpr uint32_t kMaxSerialChars = 8;

  CEngine(CCom& com, Published<CGpsData>& gps, IClock& clock);
  virtual ~CEngine() = default;
  CEngine(const CEngine&) = delete;
  CEngine& operator=(const CEngine&) = delete;

  // The check rule: the exclusive-or of the type and every body byte
  // (payload and check byte) is 0. An empty body never passes.
  static bool CheckFrame(uint8_t type, const uint8_t* body, uint32_t length);

  // Handles one unescaped frame body (payload, then check byte). Returns
  // true when the frame was accepted (it passed the check and no other
  // HandleFrame was running); frames of unknown types are accepted and have
  // no effect. Reads no byte of `body` past `length`.
  bool HandleFrame(uint8_t type, const uint8_t* body, uint32_t length);

  // Copy the identity texts with their terminating zero. `out` must hold
  // kFirmwareSize / kSerialSize bytes.
  void GetFirmware(char* out) const;
  void GetSerial(char* out) const;

  // Replaces the identity texts from a source other than the board (gpsd's
  // device report), each cut to fit its field; an empty text leaves its
  // field as it is. May be called from any thread.
  void SetIdentity(const std::string& firmware, const std::string& serial);

  // Stamps `record` with its arrival on the clock, publishes it whole and
  // posts a board update to m_hWndNotify: the one path of every position,
  // the board's frames and gpsd's reports alike. Called on the thread that
  // reads the position source; one source runs at a time.
  void PublishFix(CGpsData record);

  // Encodes one frame (check position 00) and queues it on the link.
  // Returns false, queuing nothing, when the encoded frame would not fit
  // the 128-byte transmit slot.
  bool SendFrame(uint8_t type, const uint8_t* payload, uint32_t length);
  // The start-up request: frame type 1, no payload (11 12 01 00 11 13).
  bool SendStartupFrame();
  // The keep-alive: 00 00, raw, outside any frame.
  bool SendKeepAlive();

  // Where GPS updates are posted; null until the main frame sets it, which
  // it does before the link worker starts.
  std::atomic<IBoardUpdateSink*> m_hWndNotify{nullptr};
  // Guards against HandleFrame running twice at once: a second call is
  // dropped whole.
  std::atomic<bool> m_bInHandleFrame{false};
  // The identity texts. Read them through GetFirmware and GetSerial, which
  // take the lock the worker writes them under.
  char m_szSerial[kSerialSize] = "XXXXXX";
  char m_szFirmware[kFirmwareSize] = "0.00";

 private:
  void StoreFirmware(const uint8_t* body, uint32_t length);
  void StoreSerial(const uint8_t* body, uint32_t length);
  void DecodeGps(const uint8_t* body, uint32_t length);

  CCom& com_;
  Published<CGpsData>& gps_;
  IClock& clock_;
  CGpsData decoded_;                // the worker's copy: decoded here, then published whole
  mutable std::mutex texts_mutex_;  // guards m_szSerial and m_szFirmware
};

}  // namespace velkaro
