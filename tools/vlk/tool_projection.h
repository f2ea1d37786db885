#pragma once

#include "link/gps_data.h"
#include "link/published.h"
#include "platform/message_box.h"
#include "platform/wave_player.h"
#include "site/site_projection.h"

namespace velkaro::vlk {

// The site model as the tools run it: taps come from a file, not from a live
// position; the program's messages go to standard error; nothing sounds.
struct ToolProjection {
  Published<CGpsData> no_gps;
  StderrMessageBox messages;
  SilentWavePlayer waves;
  CSiteProjection projection{no_gps, messages, waves};
};

}  // namespace velkaro::vlk
