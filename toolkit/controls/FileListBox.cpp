#include "toolkit/controls/FileListBox.h"

#include <dirent.h>
#include <sys/stat.h>

#include <strings.h>
#include <QCoreApplication>
#include <QDir>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "toolkit/ToolkitError.h"
#include "toolkit/files/FileNames.h"
#include "toolkit/forms/Form.h"

namespace ostrel {

namespace {

[[noreturn]] void throwUnreadable(const QString& folder, int error) {
  const QString native = FileNames::shown(folder);
  if (error == ENOENT || error == ENOTDIR) {
    throw ToolkitError(
        err::PathNotFound,
        QCoreApplication::translate("FileListBox", "The folder “%1” does not exist.").arg(native));
  }
  throw ToolkitError(
      err::PermissionDenied,
      QCoreApplication::translate("FileListBox", "The folder “%1” cannot be listed: %2.")
          .arg(native, QString::fromLocal8Bit(std::strerror(error))));
}

// Rows as wide as the list, whatever their names: a long name is shortened
// in the middle (its type stays in sight) rather than widening the rows, so
// no horizontal bar comes and goes with the names listed.
class ListWideRows : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return {1, QStyledItemDelegate::sizeHint(option, index).height()};
  }
};

}  // namespace

FileListBox::FileListBox(QWidget* parent, const QString& name, ScaleMode mode)
    : QListView(parent), ControlGeometry(this, mode) {
  setObjectName(name);
  setAccessibleName(QCoreApplication::translate("FileListBox", "Files"));
  setModel(&model_);
  setUniformItemSizes(true);
  setItemDelegate(new ListWideRows(this));
  setTextElideMode(Qt::ElideMiddle);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  path_ = FileNames::currentFolder();
  relist(false);
  connect(this, &QListView::clicked, this, [this](const QModelIndex& index) {
    select(index.row());
    emit Click();
  });
  connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) {
            if (!keyboardMoving_ || !current.isValid()) return;
            select(current.row());
            emit Click();
          });
}

QStringList FileListBox::listFolder(const QString& folder, const FilePattern& pattern) {
  const QByteArray encoded = FileNames::encode(folder);
  DIR* dir = ::opendir(encoded.constData());
  if (dir == nullptr) throwUnreadable(folder, errno);
  const int fd = ::dirfd(dir);
  // Names are matched and sorted as bytes and decoded once at the end: a big
  // folder is listed nearly as fast as a bare readdir loop. Decoding keeps
  // every byte, so a name that is not UTF-8 can still be opened.
  std::vector<std::string> kept;
  const bool byBytes = pattern.hasByteMatcher();
  while (const dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] == '.') continue;  // hidden, and . and ..
    const size_t length = std::strlen(entry->d_name);
    if (byBytes ? !pattern.matchesBytes(entry->d_name, length)
                : !pattern.matches(FileNames::decode(entry->d_name))) {
      continue;
    }
    unsigned char type = entry->d_type;
    if (type == DT_LNK || type == DT_UNKNOWN) {
      struct stat st {};
      // A dangling link is still a name the user sees.
      type = (::fstatat(fd, entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode)) ? DT_DIR : DT_REG;
    }
    if (type == DT_DIR) continue;
    kept.emplace_back(entry->d_name, length);
  }
  ::closedir(dir);
  std::sort(kept.begin(), kept.end(), [](const std::string& a, const std::string& b) {
    const int c = ::strcasecmp(a.c_str(), b.c_str());
    return c != 0 ? c < 0 : a < b;
  });
  QStringList names;
  names.reserve(static_cast<qsizetype>(kept.size()));
  for (const std::string& name : kept) {
    names.append(
        FileNames::decode(QByteArrayView(name.data(), static_cast<qsizetype>(name.size()))));
  }
  return names;
}

void FileListBox::setPath(const QString& path) {
  const QString cleaned = QDir::cleanPath(QDir(path_).absoluteFilePath(path));
  const QStringList names = listFolder(cleaned, matcher_);
  path_ = cleaned;
  fileName_.clear();
  setNames(names);
}

void FileListBox::setPattern(const QString& pattern) {
  pattern_ = pattern;
  matcher_ = FilePattern(pattern);
  relist(false);
}

void FileListBox::Refresh() {
  relist(true);
}

QString FileListBox::List(int index) const {
  return names_.value(index);
}

void FileListBox::setNames(const QStringList& names) {
  names_ = names;
  QStringList shown;
  shown.reserve(names.size());
  for (const QString& name : names) shown.append(FileNames::visible(name));
  model_.setStringList(shown);
}

void FileListBox::relist(bool keepSelection) {
  QStringList names;
  try {
    names = listFolder(path_, matcher_);
  } catch (const ToolkitError&) {
    // The folder went away under the list: show it empty.
  }
  // The same names again, read to keep the selection: the rows, and where
  // the list is scrolled, stay.
  if (names != names_ || !keepSelection) setNames(names);
  const int row = keepSelection ? static_cast<int>(names.indexOf(fileName_)) : -1;
  if (row >= 0) {
    setCurrentIndex(model_.index(row));
  } else {
    fileName_.clear();
  }
}

void FileListBox::select(int row) {
  fileName_ = List(row);
  const QSignalBlocker block(selectionModel());
  setCurrentIndex(model_.index(row));
}

bool FileListBox::clickName(const QString& name) {
  const int row = static_cast<int>(names_.indexOf(name));
  if (row < 0) return false;
  select(row);
  emit Click();
  return true;
}

void FileListBox::paintEvent(QPaintEvent* event) {
  QListView::paintEvent(event);
  if (!hasFocus() || currentIndex().isValid()) return;
  QStyleOptionFocusRect focus;
  focus.initFrom(this);
  const QModelIndex first = model()->index(0, 0);
  focus.rect = first.isValid() ? visualRect(first) : viewport()->rect().adjusted(1, 1, -2, -2);
  focus.backgroundColor = palette().color(QPalette::Base);
  QPainter painter(viewport());
  style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
}

bool FileListBox::viewportEvent(QEvent* event) {
  // A shortened name is shown whole in a tooltip.
  if (event->type() == QEvent::ToolTip) {
    const auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = indexAt(help->pos());
    const QString text = index.data().toString();
    const bool shortened =
        index.isValid() && fontMetrics().horizontalAdvance(text) > visualRect(index).width() - 8;
    if (shortened) {
      QToolTip::showText(help->globalPos(), text, viewport(), visualRect(index));
    } else {
      QToolTip::hideText();
    }
    return true;
  }
  return QListView::viewportEvent(event);
}

void FileListBox::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
    event->accept();
    if (!fileName_.isEmpty()) emit Open();
    return;
  }
  keyboardMoving_ = true;
  QListView::keyPressEvent(event);
  keyboardMoving_ = false;
}

}  // namespace ostrel
