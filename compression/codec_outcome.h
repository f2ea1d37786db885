#pragma once

// The outcomes the compressor's passes report, shared so that the threaded
// and the streaming passes say the same thing about the same failure.

#include "compression/compression.h"

#include <string>

namespace velkaro {

inline CompressionOutcome Failure(int error, const std::string& path, const char* detail = "") {
  CompressionOutcome outcome;
  outcome.cause = error ? FileErrorCauseFromErrno(error) : FileErrorCause::kGeneric;
  if (outcome.cause == FileErrorCause::kNone) outcome.cause = FileErrorCause::kGeneric;
  outcome.path = path;
  outcome.detail = detail;
  return outcome;
}

inline CompressionOutcome Truncated(const std::string& path, uint64_t written, const char* detail) {
  CompressionOutcome outcome;
  outcome.cause = FileErrorCause::kEndOfFile;
  outcome.path = path;
  outcome.count = written;
  outcome.detail = detail;
  return outcome;
}

inline CompressionOutcome Success(uint64_t count) {
  CompressionOutcome outcome;
  outcome.ok = true;
  outcome.count = count;
  return outcome;
}

inline constexpr const char* kTooLarge = "the file is 4 GiB or larger";
inline constexpr const char* kChanged = "the file changed while it was being compressed";
inline constexpr const char* kShortHeader =
    "the file is shorter than the 1032-byte start of a block";
inline constexpr const char* kShortCodes = "the codes end before the block's length is reached";
inline constexpr const char* kSameFile = "source and destination are the same file";

}  // namespace velkaro
