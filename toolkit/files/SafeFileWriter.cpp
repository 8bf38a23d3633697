#include "toolkit/files/SafeFileWriter.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStorageInfo>

#include "toolkit/ToolkitError.h"

namespace ostrel {

namespace {

std::optional<qint64>& simulatedRoom() {
  static std::optional<qint64> room;
  return room;
}

[[noreturn]] void fail(int number, const QString& fileName, const QString& reason) {
  throw ToolkitError(number, QCoreApplication::translate(
                                 "SafeFileWriter",
                                 "The file %1 could not be saved: %2. The file on disk was "
                                 "not changed.")
                                 .arg(QDir::toNativeSeparators(fileName), reason));
}

QString diskFullReason() {
  return QCoreApplication::translate("SafeFileWriter", "the disk is full");
}

bool writable(const QString& path) {
  return ::access(QFile::encodeName(path).constData(), W_OK) == 0;
}

// Refuses what cannot be replaced by a text file: a folder, a device, a
// read-only file, a folder that is gone. Returns whether the file exists.
bool checkTarget(const QString& fileName) {
  const QFileInfo info(fileName);
  const QString folder = info.absolutePath();
  if (!QFileInfo(folder).isDir())
    fail(err::PathNotFound, fileName,
         QCoreApplication::translate("SafeFileWriter", "its folder does not exist"));
  struct stat st {};
  if (::stat(QFile::encodeName(fileName).constData(), &st) != 0) {
    if (!writable(folder)) {
      fail(err::PermissionDenied, fileName,
           QCoreApplication::translate("SafeFileWriter",
                                       "you do not have permission to write in its folder"));
    }
    return false;
  }
  if (S_ISDIR(st.st_mode))
    fail(err::PathFileAccess, fileName,
         QCoreApplication::translate("SafeFileWriter", "it is a folder"));
  if (!S_ISREG(st.st_mode))
    fail(err::PathFileAccess, fileName,
         QCoreApplication::translate("SafeFileWriter", "it is not a regular file"));
  // Replacing through a temporary file would get round a read-only file.
  // The mode bits count too, so a file marked read-only stays so even for root.
  if (!writable(fileName) || (st.st_mode & 0222) == 0) {
    fail(err::PermissionDenied, fileName,
         QCoreApplication::translate("SafeFileWriter", "the file is read-only"));
  }
  return true;
}

}  // namespace

void SafeFileWriter::simulateDiskFullAfter(std::optional<qint64> bytes) {
  simulatedRoom() = bytes;
}

void SafeFileWriter::write(const QString& fileName, const QByteArray& bytes) {
  checkTarget(fileName);
  const QString folder = QFileInfo(fileName).absolutePath();
  const bool inPlace = !writable(folder);
  if (inPlace) {
    // Nothing can be undone once writing in place has begun: check the room first.
    const QStorageInfo volume(folder);
    qint64 room = volume.isValid() ? volume.bytesAvailable() + QFileInfo(fileName).size() : -1;
    if (simulatedRoom()) room = *simulatedRoom();
    if (room >= 0 && room < bytes.size()) fail(err::DiskFull, fileName, diskFullReason());
  }

  QSaveFile file(fileName);
  file.setDirectWriteFallback(inPlace);
  if (!file.open(QIODevice::WriteOnly)) {
    fail(err::PathFileAccess, fileName, file.errorString());
  }
  qint64 toWrite = bytes.size();
  const bool simulatedFull = simulatedRoom() && *simulatedRoom() < toWrite;
  if (simulatedFull) toWrite = *simulatedRoom();
  if (file.write(bytes.constData(), toWrite) != toWrite || simulatedFull) {
    const QString reason = simulatedFull ? diskFullReason() : file.errorString();
    file.cancelWriting();
    fail(err::DiskFull, fileName, reason);
  }
  if (!file.commit()) fail(err::DiskFull, fileName, file.errorString());
}

}  // namespace ostrel
