#include "toolkit/controls/DriveListBox.h"

#include <QDir>
#include <QSignalBlocker>

#include "toolkit/Services.h"

namespace ostrel {

DriveListBox::DriveListBox(QWidget* parent, const QString& name, ScaleMode mode)
    : QComboBox(parent), ControlGeometry(this, mode) {
  setObjectName(name);
  relist(QDir::currentPath());
  connect(this, &QComboBox::currentIndexChanged, this, &DriveListBox::Change);
}

void DriveListBox::relist(const QString& keepRoot) {
  const QSignalBlocker block(this);
  volumes_ = services().volumes != nullptr ? services().volumes->volumes() : QList<Volume>{};
  clear();
  for (const Volume& v : volumes_) addItem(designation(v));
  setCurrentIndex(indexForPath(keepRoot));
}

void DriveListBox::showPopup() {
  // A volume that went away leaves the selection on the one holding it.
  relist(rootOfDesignation(Drive()));
  QComboBox::showPopup();
}

QString DriveListBox::designation(const Volume& volume) {
  return QStringLiteral("%1 [%2]").arg(volume.root, volume.label);
}

QString DriveListBox::rootOfDesignation(const QString& designation) {
  // "root [label]": the root runs up to the first " [".
  if (!designation.startsWith(QLatin1Char('/')) || !designation.endsWith(QLatin1Char(']'))) {
    return {};
  }
  const qsizetype bracket = designation.indexOf(QStringLiteral(" ["));
  return bracket > 0 ? designation.left(bracket) : QString();
}

QString DriveListBox::volumeRootOf(const QString& path, const QList<Volume>& volumes) {
  QString best = QStringLiteral("/");
  for (const Volume& v : volumes) {
    const bool inside =
        path == v.root ||
        path.startsWith(v.root.endsWith(QLatin1Char('/')) ? v.root : v.root + QLatin1Char('/'));
    if (inside && v.root.size() > best.size()) best = v.root;
  }
  return best;
}

int DriveListBox::indexForPath(const QString& driveOrPath) const {
  QString root = rootOfDesignation(driveOrPath);
  if (root.isEmpty()) root = volumeRootOf(driveOrPath, volumes_);
  for (int i = 0; i < volumes_.size(); ++i) {
    if (volumes_[i].root == root) return i;
  }
  return volumes_.isEmpty() ? -1 : 0;
}

void DriveListBox::setDrive(const QString& driveOrPath) {
  setCurrentIndex(indexForPath(driveOrPath));
}

void DriveListBox::showVolumeOf(const QString& path) {
  const QSignalBlocker block(this);
  setCurrentIndex(indexForPath(path));
}

}  // namespace ostrel
