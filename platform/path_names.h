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

// The whole of `path`, made absolute, as one file name ('/' becomes '%'):
// readable when it fits in a name, else its end after a hash of the whole
// (FNV-1a), which tells long paths apart. For files kept on a path's behalf
// in one of the user's folders.
std::string FlatPathName(const std::string& path);

// One of the user's folders: the XDG base directory in `variable` when it
// is an absolute path, else `home_sub` under $HOME ("/.cache"), else /tmp.
std::string UserFolder(const char* variable, const char* home_sub);

// The last component of `path`: what a message names a file by.
std::string BaseName(const std::string& path);

// True when the folder that holds `path` takes no new files from this
// process (read-only media, a folder without write permission), as opposed
// to a name that is taken by something other than a file.
bool FolderRefusesFiles(const std::string& path);

}  // namespace velkaro
