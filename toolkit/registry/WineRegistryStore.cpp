#include "toolkit/registry/WineRegistryStore.h"

#include <QDir>
#include <QFileInfo>

namespace ostrel {

QString WineRegistryStore::defaultPrefix() {
  const QString prefix = qEnvironmentVariable("WINEPREFIX");
  return prefix.isEmpty() ? QDir::home().filePath(QStringLiteral(".wine")) : prefix;
}

WineRegistryStore::WineRegistryStore(const QString& prefix)
    : WineRegistryStore(
          QList<Source>{{reg::LocalMachine, QDir(prefix).filePath(QStringLiteral("system.reg"))},
                        {reg::CurrentUser, QDir(prefix).filePath(QStringLiteral("user.reg"))}}) {}

WineRegistryStore::WineRegistryStore(const QList<Source>& sources) {
  for (const Source& source : sources) entries_.append(Entry{source, {}, {}, -1, false});
}

const RegistryFile& WineRegistryStore::fileOf(Entry& entry) {
  // Wine rewrites its files while it runs; a changed stamp or size means read again.
  const QFileInfo info(entry.source.path);
  const QDateTime modified = info.exists() ? info.lastModified() : QDateTime();
  const qint64 size = info.exists() ? info.size() : -1;
  if (!entry.read || modified != entry.modified || size != entry.size) {
    entry.file = RegistryFile::load(entry.source.path);
    entry.modified = modified;
    entry.size = size;
    entry.read = true;
  }
  return entry.file;
}

QList<WineRegistryStore::Place> WineRegistryStore::placesOf(reg::HKEY root,
                                                            const QString& keyPath) {
  if (root != reg::ClassesRoot) return {{root, keyPath}};
  const QString classes = QStringLiteral("Software\\Classes\\") + keyPath;
  return {{reg::CurrentUser, classes}, {reg::LocalMachine, classes}, {root, keyPath}};
}

QString WineRegistryStore::pathIn(const Entry& entry, const Place& place) {
  if (entry.file.format() == RegistryFile::Format::Wine)
    return entry.source.root == place.root ? place.path : QString();
  const QString rootName = RegistryFile::rootName(place.root);
  return rootName.isEmpty() ? QString() : rootName + u'\\' + place.path;
}

bool WineRegistryStore::keyExists(reg::HKEY root, const QString& keyPath) {
  // Even an empty registry has its roots.
  if (keyPath.split(u'\\', Qt::SkipEmptyParts).isEmpty())
    return !RegistryFile::rootName(root).isEmpty();
  for (const Place& place : placesOf(root, keyPath)) {
    for (Entry& entry : entries_) {
      fileOf(entry);
      const QString path = pathIn(entry, place);
      if (!path.isEmpty() && entry.file.hasKey(path)) return true;
    }
  }
  return false;
}

std::optional<RegistryValue> WineRegistryStore::value(reg::HKEY root, const QString& keyPath,
                                                      const QString& valueName) {
  for (const Place& place : placesOf(root, keyPath)) {
    for (Entry& entry : entries_) {
      fileOf(entry);
      const QString path = pathIn(entry, place);
      if (path.isEmpty()) continue;
      if (auto found = entry.file.value(path, valueName)) return found;
    }
  }
  return std::nullopt;
}

}  // namespace ostrel
