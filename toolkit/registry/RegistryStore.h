#pragma once

#include <QString>
#include <optional>

#include "toolkit/registry/RegistryValue.h"

namespace ostrel {

// Where registry keys and values come from. Key paths are relative to one of
// the predefined roots (reg::LocalMachine, ...), components joined by "\" with
// no leading or trailing "\"; an empty path is the root itself. Key and value
// names compare without regard to letter case. The store is read-only.
class RegistryStore {
 public:
  virtual ~RegistryStore() = default;
  virtual bool keyExists(reg::HKEY root, const QString& keyPath) = 0;
  // The value named valueName (empty: the key's default value) of the key.
  virtual std::optional<RegistryValue> value(reg::HKEY root, const QString& keyPath,
                                             const QString& valueName) = 0;
};

}  // namespace ostrel
