#pragma once

// Read-only media for a test, made real without privileges: a forked child
// in a user and mount namespace of its own sees a folder mounted read-only,
// so every write into it fails with EROFS as on a locked stick, while the
// test and every other process go on seeing it writable.

#include <functional>
#include <string>

namespace velkaro::testing {

// The status InReadOnlyFolder returns where the kernel gives no user
// namespace (a container that forbids them).
inline constexpr int kNoReadOnlyMount = 77;

// Runs `body` in a child that sees `folder` read-only and returns the
// child's exit status: `body`'s result, or kNoReadOnlyMount. The child never
// returns into the test framework; its failed expectations are printed and
// must be turned into a non-zero result by `body`.
int InReadOnlyFolder(const std::string& folder, const std::function<int()>& body);

}  // namespace velkaro::testing
