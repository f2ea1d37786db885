// The snapshot counter file and the file name it proposes.
//
// The counter file "vkimgcnt.cnt" sits in a folder the caller chooses (the
// application passes the user's home directory). Its first line holds the
// number of the next snapshot as decimal text followed by a line end.
//
// Thread safety: none needed; the functions share no state.
#ifndef VELKARO_SNAPSHOT_SNAPSHOT_COUNTER_H_
#define VELKARO_SNAPSHOT_SNAPSHOT_COUNTER_H_

#include <filesystem>
#include <string>
#include <string_view>

namespace velkaro {

inline constexpr char kSnapshotCounterFileName[] = "vkimgcnt.cnt";

// Only this many characters of the first line are looked at, as a line
// buffer of 80 bytes would hold them.
inline constexpr std::size_t kSnapshotCounterLineMax = 79;

// The leading decimal number of text, read the way strtol(text, nullptr, 10)
// reads it: leading white space (" \t\n\v\f\r"), then an optional sign, then
// digits; reading stops at the first byte that is not a digit, or at a zero
// byte. No digits gives 0. A number beyond the range of int is clamped to
// INT_MAX or INT_MIN (the runtime's sscanf("%d") would instead keep the low
// 32 bits of the long it read, turning a large counter negative).
int ParseSnapshotCounter(std::string_view text);

// The number of the next snapshot, from folder/vkimgcnt.cnt: the leading
// number of its first line (at most kSnapshotCounterLineMax characters);
// 0 when the line holds no number or the file is empty; 1 when the file is
// missing, cannot be read or is not a regular file.
int ReadSnapshotCounter(const std::filesystem::path& folder);

// Replaces folder/vkimgcnt.cnt with number + 1 as "%d\n" (INT_MAX stays
// INT_MAX rather than overflowing). The old counter is replaced only by a
// complete new one. Returns false when the file could not be written; the
// counter then stays as it was, and the caller may ignore the result.
bool AdvanceSnapshotCounter(const std::filesystem::path& folder, int number);

// How many names FirstFreeSnapshotNumber tries before it gives up.
inline constexpr int kSnapshotNameSearchLimit = 100000;

// The first number at or after `number` whose proposed name is free in
// `folder`, so a counter that is junk, lost or cannot be written never
// proposes a picture that exists. Gives up (returning the number reached)
// after kSnapshotNameSearchLimit names or at INT_MAX.
int FirstFreeSnapshotNumber(const std::filesystem::path& folder, int number);

// The proposed file name for snapshot number: "vk%06d.jpg".
std::string ProposedSnapshotName(int number);

}  // namespace velkaro

#endif  // VELKARO_SNAPSHOT_SNAPSHOT_COUNTER_H_
