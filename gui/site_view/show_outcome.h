#pragma once

namespace velkaro {

class IMessageBox;
class IWavePlayer;
class SiteOutcome;

// Shows what a site operation said: each text in an OK box, in order, then
// the "REDALERT" alarm when it is due, played to its end. UI thread.
void ShowOutcome(const SiteOutcome& outcome, IMessageBox& messages, IWavePlayer& waves);

}  // namespace velkaro
