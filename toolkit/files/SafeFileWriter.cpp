#include "toolkit/files/SafeFileWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <cerrno>
#include <climits>
#include <cstring>
#include <optional>

#include "toolkit/ToolkitError.h"
#include "toolkit/files/FileMetadata.h"
#include "toolkit/files/FileNames.h"
#include "toolkit/files/UniqueFd.h"

namespace ostrel {

namespace {

SafeFileWriter::SystemCalls& systemCalls() {
  static SafeFileWriter::SystemCalls calls;
  return calls;
}

// The reason for the user behind a system error.
QString reasonFor(int error) {
  switch (error) {
    case ENOSPC:
      return QCoreApplication::translate("SafeFileWriter", "the disk is full");
    case EDQUOT:
      return QCoreApplication::translate("SafeFileWriter", "your disk quota is full");
    case EROFS:
      return QCoreApplication::translate("SafeFileWriter", "the file system is read-only");
    case EACCES:
    case EPERM:
      return QCoreApplication::translate("SafeFileWriter",
                                         "you do not have permission to write it");
    case EIO:
      return QCoreApplication::translate("SafeFileWriter", "the device reported an error");
    case EFBIG:
      return QCoreApplication::translate("SafeFileWriter",
                                         "it would be larger than the file system allows");
    case ENOENT:
    case ENOTDIR:
      return QCoreApplication::translate("SafeFileWriter", "its folder does not exist");
    case ENOMEM:
      return QCoreApplication::translate("SafeFileWriter", "there is not enough memory");
    default:
      // A number the C library has no words for is given as a number.
      if (::strerrordesc_np(error) == nullptr)
        return QCoreApplication::translate("SafeFileWriter", "the system reports error %1")
            .arg(error);
      return QCoreApplication::translate("SafeFileWriter", "the system reports \"%1\"")
          .arg(QString::fromLocal8Bit(std::strerror(error)));
  }
}

int numberFor(int error) {
  switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return err::DiskFull;
    case EROFS:
    case EACCES:
    case EPERM:
      return err::PermissionDenied;
    case ENOENT:
    case ENOTDIR:
      return err::PathNotFound;
    case ENOMEM:
      return err::OutOfMemory;
    default:
      return err::PathFileAccess;
  }
}

// One save: the name the user gave, the file it leads to, the bytes.
struct Save {
  QString fileName;
  QByteArray target;  // links followed
  QByteArray folder;
  QByteArray base;
  const QByteArray& bytes;
};

[[noreturn]] void failUnchanged(const Save& save, int number, const QString& reason) {
  throw ToolkitError(number, QCoreApplication::translate(
                                 "SafeFileWriter",
                                 "The file “%1” could not be saved: %2. The file on disk was "
                                 "not changed.")
                                 .arg(FileNames::shown(save.fileName), reason));
}

[[noreturn]] void failUnchanged(const Save& save, int error) {
  failUnchanged(save, numberFor(error), reasonFor(error));
}

[[noreturn]] void failDamaged(const Save& save, int error, const std::optional<QString>& copy) {
  const QString name = FileNames::shown(save.fileName);
  if (copy) {
    throw ToolkitError(numberFor(error),
                       QCoreApplication::translate(
                           "SafeFileWriter",
                           "The file “%1” could not be saved: %2. The file on disk is damaged: "
                           "its old content could not be put back. A copy of your text was saved "
                           "as “%3”.")
                           .arg(name, reasonFor(error), FileNames::shown(*copy)));
  }
  throw ToolkitError(numberFor(error),
                     QCoreApplication::translate(
                         "SafeFileWriter",
                         "The file “%1” could not be saved: %2. The file on disk is damaged: its "
                         "old content could not be put back, and no copy of your text could be "
                         "written. Your text is still in this window: save it under another name "
                         "on another disk.")
                         .arg(name, reasonFor(error)));
}

QByteArray folderOf(const QByteArray& path) {
  const qsizetype slash = path.lastIndexOf('/');
  if (slash < 0) return QByteArrayLiteral(".");
  return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

// The file a name leads to through any links; a link to nothing leads to
// the name the file will get.
QByteArray followLinks(QByteArray path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    QByteArray target(PATH_MAX, Qt::Uninitialized);
    const ssize_t length = ::readlink(path.constData(), target.data(), target.size());
    if (length <= 0 || length >= target.size()) return path;
    target.truncate(length);
    path = target.startsWith('/') ? target : folderOf(path) + '/' + target;
  }
  return path;  // a loop of links: the write reports it
}

ssize_t writeAt(int fd, const char* data, size_t size, off_t offset) {
  if (systemCalls().write) return systemCalls().write(fd, data, size, offset);
  return ::pwrite(fd, data, size, offset);
}

// The whole of bytes at the start of fd; false with errno set.
bool writeAll(int fd, QByteArrayView bytes) {
  qint64 done = 0;
  while (done < bytes.size()) {
    const size_t step = static_cast<size_t>(qMin<qint64>(bytes.size() - done, 1 << 30));
    const ssize_t written = writeAt(fd, bytes.data() + done, step, done);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return false;
    if (written == 0) {
      errno = ENOSPC;
      return false;
    }
    done += written;
  }
  return true;
}

// fd holds exactly content, on the disk.
bool putContent(int fd, QByteArrayView content) {
  return writeAll(fd, content) && ::ftruncate(fd, content.size()) == 0 && ::fdatasync(fd) == 0;
}

enum class Outcome { Done, NotFaithful };

// A new file beside the target that nobody else can have made.
int createBeside(const Save& save, mode_t mode, QByteArray& name) {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  for (int attempt = 0; attempt < 100; ++attempt) {
    QByteArray suffix(8, '0');
    for (char& c : suffix) c = kLetters[QRandomGenerator::global()->bounded(36)];
    // Hidden, so that the file list does not show it for the moment it exists.
    name = save.folder + "/." + save.base.left(200) + '.' + suffix;
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// Writes the bytes to a new file and puts it in the target's place.
Outcome replaceBeside(const Save& save, const FileMetadata* metadata) {
  QByteArray temporary;
  // A new file gets the usual mode less the umask; a replacement starts
  // private and takes the old file's mode once it is written.
  const UniqueFd fd(createBeside(save, metadata != nullptr ? 0600 : 0666, temporary));
  if (fd.get() < 0) {
    if (errno == EACCES || errno == EPERM) return Outcome::NotFaithful;
    failUnchanged(save, errno);
  }
  struct Remover {
    const QByteArray& name;
    bool keep = false;
    ~Remover() {
      if (!keep) ::unlink(name.constData());
    }
  } remover{temporary};
  if (!putContent(fd.get(), save.bytes)) failUnchanged(save, errno);
  // After the bytes: a write by anyone but root clears the set-ID bits.
  if (metadata != nullptr && !metadata->applyTo(fd.get())) return Outcome::NotFaithful;
  if (::rename(temporary.constData(), save.target.constData()) != 0) {
    // A sticky folder lets only the owner replace the file.
    if (errno == EACCES || errno == EPERM) return Outcome::NotFaithful;
    failUnchanged(save, errno);
  }
  remover.keep = true;
  const UniqueFd folder(::open(save.folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() >= 0) ::fsync(folder.get());
  return Outcome::Done;
}

// Writes bytes to a new file at path or path.1, path.2...; its name on success.
std::optional<QString> writeCopy(const QByteArray& path, const QByteArray& bytes) {
  for (int n = 0; n < 100; ++n) {
    const QByteArray name = n == 0 ? path : path + '.' + QByteArray::number(n);
    const UniqueFd fd(::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (fd.get() < 0 && errno == EEXIST) continue;
    if (fd.get() < 0) return std::nullopt;
    qint64 done = 0;
    while (done < bytes.size()) {
      const ssize_t written = ::write(fd.get(), bytes.constData() + done, bytes.size() - done);
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) break;
      done += written;
    }
    if (done == bytes.size() && ::fsync(fd.get()) == 0) return FileNames::decode(name);
    ::unlink(name.constData());
    return std::nullopt;
  }
  return std::nullopt;
}

// A copy of the text that could not be saved: beside the file, else in the
// user's cache folder.
std::optional<QString> rescueCopy(const Save& save) {
  const QByteArray name = save.base + ".recovered";
  if (auto copy = writeCopy(save.folder + '/' + name, save.bytes)) return copy;
  const QString cache =
      QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + "/ostrel_viewer";
  if (!QDir().mkpath(cache)) return std::nullopt;
  return writeCopy(FileNames::encode(cache) + '/' + name, save.bytes);
}

// Rewrites the target itself, keeping its old bytes to put back.
void rewriteInPlace(const Save& save, mode_t mode) {
  const UniqueFd fd(::open(save.target.constData(), O_RDWR | O_CLOEXEC | O_NOCTTY));
  if (fd.get() < 0) failUnchanged(save, errno);
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) failUnchanged(save, errno);
  // A write, a cut or a reservation by a user clears the set-ID bits; they
  // are set again however the rewrite ends, the old bytes put back or not.
  struct ModeKept {
    int fd;
    mode_t mode;
    ~ModeKept() {
      struct stat now {};
      if (::fstat(fd, &now) == 0 && (now.st_mode & 07777) != mode) ::fchmod(fd, mode);
    }
  } const modeKept{fd.get(), mode};
  QByteArray original;
  try {
    original.resize(static_cast<qsizetype>(info.st_size));
  } catch (const std::bad_alloc&) {
    failUnchanged(save, ENOMEM);
  }
  for (qint64 done = 0; done < original.size();) {
    const ssize_t got = ::pread(fd.get(), original.data() + done, original.size() - done, done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) failUnchanged(save, errno);
    if (got == 0) {
      original.truncate(done);
      break;
    }
    done += got;
  }
  // Claims every block the new bytes need (holes of a sparse file too), so
  // that a full disk refuses now, before a byte has changed.
  if (!save.bytes.isEmpty()) {
    const int error = systemCalls().reserve ? systemCalls().reserve(fd.get(), save.bytes.size())
                                            : ::posix_fallocate(fd.get(), 0, save.bytes.size());
    if (error != 0 && error != EOPNOTSUPP && error != EINVAL) {
      ::ftruncate(fd.get(), original.size());
      failUnchanged(save, error);
    }
  }
  if (!putContent(fd.get(), save.bytes)) {
    const int error = errno;
    if (putContent(fd.get(), original)) failUnchanged(save, error);
    failDamaged(save, error, rescueCopy(save));
  }
}

// Refuses what cannot be replaced by a text file: a folder, a device, a
// read-only file.
void checkExisting(const Save& save, const struct stat& info) {
  if (S_ISDIR(info.st_mode))
    failUnchanged(save, err::PathFileAccess,
                  QCoreApplication::translate("SafeFileWriter", "it is a folder"));
  if (!S_ISREG(info.st_mode)) {
    failUnchanged(save, err::PathFileAccess,
                  QCoreApplication::translate("SafeFileWriter", "it is not a regular file"));
  }
  // Replacing through a temporary file would get round a read-only file.
  // The mode bits count too, so a file marked read-only stays so even for root.
  if (::access(save.target.constData(), W_OK) != 0 && errno == EROFS) failUnchanged(save, EROFS);
  if (::access(save.target.constData(), W_OK) != 0 || (info.st_mode & 0222) == 0) {
    failUnchanged(save, err::PermissionDenied,
                  QCoreApplication::translate("SafeFileWriter", "the file is read-only"));
  }
}

void createNew(const Save& save) {
  struct stat folder {};
  if (::stat(save.folder.constData(), &folder) != 0 || !S_ISDIR(folder.st_mode)) {
    failUnchanged(save, ENOENT);
  }
  if (::access(save.folder.constData(), W_OK) != 0 && errno == EROFS) failUnchanged(save, EROFS);
  if (::access(save.folder.constData(), W_OK) != 0 ||
      replaceBeside(save, nullptr) == Outcome::NotFaithful) {
    failUnchanged(save, err::PermissionDenied,
                  QCoreApplication::translate("SafeFileWriter",
                                              "you do not have permission to write in its folder"));
  }
}

}  // namespace

void SafeFileWriter::setSystemCalls(SystemCalls calls) {
  systemCalls() = std::move(calls);
}

FileIdentity SafeFileWriter::write(const QString& fileName, const QByteArray& bytes) {
  const QByteArray target = followLinks(FileNames::encode(fileName));
  const qsizetype slash = target.lastIndexOf('/');
  const Save save{fileName, target, folderOf(target), target.mid(slash + 1), bytes};
  struct stat info {};
  if (::stat(target.constData(), &info) != 0) {
    if (errno != ENOENT) failUnchanged(save, errno);
    createNew(save);
  } else {
    checkExisting(save, info);
    const std::optional<FileMetadata> metadata = FileMetadata::of(target);
    if (!metadata) failUnchanged(save, errno);
    // Another hard link would keep the old text if a new file took this name.
    const bool replaced = metadata->links() == 1 && ::access(save.folder.constData(), W_OK) == 0 &&
                          replaceBeside(save, &*metadata) == Outcome::Done;
    if (!replaced) rewriteInPlace(save, metadata->mode());
  }
  if (::stat(target.constData(), &info) != 0) return {};
  return FileIdentity(info, bytes);
}

}  // namespace ostrel
