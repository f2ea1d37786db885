#include "tools/demo/demo_flow.h"

#include "gui/common/command_ids.h"
#include "gui/shell/main_frame.h"
#include "gui/site_view/site_view.h"
#include "gui/status/status_view.h"

#include <cmath>

#include <QApplication>
#include <QScrollBar>
#include <QTest>
#include <QThread>

namespace velkaro::demo {

const std::vector<Landmark>& Landmarks() { return board::BuiltInDemoSite().landmarks; }

double DemoLat(int y) { return board::BuiltInDemoSite().Lat(y); }
double DemoLon(int x) { return board::BuiltInDemoSite().Lon(x); }

DemoFlow::DemoFlow(const std::string& port, Say say, ISerialPortOpener* opener,
                   std::optional<GpsdAddress> gpsd)
    : say_(std::move(say)), messages_(say_), context_{link_,     projection_,
                                                      plan_,     draw_,
                                                      messages_, waves_,
                                                      files_,    clock_,
                                                      registry_, opener ? *opener : opener_,
                                                      port,      [] {},
                                                      nullptr,   std::move(gpsd)} {}

DemoFlow::~DemoFlow() { app_.ExitInstance(); }

bool DemoFlow::WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(5);
  }
  return true;
}

bool DemoFlow::Start(std::chrono::milliseconds identity_wait) {
  if (!app_.InitInstance(context_)) return false;
  CMainFrame& frame = *app_.MainFrame();
  if (!QTest::qWaitForWindowExposed(&frame, 5000)) return false;
  say_(context_.gpsd ? "started; gpsd at " + context_.gpsd->ToString()
                     : "started; port " + context_.port_override);
  // The board answers the start-up frame with its identity; gpsd names the
  // receiver's device first and its driver once it has recognised it.
  WaitUntil(
      [&] {
        char firmware[CEngine::kFirmwareSize];
        char serial[CEngine::kSerialSize];
        link_.engine.GetFirmware(firmware);
        link_.engine.GetSerial(serial);
        return std::string(firmware) != "0.00" && std::string(serial) != "XXXXXX";
      },
      identity_wait);
  char firmware[CEngine::kFirmwareSize];
  char serial[CEngine::kSerialSize];
  link_.engine.GetFirmware(firmware);
  link_.engine.GetSerial(serial);
  say_(std::string("status view: (Firmware ") + firmware + ") (SN " + serial + ")");
  return true;
}

bool DemoFlow::ShowSiteView() {
  CMainFrame& frame = *app_.MainFrame();
  QTest::mouseClick(frame.StatusView(), Qt::LeftButton, {}, QPoint(120, 100));
  QApplication::processEvents();
  return frame.SiteView() != nullptr && frame.ActiveView() == frame.SiteView();
}

bool DemoFlow::WaitForLock(std::chrono::seconds timeout) {
  say_("waiting for the GPS lock");
  const bool locked = WaitUntil([&] { return link_.gps.Read().IsLocked(); }, timeout);
  if (locked) {
    char line[CGpsData::kFixLineSize];
    link_.gps.Read().FormatFix(line);
    say_(std::string("locked: ") + line);
  }
  return locked;
}

bool DemoFlow::LoadPlan(const std::string& path) {
  files_.answers.push_back(path);
  const size_t messages = messages_.shown.size();
  app_.MainFrame()->CommandAction(ID_NEW_PROJECTION)->trigger();
  app_.MainFrame()->SiteView()->WaitForLoad();
  const bool loaded =
      app_.MainFrame()->SiteView()->PlanLoaded() && messages_.shown.size() == messages;
  if (loaded) say_("plan loaded: " + path);
  return loaded;
}

bool DemoFlow::CaptureAt(const Landmark& landmark, std::chrono::seconds timeout, int off_x) {
  const double lat = DemoLat(landmark.y);
  const double lon = DemoLon(landmark.x);
  say_(std::string("walking to ") + landmark.name);
  const bool there = WaitUntil(
      [&] {
        const CGpsData gps = link_.gps.Read();
        return gps.IsLocked() && std::fabs(gps.m_latB - lat) < 2e-6 &&
               std::fabs(gps.m_lonB - lon) < 2e-6;
      },
      timeout);
  if (!there) {
    say_(std::string("the board never stood at ") + landmark.name);
    return false;
  }
  CSiteView& view = *app_.MainFrame()->SiteView();
  const int x = landmark.x + off_x, y = landmark.y;
  // Bring the spot to the middle of the window with the scroll bars.
  view.OnHScroll(5, x);
  view.OnVScroll(5, y);
  // The screen pixel that maps back to exactly this plan pixel, if any.
  const PlanRect client = view.ClientRect();
  int32_t sx = 0, sy = 0;
  plan_.PlanToScreen(client, x, y, sx, sy);
  QPoint best(sx, sy);
  for (int dy = -1; dy <= 2; ++dy) {
    for (int dx = -1; dx <= 2; ++dx) {
      int32_t px = 0, py = 0;
      plan_.ScreenToPlan(client, sx + dx, sy + dy, px, py);
      if (px == x && py == y) best = QPoint(sx + dx, sy + dy);
    }
  }
  const size_t before = projection_.m_taps.size();
  QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, best);
  if (projection_.m_taps.size() != before + 1) return false;
  const auto& tap = projection_.m_taps.back();
  char text[160];
  std::snprintf(text, sizeof text, "tapped %s: plan pixel (%d, %d) at %.6f, %.6f; %zu points",
                landmark.name.c_str(), int(tap.x), int(tap.y), tap.lat, tap.lon,
                projection_.m_taps.size());
  say_(text);
  return true;
}

bool DemoFlow::OpenProjection(const std::string& path) {
  files_.answers.push_back(path);
  const size_t messages = messages_.shown.size();
  app_.MainFrame()->CommandAction(ID_OPEN_PROJECTION)->trigger();
  app_.MainFrame()->SiteView()->WaitForLoad();
  const bool opened =
      app_.MainFrame()->SiteView()->PlanLoaded() && messages_.shown.size() == messages;
  if (opened) say_("opened the projection file: " + path);
  return opened;
}

bool DemoFlow::Save(const std::string& path) {
  files_.answers.push_back(path);
  const size_t messages = messages_.shown.size();
  app_.MainFrame()->CommandAction(ID_SAVE_PROJECTION)->trigger();
  const bool saved = messages_.shown.size() == messages;
  if (saved) say_("saved the projection file: " + path);
  return saved;
}

bool DemoFlow::Screenshot(const std::string& png_path) {
  QApplication::processEvents();
  const bool ok = app_.MainFrame()->grab().save(QString::fromStdString(png_path), "PNG");
  if (ok) say_("screenshot: " + png_path);
  return ok;
}

}  // namespace velkaro::demo
