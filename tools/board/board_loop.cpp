// One poll loop drives everything. Output goes through a small queue: when
// the handheld does not read, the pseudo-terminal fills up, and the board
// then drops position reports, as a real board's reports are lost while
// nobody listens, rather than blocking or piling up stale positions for a
// handheld that opens the line later. Answers to requests are small and
// always queued.
#include "tools/board/board_loop.h"

#include "link/parser.h"
#include "simulator/board_frames.h"
#include "simulator/demo_site.h"
#include "simulator/nmea_sentences.h"
#include "simulator/walker.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace velkaro::board {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kMaxQueuedBytes = 1024;  // a few reports

class Board {
 public:
  Board(const BoardOptions& options, const Track& track, BoardLine& line)
      : options_(options),
        line_(line),
        walker_(track, options.rate_hz > 0 ? options.rate_hz : 1.0, options.lock_after_s) {}

  bool OpenRecord() {
    if (options_.record.empty()) return true;
    record_fd_ = ::open(options_.record.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (record_fd_ < 0) {
      std::fprintf(stderr, "velkaro-board: cannot open %s: %s\n", options_.record.c_str(),
                   std::strerror(errno));
      return false;
    }
    return true;
  }

  ~Board() {
    if (record_fd_ >= 0) ::close(record_fd_);
  }

  int Run(const volatile std::sig_atomic_t* stop, const sigset_t* wait_mask) {
    const auto start = Clock::now();
    const bool reporting = options_.rate_hz > 0;
    const auto period = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(reporting ? 1.0 / options_.rate_hz : 1.0));
    auto next_report = start + period;

    while (*stop == 0) {
      timespec timeout{};
      timespec* wait = nullptr;  // with no reports to send, wait for input or a signal
      if (reporting) {
        const auto left = std::max(Clock::duration::zero(), next_report - Clock::now());
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        timeout.tv_sec = static_cast<time_t>(ns / 1000000000);
        timeout.tv_nsec = static_cast<long>(ns % 1000000000);
        wait = &timeout;
      }
      pollfd p{line_.fd(), static_cast<short>(POLLIN | (out_.empty() ? 0 : POLLOUT)), 0};
      const int ready = ::ppoll(&p, 1, wait, wait_mask);
      if (ready < 0) {
        if (errno == EINTR) continue;
        std::fprintf(stderr, "velkaro-board: poll: %s\n", std::strerror(errno));
        return 1;
      }
      std::size_t received = 0;
      if ((p.revents & POLLIN) && !Receive(&received)) return 1;
      // A device that went away reports a hang-up, and reads of it return
      // nothing: stop rather than poll it again and again.
      if ((p.revents & (POLLHUP | POLLERR | POLLNVAL)) && received == 0) {
        std::fprintf(stderr, "velkaro-board: the line hung up\n");
        return 1;
      }
      if (!Flush()) return 1;

      const auto now = Clock::now();
      if (reporting && now >= next_report) {
        const double elapsed = std::chrono::duration<double>(now - start).count();
        timespec wall{};
        ::clock_gettime(CLOCK_REALTIME, &wall);
        const PositionReport report = walker_.Next(elapsed, wall.tv_sec);
        Announce(report);
        if (options_.nmea) {
          // The hundredths keep several reports a second apart for gpsd,
          // which tells one receiver cycle from the next by its time.
          const std::string sentences =
              NmeaReport(report, static_cast<int>(wall.tv_nsec / 10000000));
          Queue(std::vector<uint8_t>(sentences.begin(), sentences.end()), true);
        } else {
          const auto payload = BuildPositionPayload(report);
          Queue(EncodeFrame(kTypePosition, payload.data(), payload.size()), true);
        }
        if (!Flush()) return 1;
        next_report += period;
        // After a stall, carry on at the rate instead of sending a burst.
        if (next_report < now) next_report = now + period;
      }
    }
    return 0;
  }

 private:
  // Reads what the line holds; `*count` says how many bytes came.
  bool Receive(std::size_t* count) {
    uint8_t buf[4096];
    const ssize_t n = ::read(line_.fd(), buf, sizeof buf);
    if (n < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return true;
      std::fprintf(stderr, "velkaro-board: read: %s\n", std::strerror(errno));
      return false;
    }
    *count = static_cast<std::size_t>(n);
    Record(buf, static_cast<std::size_t>(n));
    // An NMEA receiver answers nothing; gpsd's probes are only recorded.
    if (options_.nmea) return true;
    // Keep-alive bytes and noise between frames leave the parser idle.
    for (ssize_t i = 0; i < n; ++i) {
      parser_.Feed(buf[i]);
      if (parser_.m_state != CParser::Complete) continue;
      // The handheld sends 00 in the check position, so its check is not
      // tested; the type says what it asks for.
      if (parser_.m_type == kTypeFirmware) {
        Queue(EncodeTextFrame(kTypeFirmware, options_.firmware), false);
      } else if (parser_.m_type == kTypeSerial) {
        Queue(EncodeTextFrame(kTypeSerial, options_.serial), false);
      }
      parser_.Reset();
    }
    return true;
  }

  void Record(const uint8_t* data, std::size_t n) {
    if (record_fd_ < 0 || n == 0) return;
    std::size_t done = 0;
    while (done < n) {
      const ssize_t w = ::write(record_fd_, data + done, n - done);
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) {
        std::fprintf(stderr, "velkaro-board: recording stopped: %s\n", std::strerror(errno));
        ::close(record_fd_);
        record_fd_ = -1;
        return;
      }
      done += static_cast<std::size_t>(w);
    }
  }

  // With --announce on the built-in walk: a line on standard output each
  // time the locked walk reaches a landmark, for the newcomer at the demo.
  void Announce(const PositionReport& report) {
    if (!options_.announce || !options_.track.empty() || report.fix_mode != kFixMode3D) return;
    const DemoLandmark* here = LandmarkAt(BuiltInDemoSite(), report.lat_mas, report.lon_mas);
    if (here == announced_) return;
    announced_ = here;
    if (here == nullptr) return;
    std::printf("%s\n", ArrivalText(*here, options_.rate_hz).c_str());
    std::fflush(stdout);
  }

  void Queue(const std::vector<uint8_t>& frame, bool droppable) {
    if (droppable && out_.size() + frame.size() > kMaxQueuedBytes) return;
    out_.insert(out_.end(), frame.begin(), frame.end());
  }

  bool Flush() {
    while (!out_.empty()) {
      const ssize_t w = ::write(line_.fd(), out_.data(), out_.size());
      if (w < 0) {
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return true;
        std::fprintf(stderr, "velkaro-board: write: %s\n", std::strerror(errno));
        return false;
      }
      out_.erase(out_.begin(), out_.begin() + w);
    }
    return true;
  }

  const BoardOptions& options_;
  BoardLine& line_;
  Walker walker_;
  CParser parser_;
  std::vector<uint8_t> out_;
  int record_fd_ = -1;
  const DemoLandmark* announced_ = nullptr;  // where the walk stands, if at a landmark
};

}  // namespace

int RunBoard(const BoardOptions& options, const Track& track, BoardLine& line,
             const volatile std::sig_atomic_t* stop, const sigset_t* wait_mask) {
  Board board(options, track, line);
  if (!board.OpenRecord()) return 1;
  return board.Run(stop, wait_mask);
}

}  // namespace velkaro::board
