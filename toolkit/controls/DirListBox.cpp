#include "toolkit/controls/DirListBox.h"

#include <dirent.h>

#include <QCollator>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cerrno>

#include "toolkit/Icons.h"
#include "toolkit/Services.h"
#include "toolkit/ToolkitError.h"
#include "toolkit/controls/DriveListBox.h"
#include "toolkit/forms/Form.h"

namespace ostrel {

namespace {

QList<Volume> knownVolumes() {
  return services().volumes != nullptr ? services().volumes->volumes() : QList<Volume>{};
}

// Opens the directory once to be sure it can be listed, and says why not.
void checkReadable(const QString& path) {
  const QString native = QDir::toNativeSeparators(path);
  DIR* dir = ::opendir(QFile::encodeName(path).constData());
  if (dir != nullptr) {
    ::closedir(dir);
    return;
  }
  const int error = errno;
  if (error == ENOENT || error == ENOTDIR) {
    throw ToolkitError(
        err::PathNotFound,
        QCoreApplication::translate("DirListBox", "The folder “%1” does not exist.").arg(native));
  }
  if (error == EACCES || error == EPERM) {
    throw ToolkitError(err::PermissionDenied,
                       QCoreApplication::translate(
                           "DirListBox", "You do not have permission to open the folder “%1”.")
                           .arg(native));
  }
  throw ToolkitError(
      err::DeviceUnavailable,
      QCoreApplication::translate("DirListBox", "The folder “%1” cannot be read: %2.")
          .arg(native, QString::fromLocal8Bit(strerror(error))));
}

}  // namespace

DirListBox::DirListBox(QWidget* parent, const QString& name, ScaleMode mode)
    : QListWidget(parent), ControlGeometry(this, mode) {
  setObjectName(name);
  setUniformItemSizes(true);
  path_ = QDir::cleanPath(QDir::currentPath());
  relist();
  connect(this, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
    const QString target = item->data(Qt::UserRole).toString();
    Form::runHandler([this, target] { setPath(target); });
  });
}

QString DirListBox::resolve(const QString& pathOrDrive) const {
  const QString root = DriveListBox::rootOfDesignation(pathOrDrive);
  if (root.isEmpty()) return QDir::cleanPath(QDir(path_).absoluteFilePath(pathOrDrive));
  for (const Volume& v : knownVolumes()) {
    if (v.root == root && !v.ready) {
      throw ToolkitError(err::DeviceUnavailable,
                         QCoreApplication::translate("DirListBox", "The drive “%1” is not ready.")
                             .arg(pathOrDrive));
    }
  }
  return lastVisited_.value(root, root);
}

void DirListBox::setPath(const QString& pathOrDrive) {
  QString target = resolve(pathOrDrive);
  checkReadable(target);
  if (target == path_) return;
  path_ = target;
  lastVisited_[DriveListBox::volumeRootOf(path_, knownVolumes())] = path_;
  relist();
  emit Change();
}

void DirListBox::relist() {
  clear();
  const QIcon open = Icons::folderOpen();
  const QIcon closed = Icons::folderClosed();
  // The path from the root down, one level of indent per step.
  QStringList parts = path_.split(QLatin1Char('/'), Qt::SkipEmptyParts);
  QString walked = QStringLiteral("/");
  auto addRow = [this](const QIcon& icon, const QString& text, const QString& full, int depth) {
    auto* item = new QListWidgetItem(icon, QString(depth * 2, QLatin1Char(' ')) + text, this);
    item->setData(Qt::UserRole, full);
  };
  addRow(open, QStringLiteral("/"), walked, 0);
  int depth = 1;
  for (const QString& part : parts) {
    walked = QDir::cleanPath(walked + QLatin1Char('/') + part);
    addRow(open, part, walked, depth++);
  }
  setCurrentRow(count() - 1);
  QStringList subdirs = QDir(path_).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
  QCollator collator;
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  std::sort(subdirs.begin(), subdirs.end(), collator);
  for (const QString& sub : subdirs) {
    addRow(closed, sub, QDir::cleanPath(path_ + QLatin1Char('/') + sub), depth);
  }
}

}  // namespace ostrel
