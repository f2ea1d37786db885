#pragma once

#include <string>

namespace velkaro {

// Plays the program's wave resources by name ("CAMERA", "PING", "WHOOSH",
// "REDALERT"). A name without a resource plays nothing; neither call reports
// a result, and neither may fail or hang where there is no audio device.
class IWavePlayer {
 public:
  virtual ~IWavePlayer() = default;
  // Starts the sound and returns at once.
  virtual void PlayAsync(const std::string& name) = 0;
  // Returns when the sound has ended (at most the wave's own length).
  virtual void Play(const std::string& name) = 0;
};

}  // namespace velkaro
