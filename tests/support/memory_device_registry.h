#pragma once

// A device registry whose keys the test sets by hand.

#include "platform/device_registry.h"

namespace velkaro::testing {

// The registry views' own key store, with its setters open: AddKey adds a
// key and every ancestor it lacks; SetValue adds the key as needed. Subkeys
// enumerate in the order they were first added.
class MemoryDeviceRegistry : public KeyStoreRegistry {
 public:
  using KeyStoreRegistry::AddKey;
  using KeyStoreRegistry::SetValue;
};

}  // namespace velkaro::testing
