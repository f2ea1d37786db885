// velkaro [--port DEVICE | --gpsd [HOST[:PORT]]] [--average SECONDS]
//         [--min-accuracy METRES]: the application.
#include "cli/command_line.h"
#include "gui/shell/app_context.h"
#include "gui/shell/globals.h"
#include "gui/shell/main_frame.h"
#include "gui/shell/resources.h"
#include "gui/snapshot/snapshot_command.h"
#include "link/gpsd_address.h"
#include "platform/clock.h"
#include "platform/device_registry.h"
#include "platform/serial_port.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include <QApplication>
#include <QDir>

namespace {

namespace cli = velkaro::cli;

constexpr char kSynopsis[] =
    "usage: velkaro [--port DEVICE | --gpsd [HOST[:PORT]]] [--average SECONDS]\n"
    "               [--min-accuracy METRES]\n";
constexpr char kAbout[] =
    "The application: geo-references a site plan with the GPS board on a serial\n"
    "line, or with any receiver gpsd reads.\n";

enum Key { kPort = 1, kGpsd, kAverage, kMinAccuracy };

constexpr std::array<cli::Option, 6> kOptions = {{
    {"port", required_argument, kPort, "DEVICE",
     "the board's serial device, e.g. /dev/ttyUSB0 (default:\n"
     "the serial adapter the search of the machine finds)"},
    {"gpsd", optional_argument, kGpsd, "[HOST[:PORT]]",
     "take positions from gpsd instead of the board\n"
     "(default localhost:2947)"},
    {"average", required_argument, kAverage, "SECONDS",
     "store each point as the mean of the fixes of that\n"
     "many seconds after the tap (at most 3600)"},
    {"min-accuracy", required_argument, kMinAccuracy, "METRES",
     "refuse taps while the accuracy is worse than that"},
    cli::kHelp,
    cli::kVersion,
}};

int Usage() {
  std::fputs(kSynopsis, stderr);
  return 2;
}

// A positive number of at most `most`, as the whole of `text`.
bool ParsePositive(const char* text, double most, double& value) {
  return cli::ParseNumber(text, &value) && value > 0.0 && value <= most;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace velkaro;
  std::string port;
  std::optional<GpsdAddress> gpsd;
  CaptureOptions capture;
  bool help = false;
  bool version = false;
  auto take = [&](const cli::Option& option, const char* value) {
    double number = 0.0;
    switch (option.key) {
      case kPort:
        port = value;
        return !port.empty();
      case kGpsd:
        if (gpsd) return false;
        // The address is optional: what follows is one unless it is an option.
        if (!value && optind < argc && std::strncmp(argv[optind], "--", 2) != 0) {
          value = argv[optind++];
        }
        gpsd = ParseGpsdAddress(value ? value : "");
        return gpsd.has_value();
      case kAverage:
        // An hour is longer than anyone stands still at a spot.
        if (!ParsePositive(value, 3600.0, number)) return false;
        capture.average_ms = std::llround(number * 1000.0);
        return true;
      case kMinAccuracy:
        if (!ParsePositive(value, 1e6, number)) return false;
        capture.min_accuracy = number;
        return true;
      case cli::kHelpKey:
        help = true;
        return true;
      case cli::kVersionKey:
        version = true;
        return true;
    }
    return false;
  };
  int operands = argc;
  if (cli::ReadOptions(argc, argv, kOptions, take, &operands).kind != cli::Problem::Kind::kNone ||
      operands < argc) {
    return Usage();
  }
  if (help) {
    return cli::PrintHelp("velkaro", kSynopsis + std::string(kAbout) + cli::OptionLines(kOptions));
  }
  if (version) return cli::PrintVersion("velkaro");
  if (!port.empty() && gpsd) return Usage();  // one position source

  PrepareQtForLayout();
  QApplication app(argc, argv);
  // The desktop shell finds the installed entry (and its icon) by this name.
  QGuiApplication::setDesktopFileName("org.velkaro.velkaro");
  InitResources();
  RaiseImageLimits();
  // A message box during start-up must not end the program when it closes.
  app.setQuitOnLastWindowClosed(false);

  SysfsDeviceRegistry registry;
  TermiosSerialPortOpener opener;
  AppContext context{g_link,   g_projection, g_plan, g_draw, g_messages, g_waves, g_files, g_clock,
                     registry, opener,       port,   {},     {},         gpsd,    capture};
  // The snapshot counter lives in the user's home directory.
  context.desktop_size = true;
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
