#pragma once

#include "platform/wave_player.h"

#include <map>
#include <memory>
#include <string>

class QSoundEffect;

namespace velkaro {

// The play length of a RIFF/WAVE image in milliseconds (the data chunk's
// size over the format's byte rate, rounded up); 0 for bytes that are not a
// wave the player could play.
int WaveLengthMs(const unsigned char* bytes, size_t size);

// Plays the waves embedded as ":/waves/NAME" with QSoundEffect. Without an
// audio server Qt stays silent and never reports the end of a sound, so a
// synchronous play waits for the wave's own length and no longer.
// UI thread only; the effects live as long as the player.
class QtWavePlayer : public IWavePlayer {
 public:
  QtWavePlayer();
  ~QtWavePlayer() override;

  void PlayAsync(const std::string& name) override;
  void Play(const std::string& name) override;
  // Drops the loaded effects; call before the QApplication goes away when
  // the player outlives it.
  void Release();

 private:
  struct Wave {
    std::unique_ptr<QSoundEffect> effect;
    int length_ms = 0;
  };
  // Null when the program carries no wave of that name.
  Wave* Find(const std::string& name);

  std::map<std::string, Wave> waves_;
};

}  // namespace velkaro
