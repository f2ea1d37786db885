#include "snapshot/snapshot_counter.h"

#include "platform/atomic_file.h"
#include "platform/regular_file.h"

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
  int error = 0;
  std::FILE* file = OpenRegularStream(CounterPath(folder).string(), &error);
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

// The new number replaces the counter only as a complete file: rewriting it
// in place would leave it empty after a failed write (a full disk).
bool AdvanceSnapshotCounter(const std::filesystem::path& folder, int number) {
  const int next = number == INT_MAX ? INT_MAX : number + 1;
  const std::string text = std::to_string(next) + "\n";
  return WriteFileAtomically(CounterPath(folder).string(), text.data(), text.size()) ==
         FileErrorCause::kNone;
}

int FirstFreeSnapshotNumber(const std::filesystem::path& folder, int number) {
  for (int tries = 0; tries < kSnapshotNameSearchLimit && number < INT_MAX; ++tries, ++number) {
    std::error_code error;
    // Anything standing at the name, even a broken link, keeps it taken.
    if (!std::filesystem::exists(
            std::filesystem::symlink_status(folder / ProposedSnapshotName(number), error)))
      return number;
  }
  return number;
}

std::string ProposedSnapshotName(int number) {
  char name[32];
  std::snprintf(name, sizeof name, "vk%06d.jpg", number);
  return name;
}

}  // namespace velkaro
