#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include "toolkit/registry/RegistryFile.h"
#include "toolkit/registry/RegistryStore.h"

namespace ostrel {

// The registry as Wine keeps it: HKEY_LOCAL_MACHINE in system.reg and
// HKEY_CURRENT_USER in user.reg of the Wine prefix. Exported files (REGEDIT4,
// version 5.00) may be listed as sources too; their keys name their roots.
// HKEY_CLASSES_ROOT is the user's Software\Classes over the machine's. Files
// are read on first use and again whenever they change on disk; a missing
// file is an empty registry.
class WineRegistryStore : public RegistryStore {
 public:
  struct Source {
    reg::HKEY root;  // the root a Wine-format file's keys are relative to
    QString path;
  };

  // $WINEPREFIX, or ~/.wine when it is unset.
  static QString defaultPrefix();

  explicit WineRegistryStore(const QString& prefix = defaultPrefix());
  explicit WineRegistryStore(const QList<Source>& sources);

  bool keyExists(reg::HKEY root, const QString& keyPath) override;
  std::optional<RegistryValue> value(reg::HKEY root, const QString& keyPath,
                                     const QString& valueName) override;

 private:
  struct Entry {
    Source source;
    RegistryFile file;
    QDateTime modified;
    qint64 size = -1;
    bool read = false;
  };
  struct Place {
    reg::HKEY root;
    QString path;
  };

  const RegistryFile& fileOf(Entry& entry);
  static QList<Place> placesOf(reg::HKEY root, const QString& keyPath);
  // The key path as entry's file writes it, or empty when the file cannot hold it.
  static QString pathIn(const Entry& entry, const Place& place);

  QList<Entry> entries_;
};

}  // namespace ostrel
