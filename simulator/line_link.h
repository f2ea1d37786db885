#pragma once

// A second, stable name for the board's line: a symbolic link, the way
// /dev/serial/by-id names an adapter. Replacing it is atomic (the link is
// made under a temporary name in the same folder and renamed over the
// name), so a reader never finds the name missing or half made, and one
// simulator can take over a name from another. At the end the link is
// removed, unless another simulator has put its own link there since.

#include <string>

namespace velkaro::board {

class LineLink {
 public:
  LineLink() = default;
  ~LineLink() { Remove(); }
  LineLink(const LineLink&) = delete;
  LineLink& operator=(const LineLink&) = delete;

  // Makes `path` a symbolic link to `target`, replacing a symbolic link of
  // that name. Refuses, with the reason in `*error`, to replace anything
  // that is not a symbolic link.
  bool Create(const std::string& path, const std::string& target, std::string* error);

  // Removes the link if it still points to this line. Idempotent.
  void Remove();

 private:
  std::string path_;
  std::string target_;
};

}  // namespace velkaro::board
