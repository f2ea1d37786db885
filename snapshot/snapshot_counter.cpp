#include "snapshot/snapshot_counter.h"

#include <climits>
#include <cstdio>

namespace velkaro {

namespace {

bool IsCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::filesystem::path CounterPath(const std::filesystem::path& folder) {
  return folder / kSnapshotCounterFileName;
}

}  // namespace

int ParseSnapshotCounter(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsCSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // Accumulate towards the sign's own limit, so INT_MIN is reachable and
  // nothing overflows: once past the limit, the rest of the digits only
  // confirm the clamp.
  const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
  long long magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (magnitude <= limit) magnitude = magnitude * 10 + (text[i] - '0');
  }
  if (magnitude > limit) magnitude = limit;
  return static_cast<int>(negative ? -magnitude : magnitude);
}

int ReadSnapshotCounter(const std::filesystem::path& folder) {
  std::FILE* file = std::fopen(CounterPath(folder).c_str(), "r");
  if (file == nullptr) return 1;
  char line[kSnapshotCounterLineMax + 1];
  const bool got_line = std::fgets(line, sizeof line, file) != nullptr;
  // A folder of that name opens but cannot be read: that is unreadable, not
  // an empty counter.
  const bool unreadable = !got_line && std::ferror(file);
  std::fclose(file);
  if (unreadable) return 1;
  if (!got_line) return 0;
  // fgets reads on past a zero byte, but the line's text ends there.
  return ParseSnapshotCounter(std::string_view(line));
}

// The new number goes to a file of its own first and replaces the counter
// only once it is complete: rewriting the counter in place would leave it
// empty after a failed write (a full disk), and the next snapshot would then
// propose vk000000.jpg again and, with no overwrite prompt, replace old ones.
bool AdvanceSnapshotCounter(const std::filesystem::path& folder, int number) {
  const std::filesystem::path target = CounterPath(folder);
  std::filesystem::path staging = target;
  staging += ".new";
  std::FILE* file = std::fopen(staging.c_str(), "w");
  if (file == nullptr) return false;
  const int next = number == INT_MAX ? INT_MAX : number + 1;
  const bool printed = std::fprintf(file, "%d\n", next) > 0;
  const bool flushed = std::fflush(file) == 0;
  const bool closed = std::fclose(file) == 0;
  if (!printed || !flushed || !closed || std::rename(staging.c_str(), target.c_str()) != 0) {
    std::remove(staging.c_str());
    return false;
  }
  return true;
}

std::string ProposedSnapshotName(int number) {
  char name[32];
  std::snprintf(name, sizeof name, "vk%06d.jpg", number);
  return name;
}

}  // namespace velkaro
