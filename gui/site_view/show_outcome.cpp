#include "gui/site_view/show_outcome.h"

#include "gui/common/sound.h"
#include "platform/message_box.h"
#include "site/site_outcome.h"

namespace velkaro {

void ShowOutcome(const SiteOutcome& outcome, IMessageBox& messages, IWavePlayer& waves) {
  for (const std::string& text : outcome.messages()) messages.ShowOk(text);
  if (outcome.alarm()) PlayWave(waves, "REDALERT");
}

}  // namespace velkaro
