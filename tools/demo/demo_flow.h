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
#include "platform/wave_player.h"
#include "simulator/demo_site.h"
#include "site/site_plan.h"
#include "site/site_projection.h"
#include "tools/demo/demo_platform.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velkaro::demo {

// A spot on the demo plan (resources/demo/campus.bmp, 720 x 540) where the
// simulated board's built-in walk pauses; the landmarks and the plan's
// geocode are the demo site's (simulator/demo_site.h).
using Landmark = board::DemoLandmark;
const std::vector<Landmark>& Landmarks();
double DemoLat(int y);
double DemoLon(int x);

class DemoFlow {
 public:
  // `port` is the board's device; `say` prints a step; `opener` replaces the
  // machine's serial ports when not null (and must outlive the flow): a
  // SilentLineOpener gives a line on which no board ever speaks.
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
  // `off_x` columns to the right of the landmark is where a careless user
  // would tap.
  bool CaptureAt(const Landmark& landmark, std::chrono::seconds timeout, int off_x = 0);
  // Command 32772 on `path`; true when a plan was shown without a message.
  bool OpenProjection(const std::string& path);
  // Command 32773 to `path`; true when the file was written without a message.
  bool Save(const std::string& path);
  // The active view as the user sees it.
  bool Screenshot(const std::string& png_path);

  CSiteProjection& Projection() { return projection_; }
  CEngine& Engine() { return link_.engine; }
  const Published<CGpsData>& Gps() const { return link_.gps; }
  ScriptMessageBox& Messages() { return messages_; }
  CVelkaroApp& App() { return app_; }

 private:
  // Runs the event loop until `done` or the timeout; returns `done()`.
  bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

  Say say_;
  ScriptMessageBox messages_;
  SilentWaves waves_;
  ScriptFilePrompt files_;
  // The machine's time without the start-up pauses.
  ScriptClock clock_;
  SysfsDeviceRegistry registry_;
  TermiosSerialPortOpener opener_;
  BoardLink link_{clock_};
  CDraw draw_;
  CSiteProjection projection_;
  CSitePlan plan_;
  AppContext context_;
  CVelkaroApp app_;
};

}  // namespace velkaro::demo
