#pragma once

#include "platform/wave_player.h"

namespace velkaro {

// Plays the program's wave `name` ("CAMERA", "PING", "WHOOSH", "REDALERT");
// a name without a wave plays nothing. PlayWaveAsync returns at once,
// PlayWave when the sound has ended. Neither reports a result.
inline void PlayWaveAsync(IWavePlayer& player, const char* name) { player.PlayAsync(name); }
inline void PlayWave(IWavePlayer& player, const char* name) { player.Play(name); }

}  // namespace velkaro
