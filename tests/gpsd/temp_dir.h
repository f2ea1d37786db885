#pragma once

// A fresh folder under /tmp for one test's files, removed with everything
// in it when the test ends.

#include <cstdlib>
#include <string>

namespace velkaro::testing {

class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/velkaro-gpsd-XXXXXX";
    if (::mkdtemp(pattern) != nullptr) path_ = pattern;
  }
  ~TempDir() {
    if (!path_.empty()) std::system(("rm -rf '" + path_ + "'").c_str());
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  bool ok() const { return !path_.empty(); }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace velkaro::testing
