#include "toolkit/controls/DriveListBox.h"

#include <QDir>
#include <QRegularExpression>
#include <QSignalBlocker>

#include "toolkit/Services.h"

namespace ostrel {

DriveListBox::DriveListBox(QWidget* parent, const QString& name, ScaleMode mode)
    : QComboBox(parent), ControlGeometry(this, mode) {
  setObjectName(name);
  if (services().volumes != nullptr) volumes_ = services().volumes->volumes();
  {
    const QSignalBlocker block(this);
    for (const Volume& v : volumes_) addItem(designation(v));
    setCurrentIndex(indexForPath(QDir::currentPath()));
  }
  connect(this, &QComboBox::currentIndexChanged, this, &DriveListBox::Change);
}

QString DriveListBox::designation(const Volume& volume) {
  return QStringLiteral("%1 [%2]").arg(volume.root, volume.label);
}

QString DriveListBox::rootOfDesignation(const QString& designation) {
  static const QRegularExpression kForm(QStringLiteral("^(/.*?) \\[.*\\]$"));
  const auto m = kForm.match(designation);
  return m.hasMatch() ? m.captured(1) : QString();
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
