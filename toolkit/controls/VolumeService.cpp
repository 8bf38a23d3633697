#include "toolkit/controls/VolumeService.h"

#include <QFileInfo>
#include <QSet>
#include <QStorageInfo>

namespace ostrel {

namespace {

bool isPseudo(const QStorageInfo& info) {
  static const QSet<QByteArray> kPseudoTypes = {
      "proc",      "sysfs",    "devpts",   "cgroup",      "cgroup2",     "securityfs",
      "pstore",    "debugfs",  "tracefs",  "configfs",    "fusectl",     "mqueue",
      "hugetlbfs", "bpf",      "autofs",   "binfmt_misc", "devtmpfs",    "rpc_pipefs",
      "nsfs",      "efivarfs", "squashfs", "ramfs",       "fuse.portal", "fuse.gvfsd-fuse"};
  if (kPseudoTypes.contains(info.fileSystemType())) return true;
  const QString root = info.rootPath();
  for (const char* prefix : {"/proc", "/sys", "/dev", "/run", "/snap", "/boot/efi"}) {
    const QString p = QString::fromLatin1(prefix);
    if (root == p || root.startsWith(p + QLatin1Char('/'))) {
      return !root.startsWith(QStringLiteral("/run/media/"));
    }
  }
  return false;
}

}  // namespace

QList<Volume> QtVolumeService::volumes() {
  if (age_.isValid() && age_.elapsed() < 1000) return cached_;
  QList<Volume> result{{QStringLiteral("/"), QStringLiteral("root"), true}};
  QSet<QString> seen{QStringLiteral("/")};
  for (const QStorageInfo& info : QStorageInfo::mountedVolumes()) {
    if (!info.isValid() || isPseudo(info) || seen.contains(info.rootPath())) continue;
    seen.insert(info.rootPath());
    QString label = info.displayName();
    if (label == info.rootPath()) label = QFileInfo(info.rootPath()).fileName();
    result.append({info.rootPath(), label, info.isReady()});
  }
  cached_ = result;
  age_.start();
  return result;
}

}  // namespace ostrel
