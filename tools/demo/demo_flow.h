#pragma once

// The scripted walk over the demo site: a whole application (the real frame,
// views, link and site model on whatever Qt platform runs) driven the way a
// person in the field would drive it. Used by velkaro-demo and the
// end-to-end test.

#include "gui/common/draw.h"
#include "gui/shell/app_context.h"
#include "gui/shell/velkaro_app.h"
#include "link/board_session.h"
#include "link/gpsd_address.h"
#include "platform/device_registry.h"
#include "platform/serial_port.h"
#include "site/site_plan.h"
#include "site/site_projection.h"
#include "tests/support/fake_clock.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/recording_wave_player.h"
#include "tests/support/scripted_file_prompt.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velkaro::demo {

// A spot on the demo plan (resources/demo/campus.bmp, 720 x 540) where the
// simulated board's built-in walk pauses.
struct Landmark {
  const char* name;
  int x, y;
};
const std::vector<Landmark>& Landmarks();
// The demo plan's geocode: lat = 45.5 - y * 0.0000045, lon = 9.1 + x * 0.0000064.
double DemoLat(int y);
double DemoLon(int x);

// The tests' recording message box that also prints every message and
// question; it answers No unless `answer_yes` is set.
class ScriptMessageBox : public testing::RecordingMessageBox {
 public:
  explicit ScriptMessageBox(std::function<void(const std::string&)> say) : say_(std::move(say)) {
    answer_yes = false;
  }
  void ShowOk(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;

 private:
  std::function<void(const std::string&)> say_;
};

class DemoFlow {
 public:
  using Say = std::function<void(const std::string&)>;
  // `port` is the board's device; `say` prints a step; `opener` replaces the
  // machine's serial ports when not null (and must outlive the flow): a
  // testing::FakeOpener gives a line on which no board ever speaks.
  // `gpsd`, when given, is the position source instead of the board.
  // Needs a QApplication.
  DemoFlow(const std::string& port, Say say, ISerialPortOpener* opener = nullptr,
           std::optional<GpsdAddress> gpsd = std::nullopt);
  ~DemoFlow();

  // Creates the frame, opens the link and waits (at most `identity_wait`)
  // for the board's (or gpsd's receiver's) identity. False when the program
  // did not start.
  bool Start(std::chrono::milliseconds identity_wait = std::chrono::seconds(5));
  // Taps the status view over to the site view.
  bool ShowSiteView();
  // Waits for the 3-D fix.
  bool WaitForLock(std::chrono::seconds timeout);
  // Loads `path` as the plan (command 32771).
  bool LoadPlan(const std::string& path);
  // Waits until the board reports the landmark's position, centres the view
  // there with the scroll bars and taps it. True when the point was stored.
  bool CaptureAt(const Landmark& landmark, std::chrono::seconds timeout);
  // Command 32772 on `path`; true when a plan was shown without a message.
  bool OpenProjection(const std::string& path);
  // Command 32773 to `path`; true when the file was written without a message.
  bool Save(const std::string& path);
  // The active view as the user sees it.
  bool Screenshot(const std::string& png_path);

  CSiteProjection& Projection() { return projection_; }
  Published<CGpsData>& Gps() { return link_.gps; }
  CEngine& Engine() { return link_.engine; }
  ScriptMessageBox& Messages() { return messages_; }
  CVelkaroApp& App() { return app_; }

 private:
  // Runs the event loop until `done` or the timeout; returns `done()`.
  bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

  Say say_;
  ScriptMessageBox messages_;
  testing::RecordingWavePlayer waves_;  // the demo makes no sound
  testing::ScriptedFilePrompt files_;
  // The machine's time without the start-up pauses.
  testing::FakeClock clock_{{.system_time = true, .sleep_naps = true}};
  SysfsDeviceRegistry registry_;
  TermiosSerialPortOpener opener_;
  BoardLink link_;
  CDraw draw_;
  CSiteProjection projection_;
  CSitePlan plan_;
  AppContext context_;
  CVelkaroApp app_;
};

}  // namespace velkaro::demo
