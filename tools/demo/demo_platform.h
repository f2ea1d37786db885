#pragma once

// The platform services as the scripted demo drives them: it answers the
// dialogs itself, prints every message, never waits out the start-up pauses
// and, for the screenshots, listens on a line no board speaks on.

#include "platform/clock.h"
#include "platform/file_prompt.h"
#include "platform/message_box.h"
#include "platform/serial_port.h"
#include "platform/wave_player.h"

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velkaro::demo {

using Say = std::function<void(const std::string&)>;

// The demo runs where there may be no audio device and says what happens in
// words: its sounds play nothing.
class SilentWaves : public IWavePlayer {
 public:
  void PlayAsync(const std::string&) override {}
  void Play(const std::string&) override {}
};

// Prints each message and question through `say` and keeps them in order;
// answers No unless `answer_yes` is set.
class ScriptMessageBox : public IMessageBox {
 public:
  explicit ScriptMessageBox(Say say) : say_(std::move(say)) {}
  void ShowOk(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;

  std::vector<std::string> shown;
  std::vector<std::string> asked;
  bool answer_yes = false;

 private:
  Say say_;
};

// Answers each file dialog with the next queued path; an empty queue cancels.
class ScriptFilePrompt : public IFilePrompt {
 public:
  std::optional<std::string> OpenFile(const std::string& title, const std::string& filter,
                                      const std::string& default_ext) override;
  std::optional<std::string> SaveFile(const std::string& title, const std::string& filter,
                                      const std::string& default_ext,
                                      bool overwrite_prompt,
                                      const std::string& proposed_name) override;

  std::deque<std::string> answers;

 private:
  std::optional<std::string> Next();
};

// The machine's time, but the start-up pauses (a second or more) are skipped:
// a script has nobody to read the screens they leave up. The link worker's
// short naps are slept, so that it does not spin. Thread-safe.
class ScriptClock : public IClock {
 public:
  static constexpr int kSkippedPauseMs = 1000;
  int64_t NowSeconds() override;
  int64_t NowMonotonicMs() override;
  void SleepMs(int milliseconds) override;
};

// Opens every name to a line that takes what is written and never answers.
class SilentLineOpener : public ISerialPortOpener {
 public:
  std::unique_ptr<ISerialPort> Open(const std::string& name) override;
};

}  // namespace velkaro::demo
