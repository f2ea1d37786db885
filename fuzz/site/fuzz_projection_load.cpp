// Any bytes as a projection file: Load must never crash or leak, and a file
// it refuses must leave neither side file behind. The tap-file reader of vlk
// gets the same bytes.
#include "link/gps_data.h"
#include "link/published.h"
#include "platform/wave_player.h"
#include "site/site_projection.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/temp_folder.h"
#include "tools/vlk/tap_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

bool Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

// One folder for the whole run, removed at exit.
const velkaro::testing::TempFolder& ScratchFolder() {
  static const velkaro::testing::TempFolder folder;
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace velkaro;
  const std::string path = ScratchFolder().File("input.vlk");
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  if (std::fclose(file) != 0) std::abort();
  std::remove((path + "c").c_str());
  std::remove((path + "b").c_str());

  Published<CGpsData> gps;
  testing::RecordingMessageBox messages;
  SilentWavePlayer waves;
  CSiteProjection projection(gps, messages, waves);
  projection.m_strPlanPath = "before";
  const bool loaded = projection.Load(path);
  if (loaded) {
    if (projection.m_strPlanPath != path + "b" || !Exists(path + "b") || !messages.shown.empty())
      std::abort();
  } else {
    if (Exists(path + "c") || Exists(path + "b")) std::abort();  // a refusal writes nothing
    if (projection.m_strPlanPath != "before" || messages.shown.size() != 1) std::abort();
  }

  const vlk::TapFile taps =
      vlk::ParseTapFile(std::string_view(reinterpret_cast<const char*>(data), size));
  if (taps.ok != taps.error.empty()) std::abort();
  return 0;
}
