// velkaro [--port DEVICE | --gpsd [HOST[:PORT]]] [--average SECONDS]
//         [--min-accuracy METRES]: the application.
#include "gui/shell/app_context.h"
#include "gui/shell/globals.h"
#include "gui/shell/main_frame.h"
#include "gui/shell/resources.h"
#include "gui/snapshot/snapshot_command.h"
#include "link/gpsd_address.h"
#include "platform/clock.h"
#include "platform/device_registry.h"
#include "platform/serial_port.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include <QApplication>
#include <QDir>

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: velkaro [--port DEVICE | --gpsd [HOST[:PORT]]] [--average SECONDS]\n"
               "               [--min-accuracy METRES]\n");
  return 2;
}

// A positive number of at most `most`, as the whole of `text`.
bool ParsePositive(const char* text, double most, double& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtod(text, &end);
  return end != text && *end == '\0' && errno == 0 && value > 0.0 && value <= most;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace velkaro;
  std::string port;
  std::optional<GpsdAddress> gpsd;
  CaptureOptions capture;
  for (int i = 1; i < argc; ++i) {
    double value = 0.0;
    if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc && argv[i + 1][0] != '\0') {
      port = argv[++i];
    } else if (std::strcmp(argv[i], "--gpsd") == 0 && !gpsd) {
      // The address is optional: what follows is one unless it is an option.
      const bool given = i + 1 < argc && std::strncmp(argv[i + 1], "--", 2) != 0;
      gpsd = ParseGpsdAddress(given ? argv[++i] : "");
      if (!gpsd) return Usage();
    } else if (std::strcmp(argv[i], "--average") == 0 && i + 1 < argc) {
      // An hour is longer than anyone stands still at a spot.
      if (!ParsePositive(argv[++i], 3600.0, value)) return Usage();
      capture.average_ms = std::llround(value * 1000.0);
    } else if (std::strcmp(argv[i], "--min-accuracy") == 0 && i + 1 < argc) {
      if (!ParsePositive(argv[++i], 1e6, value)) return Usage();
      capture.min_accuracy = value;
    } else {
      return Usage();
    }
  }
  if (!port.empty() && gpsd) return Usage();  // one position source

  PrepareQtForLayout();
  QApplication app(argc, argv);
  InitResources();
  RaiseImageLimits();
  // A message box during start-up must not end the program when it closes.
  app.setQuitOnLastWindowClosed(false);

  SysfsDeviceRegistry registry;
  TermiosSerialPortOpener opener;
  AppContext context{g_link,  g_projection, g_plan, g_draw, g_messages, g_waves, g_files,
                     g_clock, registry,     opener, port,   {},         {},      gpsd,
                     capture};
  // The snapshot counter lives in the user's home directory.
  context.snapshot = SnapshotCommand(g_waves, g_files, g_messages, QDir::homePath().toStdString());
  if (!theApp.InitInstance(context)) return 1;
  g_messages.SetParent(theApp.MainFrame());
  g_files.SetParent(theApp.MainFrame());
  app.setQuitOnLastWindowClosed(true);

  const int status = app.exec();
  g_messages.SetParent(nullptr);
  g_files.SetParent(nullptr);
  theApp.ExitInstance();  // stops the link worker; the port closes with g_com
  g_waves.Release();
  return status;
}
