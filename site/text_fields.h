#pragma once

// Helpers for the comma-separated text files the tools and the program read
// (tap files, reference-point files): whole-field numbers, nothing lenient.

#include <charconv>
#include <string_view>
#include <system_error>
#include <vector>

namespace velkaro {

// `text` without blanks, tabs and carriage returns at either end.
inline std::string_view TrimField(std::string_view text) {
  const char* blanks = " \t\r";
  const size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}

// Takes the next line off the front of `text`, without its line feed.
inline std::string_view TakeLine(std::string_view& text) {
  const size_t end = text.find('\n');
  const std::string_view line = text.substr(0, end);
  text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
  return line;
}

// A whole (trimmed) field as one number: no leftovers, no empty field. For
// doubles the parse is exact: the text "%.17g" printed gives the same double.
template <class T>
bool ParseWholeField(std::string_view field, T& value) {
  field = TrimField(field);
  if (field.empty()) return false;
  const char* end = field.data() + field.size();
  const auto [stop, error] = std::from_chars(field.data(), end, value);
  return error == std::errc() && stop == end;
}

// Degrees as a whole field: finite and within -90..90 (latitude) or
// -180..180 (longitude).
inline bool ParseLatitudeField(std::string_view field, double& value) {
  return ParseWholeField(field, value) && value >= -90.0 && value <= 90.0;
}
inline bool ParseLongitudeField(std::string_view field, double& value) {
  return ParseWholeField(field, value) && value >= -180.0 && value <= 180.0;
}

// The fields of one line between commas, untrimmed; at most `limit` + 1 (so
// a caller sees that there were too many without splitting a huge line).
inline std::vector<std::string_view> SplitFields(std::string_view line, size_t limit) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (;;) {
    const size_t comma = line.find(',', start);
    fields.push_back(line.substr(start, comma == std::string_view::npos ? comma : comma - start));
    if (comma == std::string_view::npos || fields.size() > limit) break;
    start = comma + 1;
  }
  return fields;
}

}  // namespace velkaro
