#include "toolkit/registry/Registry.h"

#include <QStringList>
#include <cstring>

#include "toolkit/registry/RegistryFile.h"

namespace ostrel {

Registry::Registry(RegistryStore& store) : store_(store) {}

std::optional<Registry::OpenKey> Registry::resolve(reg::HKEY key) const {
  if (!RegistryFile::rootName(key).isEmpty()) return OpenKey{key, QString()};
  const auto it = open_.constFind(key);
  if (it == open_.constEnd()) return std::nullopt;
  return *it;
}

qint32 Registry::RegOpenKeyExA(reg::HKEY key, const QString& subKey, quint32 /*options*/,
                               quint32 /*samDesired*/, reg::HKEY* result) {
  if (!result) return reg::InvalidParameter;
  *result = 0;
  const auto parent = resolve(key);
  if (!parent) return reg::InvalidHandle;
  QStringList parts = parent->path.split(u'\\', Qt::SkipEmptyParts);
  parts += subKey.split(u'\\', Qt::SkipEmptyParts);
  const QString path = parts.join(u'\\');
  if (!path.isEmpty() && !store_.keyExists(parent->root, path)) return reg::FileNotFound;
  // Handle numbers are not reused while the registry lives, so a stale
  // handle is reported invalid rather than naming some other key.
  while (next_ == 0 || open_.contains(next_) || !RegistryFile::rootName(next_).isEmpty()) ++next_;
  const reg::HKEY handle = next_++;
  open_.insert(handle, OpenKey{parent->root, path});
  *result = handle;
  return reg::Success;
}

qint32 Registry::RegQueryValueExA(reg::HKEY key, const QString& valueName, quint32* reserved,
                                  quint32* type, quint8* data, quint32* size) {
  if (reserved || (data && !size)) return reg::InvalidParameter;
  const auto open = resolve(key);
  if (!open) return reg::InvalidHandle;
  const auto value = store_.value(open->root, open->path, valueName);
  if (!value) return reg::FileNotFound;
  const auto needed = quint32(value->data.size());
  if (type) *type = value->type;
  if (data && *size < needed) {
    *size = needed;
    return reg::MoreData;
  }
  if (data && needed > 0) std::memcpy(data, value->data.constData(), needed);
  if (size) *size = needed;
  return reg::Success;
}

qint32 Registry::RegCloseKey(reg::HKEY key) {
  if (!RegistryFile::rootName(key).isEmpty()) return reg::Success;
  return open_.remove(key) ? reg::Success : reg::InvalidHandle;
}

}  // namespace ostrel
