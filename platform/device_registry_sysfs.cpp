// The active-driver keys synthesized from sysfs.
//
// Each serial device under /sys/class/tty becomes one key
// "Drivers\Active\NN" with "Name" = "/dev/<name>" and "PnpId" = the USB
// device's manufacturer and product strings, or else the driver's name. The
// view is taken once, when the registry is built. sysfs is outside input
// like any other: missing files, dangling links and odd contents only make a
// device drop out or lose its USB strings; they never fail the scan.
#include "platform/device_registry.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <tuple>

namespace velkaro {
namespace {

namespace fs = std::filesystem;

constexpr char kActive[] = "Drivers\\Active";
constexpr int kMaxKeys = 100;          // NN is two digits
constexpr std::size_t kMaxText = 256;  // sysfs attributes are short
constexpr int kMaxUsbLevels = 6;       // tty device -> interface -> USB device
constexpr int kMaxDriverLevels = 3;    // tty device -> serial-core port -> ctrl -> UART

// The first line of a small attribute file, without trailing white space;
// nullopt when it does not read.
std::optional<std::string> ReadAttribute(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text(kMaxText, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(in.gcount()));
  if (in.bad()) return std::nullopt;
  const auto eol = text.find('\n');
  if (eol != std::string::npos) text.resize(eol);
  while (!text.empty() &&
         (text.back() == ' ' || text.back() == '\r' || text.back() == '\t' || text.back() == '\0'))
    text.pop_back();
  return text;
}

// Bytes widened one to one, so that narrowing by the low byte gives them back.
std::u16string Widen(const std::string& text) {
  std::u16string wide;
  for (unsigned char c : text) wide.push_back(static_cast<char16_t>(c));
  return wide;
}

// The serial families the handheld's port search can use.
bool IsSerialName(const std::string& name) {
  for (const char* prefix : {"ttyS", "ttyUSB", "ttyACM"}) {
    const std::string p = prefix;
    if (name.size() > p.size() && name.compare(0, p.size(), p) == 0 &&
        std::all_of(name.begin() + static_cast<long>(p.size()), name.end(),
                    [](char c) { return c >= '0' && c <= '9'; }))
      return true;
  }
  return false;
}

// Devices sort by family, then by number: ttyS2 before ttyS10. Numbers are
// compared as digit strings, so no length of name can overflow anything.
bool NaturalLess(const std::string& a, const std::string& b) {
  const auto split = [](const std::string& s) {
    auto digit = s.find_first_of("0123456789");
    std::string number = s.substr(digit);
    number.erase(0, std::min(number.find_first_not_of('0'), number.size() - 1));
    return std::make_tuple(s.substr(0, digit), number.size(), number);
  };
  return split(a) < split(b);
}

// The kernel registers ttyS0..ttyS31 whether or not a UART sits behind them;
// such placeholders report port type 0. An unreadable type is taken as none.
bool IsPlaceholderUart(const fs::path& entry, const std::string& name) {
  if (name.compare(0, 4, "ttyS") != 0) return false;
  const auto type = ReadAttribute(entry / "type");
  return !type || type->empty() || *type == "0";
}

std::string PnpIdFor(const fs::path& entry) {
  std::error_code ec;
  const fs::path device = fs::canonical(entry / "device", ec);
  if (!ec) {
    // The USB device that owns the port holds the strings; walk up to it.
    fs::path dir = device;
    for (int level = 0; level < kMaxUsbLevels && dir.has_relative_path(); ++level) {
      const auto maker = ReadAttribute(dir / "manufacturer");
      const auto product = ReadAttribute(dir / "product");
      if (maker || product) {
        std::string id = maker.value_or("");
        if (maker && product) id += ' ';
        id += product.value_or("");
        if (!id.empty()) return id;
      }
      // A USB device without strings: its hub's strings are not its own.
      if (fs::exists(dir / "idVendor", ec)) break;
      dir = dir.parent_path();
    }
  }
  // Newer kernels put the serial core's generic "port" and "ctrl" devices
  // (drivers of the bus serial-base) between the tty and the UART; the
  // UART's own driver is the telling name.
  fs::path dir = entry / "device";
  for (int level = 0; level < kMaxDriverLevels; ++level) {
    const fs::path driver = fs::read_symlink(dir / "driver", ec);
    const bool generic = driver.parent_path().parent_path().filename() == "serial-base";
    if (!ec && !driver.filename().empty() && !generic) return driver.filename().string();
    dir /= "..";
  }
  return std::string();
}

}  // namespace

SysfsDeviceRegistry::SysfsDeviceRegistry(const std::string& sysfs_tty) {
  AddKey(kActive);

  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(sysfs_tty, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (!IsSerialName(name)) continue;
    std::error_code link_ec;
    if (!fs::exists(it->path() / "device", link_ec)) continue;
    if (IsPlaceholderUart(it->path(), name)) continue;
    names.push_back(name);
  }
  std::sort(names.begin(), names.end(), NaturalLess);

  int index = 0;
  for (const std::string& name : names) {
    if (index >= kMaxKeys) break;
    char key[32];
    std::snprintf(key, sizeof key, "%s\\%02d", kActive, index++);
    SetValue(key, "Name", Widen("/dev/" + name));
    SetValue(key, "PnpId", Widen(PnpIdFor(fs::path(sysfs_tty) / name)));
  }
}

}  // namespace velkaro
