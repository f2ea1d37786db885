#pragma once

// Files for tests: a private temporary folder, the current folder set for a
// while, whole-file reads and writes, and a text's lines.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace velkaro::testing {

// A fresh folder under the system's temporary folder, removed with all it
// holds when the object goes. Throws std::runtime_error when the folder
// cannot be made: a test without its folder would test nothing.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The path of `name` inside the folder.
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// The current folder is `dir` while the object lives (the geocode solve
// writes its dump into the current folder); the previous one comes back.
class CurrentDir {
 public:
  explicit CurrentDir(const std::filesystem::path& dir);
  ~CurrentDir();
  CurrentDir(const CurrentDir&) = delete;
  CurrentDir& operator=(const CurrentDir&) = delete;

 private:
  std::filesystem::path previous_;
};

// The whole file; empty when it does not read.
std::vector<uint8_t> ReadAll(const std::filesystem::path& path);
std::string ReadText(const std::filesystem::path& path);

// Replaces the file with `bytes`. Throws std::runtime_error when the file is
// not written whole, so that a test does not go on from a setup that failed.
void WriteAll(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
void WriteText(const std::filesystem::path& path, const std::string& text);

// The names of the plain files in `dir`, sorted.
std::vector<std::string> FileNames(const std::filesystem::path& dir);

// The lines of `text`, without their line ends.
std::vector<std::string> Lines(const std::string& text);

}  // namespace velkaro::testing
