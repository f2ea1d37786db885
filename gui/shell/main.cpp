// velkaro [--port DEVICE]: the application.
#include "gui/shell/app_context.h"
#include "gui/shell/globals.h"
#include "gui/shell/main_frame.h"
#include "gui/shell/resources.h"
#include "gui/snapshot/snapshot_command.h"
#include "platform/clock.h"
#include "platform/device_registry.h"
#include "platform/serial_port.h"

#include <cstdio>
#include <cstring>
#include <string>

#include <QApplication>
#include <QDir>

namespace {

int Usage() {
  std::fprintf(stderr, "usage: velkaro [--port DEVICE]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace velkaro;
  std::string port;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc && argv[i + 1][0] != '\0') {
      port = argv[++i];
    } else {
      return Usage();
    }
  }

  PrepareQtForLayout();
  QApplication app(argc, argv);
  InitResources();
  RaiseImageLimits();
  // A message box during start-up must not end the program when it closes.
  app.setQuitOnLastWindowClosed(false);

  SysfsDeviceRegistry registry;
  TermiosSerialPortOpener opener;
  SystemClock clock;
  AppContext context{g_link, g_projection, g_plan, g_draw, g_messages, g_waves, g_files,
                     clock,  registry,     opener, port,   {},         {}};
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
