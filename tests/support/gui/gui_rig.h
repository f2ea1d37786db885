#pragma once

// A whole application on the offscreen platform for tests: the real frame,
// views, engine, link and site model, with the fakes of tests/support for
// the port, the registry, the prompts, the message boxes, the sounds and the
// clock.

#include "gui/common/draw.h"
#include "gui/shell/app_context.h"
#include "gui/shell/main_frame.h"
#include "gui/shell/velkaro_app.h"
#include "gui/site_view/site_view.h"
#include "gui/status/status_view.h"
#include "link/board_session.h"
#include "site/site_plan.h"
#include "site/site_projection.h"
#include "tests/support/event_trail.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_serial_port.h"
#include "tests/support/memory_device_registry.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/recording_wave_player.h"
#include "tests/support/scripted_file_prompt.h"
#include "tests/support/temp_folder.h"

#include <string>

#include <QEvent>
#include <QImage>
#include <QObject>

namespace velkaro::testing {

struct Rig {
  Rig();
  ~Rig();

  // InitInstance on the rig's context; REQUIRES: called once.
  void Start();
  CMainFrame& Frame() { return *app.MainFrame(); }
  // Taps the status view, which brings up the site view.
  CSiteView& SwitchToSite();

  // Board frames, through a parser into the real engine as the link worker
  // would hand them.
  void SendFirmware(const std::string& text);
  void SendSerial(const std::string& text);
  void SendGps(bool locked, double lat, double lon);

  // A 24-bit bitmap of `w` x `h` in the rig's folder, with a pattern that
  // differs from pixel to pixel; returns its path.
  std::string WritePlan(const std::string& name, int w, int h);
  // Command 32771 with `path` as the prompt's answer.
  void LoadPlan(const std::string& path);
  // The site view, with command 32772 run with `path` as the prompt's
  // answer, to its end.
  CSiteView& OpenProjection(const std::string& path);
  // A command through the frame's action, run to its end, a load on the
  // worker included.
  void Run(int id);
  // Five captures spread over the plan, at the demo site's first five
  // landmarks, each with the demo geocode's position.
  void CaptureFive();
  std::string Path(const std::string& name) const;

  testing::TempFolder dir;
  // Every solve writes "debug.txt" into the current folder: the rig's own.
  testing::CurrentDir current_folder{dir.path()};
  // The opens and the start-up pauses, in order. Time is driven: it stands
  // still unless a test moves it (clock.ahead_ms ages what was received).
  testing::EventTrail log;
  testing::FakeClock clock{{.sleep_naps = true, .trail = &log}};
  testing::MemoryDeviceRegistry registry;
  testing::FakeOpener opener{log};
  testing::RecordingMessageBox messages;
  testing::RecordingWavePlayer waves;
  testing::ScriptedFilePrompt files;
  BoardLink link{clock};
  CDraw draw;
  CSiteProjection projection;
  CSitePlan plan;
  int beeps = 0;
  int snapshots = 0;
  AppContext context;
  CVelkaroApp app;
};

// Counts the paint events of the widgets it filters.
class PaintCounter : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
  int paints = 0;
};

// The rows [top, top + height) of `image`.
QImage Rows(const QImage& image, int top, int height);

}  // namespace velkaro::testing
