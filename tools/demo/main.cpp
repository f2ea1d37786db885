// velkaro-demo: the application driven by a script, for machines without a
// display or a person.
//
//   velkaro-demo --port DEVICE --out DIR
//   velkaro-demo --gpsd HOST:PORT --out DIR
//       With the board simulator on DEVICE (or speaking NMEA to gpsd at
//       HOST:PORT): waits for the lock, loads the demo plan, taps the
//       landmarks as the simulated walk pauses at each, saves
//       DIR/campus.vlk and a screenshot DIR/velkaro-demo.png.
//   velkaro-demo --screenshots DIR
//       Without a board: renders the status view, the quick-start screen, a
//       plan with points and the point list to PNG files in DIR.
#include "cli/command_line.h"
#include "gui/common/command_ids.h"
#include "gui/shell/main_frame.h"
#include "gui/shell/resources.h"
#include "gui/site_view/site_view.h"
#include "link/frame_pump.h"
#include "link/gpsd_address.h"
#include "link/parser.h"
#include "platform/clock.h"
#include "simulator/board_frames.h"
#include "tools/demo/demo_flow.h"
#include "tools/demo/demo_platform.h"

#include <array>
#include <cstdio>
#include <optional>
#include <string>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

namespace {

using namespace velkaro;
using namespace velkaro::demo;

void Say(const std::string& text) {
  std::printf("demo: %s\n", text.c_str());
  std::fflush(stdout);
}

// Copies the bundled demo plan out of the program's resources.
std::string ExtractDemoPlan(const QString& folder) {
  const QString path = QDir(folder).filePath("campus.bmp");
  QFile::remove(path);
  if (!QFile::copy(":/demo/campus.bmp", path)) return {};
  QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
  return path.toStdString();
}

int RunWalk(const std::string& port, const std::optional<GpsdAddress>& gpsd, const QString& out) {
  DemoFlow flow(port, Say, nullptr, gpsd);
  const std::string plan = ExtractDemoPlan(out);
  if (plan.empty() || !flow.Start() || !flow.ShowSiteView()) return 1;
  if (!flow.WaitForLock(std::chrono::seconds(60))) return 1;
  if (!flow.LoadPlan(plan)) return 1;
  int captured = 0;
  for (const Landmark& landmark : Landmarks()) {
    if (flow.CaptureAt(landmark, std::chrono::seconds(900))) ++captured;
  }
  if (captured < 5) return 1;
  const std::string vlk = QDir(out).filePath("campus.vlk").toStdString();
  if (!flow.Save(vlk)) return 1;
  flow.Screenshot(QDir(out).filePath("velkaro-demo.png").toStdString());
  Say("check it with: vlk info " + vlk);
  return 0;
}

void StandAt(DemoFlow& flow, int x, int y) {
  CGpsData gps;
  gps.m_fixMode = board::kFixMode3D;
  gps.m_month = 6;
  gps.m_day = 15;
  gps.m_year = 2026;
  gps.m_hour = 10;
  gps.m_minute = 30;
  gps.m_latB = DemoLat(y);
  gps.m_lonB = DemoLon(x);
  flow.Engine().PublishFix(gps);  // a live report, as the board's would be
}

// Hands `wire` to the engine through the parser, as the link worker would.
void Hand(CEngine& engine, const std::vector<uint8_t>& wire) {
  CParser parser;
  PumpBytes(parser, wire.data(), wire.size(),
            [&](uint8_t type, const uint8_t* body, uint32_t length) {
              engine.HandleFrame(type, body, length);
            });
}

bool Grab(QWidget& widget, const QString& path) {
  QApplication::processEvents();
  const bool ok = widget.grab().save(path, "PNG");
  Say((ok ? "wrote " : "could not write ") + path.toStdString());
  return ok;
}

int RunScreenshots(const QString& out) {
  SilentLineOpener opener;  // no board
  DemoFlow flow("", Say, &opener);
  // The plan is a working copy; only the pictures go to `out`.
  QTemporaryDir work;
  const std::string plan = work.isValid() ? ExtractDemoPlan(work.path()) : std::string();
  if (plan.empty()) return 1;
  Hand(flow.Engine(), board::EncodeTextFrame(board::kTypeFirmware, "1.03"));
  Hand(flow.Engine(), board::EncodeTextFrame(board::kTypeSerial, "A1B2C3"));
  if (!flow.Start()) return 1;
  CMainFrame& frame = *flow.App().MainFrame();
  bool ok = Grab(frame, QDir(out).filePath("status-view.png"));
  if (!flow.ShowSiteView()) return 1;
  ok = Grab(frame, QDir(out).filePath("quick-start.png")) && ok;
  if (!flow.LoadPlan(plan)) return 1;
  for (size_t i = 0; i < 5; ++i) {
    const Landmark& landmark = Landmarks()[i];
    StandAt(flow, landmark.x, landmark.y);
    ok = flow.CaptureAt(landmark, std::chrono::seconds(2)) && ok;
  }
  // Back over the middle of the campus, with the fifth point's message gone.
  frame.SiteView()->OnHScroll(5, 300);
  frame.SiteView()->OnVScroll(5, 250);
  ok = Grab(frame, QDir(out).filePath("site-view.png")) && ok;
  QTimer::singleShot(300, [&] {
    if (QWidget* dialog = QApplication::activeModalWidget()) {
      ok = Grab(*dialog, QDir(out).filePath("point-list.png")) && ok;
      dialog->close();
    } else {
      ok = false;
    }
  });
  frame.CommandAction(ID_POINT_LIST)->trigger();
  return ok ? 0 : 1;
}

namespace cli = velkaro::cli;

constexpr char kSynopsis[] =
    "usage: velkaro-demo --port DEVICE --out DIR\n"
    "       velkaro-demo --gpsd HOST:PORT --out DIR\n"
    "       velkaro-demo --screenshots DIR\n";
constexpr char kAbout[] =
    "The application driven by a script: with the board simulator on DEVICE\n"
    "(or speaking NMEA to gpsd), it waits for the lock, loads the demo plan,\n"
    "taps the landmarks as the walk pauses at each and saves DIR/campus.vlk\n"
    "and DIR/velkaro-demo.png; or, without a board, it renders the README's\n"
    "screenshots to DIR.\n";

enum Key { kPort = 1, kGpsd, kOut, kScreenshots };

constexpr std::array<cli::Option, 6> kOptions = {{
    {"port", required_argument, kPort, "DEVICE", "the board (simulator) to read"},
    {"gpsd", required_argument, kGpsd, "HOST:PORT", "the gpsd to read instead"},
    {"out", required_argument, kOut, "DIR", "where the walk's projection file and screenshot go"},
    {"screenshots", required_argument, kScreenshots, "DIR",
     "render the status view, the quick-start screen, a\n"
     "plan with points and the point list to DIR"},
    cli::kHelp,
    cli::kVersion,
}};

}  // namespace

int main(int argc, char** argv) {
  std::string port;
  std::optional<GpsdAddress> gpsd;
  std::string out;
  std::string shots;
  bool bad_address = false;
  bool help = false;
  bool version = false;
  auto take = [&](const cli::Option& option, const char* value) {
    switch (option.key) {
      case kPort:
        port = value;
        break;
      case kGpsd:
        gpsd = ParseGpsdAddress(value);
        bad_address = !gpsd;
        break;
      case kOut:
        out = value;
        break;
      case kScreenshots:
        shots = value;
        break;
      case cli::kHelpKey:
        help = true;
        break;
      case cli::kVersionKey:
        version = true;
        break;
    }
    return true;
  };
  int operands = argc;
  const bool read =
      cli::ReadOptions(argc, argv, kOptions, take, &operands).kind == cli::Problem::Kind::kNone &&
      operands == argc;
  if (read && help) {
    return cli::PrintHelp("velkaro-demo",
                          kSynopsis + std::string(kAbout) + cli::OptionLines(kOptions));
  }
  if (read && version) return cli::PrintVersion("velkaro-demo");
  const bool source = port.empty() != !gpsd;  // exactly one position source
  const bool walk = source && !out.empty() && shots.empty();
  if (!read || bad_address || (!walk && (shots.empty() || !port.empty() || gpsd || !out.empty()))) {
    std::fputs(kSynopsis, stderr);
    return 2;
  }
  PrepareQtForLayout();
  QApplication qt(argc, argv);
  InitResources();
  RaiseImageLimits();
  qt.setQuitOnLastWindowClosed(false);
  const QString folder = QString::fromStdString(walk ? out : shots);
  QDir().mkpath(folder);
  return walk ? RunWalk(port, gpsd, folder) : RunScreenshots(folder);
}
