#pragma once

// The wave player as a test hears it.

#include "platform/wave_player.h"
#include "tests/support/event_trail.h"

#include <string>
#include <vector>

namespace velkaro::testing {

// Plays nothing; records every name asked for, either way of playing. With
// a trail, each sound is logged there too ("wave async NAME" when the caller
// goes on at once, "wave wait NAME" when it waits for the end).
class RecordingWavePlayer : public IWavePlayer {
 public:
  RecordingWavePlayer() = default;
  // REQUIRES: `trail` outlives the player.
  explicit RecordingWavePlayer(EventTrail& trail) : trail_(&trail) {}

  void PlayAsync(const std::string& name) override {
    played.push_back(name);
    if (trail_ != nullptr) trail_->Add("wave async " + name);
  }
  void Play(const std::string& name) override {
    played.push_back(name);
    if (trail_ != nullptr) trail_->Add("wave wait " + name);
  }

  std::vector<std::string> played;

 private:
  EventTrail* trail_ = nullptr;
};

}  // namespace velkaro::testing
