#pragma once

// A whole application on the offscreen platform for tests: the real frame,
// views, engine, link and site model, with fakes for the port, the prompts,
// the message boxes, the sounds and the clock.

#include "gui/common/draw.h"
#include "gui/shell/app_context.h"
#include "gui/shell/main_frame.h"
#include "gui/shell/velkaro_app.h"
#include "gui/site_view/site_view.h"
#include "gui/status/status_view.h"
#include "link/board_session.h"
#include "platform/clock.h"
#include "platform/device_registry.h"
#include "platform/file_prompt.h"
#include "platform/message_box.h"
#include "platform/serial_port.h"
#include "platform/wave_player.h"
#include "site/site_plan.h"
#include "site/site_projection.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <QEvent>
#include <QImage>
#include <QObject>
#include <QTemporaryDir>

namespace velkaro::test {

// Sleeps without waiting and keeps a log that the start-up order is read from.
class EventLog {
 public:
  void Add(const std::string& entry) {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.push_back(entry);
  }
  std::vector<std::string> Entries() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> entries_;
};

class LoggingClock : public IClock {
 public:
  explicit LoggingClock(EventLog& log) : log_(log) {}
  int64_t NowSeconds() override { return real_.NowSeconds(); }
  // The monotonic clock, moved ahead by `ahead_ms` to age what was received.
  int64_t NowMonotonicMs() override { return MonotonicMs() + ahead_ms.load(); }
  std::atomic<int64_t> ahead_ms{0};
  void SleepMs(int ms) override {
    if (ms >= 1000) {
      log_.Add("sleep " + std::to_string(ms));  // the worker's 5 ms naps are not logged
    } else {
      real_.SleepMs(ms);
    }
  }

 private:
  EventLog& log_;
  SystemClock real_;
};

// A port that nothing talks on: records what the handheld wrote and how
// often the worker polled it.
class QuietPort : public ISerialPort {
 public:
  bool ApplyLineSettings() override { return true; }
  uint32_t BytesWaiting() override {
    ++polls;
    return 0;
  }
  uint32_t Read(uint8_t*, uint32_t) override { return 0; }
  uint32_t Write(const uint8_t* src, uint32_t length) override {
    std::lock_guard<std::mutex> lock(mutex);
    written.insert(written.end(), src, src + length);
    return length;
  }
  void Purge(bool, bool) override {}

  std::atomic<int> polls{0};
  std::mutex mutex;
  std::vector<uint8_t> written;
};

class RigOpener : public ISerialPortOpener {
 public:
  explicit RigOpener(EventLog& log) : log_(log) {}
  std::unique_ptr<ISerialPort> Open(const std::string& name) override {
    log_.Add("open " + name);
    if (!succeed) return nullptr;
    auto port = std::make_unique<QuietPort>();
    opened = port.get();
    return port;
  }
  bool succeed = true;
  QuietPort* opened = nullptr;

 private:
  EventLog& log_;
};

struct Rig {
  Rig();
  ~Rig();

  // InitInstance on the rig's context; REQUIRES: called once.
  void Start();
  CMainFrame& Frame() { return *app.MainFrame(); }
  // Taps the status view, which brings up the site view.
  CSiteView& SwitchToSite();

  // Board frames, handled by the real engine as the link worker would.
  void SendFirmware(const std::string& text);
  void SendSerial(const std::string& text);
  void SendGps(bool locked, double lat, double lon);

  // A 24-bit bitmap of `w` x `h` in the rig's folder, with a pattern that
  // differs from pixel to pixel; returns its path.
  std::string WritePlan(const std::string& name, int w, int h);
  // Command 32771 with `path` as the prompt's answer.
  void LoadPlan(const std::string& path);
  std::string Path(const std::string& name) const;

  QTemporaryDir dir;
  QString previous_folder;
  EventLog log;
  LoggingClock clock{log};
  MemoryDeviceRegistry registry;
  RigOpener opener{log};
  RecordingMessageBox messages;
  SilentWavePlayer waves;
  ScriptedFilePrompt files;
  BoardLink link;
  CCom& com = link.com;
  Published<CGpsData>& gps = link.gps;
  CEngine& engine = link.engine;
  CDraw draw;
  CSiteProjection projection{gps, messages, waves};
  CSitePlan plan;
  int beeps = 0;
  int snapshots = 0;
  AppContext context;
  CVelkaroApp app;
};

// Frames as the board sends them: the body is the payload and its check.
std::vector<uint8_t> FrameBody(uint8_t type, const std::vector<uint8_t>& payload);
// A type-25 payload with the given fix and position, dated 06/15/2026 12:00:00.
std::vector<uint8_t> GpsPayload(bool locked, double lat, double lon);

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

}  // namespace velkaro::test
