#include "tests/support/temp_folder.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace velkaro::testing {
namespace {

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::filesystem::path& path, const char* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data, static_cast<std::streamsize>(size));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace

TempFolder::TempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "velkaro-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr)
    throw std::runtime_error("cannot make a folder like " + pattern + ": " + std::strerror(errno));
  path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

CurrentDir::CurrentDir(const std::filesystem::path& dir)
    : previous_(std::filesystem::current_path()) {
  std::filesystem::current_path(dir);
}

CurrentDir::~CurrentDir() {
  std::error_code ignored;
  std::filesystem::current_path(previous_, ignored);
}

std::vector<uint8_t> ReadAll(const std::filesystem::path& path) {
  const std::string bytes = ReadBytes(path);
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

std::string ReadText(const std::filesystem::path& path) { return ReadBytes(path); }

void WriteAll(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  WriteBytes(path, reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

void WriteText(const std::filesystem::path& path, const std::string& text) {
  WriteBytes(path, text.data(), text.size());
}

std::vector<std::string> FileNames(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace velkaro::testing
