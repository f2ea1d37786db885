#pragma once

#include "link/board_session.h"
#include "link/gpsd_address.h"
#include "platform/clock.h"
#include "platform/device_registry.h"
#include "platform/file_prompt.h"
#include "platform/message_box.h"
#include "platform/serial_port.h"
#include "platform/wave_player.h"
#include "site/fix_average.h"
#include "site/site_plan.h"
#include "site/site_projection.h"

#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace velkaro {

class CDraw;

// The collaborators the frame and the views work on. The program hands them
// its global single instances; tests build a set of their own (fakes for the
// port, the prompts, the message boxes, the sounds and the clock).
// Every referenced object must outlive the frame that uses the context.
struct AppContext {
  BoardLink& link;
  CSiteProjection& projection;
  CSitePlan& plan;
  CDraw& draw;
  IMessageBox& messages;
  IWavePlayer& waves;
  IFilePrompt& files;
  IClock& clock;
  const IDeviceRegistry& registry;
  ISerialPortOpener& opener;
  // `velkaro --port DEVICE`; empty: the registry search chooses the port.
  std::string port_override;
  // The system's exclamation beep; null: QApplication::beep.
  std::function<void()> beep;
  // The snapshot of the active view (command 32777); null while the program
  // has none, which leaves its button disabled.
  std::function<void(QWidget& active_view)> snapshot;
  // `velkaro --gpsd [HOST[:PORT]]`: gpsd is the position source instead of
  // the board; none: the board.
  std::optional<GpsdAddress> gpsd;
  // `velkaro --average SECONDS --min-accuracy METRES`: how taps take their
  // position; the default is the instantaneous tap at any accuracy.
  CaptureOptions capture = {};
  // The frame opens at two thirds of the screen; false: at the handheld's
  // layout size, where the tests' screen points are laid out.
  bool desktop_size = false;
};

}  // namespace velkaro
