// Finding the board's port among the active-driver keys.
#include "link/com.h"

#include <cstdio>
#include <optional>
#include <string>

namespace velkaro {
namespace {

constexpr const char* kActiveKey = "Drivers\\Active";
constexpr int kLastNumberedKey = 50;

// Registry strings are 16-bit; the link keeps the low byte of each character
// and the text up to the first NUL.
std::string Narrow(const std::u16string& wide) {
  std::string narrow;
  for (char16_t c : wide) {
    if (c == 0) break;
    narrow.push_back(static_cast<char>(c & 0xFF));
  }
  return narrow;
}

// A value is read into room for 511 bytes of 16-bit text with its NUL; a
// longer one does not come back, as if it were missing.
constexpr size_t kValueRoomBytes = 511;

std::optional<std::string> ReadText(const IDeviceRegistry& registry, const std::string& key,
                                    const std::string& name) {
  std::optional<std::u16string> value = registry.Value(key, name);
  if (!value || (value->size() + 1) * sizeof(char16_t) > kValueRoomBytes) return std::nullopt;
  return Narrow(*value);
}

// The key's "Name" as a port name; none when it is missing or does not fit
// the port name's 127 characters.
std::optional<std::string> ReadPortName(const IDeviceRegistry& registry, const std::string& key) {
  std::optional<std::string> name = ReadText(registry, key, "Name");
  if (!name || name->size() > CCom::kMaxPortNameLength) return std::nullopt;
  return name;
}

bool StartsWith(const std::string& text, const char* prefix) {
  return text.rfind(prefix, 0) == 0;  // exact case
}

// First search: plug-in serial cards among the subkeys of Drivers\Active.
std::optional<std::string> FindCardPort(const IDeviceRegistry& registry) {
  std::optional<std::vector<std::string>> subkeys = registry.SubKeys(kActiveKey);
  if (!subkeys) return std::nullopt;
  for (const std::string& subkey : *subkeys) {
    const std::string key = std::string(kActiveKey) + "\\" + subkey;
    if (!registry.HasKey(key)) continue;
    std::optional<std::string> pnp_id = ReadText(registry, key, "PnpId");
    if (!pnp_id) continue;
    if (StartsWith(*pnp_id, "Quatech") || StartsWith(*pnp_id, "CF-Serial_I-O")) {
      if (std::optional<std::string> name = ReadPortName(registry, key)) return name;
    }
  }
  return std::nullopt;
}

// Second search: socket cards in Drivers\Active\00 to Drivers\Active\50.
std::optional<std::string> FindSocketPort(const IDeviceRegistry& registry) {
  for (int n = 0; n <= kLastNumberedKey; ++n) {
    char key[32];
    std::snprintf(key, sizeof(key), "%s\\%02d", kActiveKey, n);
    if (!registry.HasKey(key)) continue;
    std::optional<std::string> pnp_id = ReadText(registry, key, "PnpId");
    if (!pnp_id || !StartsWith(*pnp_id, "Socket")) continue;
    if (std::optional<std::string> name = ReadPortName(registry, key)) return name;
  }
  return std::nullopt;
}

}  // namespace

std::string FindBoardPort(const IDeviceRegistry& registry) {
  if (std::optional<std::string> port = FindCardPort(registry)) return *port;
  if (std::optional<std::string> port = FindSocketPort(registry)) return *port;
  return kDefaultPortName;
}

}  // namespace velkaro
