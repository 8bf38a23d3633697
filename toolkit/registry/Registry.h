#pragma once

#include <QHash>
#include <QString>
#include <optional>

#include "toolkit/registry/RegistryStore.h"
#include "toolkit/registry/RegistryValue.h"

namespace ostrel {

// The three registry calls the program has always made, with their result
// codes, over a read-only store. Handles are small numbers handed out by
// RegOpenKeyExA and valid until RegCloseKey; the predefined roots are always
// open and closing one is harmless.
class Registry {
 public:
  explicit Registry(RegistryStore& store);

  // Opens subKey below key (a root or an open handle). options and samDesired
  // are accepted as given: the store is read-only, so no access is refused.
  // On failure *result is 0.
  qint32 RegOpenKeyExA(reg::HKEY key, const QString& subKey, quint32 options, quint32 samDesired,
                       reg::HKEY* result);
  // With data null, reports only the type and the size. With *size too small
  // for the value, reports the size needed and returns reg::MoreData without
  // writing data. String values come as stored: a zero at their end only if
  // the value has one.
  qint32 RegQueryValueExA(reg::HKEY key, const QString& valueName, quint32* reserved, quint32* type,
                          quint8* data, quint32* size);
  qint32 RegCloseKey(reg::HKEY key);

  int openHandleCount() const { return open_.size(); }

 private:
  struct OpenKey {
    reg::HKEY root;
    QString path;
  };
  // The root and path a handle names, or nothing for an unknown handle.
  std::optional<OpenKey> resolve(reg::HKEY key) const;

  RegistryStore& store_;
  QHash<reg::HKEY, OpenKey> open_;
  reg::HKEY next_ = 0x100;
};

}  // namespace ostrel
