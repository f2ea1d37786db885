#include "tests/support/fake_serial_port.h"

#include <algorithm>
#include <cstring>

namespace velkaro::testing {

bool FakePort::ApplyLineSettings() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++settings_applied_;
  return accept_settings_;
}

uint32_t FakePort::BytesWaiting() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++polls_;
  return incoming_.empty() ? 0 : static_cast<uint32_t>(incoming_.front().size());
}

uint32_t FakePort::Read(uint8_t* dst, uint32_t max) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (incoming_.empty()) return 0;
  Bytes& chunk = incoming_.front();
  const uint32_t n = std::min<uint32_t>(max, static_cast<uint32_t>(chunk.size()));
  std::memcpy(dst, chunk.data(), n);
  chunk.erase(chunk.begin(), chunk.begin() + n);
  if (chunk.empty()) incoming_.pop_front();
  return n;
}

uint32_t FakePort::Write(const uint8_t* src, uint32_t length) {
  std::lock_guard<std::mutex> lock(mutex_);
  writes_.emplace_back(src, src + length);
  return length;
}

void FakePort::Purge(bool output, bool input) {
  std::lock_guard<std::mutex> lock(mutex_);
  purges_.emplace_back(output, input);
}

bool FakePort::Lost() {
  std::lock_guard<std::mutex> lock(mutex_);
  return lost_;
}

void FakePort::Queue(Bytes chunk) {
  // An empty chunk would stay in front for good: the worker reads only
  // when bytes wait.
  if (chunk.empty()) return;
  std::lock_guard<std::mutex> lock(mutex_);
  incoming_.push_back(std::move(chunk));
}

void FakePort::HangUp() {
  std::lock_guard<std::mutex> lock(mutex_);
  lost_ = true;
}

void FakePort::RefuseSettings() {
  std::lock_guard<std::mutex> lock(mutex_);
  accept_settings_ = false;
}

std::vector<Bytes> FakePort::Writes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return writes_;
}

Bytes FakePort::Written() const {
  std::lock_guard<std::mutex> lock(mutex_);
  Bytes all;
  for (const Bytes& w : writes_) all.insert(all.end(), w.begin(), w.end());
  return all;
}

std::vector<std::pair<bool, bool>> FakePort::Purges() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return purges_;
}

int FakePort::SettingsApplied() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return settings_applied_;
}

int FakePort::Polls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return polls_;
}

std::unique_ptr<ISerialPort> FakeOpener::Open(const std::string& name) {
  if (trail_ != nullptr) trail_->Add("open " + name);
  std::lock_guard<std::mutex> lock(mutex_);
  names_.push_back(name);
  if (fail_) return nullptr;
  std::unique_ptr<FakePort> port = std::move(next_);
  next_ = std::make_unique<FakePort>();
  last_ = port.get();
  return port;
}

void FakeOpener::SetFail(bool fail) {
  std::lock_guard<std::mutex> lock(mutex_);
  fail_ = fail;
}

FakePort& FakeOpener::Next() {
  std::lock_guard<std::mutex> lock(mutex_);
  return *next_;
}

FakePort* FakeOpener::Last() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return last_;
}

std::vector<std::string> FakeOpener::Names() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return names_;
}

}  // namespace velkaro::testing
