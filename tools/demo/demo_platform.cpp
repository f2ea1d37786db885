#include "tools/demo/demo_platform.h"

#include <chrono>
#include <thread>

namespace velkaro::demo {
namespace {

class SilentLine : public ISerialPort {
 public:
  bool ApplyLineSettings() override { return true; }
  uint32_t BytesWaiting() override { return 0; }
  uint32_t Read(uint8_t*, uint32_t) override { return 0; }
  uint32_t Write(const uint8_t*, uint32_t length) override { return length; }
  void Purge(bool, bool) override {}
};

}  // namespace

void ScriptMessageBox::ShowOk(const std::string& text) {
  shown.push_back(text);
  say_("message: \"" + text + "\"");
}

bool ScriptMessageBox::AskYesNo(const std::string& text) {
  asked.push_back(text);
  const bool yes = answer_yes;
  say_("question: \"" + text + "\" -> " + (yes ? "Yes" : "No"));
  return yes;
}

std::optional<std::string> ScriptFilePrompt::OpenFile(const std::string&, const std::string&,
                                                      const std::string&) {
  return Next();
}

std::optional<std::string> ScriptFilePrompt::SaveFile(const std::string&, const std::string&,
                                                      const std::string&, bool,
                                                      const std::string&) {
  return Next();
}

std::optional<std::string> ScriptFilePrompt::Next() {
  if (answers.empty()) return std::nullopt;
  std::string answer = std::move(answers.front());
  answers.pop_front();
  return answer;
}

int64_t ScriptClock::NowSeconds() { return SystemClock().NowSeconds(); }

int64_t ScriptClock::NowMonotonicMs() { return SystemClock().NowMonotonicMs(); }

void ScriptClock::SleepMs(int milliseconds) {
  if (milliseconds > 0 && milliseconds < kSkippedPauseMs)
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::unique_ptr<ISerialPort> SilentLineOpener::Open(const std::string&) {
  return std::make_unique<SilentLine>();
}

}  // namespace velkaro::demo
