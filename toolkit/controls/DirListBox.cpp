#include "toolkit/controls/DirListBox.h"

#include <dirent.h>
#include <sys/stat.h>

#include <QCollator>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <cerrno>

#include "toolkit/Icons.h"
#include "toolkit/Services.h"
#include "toolkit/ToolkitError.h"
#include "toolkit/controls/DriveListBox.h"
#include "toolkit/files/FileNames.h"
#include "toolkit/forms/Form.h"

namespace ostrel {

namespace {

QList<Volume> knownVolumes() {
  return services().volumes != nullptr ? services().volumes->volumes() : QList<Volume>{};
}

// Opens the directory once to be sure it can be listed, and says why not.
void checkReadable(const QString& path) {
  const QString native = FileNames::shown(path);
  DIR* dir = ::opendir(FileNames::encode(path).constData());
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

// The folders in `path`, hidden ones left out; a link to a folder counts as
// one. Read through the bytes so a name that is not UTF-8 can be opened.
QStringList subfoldersOf(const QString& path) {
  QStringList names;
  DIR* dir = ::opendir(FileNames::encode(path).constData());
  if (dir == nullptr) return names;
  const int fd = ::dirfd(dir);
  while (const dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    bool isFolder = entry->d_type == DT_DIR;
    if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
      struct stat st {};
      isFolder = ::fstatat(fd, entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
    }
    if (isFolder) names.append(FileNames::decode(entry->d_name));
  }
  ::closedir(dir);
  return names;
}

void sortFolders(QStringList& names) {
  QCollator collator;
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  std::sort(names.begin(), names.end(), collator);
}

}  // namespace

DirListBox::DirListBox(QWidget* parent, const QString& name, ScaleMode mode)
    : QListWidget(parent), ControlGeometry(this, mode) {
  setObjectName(name);
  setAccessibleName(QCoreApplication::translate("DirListBox", "Folders"));
  setUniformItemSizes(true);
  // Folder icons at their design size; a screen of twice the pixels takes
  // the icon's larger drawing for the same size.
  setIconSize(QSize(16, 16));
  path_ = FileNames::currentFolder();
  // The folder the program started in is its volume's current folder, for
  // as long as the user does not move on within that volume.
  lastVisited_[DriveListBox::volumeRootOf(path_, knownVolumes())] = path_;
  relist();
}

void DirListBox::open(const QString& target) {
  Form::runHandler([this, target] { setPath(target); });
}

void DirListBox::mousePressEvent(QMouseEvent* event) {
  const QListWidgetItem* item = itemAt(event->position().toPoint());
  previousPress_ = lastPress_;
  lastPress_ = {item != nullptr && event->button() == Qt::LeftButton
                    ? item->data(Qt::UserRole).toString()
                    : QString(),
                listing_, event->timestamp()};
  if (item == nullptr) {
    // Below the last folder: the list only takes the focus, and the open
    // folder keeps its highlight, as the view would otherwise clear it.
    setFocus(Qt::MouseFocusReason);
    return;
  }
  QListWidget::mousePressEvent(event);
}

void DirListBox::mouseDoubleClickEvent(QMouseEvent* event) {
  // Not passed on: the view would activate, or replay a press, by its own
  // rules. The double-click began with the press before the one it came
  // with (or with the last press, where none came with it); only the
  // folder under that first press opens, and only while the list still
  // shows the listing it was pressed on.
  const Press& first = lastPress_.timestamp == event->timestamp() ? previousPress_ : lastPress_;
  const QListWidgetItem* item = itemAt(event->position().toPoint());
  const bool sameRow = item != nullptr && !first.target.isEmpty() &&
                       item->data(Qt::UserRole).toString() == first.target;
  const bool sameListing = first.listing == listing_;
  const QString target = first.target;
  previousPress_ = lastPress_ = Press{};
  if (event->button() != Qt::LeftButton || !sameRow || !sameListing) return;
  open(target);
}

void DirListBox::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    if (const QListWidgetItem* item = currentItem()) open(item->data(Qt::UserRole).toString());
    return;
  }
  QListWidget::keyPressEvent(event);
}

void DirListBox::paintEvent(QPaintEvent* event) {
  QListWidget::paintEvent(event);
  const QListWidgetItem* current = currentItem();
  if (!hasFocus() || current == nullptr) return;
  QPainter painter(viewport());
  const QColor ink =
      palette().color(current->isSelected() ? QPalette::HighlightedText : QPalette::Text);
  painter.setPen(QPen(ink, 1));
  painter.drawRect(visualItemRect(current).adjusted(1, 1, -2, -2));
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

void DirListBox::moveUpTo(const QString& path) {
  QString target = QDir::cleanPath(QDir(path_).absoluteFilePath(path));
  while (true) {
    try {
      checkReadable(target);
      break;
    } catch (const ToolkitError&) {
      if (target == QLatin1String("/")) throw;
      target = QDir::cleanPath(target + QStringLiteral("/.."));
    }
  }
  if (target != path_) {
    setPath(target);
    return;
  }
  QStringList subdirs = subfoldersOf(path_);
  sortFolders(subdirs);
  if (subdirs != subfolders_) relist();
}

void DirListBox::relist() {
  ++listing_;
  clear();
  const QIcon open = Icons::folderOpen();
  const QIcon closed = Icons::folderClosed();
  // The path from the root down, one level of indent per step.
  QStringList parts = path_.split(QLatin1Char('/'), Qt::SkipEmptyParts);
  QString walked = QStringLiteral("/");
  auto addRow = [this](const QIcon& icon, const QString& text, const QString& full, int depth) {
    auto* item = new QListWidgetItem(
        icon, QString(depth * 2, QLatin1Char(' ')) + FileNames::visible(text), this);
    item->setData(Qt::UserRole, full);
    // A screen reader hears the name and its level, not the indent.
    item->setData(Qt::AccessibleTextRole, FileNames::visible(text));
    item->setData(Qt::AccessibleDescriptionRole,
                  QCoreApplication::translate("DirListBox", "Level %1").arg(depth + 1));
  };
  addRow(open, QStringLiteral("/"), walked, 0);
  int depth = 1;
  for (const QString& part : parts) {
    walked = QDir::cleanPath(walked + QLatin1Char('/') + part);
    addRow(open, part, walked, depth++);
  }
  setCurrentRow(count() - 1);
  QStringList subdirs = subfoldersOf(path_);
  sortFolders(subdirs);
  subfolders_ = subdirs;
  for (const QString& sub : subdirs) {
    addRow(closed, sub, QDir::cleanPath(path_ + QLatin1Char('/') + sub), depth);
  }
}

}  // namespace ostrel
