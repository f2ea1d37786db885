#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace velkaro {

// A read-only view of the device registry's active-driver keys
// ("Drivers\Active" and its subkeys "Drivers\Active\NN"), each holding
// 16-bit string values such as "PnpId" and "Name". Key paths use '\'.
class IDeviceRegistry {
 public:
  virtual ~IDeviceRegistry() = default;
  // Names of the direct subkeys of `key`, in enumeration order; nullopt when
  // the key does not open.
  virtual std::optional<std::vector<std::string>> SubKeys(const std::string& key) const = 0;
  // True when `key` opens.
  virtual bool HasKey(const std::string& key) const = 0;
  // A string value of `key`; nullopt when the key or the value is missing.
  virtual std::optional<std::u16string> Value(const std::string& key,
                                              const std::string& name) const = 0;
};

// Keys and values held in memory; subkeys enumerate in the order they were
// first added. A registry view fills it as it is built.
class KeyStoreRegistry : public IDeviceRegistry {
 public:
  std::optional<std::vector<std::string>> SubKeys(const std::string& key) const override;
  bool HasKey(const std::string& key) const override;
  std::optional<std::u16string> Value(const std::string& key,
                                      const std::string& name) const override;

 protected:
  // Adds `key` and every ancestor it lacks; a key already there stays where
  // it was in the order.
  void AddKey(const std::string& key);
  void SetValue(const std::string& key, const std::string& name, const std::u16string& value);

 private:
  std::vector<std::string> order_;  // keys in the order they were added
  std::map<std::string, std::map<std::string, std::u16string>> keys_;
};

// The machine's serial devices as active-driver keys: one key
// "Drivers\Active\NN" per device, "Name" its device path, "PnpId" its USB
// manufacturer and product strings (or its driver's name).
class SysfsDeviceRegistry : public KeyStoreRegistry {
 public:
  // `sysfs_tty` is the folder to scan (the machine's /sys/class/tty; tests
  // point it at a folder of their own).
  explicit SysfsDeviceRegistry(const std::string& sysfs_tty = "/sys/class/tty");
};

}  // namespace velkaro
