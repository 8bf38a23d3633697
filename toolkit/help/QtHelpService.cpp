#include "toolkit/help/QtHelpService.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

#include "toolkit/ToolkitError.h"
#include "toolkit/dialogs/MessageBoxService.h"
#include "toolkit/forms/WindowPlacement.h"
#include "toolkit/help/LocalizedHelpFile.h"

namespace ostrel {

namespace {

// Our help file is tens of kilobytes; this only keeps a wrong file from
// being pulled into memory whole.
constexpr qint64 kMaxHelpFileSize = 16 * 1024 * 1024;

}  // namespace

QtHelpService::~QtHelpService() {
  // Widgets cannot outlive the application object; a service torn down after
  // it leaves the viewers to the end of the process.
  if (!QCoreApplication::instance()) return;
  for (const QPointer<HelpViewer>& viewer : std::as_const(viewers_)) delete viewer.data();
}

QString QtHelpService::keyOf(const QString& helpFile) {
  const QFileInfo info(helpFile);
  const QString canonical = info.canonicalFilePath();
  return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

HelpViewer* QtHelpService::viewerFor(const QString& helpFile) const {
  return viewers_.value(keyOf(helpFile)).data();
}

void QtHelpService::quit(const QString& helpFile) {
  if (helpFile.isEmpty()) {
    for (const QPointer<HelpViewer>& viewer : std::as_const(viewers_))
      if (viewer) viewer->close();
    viewers_.clear();
    return;
  }
  if (HelpViewer* viewer = viewerFor(helpFile)) viewer->close();
  viewers_.remove(keyOf(helpFile));
}

std::optional<QByteArray> QtHelpService::readHelpFile(QWidget* owner,
                                                      const QString& helpFile) const {
  const QString shown = QDir::toNativeSeparators(helpFile);
  auto refuse = [&](const QString& why) -> std::optional<QByteArray> {
    MsgBox(why, mb::OkOnly | mb::Exclamation, tr("Help"), owner);
    return std::nullopt;
  };
  const QFileInfo info(helpFile);
  if (!info.exists())
    return refuse(tr("Cannot find the help file %1.\n\nCheck that the file exists, then try again.")
                      .arg(shown));
  if (info.isDir()) return refuse(tr("%1 is a folder, not a help file.").arg(shown));
  // O_NONBLOCK: a FIFO put in the file's place must not make open() wait.
  const int fd = ::open(QFile::encodeName(helpFile).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0)
    return refuse(tr("Cannot open the help file %1: %2.")
                      .arg(shown, QString::fromLocal8Bit(std::strerror(errno))));
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return refuse(tr("%1 is not a help file: it is a device or another special file.").arg(shown));
  }
  if (st.st_size > kMaxHelpFileSize) {
    ::close(fd);
    return refuse(tr("The help file %1 is too large to show.").arg(shown));
  }
  QFile file;
  if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    return refuse(tr("Cannot read the help file %1: %2.").arg(shown, file.errorString()));
  }
  QByteArray bytes = file.read(kMaxHelpFileSize + 1);
  if (file.error() != QFileDevice::NoError)
    return refuse(tr("Cannot read the help file %1: %2.").arg(shown, file.errorString()));
  if (bytes.size() > kMaxHelpFileSize)
    return refuse(tr("The help file %1 is too large to show.").arg(shown));
  return bytes;
}

bool QtHelpService::WinHelp(QWidget* owner, const QString& helpFile, unsigned command,
                            const QString& key) {
  if (command == help::Quit) {
    quit(helpFile);
    return true;
  }
  if (helpFile.isEmpty())
    throw ToolkitError(err::FileNotFound, tr("Help cannot be shown: no help file was named."));
  if (command != help::Contents && command != help::Key && command != help::PartialKey)
    return false;

  // Read afresh on every call, so an edited help file shows its new text.
  const QString shownFile = localizedHelpFile(helpFile, languages_);
  const auto bytes = readHelpFile(owner, shownFile);
  if (!bytes) return false;

  const QString id = keyOf(helpFile);
  QPointer<HelpViewer>& viewer = viewers_[id];
  if (!viewer) {
    viewer = new HelpViewer(shownFile);
    // Beside the program's window, not over it: without a window manager
    // nobody could move it away.
    WindowPlacement::placeOnScreen(*viewer, StartUpPosition::BesideOwner, owner);
  }
  viewer->setBook(HelpBook::parse(*bytes));
  switch (command) {
    case help::Contents:
      viewer->showTopic(0);
      break;
    case help::Key:
      viewer->showKeyword(key);
      break;
    default:
      viewer->showIndex(key);
      break;
  }
  viewer->show();
  viewer->raise();
  viewer->activateWindow();
  return true;
}

}  // namespace ostrel
