// velkaro [--port DEVICE | --gpsd [HOST[:PORT]]]: the application.
#include "gui/shell/app_context.h"
#include "gui/shell/globals.h"
#include "gui/shell/main_frame.h"
#include "gui/shell/resources.h"
#include "gui/snapshot/snapshot_command.h"
#include "link/gpsd_address.h"
#include "platform/clock.h"
#include "platform/device_registry.h"
#include "platform/serial_port.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include <QApplication>
#include <QDir>

namespace {

int Usage() {
  std::fprintf(stderr, "usage: velkaro [--port DEVICE | --gpsd [HOST[:PORT]]]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace velkaro;
  std::string port;
  std::optional<GpsdAddress> gpsd;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc && argv[i + 1][0] != '\0') {
      port = argv[++i];
    } else if (std::strcmp(argv[i], "--gpsd") == 0 && !gpsd) {
      // The address is optional: what follows is one unless it is an option.
      const bool given = i + 1 < argc && std::strncmp(argv[i + 1], "--", 2) != 0;
      gpsd = ParseGpsdAddress(given ? argv[++i] : "");
      if (!gpsd) return Usage();
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
                     g_clock, registry,     opener, port,   {},         {},      gpsd};
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
