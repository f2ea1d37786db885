#include "link/gpsd_address.h"

#include <algorithm>

namespace velkaro {
namespace {

constexpr std::size_t kMaxHostLength = 253;  // the longest DNS name

bool ValidHost(std::string_view host) {
  if (host.size() > kMaxHostLength) return false;
  return std::none_of(host.begin(), host.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u <= ' ' || u == 0x7F || c == '[' || c == ']';
  });
}

bool ValidPort(std::string_view port) {
  if (port.empty() || port.size() > 5 || port[0] == '0') return false;
  int value = 0;
  for (char c : port) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return value <= 65535;
}

}  // namespace

std::string GpsdAddress::ToString() const {
  const bool ipv6 = host.find(':') != std::string::npos;
  return (ipv6 ? "[" + host + "]" : host) + ":" + port;
}

std::optional<GpsdAddress> ParseGpsdAddress(std::string_view text) {
  std::string_view host = text;
  std::string_view port;
  if (!text.empty() && text.front() == '[') {
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    host = text.substr(1, close - 1);
    const std::string_view rest = text.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') return std::nullopt;
      port = rest.substr(1);
    }
  } else if (const std::size_t colon = text.find(':');
             colon != std::string_view::npos &&
             text.find(':', colon + 1) == std::string_view::npos) {
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
  }

  GpsdAddress address;
  if (!host.empty()) {
    if (!ValidHost(host)) return std::nullopt;
    address.host = std::string(host);
  }
  if (!port.empty()) {
    if (!ValidPort(port)) return std::nullopt;
    address.port = std::string(port);
  }
  return address;
}

}  // namespace velkaro
