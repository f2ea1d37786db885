#pragma once

// Small facts about paths that several writers name files after.

#include <cstdint>
#include <string>

namespace velkaro {

// `path` taken from the current folder when it is relative, so that two
// spellings of one file in one folder give one name.
std::string AbsolutePath(const std::string& path);

// FNV-1a of `text`: the same number in every process and every build.
uint64_t StableHash(const std::string& text);

// The last component of `path`: what a message names a file by.
std::string BaseName(const std::string& path);

// True when the folder that holds `path` takes no new files from this
// process (read-only media, a folder without write permission), as opposed
// to a name that is taken by something other than a file.
bool FolderRefusesFiles(const std::string& path);

}  // namespace velkaro
