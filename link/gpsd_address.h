#pragma once

// Where gpsd listens, as `velkaro --gpsd` and `vlk watch --gpsd` take it.

#include <optional>
#include <string>
#include <string_view>

namespace velkaro {

struct GpsdAddress {
  static constexpr const char* kDefaultHost = "localhost";
  static constexpr const char* kDefaultPort = "2947";  // gpsd's registered port

  std::string host = kDefaultHost;
  std::string port = kDefaultPort;

  // "HOST:PORT" ("[HOST]:PORT" for an IPv6 literal): the form messages show.
  std::string ToString() const;
  bool operator==(const GpsdAddress&) const = default;
};

// Reads "HOST", "HOST:PORT", ":PORT", "[IPV6]" or "[IPV6]:PORT"; an empty
// host or port takes its default, and text with more than one colon and no
// brackets is an IPv6 host on the default port. None when the port is not a
// number from 1 to 65535, or the host is longer than 253 characters or holds
// a space, a control character or a bracket where none belongs.
std::optional<GpsdAddress> ParseGpsdAddress(std::string_view text);

}  // namespace velkaro
