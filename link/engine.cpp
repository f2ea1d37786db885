#include "link/engine.h"

#include "link/board_message.h"
#include "platform/clock.h"

#include <algorithm>
#include <cstring>

namespace velkaro {
namespace {

using board::kRequestSerial;
using board::kTypeAcknowledge;
using board::kTypeFirmware;
using board::kTypePosition;
using board::kTypeSerial;

// Clears a guard flag when the handler leaves by any path.
class GuardRelease {
 public:
  explicit GuardRelease(std::atomic<bool>& flag) : flag_(flag) {}
  ~GuardRelease() { flag_.store(false, std::memory_order_release); }
  GuardRelease(const GuardRelease&) = delete;
  GuardRelease& operator=(const GuardRelease&) = delete;

 private:
  std::atomic<bool>& flag_;
};

}  // namespace

CEngine::CEngine(CCom& com, Published<CGpsData>& gps, IClock& clock)
    : com_(com), gps_(gps), clock_(clock) {}

bool CEngine::CheckFrame(uint8_t type, const uint8_t* body, uint32_t length) {
  uint8_t x = type;
  for (uint32_t i = 0; i < length; ++i) x ^= body[i];
  return x == 0;
}

bool CEngine::HandleFrame(uint8_t type, const uint8_t* body, uint32_t length) {
  if (m_bInHandleFrame.exchange(true, std::memory_order_acquire)) return false;
  GuardRelease release(m_bInHandleFrame);

  if (!CheckFrame(type, body, length)) return false;
  switch (type) {
    case kTypeFirmware:
      StoreFirmware(body, length);
      SendFrame(kRequestSerial, nullptr, 0);
      break;
    case kTypeSerial:
      StoreSerial(body, length);
      break;
    case kTypePosition:
      DecodeGps(body, length);
      break;
    case kTypeAcknowledge:
    default:
      break;
  }
  return true;
}

// The text runs to its first zero byte; a body without one is taken whole,
// check byte included, as the board's texts have always been read. A text
// longer than the field is cut so that its zero still fits.
void CEngine::StoreFirmware(const uint8_t* body, uint32_t length) {
  const uint32_t limit = std::min(length, kFirmwareSize - 1);
  const void* zero = std::memchr(body, 0, limit);
  const uint32_t count =
      zero ? static_cast<uint32_t>(static_cast<const uint8_t*>(zero) - body) : limit;
  std::lock_guard<std::mutex> lock(texts_mutex_);
  std::memcpy(m_szFirmware, body, count);
  m_szFirmware[count] = '\0';
}

void CEngine::StoreSerial(const uint8_t* body, uint32_t length) {
  const uint32_t limit = std::min(length, kMaxSerialChars);
  std::lock_guard<std::mutex> lock(texts_mutex_);
  std::memset(m_szSerial, 0, sizeof(m_szSerial));
  for (uint32_t i = 0; i < limit && body[i] != 0; ++i) m_szSerial[i] = static_cast<char>(body[i]);
}

// Decodes into the worker's own copy and publishes it whole. A body shorter than the
// payload reads as if zeros followed it.
void CEngine::DecodeGps(const uint8_t* body, uint32_t length) {
  uint8_t payload[CGpsData::kPayloadSize] = {};
  std::memcpy(payload, body, std::min<uint32_t>(length, CGpsData::kPayloadSize));
  decoded_.Decode(payload);
  PublishFix(decoded_);
}

void CEngine::PublishFix(CGpsData record) {
  record.m_receivedMs = clock_.NowMonotonicMs();
  gps_.Publish(record);
  if (IBoardUpdateSink* sink = m_hWndNotify.load(std::memory_order_acquire)) {
    sink->PostBoardUpdate();
  }
}

void CEngine::SetIdentity(const std::string& firmware, const std::string& serial) {
  std::lock_guard<std::mutex> lock(texts_mutex_);
  if (!firmware.empty()) {
    const std::size_t count = std::min<std::size_t>(firmware.size(), kFirmwareSize - 1);
    std::memcpy(m_szFirmware, firmware.data(), count);
    m_szFirmware[count] = '\0';
  }
  if (!serial.empty()) {
    std::memset(m_szSerial, 0, sizeof(m_szSerial));
    std::memcpy(m_szSerial, serial.data(), std::min<std::size_t>(serial.size(), kSerialSize - 1));
  }
}

void CEngine::GetFirmware(char* out) const {
  std::lock_guard<std::mutex> lock(texts_mutex_);
  std::memcpy(out, m_szFirmware, std::strlen(m_szFirmware) + 1);
}

void CEngine::GetSerial(char* out) const {
  std::lock_guard<std::mutex> lock(texts_mutex_);
  std::memcpy(out, m_szSerial, std::strlen(m_szSerial) + 1);
}

}  // namespace velkaro
