// velkaro-board: stands in for the GPS board on a serial line.
#include "cli/command_line.h"
#include "simulator/board_options.h"
#include "simulator/demo_site.h"
#include "simulator/line_link.h"
#include "simulator/track.h"
#include "tools/board/board_line.h"
#include "tools/board/board_loop.h"

#include <csignal>
#include <cstdio>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnStopSignal(int) { g_stop = 1; }

}  // namespace

int main(int argc, char** argv) {
  using namespace velkaro::board;
  const ParsedOptions parsed = ParseBoardOptions(argc, argv);
  if (!parsed.status.ok()) {
    std::fprintf(stderr, "velkaro-board: %s\n%s", parsed.status.message().c_str(),
                 BoardUsage().c_str());
    return 2;
  }
  if (parsed.help) return velkaro::cli::PrintHelp("velkaro-board", BoardUsage());
  if (parsed.version) return velkaro::cli::PrintVersion("velkaro-board");
  const BoardOptions& options = parsed.options;

  const Track track =
      options.track.empty() ? ParseTrack(BuiltInWalkText()) : LoadTrackFile(options.track);
  for (const std::string& e : track.errors) std::fprintf(stderr, "velkaro-board: %s\n", e.c_str());
  if (track.points.empty()) {
    std::fprintf(stderr, "velkaro-board: the track holds no positions\n");
    return 1;
  }

  // The stop signals stay blocked except while the loop waits.
  sigset_t stop_signals, wait_mask;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  sigprocmask(SIG_BLOCK, &stop_signals, &wait_mask);
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);  // a closed standard output must not kill the board

  // NMEA receivers talk at 4800 baud; gpsd may read the line as a user of
  // its own.
  BoardLine line(options.nmea ? 4800 : 38400, options.nmea);
  std::string error;
  const bool opened = options.device.empty() ? line.OpenPseudoTerminal(&error)
                                             : line.OpenDevice(options.device, &error);
  if (!opened) {
    std::fprintf(stderr, "velkaro-board: %s\n", error.c_str());
    return 1;
  }
  LineLink link;
  if (!options.link.empty() && !link.Create(options.link, line.path(), &error)) {
    std::fprintf(stderr, "velkaro-board: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s\n", line.path().c_str());
  std::fflush(stdout);

  return RunBoard(options, track, line, &g_stop, &wait_mask);
}
