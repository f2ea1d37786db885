// vlk watch [--gpsd HOST[:PORT]] [--count N]: reads gpsd through the same
// connection and reader as the application's gpsd source, and prints for
// each TPV report the lines `vlk decode` prints for a board position frame.
#include "link/gpsd_address.h"
#include "link/gpsd_connection.h"
#include "link/gpsd_reader.h"
#include "link/gpsd_source.h"
#include "tools/vlk/commands.h"
#include "tools/vlk/fix_lines.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace velkaro::vlk {
namespace {

int Usage() {
  std::fprintf(stderr, "usage: vlk watch [--gpsd HOST[:PORT]] [--count N]\n");
  return 2;
}

// A whole decimal count from 1 up.
std::optional<long> ParseCount(const char* text) {
  if (text[0] < '0' || text[0] > '9') return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  if (errno != 0 || *end != '\0' || value < 1) return std::nullopt;
  return value;
}

class FixPrinter : public IGpsdReportSink {
 public:
  explicit FixPrinter(long count) : left_(count) {}

  void OnFix(const CGpsData& record) override {
    PrintFixLines(record);
    ++printed_;
    // Each report is shown as it comes: the tool watches a live receiver.
    if (std::fflush(stdout) != 0) failed_ = true;
    if (failed_ || (left_ > 0 && --left_ == 0)) done_.store(true);
  }
  void OnIdentity(const GpsdIdentity&) override {}

  const std::atomic<bool>& Done() const { return done_; }
  bool Failed() const { return failed_; }
  long Printed() const { return printed_; }

 private:
  long left_;  // reports still to print; 0: no limit
  long printed_ = 0;
  bool failed_ = false;
  std::atomic<bool> done_{false};
};

}  // namespace

int CmdWatch(int argc, char** argv) {
  GpsdAddress address;
  long count = 0;
  for (int i = 0; i < argc; ++i) {
    if (i + 1 >= argc) return Usage();
    if (std::strcmp(argv[i], "--gpsd") == 0) {
      const std::optional<GpsdAddress> parsed = ParseGpsdAddress(argv[++i]);
      if (!parsed) return Usage();
      address = *parsed;
    } else if (std::strcmp(argv[i], "--count") == 0) {
      const std::optional<long> parsed = ParseCount(argv[++i]);
      if (!parsed) return Usage();
      count = *parsed;
    } else {
      return Usage();
    }
  }

  // A write to a connection gpsd has just closed must fail, not end the tool.
  std::signal(SIGPIPE, SIG_IGN);
  GpsdConnection connection;
  if (!connection.Open(address)) {
    std::fprintf(stderr, "vlk watch: %s\n", GpsdSource::CannotConnectText(address).c_str());
    return 1;
  }
  FixPrinter printer(count);
  GpsdReader reader;
  const GpsdReader::End end = reader.Pump(connection, printer.Done(), printer);
  if (printer.Failed()) {
    std::fprintf(stderr, "vlk watch: cannot write the output\n");
    return 1;
  }
  // gpsd hung up, or sent what libgps could not read, before the count was
  // reached: a script must not take that for done. Without a count the
  // watch lasts as long as gpsd does.
  if (end == GpsdReader::End::kClosed && count > 0) {
    std::fprintf(stderr,
                 "vlk watch: the connection to gpsd at %s ended after %ld report%s: gpsd closed "
                 "it or sent a line it could not read\n",
                 address.ToString().c_str(), printer.Printed(), printer.Printed() == 1 ? "" : "s");
    return 1;
  }
  return 0;
}

}  // namespace velkaro::vlk
