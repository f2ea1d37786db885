// The registry view synthesized from a sysfs tty folder (here a fake tree in
// a temp folder).
#include "platform/device_registry.h"

#include "tests/support/temp_folder.h"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

namespace velkaro {
namespace {

namespace fs = std::filesystem;
using Keys = std::vector<std::string>;

// A fake /sys: devices/ holds the device folders, class/tty/ the links to
// them, as the kernel lays them out.
class FakeSysfs : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(Tty()); }

  fs::path Tty() const { return root_ / "class" / "tty"; }

  void Write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text;
  }

  // class/tty/<name> with a `device` link to `device_dir`, and optionally a
  // driver link named `driver` under it.
  void AddTty(const std::string& name, const fs::path& device_dir, const std::string& driver) {
    fs::create_directories(device_dir);
    fs::create_directories(Tty() / name);
    fs::create_directory_symlink(device_dir, Tty() / name / "device");
    if (!driver.empty()) {
      fs::create_directories(root_ / "bus" / "drivers" / driver);
      fs::create_directory_symlink(root_ / "bus" / "drivers" / driver, device_dir / "driver");
    }
  }

  static std::string Narrow(const std::optional<std::u16string>& v) {
    return v ? std::string(v->begin(), v->end()) : std::string();
  }

  testing::TempFolder folder_;
  fs::path root_ = folder_.path();
};

TEST_F(FakeSysfs, SynthesizesOneKeyPerSerialDevice) {
  const fs::path usb = root_ / "devices" / "usb1" / "1-1";
  Write(usb / "manufacturer", "FTDI\n");
  Write(usb / "product", "FT232R USB UART\n");
  Write(usb / "idVendor", "0403\n");
  AddTty("ttyUSB0", usb / "1-1:1.0" / "ttyUSB0", "ftdi_sio");

  const fs::path acm = root_ / "devices" / "usb1" / "1-2";
  Write(acm / "product", "GPS Board\n");  // no manufacturer string
  Write(acm / "idVendor", "1546\n");
  AddTty("ttyACM0", acm / "1-2:1.0", "cdc_acm");

  AddTty("ttyS0", root_ / "devices" / "pnp0" / "00:01", "serial");
  Write(Tty() / "ttyS0" / "type", "4\n");
  AddTty("ttyS1", root_ / "devices" / "platform" / "serial8250" / "s1", "serial8250");
  Write(Tty() / "ttyS1" / "type", "0\n");  // a placeholder with no UART
  AddTty("ttyS2", root_ / "devices" / "platform" / "serial8250" / "s2", "serial8250");
  // ttyS2 has no type file: treated as a placeholder.
  AddTty("ttyS10", root_ / "devices" / "pci" / "exar", "exar_serial");
  Write(Tty() / "ttyS10" / "type", "4\n");
  // The serial core's generic port device sits between tty and UART.
  const fs::path uart = root_ / "devices" / "pnp0" / "00:04";
  const fs::path serial_base = root_ / "bus" / "serial-base" / "drivers";
  AddTty("ttyS4", uart / "00:04:0" / "00:04:0.0", "");
  fs::create_directories(serial_base / "port");
  fs::create_directories(serial_base / "ctrl");
  fs::create_directory_symlink(serial_base / "port", uart / "00:04:0" / "00:04:0.0" / "driver");
  fs::create_directory_symlink(serial_base / "ctrl", uart / "00:04:0" / "driver");
  fs::create_directory_symlink(root_ / "bus" / "drivers" / "serial", uart / "driver");
  Write(Tty() / "ttyS4" / "type", "4\n");

  // Not serial devices, or serial names without a device behind them.
  fs::create_directories(Tty() / "tty0");
  fs::create_directories(Tty() / "ttyUSB9");
  AddTty("console", root_ / "devices" / "virtual" / "console", "");

  // A USB device whose own strings are missing does not borrow its hub's.
  const fs::path hub = root_ / "devices" / "usb2";
  Write(hub / "manufacturer", "Linux xhci-hcd\n");
  Write(hub / "product", "xHCI Host Controller\n");
  Write(hub / "idVendor", "1d6b\n");
  Write(hub / "2-1" / "idVendor", "067b\n");
  AddTty("ttyUSB1", hub / "2-1" / "2-1:1.0" / "ttyUSB1", "pl2303");

  SysfsDeviceRegistry reg(Tty().string());
  EXPECT_EQ(reg.SubKeys("Drivers\\Active"), (Keys{"00", "01", "02", "03", "04", "05"}));
  const std::vector<std::pair<std::string, std::string>> want = {
      {"/dev/ttyACM0", "GPS Board"},  {"/dev/ttyS0", "serial"},
      {"/dev/ttyS4", "serial"},  // through the serial core's port device
      {"/dev/ttyS10", "exar_serial"}, {"/dev/ttyUSB0", "FTDI FT232R USB UART"},
      {"/dev/ttyUSB1", "pl2303"},
  };
  for (size_t i = 0; i < want.size(); ++i) {
    const std::string key = "Drivers\\Active\\0" + std::to_string(i);
    SCOPED_TRACE(key);
    EXPECT_TRUE(reg.HasKey(key));
    EXPECT_EQ(Narrow(reg.Value(key, "Name")), want[i].first);
    EXPECT_EQ(Narrow(reg.Value(key, "PnpId")), want[i].second);
  }
  EXPECT_FALSE(reg.HasKey("Drivers\\Active\\06"));
}

TEST_F(FakeSysfs, OddContentsNeverFailTheScan) {
  // A dangling device link, a device without a driver, an unreadable
  // (folder instead of file) manufacturer, a huge name number.
  fs::create_directories(Tty() / "ttyUSB3");
  fs::create_directory_symlink(root_ / "gone", Tty() / "ttyUSB3" / "device");
  AddTty("ttyACM1", root_ / "devices" / "x" / "acm1", "");
  fs::create_directories(root_ / "devices" / "x" / "manufacturer");
  AddTty("ttyUSB99999999999999999999999", root_ / "devices" / "y", "usbserial");

  SysfsDeviceRegistry reg(Tty().string());
  ASSERT_TRUE(reg.SubKeys("Drivers\\Active"));
  EXPECT_EQ(reg.SubKeys("Drivers\\Active")->size(), 2u);
  EXPECT_EQ(Narrow(reg.Value("Drivers\\Active\\00", "Name")), "/dev/ttyACM1");
  EXPECT_EQ(Narrow(reg.Value("Drivers\\Active\\00", "PnpId")), "");
  EXPECT_EQ(Narrow(reg.Value("Drivers\\Active\\01", "PnpId")), "usbserial");

  // No tty folder at all: an empty list, not a missing key.
  SysfsDeviceRegistry none("/nonexistent/velkaro/sysfs");
  EXPECT_TRUE(none.HasKey("Drivers\\Active"));
  EXPECT_EQ(none.SubKeys("Drivers\\Active"), Keys{});
}

}  // namespace
}  // namespace velkaro
