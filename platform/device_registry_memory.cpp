// The in-memory key store the registry views are filled into.
#include "platform/device_registry.h"

namespace velkaro {
namespace {

// "A\B\C" -> "A\B"; a key without a separator has no parent.
std::string ParentOf(const std::string& key) {
  const auto cut = key.rfind('\\');
  return cut == std::string::npos ? std::string() : key.substr(0, cut);
}

}  // namespace

void KeyStoreRegistry::AddKey(const std::string& key) {
  if (key.empty() || keys_.count(key) != 0) return;
  // Every ancestor exists once a descendant does, and is listed first so
  // that enumeration sees parents before children.
  const std::string parent = ParentOf(key);
  if (!parent.empty()) AddKey(parent);
  keys_[key];
  order_.push_back(key);
}

void KeyStoreRegistry::SetValue(const std::string& key, const std::string& name,
                                const std::u16string& value) {
  AddKey(key);
  keys_[key][name] = value;
}

std::optional<std::vector<std::string>> KeyStoreRegistry::SubKeys(const std::string& key) const {
  if (!HasKey(key)) return std::nullopt;
  std::vector<std::string> children;
  for (const std::string& k : order_) {
    if (ParentOf(k) == key) children.push_back(k.substr(key.size() + 1));
  }
  return children;
}

bool KeyStoreRegistry::HasKey(const std::string& key) const { return keys_.count(key) != 0; }

std::optional<std::u16string> KeyStoreRegistry::Value(const std::string& key,
                                                      const std::string& name) const {
  const auto k = keys_.find(key);
  if (k == keys_.end()) return std::nullopt;
  const auto v = k->second.find(name);
  if (v == k->second.end()) return std::nullopt;
  return v->second;
}

}  // namespace velkaro
